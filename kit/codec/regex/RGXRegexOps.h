#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kit/codec/regex/RGXCachedRegex.h"
#include "platform/foundation/Dictionary.h"

// The operations engine: every non-block string operation runs here, with the cache lock held
// from lookup to the last use of ICU. Results, errors and exceptions leave after the lock is free.
namespace kavro {

enum RGXRegexOp : int {
  RGXSplitOp = 1,
  RGXReplaceOp = 2,
  RGXRangeOp = 3,
  RGXArrayOfStringsOp = 4,
  RGXArrayOfCapturesOp = 5,
  RGXCapturesArrayOp = 6,
  RGXDictionaryOfCapturesOp = 7,
  RGXArrayOfDictionariesOfCapturesOp = 8,
  RGXReplaceMutable = 16,
  RGXSubcapturesArray = 32,
};

// The working record of one find-all pass. Ranges are subject positions; a capture that did not
// take part is RGXNotFoundRange.
struct RGXFindAll {
  std::vector<RGXRange> ranges;
  RGXRange findInRange = RGXNotFoundRange;
  std::int32_t findLimit = INT32_MAX;
  int capture = 0;
  int addedSplitRanges = 0;
  std::size_t found() const { return ranges.size(); }
};

// The next match in searchRange after the slot's last one, in subject
// positions; RGXNotFoundRange when there is none. ICU failures land in status.
RGXRange rgx_search(RGXCachedRegex& slot, RGXRange searchRange, UErrorCode& status);
// Where a search continues after the slot's last match: past an empty match by one character
// (never splitting a surrogate pair).
std::int32_t rgx_nextSearchLocation(const RGXCachedRegex& slot);
// The range of capture group of ICU's current match, in subject positions.
RGXRange rgx_captureRange(const RGXCachedRegex& slot, int group, UErrorCode& status);
// Collects the ranges an operation needs over findAll.findInRange. False on an ICU failure.
bool rgx_findRanges(RGXCachedRegex& slot, int op, RGXFindAll& findAll, UErrorCode& status);
// Makes room for at least `needed` more ranges, projecting the total from the matches so far.
void rgx_growFindRanges(const RGXCachedRegex& slot, RGXFindAll& findAll, std::int32_t lastMatchEnd,
                        std::size_t needed);

// One call of a string operation.
struct RGXOpRequest {
  RGXCaller caller;
  std::string_view regex;
  std::uint32_t options = 0;
  std::string_view subject;
  platform::Range range{0, platform::WholeLength};
  int capture = 0;
  platform::Error* error = nullptr;
};

// Compile-only: the capture count, -1 when the pattern does not compile (reported through error).
std::int32_t rgx_captureCountOp(const RGXCaller& caller, std::string_view regex, std::uint32_t options,
                                platform::Error* error);
// Code 3: the range of the first match or of one capture in it.
platform::Range rgx_rangeOp(const RGXOpRequest& request);
// Code 3, as text.
std::optional<std::string> rgx_stringOp(const RGXOpRequest& request);
// Codes 1, 4 and 6.
std::vector<std::string> rgx_arrayOp(const RGXOpRequest& request, int op);
// Code 37.
std::vector<std::vector<std::string>> rgx_arrayOfCapturesOp(const RGXOpRequest& request);
// Codes 7 and 8: at most one dictionary for code 7.
std::vector<std::shared_ptr<platform::Dictionary>> rgx_dictionaryOp(const RGXOpRequest& request, int op,
                                                                    std::span<const std::string> keys,
                                                                    std::span<const int> captures);
// Code 2: the text of the range with every match replaced; nullopt after a reported error.
std::optional<std::string> rgx_replaceOp(const RGXOpRequest& request, std::string_view replacement);
// Code 18: replaces in receiver (request.subject must view it); the count, -1 after a reported error.
std::int64_t rgx_replaceMutableOp(const RGXOpRequest& request, std::string& receiver,
                                  std::string_view replacement);

}  // namespace kavro
