#pragma once
#include <cstddef>
#include <string_view>

// Options, error keys and limits shared by the JSON decoder and encoder.
namespace kavro {

// Parse options (a bit set; values of 16 and above are refused).
inline constexpr unsigned JBParseOptionNone = 0;
inline constexpr unsigned JBParseOptionAllowComments = 1;
inline constexpr unsigned JBParseOptionUnicodeLineBreaks = 2;
inline constexpr unsigned JBParseOptionLenientUnicode = 4;
inline constexpr unsigned JBParseOptionAllowTrailingText = 8;
inline constexpr unsigned JBParseOptionValidFlags = 15;

// Serialize options (a bit set; other bits are ignored).
inline constexpr unsigned JBSerializeOptionNone = 0;
inline constexpr unsigned JBSerializeOptionPretty = 1;
inline constexpr unsigned JBSerializeOptionEscapeNonASCII = 2;
inline constexpr unsigned JBSerializeOptionEscapeSlash = 16;

// Encode option: the output kind in the low three bits, then what the root must be.
inline constexpr unsigned JBEncodeOptionAsData = 1;
inline constexpr unsigned JBEncodeOptionAsString = 2;
inline constexpr unsigned JBEncodeOptionAsTypeMask = 7;
inline constexpr unsigned JBEncodeOptionCollectionObj = 8;
inline constexpr unsigned JBEncodeOptionStringObj = 16;
inline constexpr unsigned JBEncodeOptionStringObjTrimQuotes = 32;

inline constexpr std::string_view JBErrorDomain = "JBErrorDomain";
// User-info keys of a decoding error: the byte offset and the line (from 1) where it was found.
inline constexpr std::string_view JBAtIndexKey = "JBAtIndexKey";
inline constexpr std::string_view JBLineNumberKey = "JBLineNumberKey";

// Arrays and dictionaries nest at most this deep, in text read and in text written.
inline constexpr std::size_t JBMaximumNestingDepth = 512;

}  // namespace kavro
