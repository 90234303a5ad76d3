#pragma once
#include <cstdint>

#include "mapsdk/engine/CVString.h"

namespace gmengine {

// Code pages the engine converts between: 0 is its double-byte code page (GBK), 936 names the
// same, 65001 is UTF-8.
inline constexpr unsigned CP_ACP = 0;
inline constexpr unsigned CP_GBK = 936;
inline constexpr unsigned CP_UTF8 = 65001;

// Multibyte text (srcLength bytes, or up to its zero byte when -1) into UTF-16. With a null output
// or outputSize 0 it answers the units needed; else it writes at most outputSize units (never half
// a surrogate pair) and answers how many. 0 for an unknown code page, bytes that are not valid in
// it, or a null source. No terminator is written.
int MultiByteToWideChar(unsigned codePage, const char* src, int srcLength, char16_t* output, int outputSize);

// UTF-16 (srcLength units, or up to its zero unit when -1) into the code page, the same way:
// answers the bytes needed, or writes at most outputSize bytes (whole characters only) and answers
// how many; writes no terminator. 0 for an unknown code page, a lone surrogate or a character the
// code page cannot hold. The two trailing arguments are not used.
int WideCharToMultiByte(unsigned codePage, const char16_t* src, int srcLength, char* output, int outputSize,
                        const char* defaultChar = nullptr, int* usedDefault = nullptr);

// UTF-8 text (length bytes, -1: up to its zero byte) as new zero-terminated GBK text from VMalloc
// (free it with VFree); *outLength gets its length without the zero. Null on failure.
char* Utf8ToGbk(const char* utf8, int length, int* outLength);

// CVString to and from a code page in one step; an empty result also means failure.
CVString MultiByteToCVString(unsigned codePage, const char* src, int srcLength = -1);
std::string CVStringToMultiByte(unsigned codePage, const CVString& text);

// An optional "-", then decimal digits up to the first other unit; 0 when there are none.
// Saturates at the int range.
int vwtoi(const char16_t* text);

}  // namespace gmengine
