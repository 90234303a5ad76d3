#include "kit/codec/regex/RGXBlockEnumerationHelper.h"

#include <vector>

namespace kavro {

RGXBlockEnumerationHelper::RGXBlockEnumerationHelper(std::string_view regex, std::uint32_t options,
                                                     std::string_view subject, platform::Range& range,
                                                     RGXFailure& failure) {
  UErrorCode status = U_ZERO_ERROR;
  {
    RGXCache& cache = RGXCache::shared();
    RGXCacheLock hold(cache);
    RGXCachedRegex* slot = cache.getCachedRegex(regex, options, failure);
    if (!slot) return;
    cachedRegex_.icu_regex = uregex_clone(slot->icu_regex, &status);
    cachedRegex_.captureCount = slot->captureCount;
    cachedRegex_.options = options;
  }
  if (U_FAILURE(status)) {
    failure.setICU(status, RGXUnexpectedErrorDescription);
    return;
  }
  if (subject.size() >= std::size_t(INT32_MAX)) {
    failure.set(RGXFailure::Kind::Range, "String length exceeds INT_MAX.");
    return;
  }
  const std::int32_t bytes = std::int32_t(subject.size());
  buffer_.string.assign(subject);
  buffer_.heap.reset(new UChar[std::size_t(bytes) + 1]);
  buffer_.heapCapacity = bytes + 1;
  buffer_.uniChar = buffer_.heap.get();
  buffer_.length = rgx_utf16FromUtf8(subject, buffer_.uniChar, bytes);
  buffer_.generation = 1;

  const std::size_t length = std::size_t(buffer_.length);
  if (range.length == platform::WholeLength && range.location <= length)
    range.length = length - range.location;
  if (range.location > length || range.length > length - range.location) {
    failure.set(RGXFailure::Kind::Range, "Range or index out of bounds.");
    return;
  }
  RGXRange wanted{std::int32_t(range.location), std::int32_t(range.length)};
  uregex_setText(cachedRegex_.icu_regex, buffer_.uniChar + wanted.location, wanted.length, &status);
  if (U_FAILURE(status)) {
    failure.setICU(status, RGXUnexpectedErrorDescription);
    return;
  }
  cachedRegex_.buffer = &buffer_;
  cachedRegex_.bufferGeneration = buffer_.generation;
  cachedRegex_.setToRange = wanted;
  cachedRegex_.forgetLastMatch();
}

RGXBlockEnumerationHelper::~RGXBlockEnumerationHelper() {
  if (cachedRegex_.icu_regex) uregex_close(cachedRegex_.icu_regex);
}

namespace {

bool enumerationOptionsValid(std::uint32_t options, RGXBlockEnumerationKind kind) {
  constexpr std::uint32_t kKnown = RGXRegexEnumerationCapturedStringsNotRequired |
                                   RGXRegexEnumerationReleaseReplacementString |
                                   RGXRegexEnumerationReusedCapturedStrings;
  if (options & ~kKnown) return false;
  if ((options & RGXRegexEnumerationCapturedStringsNotRequired) &&
      (options & RGXRegexEnumerationReusedCapturedStrings))
    return false;
  if ((options & RGXRegexEnumerationReleaseReplacementString) && kind != RGXBlockEnumerationKind::Replace)
    return false;
  return true;
}

// The arrays handed to the block for one call.
class Captures {
 public:
  Captures(RGXCachedRegex& slot, std::uint32_t options)
      : slot_(slot),
        wantStrings_(!(options & RGXRegexEnumerationCapturedStringsNotRequired)),
        reuse_(options & RGXRegexEnumerationReusedCapturedStrings) {}

  void clear() {
    ranges_.clear();
    used_ = 0;
    if (!reuse_) strings_.clear();
  }
  void add(RGXRange r) {
    ranges_.push_back(rgx_publicRange(r));
    if (!wantStrings_) return;
    // Reused strings keep their storage from call to call.
    if (used_ == strings_.size()) strings_.emplace_back();
    std::string& s = strings_[used_++];
    s.clear();
    if (r.location != RGXNotFound) rgx_appendUtf8(s, slot_.setToUniChar() + r.location, r.length);
  }
  std::span<const std::string> strings() const { return {strings_.data(), used_}; }
  std::span<const platform::Range> ranges() const { return ranges_; }
  std::size_t count() const { return ranges_.size(); }

