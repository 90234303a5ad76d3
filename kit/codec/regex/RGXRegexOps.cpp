#include "kit/codec/regex/RGXRegexOps.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace kavro {

namespace {

constexpr std::size_t kInitialFindRanges = 2048;

// The dispatcher: lock, look up and bind, run the operation, unlock; then raise or report what
// went wrong. range comes back resolved (WholeLength replaced by the subject's length).
template <class Result, class Body>
Result performRegexOp(const RGXOpRequest& request, platform::Range& range,
                      std::optional<std::string_view> replacement, Result failed, Body&& body) {
  RGXFailure failure;
  range = request.range;
  std::optional<Result> result;
  {
    RGXCache& cache = RGXCache::shared();
    RGXCacheLock hold(cache);
    RGXCachedRegex* slot =
        cache.getCachedRegexSetToString(request.regex, request.options, request.subject, range, failure);
    if (slot) {
      try {
        result.emplace(body(*slot, failure));
      } catch (...) {
        slot->forgetLastMatch();
        throw;
      }
    }
  }
  if (failure) {
    RGXErrorContext context{request.regex, request.options, request.subject,
                            range,         replacement,     std::nullopt};
    rgx_raiseOrReport(failure, request.caller, context, request.error);
    return failed;
  }
  return std::move(*result);
}

bool captureIsValid(const RGXCachedRegex& slot, int capture, RGXFailure& failure) {
  if (capture >= 0 && capture <= slot.captureCount) return true;
  failure.set(RGXFailure::Kind::InvalidArgument, "The capture argument is not valid.");
  return false;
}

std::string textOf(const RGXCachedRegex& slot, RGXRange r) {
  if (r.location == RGXNotFound) return {};
  return rgx_utf8(slot.setToUniChar() + r.location, r.length);
}

// One find-all pass for op; false with the failure set on an ICU error.
bool findAll(RGXCachedRegex& slot, int op, int capture, RGXFindAll& all, RGXFailure& failure) {
  all.findInRange = slot.setToRange;
  all.findLimit = (op == RGXCapturesArrayOp || op == RGXDictionaryOfCapturesOp) ? 1 : INT32_MAX;
  all.capture = capture;
  UErrorCode status = U_ZERO_ERROR;
  if (!rgx_findRanges(slot, op, all, status)) {
    failure.setICU(status, RGXUnexpectedErrorDescription);
    return false;
  }
  return true;
}

struct Replaced {
  std::string text;
  std::int64_t count = 0;
};

// Every match of the slot's text replaced by the template: the output's length (needed even when it
// did not fit) and the count; status is U_BUFFER_OVERFLOW_ERROR when capacity was too small.
std::int64_t replaceAll(RGXCachedRegex& slot, const UChar* replacement, std::int32_t replacementLength,
                        UChar* out, std::int32_t capacity, std::int64_t& count, UErrorCode& status) {
  URegularExpression* re = slot.icu_regex;
  count = 0;
  UErrorCode findStatus = U_ZERO_ERROR;
  UErrorCode appendStatus = U_ZERO_ERROR;
  uregex_reset(re, 0, &findStatus);
  UChar* dest = out;
  std::int32_t destCapacity = capacity;
  std::int64_t needed = 0;
  while (U_SUCCESS(findStatus) && uregex_findNext(re, &findStatus)) {
    needed +=
        uregex_appendReplacement(re, replacement, replacementLength, &dest, &destCapacity, &appendStatus);
    if (U_FAILURE(appendStatus) && appendStatus != U_BUFFER_OVERFLOW_ERROR) {
      status = appendStatus;
      return 0;
    }
    ++count;
  }
  if (U_FAILURE(findStatus)) {
    status = findStatus;
    return 0;
  }
  needed += uregex_appendTail(re, &dest, &destCapacity, &appendStatus);
  if (U_FAILURE(appendStatus) && appendStatus != U_BUFFER_OVERFLOW_ERROR) {
    status = appendStatus;
    return 0;
  }
  status = appendStatus == U_BUFFER_OVERFLOW_ERROR ? U_BUFFER_OVERFLOW_ERROR : U_ZERO_ERROR;
  return needed;
}

std::optional<Replaced> replaceString(RGXCachedRegex& slot, std::string_view subject,
                                      std::string_view replacement, RGXFailure& failure) {
  constexpr const char* kTooLong = "Replacement string length exceeds INT_MAX.";
  if (replacement.size() >= std::size_t(INT32_MAX)) {
    failure.set(RGXFailure::Kind::Range, kTooLong);
    return std::nullopt;
  }
  RGXUnitBuffer<1024> units(replacement.size());
  std::int32_t replacementLength =
      rgx_utf16FromUtf8(replacement, units.data(), std::int32_t(replacement.size()));
  std::int64_t length = slot.setToRange.length;
  if (length / 2 + std::int64_t(replacementLength) * 2 >= INT32_MAX) {
    failure.set(RGXFailure::Kind::Range, kTooLong);
    return std::nullopt;
  }
  std::int64_t capacity =
      std::min<std::int64_t>(length + length / 2 + std::int64_t(replacementLength) * 2 + 16, INT32_MAX - 8);
  RGXUnitBuffer<8192> first{std::size_t(capacity)};
  std::unique_ptr<UChar[]> second;
  UChar* out = first.data();
  std::int64_t count = 0;
  UErrorCode status = U_ZERO_ERROR;
  std::int64_t needed =
      replaceAll(slot, units.data(), replacementLength, out, std::int32_t(capacity), count, status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    if (needed >= 2147483643) {
      slot.forgetLastMatch();
      failure.set(RGXFailure::Kind::Internal, "Replaced string length exceeds INT_MAX.");
      return std::nullopt;
    }
    capacity = needed + 8;
    second.reset(new UChar[std::size_t(capacity)]);
    out = second.get();
    status = U_ZERO_ERROR;
    needed = replaceAll(slot, units.data(), replacementLength, out, std::int32_t(capacity), count, status);
  }
  slot.forgetLastMatch();
  if (U_FAILURE(status)) {
    failure.setICU(status, RGXUnexpectedErrorDescription);
    return std::nullopt;
  }
  Replaced result;
  result.count = count;
  if (count == 0 && slot.setToRange.location == 0 && slot.setToRange.length == slot.setToLength()) {
    result.text.assign(subject);
  } else {
    rgx_appendUtf8(result.text, out, std::int32_t(needed));
  }
  return result;
}

}  // namespace

