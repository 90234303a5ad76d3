#include "kit/codec/regex/RGXCachedRegex.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "kit/codec/regex/RGXICURegexException.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"

namespace kavro {

namespace {

inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

std::uint32_t patternHash(std::string_view s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

bool sameText(const std::string& a, std::string_view b) {
  return a.size() == b.size() && (b.empty() || std::memcmp(a.data(), b.data(), b.size()) == 0);
}

std::string formatRange(platform::Range r) {
  return "{" + std::to_string(r.location) + ", " + std::to_string(r.length) + "}";
}

std::string contextText(const UChar* s) { return rgx_utf8(s, u_strlen(s)); }

}  // namespace

// ---- Text conversion

std::int32_t rgx_utf16FromUtf8(std::string_view text, UChar* dest, std::int32_t capacity) {
  if (text.empty()) return 0;
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length = 0;
  u_strFromUTF8(dest, capacity, &length, text.data(), std::int32_t(text.size()), &status);
  if (U_SUCCESS(status)) return length;
  // Invalid bytes: count them the way the rest of the system does, one U+FFFD each.
  std::u16string units = platform::toUtf16(text);
  std::int32_t n = std::int32_t(std::min<std::size_t>(units.size(), std::size_t(capacity)));
  std::memcpy(dest, units.data(), std::size_t(n) * sizeof(UChar));
  return n;
}

void rgx_appendUtf8(std::string& out, const UChar* s, std::int32_t n) {
  std::size_t bytes = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    UChar c = s[i];
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (U16_IS_LEAD(c) && i + 1 < n && U16_IS_TRAIL(s[i + 1])) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3;  // BMP, or a lone surrogate written as U+FFFD
    }
  }
  std::size_t at = out.size();
  out.resize(at + bytes);
  char* p = out.data() + at;
  for (std::int32_t i = 0; i < n; ++i) {
    std::uint32_t c = s[i];
    if (c < 0x80) {
      *p++ = char(c);
    } else if (c < 0x800) {
      *p++ = char(0xC0 | (c >> 6));
      *p++ = char(0x80 | (c & 0x3F));
    } else {
      if (U16_IS_SURROGATE(c)) {
        if (U16_IS_LEAD(c) && i + 1 < n && U16_IS_TRAIL(s[i + 1])) {
          std::uint32_t cp = U16_GET_SUPPLEMENTARY(c, s[i + 1]);
          ++i;
          *p++ = char(0xF0 | (cp >> 18));
          *p++ = char(0x80 | ((cp >> 12) & 0x3F));
          *p++ = char(0x80 | ((cp >> 6) & 0x3F));
          *p++ = char(0x80 | (cp & 0x3F));
          continue;
        }
        c = 0xFFFD;
      }
      *p++ = char(0xE0 | (c >> 12));
      *p++ = char(0x80 | ((c >> 6) & 0x3F));
      *p++ = char(0x80 | (c & 0x3F));
    }
  }
}

// ---- Errors and exceptions

platform::Error rgx_makeError(const RGXFailure& failure, const RGXErrorContext& context) {
  auto info = platform::MutableDictionary::create();
  const char* errorName = u_errorName(failure.status);
  info->setObject(std::string(context.regex), RGXICURegexRegexErrorKey);
  info->setObject(context.options, RGXICURegexRegexOptionsErrorKey);
  info->setObject(int(failure.status), RGXICURegexErrorCodeErrorKey);
  info->setObject(errorName, RGXICURegexErrorNameErrorKey);
  bool positionKnown = failure.parseError.line >= 0;
  if (positionKnown) {
    info->setObject(failure.parseError.line, RGXICURegexLineErrorKey);
    info->setObject(failure.parseError.offset, RGXICURegexOffsetErrorKey);
    info->setObject(contextText(failure.parseError.preContext), RGXICURegexPreContextErrorKey);
    info->setObject(contextText(failure.parseError.postContext), RGXICURegexPostContextErrorKey);
  }
  if (context.subject) info->setObject(std::string(*context.subject), RGXICURegexSubjectStringErrorKey);
  if (context.range) info->setObject(formatRange(*context.range), RGXICURegexSubjectRangeErrorKey);
  if (context.replacement)
    info->setObject(std::string(*context.replacement), RGXICURegexReplacementStringErrorKey);
  if (context.enumerationOptions)
    info->setObject(*context.enumerationOptions, RGXICURegexEnumerationOptionsErrorKey);
  info->setObject(failure.description, LocalizedDescriptionKey);
  std::string reason = "The error " + std::string(errorName) + " occurred";
  if (positionKnown) {
    reason += " at line " + std::to_string(failure.parseError.line) + ", column " +
              std::to_string(failure.parseError.offset) + ": " + contextText(failure.parseError.preContext) +
              "<<HERE>>" + contextText(failure.parseError.postContext);
  } else {
    reason += ".";
  }
  info->setObject(reason, LocalizedFailureReasonErrorKey);

  platform::Error error;
  error.domain = std::string(RGXICURegexErrorDomain);
  error.code = failure.status;
  error.localizedDescription = failure.description;
  error.userInfo = std::move(info);
  return error;
}

