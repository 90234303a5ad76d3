#include "kit/codec/regex/StringRegexBoxAdditions.h"

#include <algorithm>

#include "kit/codec/regex/RGXBlockEnumerationHelper.h"
#include "kit/codec/regex/RGXRegexOps.h"

namespace kavro::str {

namespace {

using platform::Range;

constexpr Range kWhole{0, platform::WholeLength};

RGXOpRequest request(const char* selector, std::string_view s, std::string_view regex,
                     RGXRegexOptions options = RGXRegexNoOptions, Range range = kWhole, int capture = 0,
                     platform::Error* error = nullptr) {
  RGXOpRequest r;
  r.caller = {'-', "NSString", selector};
  r.regex = regex;
  r.options = options;
  r.subject = s;
  r.range = range;
  r.capture = capture;
  r.error = error;
  return r;
}

struct KeyLists {
  std::vector<std::string> keys;
  std::vector<int> captures;
};

KeyLists split(const RGXKeysAndCaptures& pairs) {
  KeyLists lists;
  std::size_t n = std::min(pairs.size(), RGXMaxKeysAndCaptures);
  lists.keys.reserve(n);
  lists.captures.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    lists.keys.push_back(pairs[i].first);
    lists.captures.push_back(pairs[i].second);
  }
  return lists;
}

std::shared_ptr<platform::Dictionary> firstDictionary(
    std::vector<std::shared_ptr<platform::Dictionary>> all) {
  if (all.empty()) return platform::MutableDictionary::create();
  return std::move(all.front());
}

}  // namespace

// ---- Compile only

std::int64_t captureCountForRegex(std::string_view regex) {
  return rgx_captureCountOp({'+', "NSString", "captureCountForRegex:"}, regex, 0, nullptr);
}
std::int64_t captureCountForRegex(std::string_view regex, RGXRegexOptions options, platform::Error* error) {
  return rgx_captureCountOp({'+', "NSString", "captureCountForRegex:options:error:"}, regex, options, error);
}
std::int64_t captureCount(std::string_view regex) {
  return rgx_captureCountOp({'-', "NSString", "captureCount"}, regex, 0, nullptr);
}
std::int64_t captureCountWithOptions(std::string_view regex, RGXRegexOptions options,
                                     platform::Error* error) {
  return rgx_captureCountOp({'-', "NSString", "captureCountWithOptions:error:"}, regex, options, error);
}
bool isRegexValid(std::string_view regex) {
  return rgx_captureCountOp({'-', "NSString", "isRegexValid"}, regex, 0, nullptr) >= 0;
}
bool isRegexValidWithOptions(std::string_view regex, RGXRegexOptions options, platform::Error* error) {
  return rgx_captureCountOp({'-', "NSString", "isRegexValidWithOptions:error:"}, regex, options, error) >= 0;
}

// ---- Match test, range, matched text

bool isMatchedByRegex(std::string_view s, std::string_view regex) {
  return rgx_rangeOp(request("isMatchedByRegex:", s, regex)).found();
}
bool isMatchedByRegex(std::string_view s, std::string_view regex, Range range) {
  return rgx_rangeOp(request("isMatchedByRegex:inRange:", s, regex, RGXRegexNoOptions, range)).found();
}
bool isMatchedByRegex(std::string_view s, std::string_view regex, RGXRegexOptions options, Range range,
                      platform::Error* error) {
  return rgx_rangeOp(request("isMatchedByRegex:options:inRange:error:", s, regex, options, range, 0, error))
      .found();
}