 private:
  RGXCachedRegex& slot_;
  bool wantStrings_;
  bool reuse_;
  std::vector<std::string> strings_;
  std::size_t used_ = 0;
  std::vector<platform::Range> ranges_;
};

}  // namespace

RGXEnumerationResult rgx_performEnumerationUsingBlock(const RGXOpRequest& request,
                                                      RGXBlockEnumerationKind kind,
                                                      std::uint32_t enumerationOptions,
                                                      const RGXMatchBlock* matchBlock,
                                                      const RGXReplaceBlock* replaceBlock) {
  RGXEnumerationResult result;
  RGXFailure failure;
  RGXErrorContext context{request.regex, request.options, request.subject,
                          request.range, std::nullopt,    enumerationOptions};
  const bool replacing = kind == RGXBlockEnumerationKind::Replace;
  if (!enumerationOptionsValid(enumerationOptions, kind)) {
    failure.set(RGXFailure::Kind::InvalidArgument, "The RGXRegexEnumerationOptions argument is not valid.");
  } else if (replacing ? !(replaceBlock && *replaceBlock) : !(matchBlock && *matchBlock)) {
    failure.set(RGXFailure::Kind::InvalidArgument, "The block argument is NULL.");
  }
  if (failure) {
    rgx_raiseOrReport(failure, request.caller, context, request.error);
    return result;
  }

  result.range = request.range;
  RGXBlockEnumerationHelper helper(request.regex, request.options, request.subject, result.range, failure);
  RGXCachedRegex& slot = helper.cachedRegex();
  const RGXRange range = slot.setToRange;
  const std::int32_t end = range.max();
  const std::int32_t groups = slot.captureCount;
  const UChar* units = slot.buffer ? slot.setToUniChar() : nullptr;

  Captures captures(slot, enumerationOptions);
  std::int32_t copied = range.location;      // replace: subject text before this is in the output
  std::int32_t pieceStart = range.location;  // separated: where the next piece begins
  bool lastPieceEndsAtEnd = false;
  bool stop = false;
  RGXRange search = range;
  UErrorCode status = U_ZERO_ERROR;
  auto call = [&] {
    ++result.count;
    if (replacing) {
      std::string replacement =
          (*replaceBlock)(captures.count(), captures.strings(), captures.ranges(), stop);
      result.text += replacement;
    } else {
      (*matchBlock)(captures.count(), captures.strings(), captures.ranges(), stop);
    }
  };

  while (!failure && !stop) {
    RGXRange match = rgx_search(slot, search, status);
    if (U_FAILURE(status)) break;
    if (match.location == RGXNotFound) break;
    captures.clear();
    bool skip = false;
    if (kind == RGXBlockEnumerationKind::Separated) {
      skip = match.length == 0 && match.location == pieceStart;
      if (!skip) captures.add({pieceStart, match.location - pieceStart});
    } else {
      captures.add(match);
    }
    if (!skip) {
      for (int g = 1; g <= groups && U_SUCCESS(status); ++g) captures.add(rgx_captureRange(slot, g, status));
      if (U_FAILURE(status)) break;
      if (replacing) rgx_appendUtf8(result.text, units + copied, match.location - copied);
      call();
      copied = match.max();
      pieceStart = match.max();
      lastPieceEndsAtEnd = pieceStart == end;
    }
    if (match.length == 0 && match.location >= end) break;
    std::int32_t next = rgx_nextSearchLocation(slot);
    search = {next, end - next};
  }
  if (U_FAILURE(status)) failure.setICU(status, RGXUnexpectedErrorDescription);

  if (!failure && !stop && kind == RGXBlockEnumerationKind::Separated && !lastPieceEndsAtEnd) {
    captures.clear();
    captures.add({pieceStart, end - pieceStart});
    call();
  }
  if (failure) {
    context.range = result.range;
    // After a block call the caller's string may have changed under its view.
    if (result.count > 0) context.subject = std::string_view(helper.subject());
    rgx_raiseOrReport(failure, request.caller, context, request.error);
    result.text.clear();
    return result;
  }
  if (replacing) {
    if (result.count == 0) {
      if (range.location == 0 && range.length == slot.setToLength()) {
        result.text = helper.subject();
      } else {
        rgx_appendUtf8(result.text, units + range.location, range.length);
      }
    } else {
      rgx_appendUtf8(result.text, units + copied, end - copied);
    }
  }
  result.ok = true;
  return result;
}

}  // namespace kavro