void rgx_raiseOrReport(const RGXFailure& failure, const RGXCaller& caller, const RGXErrorContext& context,
                       platform::Error* error) {
  auto reason = [&] {
    return std::string("*** ") + caller.kind + "[" + (caller.className ? caller.className : "<NULL>") + " " +
           (caller.selector ? caller.selector : ":NULL:") + "]: " + failure.message;
  };
  switch (failure.kind) {
    case RGXFailure::Kind::None:
      return;
    case RGXFailure::Kind::InvalidArgument:
      throw platform::InvalidArgumentException(reason());
    case RGXFailure::Kind::Range:
      throw platform::RangeException(reason());
    case RGXFailure::Kind::Internal:
      throw platform::InternalInconsistencyException(reason());
    case RGXFailure::Kind::ICU: {
      platform::Error made = rgx_makeError(failure, context);
      if (error) {
        *error = std::move(made);
        return;
      }
      throw RGXICURegexException("ICU regular expression error #" + std::to_string(int(failure.status)) +
                                     ", " + u_errorName(failure.status) + ".",
                                 made.userInfo);
    }
  }
}

// ---- The cache

RGXCache& RGXCache::shared() {
  static RGXCache* cache = new RGXCache();
  return *cache;
}

RGXCache::RGXCache() {
  for (auto& r : setRecency_) r = kInitialRecency;
  for (int i = 0; i < kBuffers; ++i) fixed_[i].uniChar = fixedArrays_[i];
  platform::NotificationCenter::defaultCenter().addObserver(
      platform::MemoryWarningNotification, nullptr,
      [this](const platform::Notification&) { lowMemoryWarning(); }, this);
}

void RGXCache::lock() {
  int spins = 0;
  while (locked_.exchange(true, std::memory_order_acquire)) {
    while (locked_.load(std::memory_order_relaxed)) {
      if (++spins < 100) {
        cpuRelax();
      } else {
        std::this_thread::yield();
      }
    }
  }
}

bool RGXCache::tryLock() {
  return !locked_.load(std::memory_order_relaxed) && !locked_.exchange(true, std::memory_order_acquire);
}

void RGXCache::unlock() {
  if (flushPending_.load(std::memory_order_relaxed) &&
      flushPending_.exchange(false, std::memory_order_acq_rel))
    flushLocked();
  locked_.store(false, std::memory_order_release);
}

int RGXCache::victimWay(std::uint16_t recency) {
  for (int way = kWays - 1; way >= 0; --way)
    if (((recency >> (4 * way)) & 0xF) == 0) return way;
  return 0;  // unreachable: one field is always zero
}

std::uint16_t RGXCache::useWay(std::uint16_t recency, int way) {
  recency = std::uint16_t(recency | (0xF << (4 * way)));
  return std::uint16_t(recency & ~(0x1111 << (3 - way)));
}

int RGXCache::cacheSetForPattern(std::string_view pattern, std::uint32_t options) {
  return int((patternHash(pattern) ^ options) % kSets);
}

void RGXCache::hit(int slotIndex, unsigned directIndex) {
  last_ = &slots_[slotIndex];
  direct_[directIndex] = std::uint8_t(slotIndex);
  int set = slotIndex / kWays;
  setRecency_[set] = useWay(setRecency_[set], slotIndex % kWays);
}

void RGXCache::emptySlot(RGXCachedRegex& slot) {
  if (slot.icu_regex) uregex_close(slot.icu_regex);
  slot.icu_regex = nullptr;
  slot.regexString.clear();
  slot.regexHash = 0;
  slot.options = 0;
  slot.captureCount = -1;
  slot.buffer = nullptr;
  slot.bufferGeneration = 0;
  slot.setToRange = RGXNotFoundRange;
  slot.forgetLastMatch();
  if (last_ == &slot) last_ = nullptr;
}