Range rangeOfRegex(std::string_view s, std::string_view regex) {
  return rgx_rangeOp(request("rangeOfRegex:", s, regex));
}
Range rangeOfRegex(std::string_view s, std::string_view regex, int capture) {
  return rgx_rangeOp(request("rangeOfRegex:capture:", s, regex, RGXRegexNoOptions, kWhole, capture));
}
Range rangeOfRegex(std::string_view s, std::string_view regex, Range range) {
  return rgx_rangeOp(request("rangeOfRegex:inRange:", s, regex, RGXRegexNoOptions, range));
}
Range rangeOfRegex(std::string_view s, std::string_view regex, RGXRegexOptions options, Range range,
                   int capture, platform::Error* error) {
  return rgx_rangeOp(
      request("rangeOfRegex:options:inRange:capture:error:", s, regex, options, range, capture, error));
}

std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex) {
  return rgx_stringOp(request("stringByMatching:", s, regex));
}
std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex, int capture) {
  return rgx_stringOp(request("stringByMatching:capture:", s, regex, RGXRegexNoOptions, kWhole, capture));
}
std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex, Range range) {
  return rgx_stringOp(request("stringByMatching:inRange:", s, regex, RGXRegexNoOptions, range));
}
std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex,
                                            RGXRegexOptions options, Range range, int capture,
                                            platform::Error* error) {
  return rgx_stringOp(
      request("stringByMatching:options:inRange:capture:error:", s, regex, options, range, capture, error));
}

// ---- Arrays

std::vector<std::string> componentsSeparatedByRegex(std::string_view s, std::string_view regex) {
  return rgx_arrayOp(request("componentsSeparatedByRegex:", s, regex), RGXSplitOp);
}
std::vector<std::string> componentsSeparatedByRegex(std::string_view s, std::string_view regex, Range range) {
  return rgx_arrayOp(request("componentsSeparatedByRegex:range:", s, regex, RGXRegexNoOptions, range),
                     RGXSplitOp);
}
std::vector<std::string> componentsSeparatedByRegex(std::string_view s, std::string_view regex,
                                                    RGXRegexOptions options, Range range,
                                                    platform::Error* error) {
  return rgx_arrayOp(
      request("componentsSeparatedByRegex:options:range:error:", s, regex, options, range, 0, error),
      RGXSplitOp);
}

std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex) {
  return rgx_arrayOp(request("componentsMatchedByRegex:", s, regex), RGXArrayOfStringsOp);
}
std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex, int capture) {
  return rgx_arrayOp(
      request("componentsMatchedByRegex:capture:", s, regex, RGXRegexNoOptions, kWhole, capture),
      RGXArrayOfStringsOp);
}
std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex, Range range) {
  return rgx_arrayOp(request("componentsMatchedByRegex:range:", s, regex, RGXRegexNoOptions, range),
                     RGXArrayOfStringsOp);
}
std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex,
                                                  RGXRegexOptions options, Range range, int capture,
                                                  platform::Error* error) {
  return rgx_arrayOp(request("componentsMatchedByRegex:options:range:capture:error:", s, regex, options,
                             range, capture, error),
                     RGXArrayOfStringsOp);
}

std::vector<std::string> captureComponentsMatchedByRegex(std::string_view s, std::string_view regex) {
  return rgx_arrayOp(request("captureComponentsMatchedByRegex:", s, regex), RGXCapturesArrayOp);
}
std::vector<std::string> captureComponentsMatchedByRegex(std::string_view s, std::string_view regex,
                                                         Range range) {
  return rgx_arrayOp(request("captureComponentsMatchedByRegex:range:", s, regex, RGXRegexNoOptions, range),
                     RGXCapturesArrayOp);
}
std::vector<std::string> captureComponentsMatchedByRegex(std::string_view s, std::string_view regex,
                                                         RGXRegexOptions options, Range range,
                                                         platform::Error* error) {
  return rgx_arrayOp(
      request("captureComponentsMatchedByRegex:options:range:error:", s, regex, options, range, 0, error),
      RGXCapturesArrayOp);
}