// ---- Search and find-all

std::int32_t rgx_nextSearchLocation(const RGXCachedRegex& slot) {
  const RGXRange m = slot.lastMatchRange;
  const std::int32_t end = m.max();
  const std::int32_t limit = slot.setToRange.max();
  if (m.length > 0 || end >= limit) return end;
  const UChar* u = slot.setToUniChar();
  if (end + 1 < limit && U16_IS_LEAD(u[end]) && U16_IS_TRAIL(u[end + 1])) return end + 2;
  return end + 1;
}

RGXRange rgx_search(RGXCachedRegex& slot, RGXRange searchRange, UErrorCode& status) {
  // The last answer stands while ICU's matcher still sits on it.
  if (searchRange == slot.lastFindRange) return slot.lastMatchRange;
  URegularExpression* re = slot.icu_regex;
  const std::int32_t base = slot.setToRange.location;
  bool found;
  if (slot.lastFindRange.location != RGXNotFound && searchRange.location == rgx_nextSearchLocation(slot)) {
    found = uregex_findNext(re, &status);
  } else {
    found = uregex_find(re, searchRange.location - base, &status);
  }
  RGXRange match = RGXNotFoundRange;
  if (found && U_SUCCESS(status)) {
    std::int32_t start = uregex_start(re, 0, &status);
    std::int32_t end = uregex_end(re, 0, &status);
    if (U_SUCCESS(status)) match = {start + base, end - start};
    if (match.location < searchRange.location || match.max() > searchRange.max()) match = RGXNotFoundRange;
  }
  if (U_FAILURE(status) || match.location == RGXNotFound) {
    slot.forgetLastMatch();
    return RGXNotFoundRange;
  }
  slot.lastFindRange = searchRange;
  slot.lastMatchRange = match;
  return match;
}

