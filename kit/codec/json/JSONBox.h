#pragma once
#include <cstddef>
#include <string_view>
#include <type_traits>

// Options, error keys and limits shared by the JSON decoder and encoder.
namespace kavro {

// Option sets: each an enumeration of bits, combined with | and tested with has().
enum class JBParseOptions : unsigned {
  None = 0,
  AllowComments = 1,
  UnicodeLineBreaks = 2,
  LenientUnicode = 4,
  AllowTrailingText = 8,
  ValidFlags = 15  // any other bit is refused
};
enum class JBSerializeOptions : unsigned { None = 0, Pretty = 1, EscapeNonASCII = 2, EscapeSlash = 16 };
// The output kind in the low three bits, then what the root must be.
enum class JBEncodeOptions : unsigned {
  None = 0,
  AsData = 1,
  AsString = 2,
  AsTypeMask = 7,
  CollectionObj = 8,
  StringObj = 16,
  StringObjTrimQuotes = 32
};

template <class E>
concept JBOptionSet = std::is_same_v<E, JBParseOptions> || std::is_same_v<E, JBSerializeOptions> ||
    std::is_same_v<E, JBEncodeOptions>;
template <JBOptionSet E>
constexpr E operator|(E a, E b) {
  return static_cast<E>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
template <JBOptionSet E>
constexpr E operator&(E a, E b) {
  return static_cast<E>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
// Whether any bit of flags is set in options.
template <JBOptionSet E>
constexpr bool has(E options, E flags) {
  return (static_cast<unsigned>(options) & static_cast<unsigned>(flags)) != 0;
}

inline constexpr JBParseOptions JBParseOptionNone = JBParseOptions::None;
inline constexpr JBParseOptions JBParseOptionAllowComments = JBParseOptions::AllowComments;
inline constexpr JBParseOptions JBParseOptionUnicodeLineBreaks = JBParseOptions::UnicodeLineBreaks;
inline constexpr JBParseOptions JBParseOptionLenientUnicode = JBParseOptions::LenientUnicode;
inline constexpr JBParseOptions JBParseOptionAllowTrailingText = JBParseOptions::AllowTrailingText;
inline constexpr JBParseOptions JBParseOptionValidFlags = JBParseOptions::ValidFlags;

inline constexpr JBSerializeOptions JBSerializeOptionNone = JBSerializeOptions::None;
inline constexpr JBSerializeOptions JBSerializeOptionPretty = JBSerializeOptions::Pretty;
inline constexpr JBSerializeOptions JBSerializeOptionEscapeNonASCII = JBSerializeOptions::EscapeNonASCII;
inline constexpr JBSerializeOptions JBSerializeOptionEscapeSlash = JBSerializeOptions::EscapeSlash;

inline constexpr JBEncodeOptions JBEncodeOptionAsData = JBEncodeOptions::AsData;
inline constexpr JBEncodeOptions JBEncodeOptionAsString = JBEncodeOptions::AsString;
inline constexpr JBEncodeOptions JBEncodeOptionAsTypeMask = JBEncodeOptions::AsTypeMask;
inline constexpr JBEncodeOptions JBEncodeOptionCollectionObj = JBEncodeOptions::CollectionObj;
inline constexpr JBEncodeOptions JBEncodeOptionStringObj = JBEncodeOptions::StringObj;
inline constexpr JBEncodeOptions JBEncodeOptionStringObjTrimQuotes = JBEncodeOptions::StringObjTrimQuotes;

inline constexpr std::string_view JBErrorDomain = "JBErrorDomain";
// User-info keys of a decoding error: the byte offset and the line (from 1) where it was found.
inline constexpr std::string_view JBAtIndexKey = "JBAtIndexKey";
inline constexpr std::string_view JBLineNumberKey = "JBLineNumberKey";

// Arrays and dictionaries nest at most this deep, in text read and in text written.
inline constexpr std::size_t JBMaximumNestingDepth = 512;

}  // namespace kavro