std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(std::string_view s,
                                                                             std::string_view regex) {
  return rgx_arrayOfCapturesOp(request("arrayOfCaptureComponentsMatchedByRegex:", s, regex));
}
std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(std::string_view s,
                                                                             std::string_view regex,
                                                                             Range range) {
  return rgx_arrayOfCapturesOp(
      request("arrayOfCaptureComponentsMatchedByRegex:range:", s, regex, RGXRegexNoOptions, range));
}
std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(std::string_view s,
                                                                             std::string_view regex,
                                                                             RGXRegexOptions options,
                                                                             Range range,
                                                                             platform::Error* error) {
  return rgx_arrayOfCapturesOp(request("arrayOfCaptureComponentsMatchedByRegex:options:range:error:", s,
                                       regex, options, range, 0, error));
}

// ---- Dictionaries

std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                const RGXKeysAndCaptures& keysAndCaptures) {
  KeyLists l = split(keysAndCaptures);
  return firstDictionary(rgx_dictionaryOp(request("dictionaryByMatchingRegex:withKeysAndCaptures:", s, regex),
                                          RGXDictionaryOfCapturesOp, l.keys, l.captures));
}
std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                Range range,
                                                                const RGXKeysAndCaptures& keysAndCaptures) {
  KeyLists l = split(keysAndCaptures);
  return firstDictionary(rgx_dictionaryOp(
      request("dictionaryByMatchingRegex:range:withKeysAndCaptures:", s, regex, RGXRegexNoOptions, range),
      RGXDictionaryOfCapturesOp, l.keys, l.captures));
}
std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                RGXRegexOptions options, Range range,
                                                                platform::Error* error,
                                                                const RGXKeysAndCaptures& keysAndCaptures) {
  KeyLists l = split(keysAndCaptures);
  return firstDictionary(
      rgx_dictionaryOp(request("dictionaryByMatchingRegex:options:range:error:withKeysAndCaptures:", s, regex,
                               options, range, 0, error),
                       RGXDictionaryOfCapturesOp, l.keys, l.captures));
}
std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                RGXRegexOptions options, Range range,
                                                                platform::Error* error,
                                                                std::span<const std::string> keys,
                                                                std::span<const int> captures) {
  return firstDictionary(
      rgx_dictionaryOp(request("dictionaryByMatchingRegex:options:range:error:withKeys:forCaptures:count:", s,
                               regex, options, range, 0, error),
                       RGXDictionaryOfCapturesOp, keys, captures));
}

std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, const RGXKeysAndCaptures& keysAndCaptures) {
  KeyLists l = split(keysAndCaptures);
  return rgx_dictionaryOp(request("arrayOfDictionariesByMatchingRegex:withKeysAndCaptures:", s, regex),
                          RGXArrayOfDictionariesOfCapturesOp, l.keys, l.captures);
}
std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, Range range, const RGXKeysAndCaptures& keysAndCaptures) {
  KeyLists l = split(keysAndCaptures);
  return rgx_dictionaryOp(request("arrayOfDictionariesByMatchingRegex:range:withKeysAndCaptures:", s, regex,
                                  RGXRegexNoOptions, range),
                          RGXArrayOfDictionariesOfCapturesOp, l.keys, l.captures);
}
std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, RGXRegexOptions options, Range range, platform::Error* error,
    const RGXKeysAndCaptures& keysAndCaptures) {
  KeyLists l = split(keysAndCaptures);
  return rgx_dictionaryOp(
      request("arrayOfDictionariesByMatchingRegex:options:range:error:withKeysAndCaptures:", s, regex,
              options, range, 0, error),
      RGXArrayOfDictionariesOfCapturesOp, l.keys, l.captures);
}
std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, RGXRegexOptions options, Range range, platform::Error* error,
    std::span<const std::string> keys, std::span<const int> captures) {
  return rgx_dictionaryOp(
      request("arrayOfDictionariesByMatchingRegex:options:range:error:withKeys:forCaptures:count:", s, regex,
              options, range, 0, error),
      RGXArrayOfDictionariesOfCapturesOp, keys, captures);
}