RGXRange rgx_captureRange(const RGXCachedRegex& slot, int group, UErrorCode& status) {
  std::int32_t start = uregex_start(slot.icu_regex, group, &status);
  if (U_FAILURE(status) || start < 0) return RGXNotFoundRange;
  std::int32_t end = uregex_end(slot.icu_regex, group, &status);
  if (U_FAILURE(status)) return RGXNotFoundRange;
  return {start + slot.setToRange.location, end - start};
}

void rgx_growFindRanges(const RGXCachedRegex& slot, RGXFindAll& findAll, std::int32_t lastMatchEnd,
                        std::size_t needed) {
  const std::size_t size = findAll.ranges.size();
  const double c = double(findAll.ranges.capacity());
  const double x = c + std::floor(c / 2);
  const double e = std::max(lastMatchEnd, 0);
  // Project the total from the density of ranges so far; every term is bounded, so the estimate
  // can neither overflow nor go negative.
  double projected = double(slot.setToLength()) / ((e + 1) / (double(size) + 1));
  const double most = (double(slot.setToLength()) + 2) * (double(slot.captureCount) + 1) + 16;
  projected = std::clamp(projected, 0.0, most);
  double capacity = std::floor((x + std::max(projected, x)) / 2) + 4.0 * slot.captureCount + 12;
  capacity = std::min(capacity, most);
  capacity = std::max(capacity, double(size + needed));
  findAll.ranges.reserve(std::size_t(capacity));
}

bool rgx_findRanges(RGXCachedRegex& slot, int op, RGXFindAll& findAll, UErrorCode& status) {
  const int kind = op & 0xF;
  const std::int32_t groups = slot.captureCount;
  const std::int32_t end = findAll.findInRange.max();
  auto& ranges = findAll.ranges;
  if (ranges.capacity() < kInitialFindRanges) ranges.reserve(kInitialFindRanges);

  RGXRange search = findAll.findInRange;
  std::int32_t pieceStart = search.location;  // split: where the next piece begins
  bool lastPieceEndsAtEnd = false;
  std::int32_t lastMatchEnd = search.location;
  std::int32_t matches = 0;
  while (matches < findAll.findLimit) {
    if (ranges.capacity() - ranges.size() < std::size_t(groups) + 4)
      rgx_growFindRanges(slot, findAll, lastMatchEnd, std::size_t(groups) + 4);
    RGXRange match = rgx_search(slot, search, status);
    if (U_FAILURE(status)) return false;
    if (match.location == RGXNotFound) break;
    ++matches;
    lastMatchEnd = match.max();
    switch (kind) {
      case RGXSplitOp:
        if (match.length == 0 && match.location == pieceStart) break;  // nothing between the two
        ranges.push_back({pieceStart, match.location - pieceStart});
        for (int g = 1; g <= groups; ++g) ranges.push_back(rgx_captureRange(slot, g, status));
        pieceStart = match.max();
        lastPieceEndsAtEnd = pieceStart == end;
        break;
      case RGXArrayOfStringsOp:
        ranges.push_back(findAll.capture == 0 ? match : rgx_captureRange(slot, findAll.capture, status));
        break;
      default:
        ranges.push_back(match);
        for (int g = 1; g <= groups; ++g) ranges.push_back(rgx_captureRange(slot, g, status));
        break;
    }
    if (U_FAILURE(status)) return false;
    if (match.length == 0 && match.location >= end) break;
    std::int32_t next = rgx_nextSearchLocation(slot);
    search = {next, end - next};
  }

  if (kind == RGXSplitOp) {
    if (!lastPieceEndsAtEnd) {
      ranges.push_back({pieceStart, end - pieceStart});
      findAll.addedSplitRanges = 1;
    } else {
      // Nothing follows the last match: drop the empty pieces at the end, with their captures.
      const std::size_t stride = std::size_t(groups) + 1;
      std::size_t keep = ranges.size();
      while (keep >= stride && ranges[keep - stride].length == 0) keep -= stride;
      ranges.resize(keep);
    }
  }
  return true;
}

