#include "kit/codec/regex/MutableStringRegexBoxAdditions.h"

#include "kit/codec/regex/RGXBlockEnumerationHelper.h"
#include "kit/codec/regex/RGXRegexOps.h"

namespace kavro::str {

namespace {

RGXOpRequest request(const char* selector, const std::string& s, std::string_view regex,
                     RGXRegexOptions options = RGXRegexNoOptions,
                     platform::Range range = {0, platform::WholeLength}, platform::Error* error = nullptr) {
  RGXOpRequest r;
  r.caller = {'-', "NSMutableString", selector};
  r.regex = regex;
  r.options = options;
  r.subject = s;
  r.range = range;
  r.error = error;
  return r;
}

std::int64_t replaceByBlock(std::string& s, const RGXOpRequest& r,
                            RGXRegexEnumerationOptions enumerationOptions, const RGXReplaceBlock& block) {
  auto result = rgx_performEnumerationUsingBlock(r, RGXBlockEnumerationKind::Replace, enumerationOptions,
                                                 nullptr, &block);
  if (!result.ok) return -1;
  if (result.count > 0) s = platform::replace16(s, result.range, result.text);
  return result.count;
}

}  // namespace

std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, std::string_view replacement) {
  return rgx_replaceMutableOp(request("replaceOccurrencesOfRegex:withString:", s, regex), s, replacement);
}
std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, std::string_view replacement,
                                       platform::Range range) {
  return rgx_replaceMutableOp(
      request("replaceOccurrencesOfRegex:withString:range:", s, regex, RGXRegexNoOptions, range), s,
      replacement);
}
std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, std::string_view replacement,
                                       RGXRegexOptions options, platform::Range range,
                                       platform::Error* error) {
  return rgx_replaceMutableOp(
      request("replaceOccurrencesOfRegex:withString:options:range:error:", s, regex, options, range, error),
      s, replacement);
}

std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, const RGXReplaceBlock& block) {
  return replaceByBlock(s, request("replaceOccurrencesOfRegex:usingBlock:", s, regex),
                        RGXRegexEnumerationNoOptions, block);
}
std::int64_t replaceOccurrencesOfRegex(std::string& s, std::string_view regex, RGXRegexOptions options,
                                       platform::Range range, platform::Error* error,
                                       RGXRegexEnumerationOptions enumerationOptions,
                                       const RGXReplaceBlock& block) {
  return replaceByBlock(
      s,
      request("replaceOccurrencesOfRegex:options:inRange:error:enumerationOptions:usingBlock:", s, regex,
              options, range, error),
      enumerationOptions, block);
}

}  // namespace kavro::str