// ---- Replace

std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               std::string_view replacement) {
  return rgx_replaceOp(request("stringByReplacingOccurrencesOfRegex:withString:", s, regex), replacement);
}
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               std::string_view replacement, Range range) {
  return rgx_replaceOp(
      request("stringByReplacingOccurrencesOfRegex:withString:range:", s, regex, RGXRegexNoOptions, range),
      replacement);
}
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               std::string_view replacement,
                                                               RGXRegexOptions options, Range range,
                                                               platform::Error* error) {
  return rgx_replaceOp(request("stringByReplacingOccurrencesOfRegex:withString:options:range:error:", s,
                               regex, options, range, 0, error),
                       replacement);
}

// ---- Blocks

bool enumerateStringsMatchedByRegex(std::string_view s, std::string_view regex, const RGXMatchBlock& block) {
  return rgx_performEnumerationUsingBlock(request("enumerateStringsMatchedByRegex:usingBlock:", s, regex),
                                          RGXBlockEnumerationKind::Matches, 0, &block, nullptr)
      .ok;
}
bool enumerateStringsMatchedByRegex(std::string_view s, std::string_view regex, RGXRegexOptions options,
                                    Range range, platform::Error* error,
                                    RGXRegexEnumerationOptions enumerationOptions,
                                    const RGXMatchBlock& block) {
  return rgx_performEnumerationUsingBlock(
             request("enumerateStringsMatchedByRegex:options:inRange:error:enumerationOptions:usingBlock:", s,
                     regex, options, range, 0, error),
             RGXBlockEnumerationKind::Matches, enumerationOptions, &block, nullptr)
      .ok;
}

bool enumerateStringsSeparatedByRegex(std::string_view s, std::string_view regex,
                                      const RGXMatchBlock& block) {
  return rgx_performEnumerationUsingBlock(request("enumerateStringsSeparatedByRegex:usingBlock:", s, regex),
                                          RGXBlockEnumerationKind::Separated, 0, &block, nullptr)
      .ok;
}
bool enumerateStringsSeparatedByRegex(std::string_view s, std::string_view regex, RGXRegexOptions options,
                                      Range range, platform::Error* error,
                                      RGXRegexEnumerationOptions enumerationOptions,
                                      const RGXMatchBlock& block) {
  return rgx_performEnumerationUsingBlock(
             request("enumerateStringsSeparatedByRegex:options:inRange:error:enumerationOptions:usingBlock:",
                     s, regex, options, range, 0, error),
             RGXBlockEnumerationKind::Separated, enumerationOptions, &block, nullptr)
      .ok;
}

std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               const RGXReplaceBlock& block) {
  auto result =
      rgx_performEnumerationUsingBlock(request("stringByReplacingOccurrencesOfRegex:usingBlock:", s, regex),
                                       RGXBlockEnumerationKind::Replace, 0, nullptr, &block);
  if (!result.ok) return std::nullopt;
  return std::move(result.text);
}
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               RGXRegexOptions options, Range range,
                                                               platform::Error* error,
                                                               RGXRegexEnumerationOptions enumerationOptions,
                                                               const RGXReplaceBlock& block) {
  auto result = rgx_performEnumerationUsingBlock(
      request("stringByReplacingOccurrencesOfRegex:options:inRange:error:enumerationOptions:usingBlock:", s,
              regex, options, range, 0, error),
      RGXBlockEnumerationKind::Replace, enumerationOptions, nullptr, &block);
  if (!result.ok) return std::nullopt;
  return std::move(result.text);
}

// ---- Cache control

void clearStringCache() { RGXCache::shared().clearStringCache(); }

void flushCachedRegexData(std::string_view s) {
  RGXCache& cache = RGXCache::shared();
  RGXCacheLock hold(cache);
  cache.flushSubjectLocked(s);
}

}  // namespace kavro::str
