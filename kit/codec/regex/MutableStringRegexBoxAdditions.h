#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "kit/codec/regex/RegexBox.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Text.h"

// In-place replacement on a string the caller owns; the conventions are those of
// StringRegexBoxAdditions.h. Each returns the number of replacements (the string is left alone when
// it is 0), or -1 after an error written to *error.
namespace kavro::str {

std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, std::string_view replacement);
std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, std::string_view replacement,
                                       platform::Range range);
std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, std::string_view replacement,
                                       RGXRegexOptions options, platform::Range range,
                                       platform::Error* error);

// Every match in range replaced by what the block returns.
std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, const RGXReplaceBlock& block);
std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, RGXRegexOptions options,
                                       platform::Range range, platform::Error* error,
                                       RGXRegexEnumerationOptions enumerationOptions,
                                       const RGXReplaceBlock& block);

}  // namespace kavro::str