void RGXCache::emptyBuffer(RGXBuffer& buffer, bool freeArray) {
  buffer.generation = 0;
  buffer.length = 0;
  if (freeArray) {
    std::string().swap(buffer.string);
    if (buffer.heap) {
      buffer.heap.reset();
      buffer.heapCapacity = 0;
      buffer.uniChar = nullptr;
    }
  } else {
    buffer.string.clear();
  }
}

RGXCachedRegex* RGXCache::getCachedRegex(std::string_view pattern, std::uint32_t options,
                                         RGXFailure& failure) {
  if (last_ && last_->icu_regex && last_->options == options && sameText(last_->regexString, pattern))
    return last_;
  last_ = nullptr;

  // The direct table remembers where a pattern at this address was found last; it is only a hint,
  // the text is compared.
  std::uint32_t address = std::uint32_t(reinterpret_cast<std::uintptr_t>(pattern.data()));
  unsigned directIndex = (address / 16 + options + options / 16) % kDirectTableSize;
  int directSlot = direct_[directIndex];
  RGXCachedRegex& candidate = slots_[directSlot];
  if (candidate.icu_regex && candidate.options == options && sameText(candidate.regexString, pattern)) {
    hit(directSlot, directIndex);
    return &candidate;
  }

  std::uint32_t hash = patternHash(pattern);
  int set = int((hash ^ options) % kSets);
  for (int way = kWays - 1; way >= 0; --way) {
    int index = set * kWays + way;
    RGXCachedRegex& slot = slots_[index];
    if (slot.icu_regex && slot.regexHash == hash && slot.options == options &&
        sameText(slot.regexString, pattern)) {
      hit(index, directIndex);
      return &slot;
    }
  }

  int way = victimWay(setRecency_[set]);
  int index = set * kWays + way;
  RGXCachedRegex& slot = slots_[index];
  emptySlot(slot);
  if (pattern.size() >= std::size_t(INT32_MAX)) {
    failure.set(RGXFailure::Kind::Range, "Regex string length exceeds INT_MAX");
    return nullptr;
  }
  try {
    slot.regexString.assign(pattern);
    RGXUnitBuffer<4096> units(pattern.size());
    std::int32_t length = rgx_utf16FromUtf8(pattern, units.data(), std::int32_t(pattern.size()));
    UErrorCode status = U_ZERO_ERROR;
    compileCount_.fetch_add(1, std::memory_order_relaxed);
    URegularExpression* compiled = uregex_open(units.data(), length, options, &failure.parseError, &status);
    if (U_FAILURE(status)) {
      if (compiled) uregex_close(compiled);
      emptySlot(slot);
      failure.setICU(status, RGXCompileErrorDescription);
      return nullptr;
    }
    slot.icu_regex = compiled;
    slot.regexHash = hash;
    slot.options = options;
    status = U_ZERO_ERROR;
    slot.captureCount = uregex_groupCount(compiled, &status);
  } catch (const std::bad_alloc&) {
    emptySlot(slot);
    failure.set(RGXFailure::Kind::Internal, "Failed to compile the regular expression: out of memory.");
    return nullptr;
  }
  hit(index, directIndex);
  return &slot;
}

RGXBuffer* RGXCache::fillFixedBuffer(std::string_view subject, const UChar* units, std::int32_t length) {
  int way = victimWay(fixedRecency_);
  RGXBuffer& buffer = fixed_[way];
  emptyBuffer(buffer, false);
  buffer.string.assign(subject);
  if (length > 0) std::memcpy(buffer.uniChar, units, std::size_t(length) * sizeof(UChar));
  buffer.length = length;
  buffer.generation = nextGeneration_++;
  fixedRecency_ = useWay(fixedRecency_, way);
  return &buffer;
}