// ---- Operations

std::int32_t rgx_captureCountOp(const RGXCaller& caller, std::string_view regex, std::uint32_t options,
                                platform::Error* error) {
  RGXFailure failure;
  std::int32_t count = -1;
  {
    RGXCache& cache = RGXCache::shared();
    RGXCacheLock hold(cache);
    if (RGXCachedRegex* slot = cache.getCachedRegex(regex, options, failure)) count = slot->captureCount;
  }
  if (failure) {
    RGXErrorContext context{regex, options, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    // A pattern that does not compile is an answer here, not a reason to raise.
    if (failure.kind == RGXFailure::Kind::ICU) {
      if (error) *error = rgx_makeError(failure, context);
    } else {
      rgx_raiseOrReport(failure, caller, context, error);
    }
    return -1;
  }
  return count;
}

platform::Range rgx_rangeOp(const RGXOpRequest& request) {
  platform::Range range;
  RGXRange found = performRegexOp<RGXRange>(
      request, range, std::nullopt, RGXNotFoundRange, [&](RGXCachedRegex& slot, RGXFailure& failure) {
        if (!captureIsValid(slot, request.capture, failure)) return RGXNotFoundRange;
        UErrorCode status = U_ZERO_ERROR;
        RGXRange match = rgx_search(slot, slot.setToRange, status);
        if (U_SUCCESS(status) && match.location != RGXNotFound && request.capture > 0)
          match = rgx_captureRange(slot, request.capture, status);
        if (U_FAILURE(status)) {
          failure.setICU(status, RGXUnexpectedErrorDescription);
          return RGXNotFoundRange;
        }
        return match;
      });
  return rgx_publicRange(found);
}

std::optional<std::string> rgx_stringOp(const RGXOpRequest& request) {
  platform::Range range;
  return performRegexOp<std::optional<std::string>>(
      request, range, std::nullopt, std::nullopt,
      [&](RGXCachedRegex& slot, RGXFailure& failure) -> std::optional<std::string> {
        if (!captureIsValid(slot, request.capture, failure)) return std::nullopt;
        UErrorCode status = U_ZERO_ERROR;
        RGXRange match = rgx_search(slot, slot.setToRange, status);
        if (U_SUCCESS(status) && match.location != RGXNotFound && request.capture > 0)
          match = rgx_captureRange(slot, request.capture, status);
        if (U_FAILURE(status)) {
          failure.setICU(status, RGXUnexpectedErrorDescription);
          return std::nullopt;
        }
        if (match.location == RGXNotFound) return std::nullopt;
        return textOf(slot, match);
      });
}

std::vector<std::string> rgx_arrayOp(const RGXOpRequest& request, int op) {
  platform::Range range;
  return performRegexOp<std::vector<std::string>>(
      request, range, std::nullopt, {}, [&](RGXCachedRegex& slot, RGXFailure& failure) {
        std::vector<std::string> result;
        if (op == RGXArrayOfStringsOp && !captureIsValid(slot, request.capture, failure)) return result;
        RGXFindAll all;
        if (!findAll(slot, op, request.capture, all, failure)) return result;
        result.reserve(all.found());
        for (RGXRange r : all.ranges) result.push_back(textOf(slot, r));
        return result;
      });
}

std::vector<std::vector<std::string>> rgx_arrayOfCapturesOp(const RGXOpRequest& request) {
  platform::Range range;
  return performRegexOp<std::vector<std::vector<std::string>>>(
      request, range, std::nullopt, {}, [&](RGXCachedRegex& slot, RGXFailure& failure) {
        std::vector<std::vector<std::string>> result;
        RGXFindAll all;
        if (!findAll(slot, RGXArrayOfCapturesOp | RGXSubcapturesArray, 0, all, failure)) return result;
        const std::size_t stride = std::size_t(slot.captureCount) + 1;
        result.reserve(all.found() / stride);
        for (std::size_t i = 0; i + stride <= all.found(); i += stride) {
          std::vector<std::string> match;
          match.reserve(stride);
          for (std::size_t g = 0; g < stride; ++g) match.push_back(textOf(slot, all.ranges[i + g]));
          result.push_back(std::move(match));
        }
        return result;
      });
}

std::vector<std::shared_ptr<platform::Dictionary>> rgx_dictionaryOp(const RGXOpRequest& request, int op,
                                                                    std::span<const std::string> keys,
                                                                    std::span<const int> captures) {
  using Result = std::vector<std::shared_ptr<platform::Dictionary>>;
  RGXFailure early;
  if (keys.empty()) {
    early.set(RGXFailure::Kind::InvalidArgument, "The keys argument is NULL.");
  } else if (captures.size() != keys.size()) {
    early.set(RGXFailure::Kind::InvalidArgument, "The captures argument does not hold one capture per key.");
  }
  if (early) {
    rgx_raiseOrReport(early, request.caller,
                      {request.regex, request.options, request.subject, request.range, {}, {}},
                      request.error);
    return {};
  }
  platform::Range range;
  return performRegexOp<Result>(
      request, range, std::nullopt, {}, [&](RGXCachedRegex& slot, RGXFailure& failure) {
        Result result;
        for (std::size_t i = 0; i < keys.size(); ++i) {
          if (captures[i] < 0 || captures[i] > slot.captureCount) {
            failure.set(RGXFailure::Kind::InvalidArgument,
                        "The capture argument " + std::to_string(captures[i]) + " (capture " +
                            std::to_string(i + 1) + " of " + std::to_string(keys.size()) + ") for key '" +
                            keys[i] + "' is not valid.");
            return result;
          }
        }
        RGXFindAll all;
        if (!findAll(slot, op, 0, all, failure)) return result;
        const std::size_t stride = std::size_t(slot.captureCount) + 1;
        for (std::size_t i = 0; i + stride <= all.found(); i += stride) {
          auto dictionary = platform::MutableDictionary::create();
          for (std::size_t k = 0; k < keys.size(); ++k)
            dictionary->setObject(textOf(slot, all.ranges[i + std::size_t(captures[k])]), keys[k]);
          result.push_back(std::move(dictionary));
        }
        return result;
      });
}

std::optional<std::string> rgx_replaceOp(const RGXOpRequest& request, std::string_view replacement) {
  platform::Range range;
  return performRegexOp<std::optional<std::string>>(
      request, range, replacement, std::nullopt,
      [&](RGXCachedRegex& slot, RGXFailure& failure) -> std::optional<std::string> {
        auto replaced = replaceString(slot, request.subject, replacement, failure);
        if (!replaced) return std::nullopt;
        return std::move(replaced->text);
      });
}

std::int64_t rgx_replaceMutableOp(const RGXOpRequest& request, std::string& receiver,
                                  std::string_view replacement) {
  platform::Range range;
  auto replaced = performRegexOp<std::optional<Replaced>>(
      request, range, replacement, std::nullopt, [&](RGXCachedRegex& slot, RGXFailure& failure) {
        auto result = replaceString(slot, request.subject, replacement, failure);
        // The receiver is about to change: nothing may stay bound to its old text.
        if (result && result->count > 0) RGXCache::shared().flushSubjectLocked(request.subject);
        return result;
      });
  if (!replaced) return -1;
  if (replaced->count > 0) receiver = platform::replace16(receiver, range, replaced->text);
  return replaced->count;
}

}  // namespace kavro
