#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Text.h"

// Public types and constants of the regular-expression component. The operations themselves are
// the string functions of StringRegexBoxAdditions.h and MutableStringRegexBoxAdditions.h.
namespace kavro {

// Compile flags, handed to ICU unchanged (ICU's own flag values).
enum RGXRegexOptions : std::uint32_t {
  RGXRegexNoOptions = 0,
  RGXRegexCaseless = 2,
  RGXRegexComments = 4,
  RGXRegexMultiline = 8,
  RGXRegexDotAll = 32,
  RGXRegexUnicodeWordBoundaries = 256,
};
constexpr RGXRegexOptions operator|(RGXRegexOptions a, RGXRegexOptions b) {
  return RGXRegexOptions(std::uint32_t(a) | std::uint32_t(b));
}

// How the block forms hand captures to their block. Any other bit is refused.
enum RGXRegexEnumerationOptions : std::uint32_t {
  RGXRegexEnumerationNoOptions = 0,
  // The block gets no captured strings, only their ranges.
  RGXRegexEnumerationCapturedStringsNotRequired = 0x200,
  // Replacement blocks only. Ownership of returned strings is by value here, so the flag is only
  // validated.
  RGXRegexEnumerationReleaseReplacementString = 0x400,
  // The captured strings are reused from call to call: valid only during the block call.
  RGXRegexEnumerationReusedCapturedStrings = 0x800,
};
constexpr RGXRegexEnumerationOptions operator|(RGXRegexEnumerationOptions a, RGXRegexEnumerationOptions b) {
  return RGXRegexEnumerationOptions(std::uint32_t(a) | std::uint32_t(b));
}

// The blocks of the enumerating forms. captureCount is the number of groups + 1 (1 for the piece after
// the last match of a split); capturedStrings is empty with RGXRegexEnumerationCapturedStringsNotRequired;
// a range is platform::NotFoundRange for a group that did not take part. Setting stop ends the
// enumeration after this call. A replacement block returns the text that takes the match's place.
using RGXMatchBlock =
    std::function<void(std::size_t captureCount, std::span<const std::string> capturedStrings,
                       std::span<const platform::Range> capturedRanges, bool& stop)>;
using RGXReplaceBlock =
    std::function<std::string(std::size_t captureCount, std::span<const std::string> capturedStrings,
                              std::span<const platform::Range> capturedRanges, bool& stop)>;

inline constexpr std::string_view RGXICURegexErrorDomain = "RGXICURegexErrorDomain";

// Keys of the user information of the component's errors and exceptions.
inline constexpr std::string_view RGXICURegexRegexErrorKey = "RGXICURegexRegex";
inline constexpr std::string_view RGXICURegexRegexOptionsErrorKey = "RGXICURegexRegexOptions";
inline constexpr std::string_view RGXICURegexErrorCodeErrorKey = "RGXICURegexErrorCode";
inline constexpr std::string_view RGXICURegexErrorNameErrorKey = "RGXICURegexErrorName";
inline constexpr std::string_view RGXICURegexLineErrorKey = "RGXICURegexLine";
inline constexpr std::string_view RGXICURegexOffsetErrorKey = "RGXICURegexOffset";
inline constexpr std::string_view RGXICURegexPreContextErrorKey = "RGXICURegexPreContext";
inline constexpr std::string_view RGXICURegexPostContextErrorKey = "RGXICURegexPostContext";
inline constexpr std::string_view RGXICURegexSubjectStringErrorKey = "RGXICURegexSubjectString";
// The range as text, "{location, length}".
inline constexpr std::string_view RGXICURegexSubjectRangeErrorKey = "RGXICURegexSubjectRange";
inline constexpr std::string_view RGXICURegexReplacementStringErrorKey = "RGXICURegexReplacementString";
inline constexpr std::string_view RGXICURegexReplacedStringErrorKey = "RGXICURegexReplacedString";
inline constexpr std::string_view RGXICURegexReplacedCountErrorKey = "RGXICURegexReplacedCount";
inline constexpr std::string_view RGXICURegexEnumerationOptionsErrorKey = "RGXICURegexEnumerationOptions";
inline constexpr std::string_view LocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr std::string_view LocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";

}  // namespace kavro