RGXBuffer* RGXCache::bufferForSubject(std::string_view subject, RGXFailure& failure) {
  for (RGXBuffer* group : {fixed_, dynamic_}) {
    std::uint16_t& recency = group == fixed_ ? fixedRecency_ : dynamicRecency_;
    for (int way = kBuffers - 1; way >= 0; --way) {
      RGXBuffer& buffer = group[way];
      if (buffer.generation && sameText(buffer.string, subject)) {
        recency = useWay(recency, way);
        return &buffer;
      }
    }
  }
  if (subject.size() >= std::size_t(INT32_MAX)) {
    failure.set(RGXFailure::Kind::Range, "String length exceeds INT_MAX.");
    return nullptr;
  }
  conversionCount_.fetch_add(1, std::memory_order_relaxed);
  std::int32_t bytes = std::int32_t(subject.size());
  if (bytes < kFixedBufferUnits) {
    // Short enough to convert straight into the victim's array.
    int way = victimWay(fixedRecency_);
    RGXBuffer& buffer = fixed_[way];
    emptyBuffer(buffer, false);
    buffer.string.assign(subject);
    buffer.length = rgx_utf16FromUtf8(subject, buffer.uniChar, kFixedBufferUnits);
    buffer.generation = nextGeneration_++;
    fixedRecency_ = useWay(fixedRecency_, way);
    return &buffer;
  }
  // Units never outnumber bytes, so the dynamic victim sized in bytes always holds the text.
  int way = victimWay(dynamicRecency_);
  RGXBuffer& buffer = dynamic_[way];
  emptyBuffer(buffer, false);
  if (buffer.heapCapacity < bytes || buffer.heapCapacity / 4 > bytes) {
    buffer.heap.reset();
    buffer.heapCapacity = 0;
    buffer.heap.reset(new UChar[std::size_t(bytes)]);
    buffer.heapCapacity = bytes;
  }
  buffer.uniChar = buffer.heap.get();
  std::int32_t length = rgx_utf16FromUtf8(subject, buffer.uniChar, bytes);
  if (length < kFixedBufferUnits) return fillFixedBuffer(subject, buffer.uniChar, length);
  buffer.string.assign(subject);
  buffer.length = length;
  buffer.generation = nextGeneration_++;
  dynamicRecency_ = useWay(dynamicRecency_, way);
  return &buffer;
}

RGXCachedRegex* RGXCache::getCachedRegexSetToString(std::string_view pattern, std::uint32_t options,
                                                    std::string_view subject, platform::Range& range,
                                                    RGXFailure& failure) {
  RGXCachedRegex* slot = getCachedRegex(pattern, options, failure);
  if (!slot) return nullptr;
  RGXBuffer* buffer = nullptr;
  try {
    buffer = bufferForSubject(subject, failure);
  } catch (const std::bad_alloc&) {
    slot->buffer = nullptr;
    failure.set(RGXFailure::Kind::Internal, "Failed to set up UTF16 buffer.");
    return nullptr;
  }
  if (!buffer) return nullptr;

  std::size_t length = std::size_t(buffer->length);
  if (range.length == platform::WholeLength && range.location <= length)
    range.length = length - range.location;
  if (range.location > length || range.length > length - range.location) {
    failure.set(RGXFailure::Kind::Range, "Range or index out of bounds.");
    return nullptr;
  }
  RGXRange wanted{std::int32_t(range.location), std::int32_t(range.length)};
  if (slot->buffer == buffer && slot->bufferGeneration == buffer->generation && slot->setToRange == wanted)
    return slot;

  UErrorCode status = U_ZERO_ERROR;
  uregex_setText(slot->icu_regex, buffer->uniChar + wanted.location, wanted.length, &status);
  if (U_FAILURE(status)) {
    slot->buffer = nullptr;
    slot->setToRange = RGXNotFoundRange;
    failure.setICU(status, RGXUnexpectedErrorDescription);
    return nullptr;
  }
  slot->buffer = buffer;
  slot->bufferGeneration = buffer->generation;
  slot->setToRange = wanted;
  slot->forgetLastMatch();
  return slot;
}

void RGXCache::flushLocked() {
  last_ = nullptr;
  for (auto& slot : slots_) emptySlot(slot);
  for (auto& r : setRecency_) r = kInitialRecency;
  std::memset(direct_, 0, sizeof direct_);
  for (auto& buffer : fixed_) emptyBuffer(buffer, true);
  for (auto& buffer : dynamic_) emptyBuffer(buffer, true);
  fixedRecency_ = dynamicRecency_ = kInitialRecency;
}

void RGXCache::flushSubjectLocked(std::string_view subject) {
  for (RGXBuffer* group : {fixed_, dynamic_}) {
    for (int way = 0; way < kBuffers; ++way) {
      RGXBuffer& buffer = group[way];
      if (!buffer.generation || !sameText(buffer.string, subject)) continue;
      for (auto& slot : slots_) {
        if (slot.buffer == &buffer) {
          slot.buffer = nullptr;
          slot.setToRange = RGXNotFoundRange;
          slot.forgetLastMatch();
        }
      }
      emptyBuffer(buffer, false);
    }
  }
}

void RGXCache::clearStringCache() {
  RGXCacheLock hold(*this);
  flushLocked();
}

void RGXCache::lowMemoryWarning() {
  flushPending_.store(true, std::memory_order_release);
  if (tryLock()) unlock();
}

}  // namespace kavro
