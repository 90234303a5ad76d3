#pragma once
#include <unicode/uregex.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/codec/regex/RegexBox.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Text.h"

// The core of the regular-expression component: the process-wide cache of compiled expressions,
// the binding of an expression to a subject through a UTF-16 copy, the one spin lock and the
// low-memory flush. Everything here is shared by all threads and touched only with the lock held.
namespace kavro {

// A position or range in UTF-16 units of the subject, 32-bit as ICU counts them.
struct RGXRange {
  std::int32_t location = 0;
  std::int32_t length = 0;
  std::int32_t max() const { return location + length; }
  bool operator==(const RGXRange&) const = default;
};
inline constexpr std::int32_t RGXNotFound = INT32_MAX;
inline constexpr RGXRange RGXNotFoundRange{RGXNotFound, 0};

inline platform::Range rgx_publicRange(RGXRange r) {
  return r.location == RGXNotFound ? platform::NotFoundRange
                                   : platform::Range{std::size_t(r.location), std::size_t(r.length)};
}

// A UTF-16 copy of one subject. `string` is the UTF-8 text it was made from: a subject is only ever
// matched against a copy made from identical bytes, so text changed in place is never searched stale.
struct RGXBuffer {
  std::string string;
  std::int32_t length = 0;
  UChar* uniChar = nullptr;
  std::unique_ptr<UChar[]> heap;  // the dynamic group's array
  std::int32_t heapCapacity = 0;
  std::uint64_t generation = 0;  // changes whenever the contents change; 0 when empty
};

// One compiled expression and the subject range its ICU text is set to.
struct RGXCachedRegex {
  std::string regexString;  // empty slot when icu_regex is null
  std::uint32_t regexHash = 0;
  std::uint32_t options = 0;
  URegularExpression* icu_regex = nullptr;
  std::int32_t captureCount = -1;
  // The binding: valid while buffer->generation == bufferGeneration.
  RGXBuffer* buffer = nullptr;
  std::uint64_t bufferGeneration = 0;
  RGXRange setToRange = RGXNotFoundRange;
  RGXRange lastFindRange = RGXNotFoundRange;
  RGXRange lastMatchRange = RGXNotFoundRange;

  const UChar* setToUniChar() const { return buffer->uniChar; }
  std::int32_t setToLength() const { return buffer->length; }
  // Forget where ICU's matcher stands, after using it other than through rgx_search.
  void forgetLastMatch() { lastFindRange = lastMatchRange = RGXNotFoundRange; }
};

// Who called, for the reasons of argument and range exceptions: "*** -[NSString selector]: message".
struct RGXCaller {
  char kind = '-';
  const char* className = "NSString";
  const char* selector = nullptr;
};

// A failure met with the lock held; raised or reported only after the lock is free.
struct RGXFailure {
  enum class Kind { None, InvalidArgument, Range, Internal, ICU };
  Kind kind = Kind::None;
  std::string message;  // argument, range and internal failures
  UErrorCode status = U_ZERO_ERROR;
  UParseError parseError{-1, -1, {0}, {0}};  // line stays -1 unless the pattern parser set it
  std::string description;                   // the error object's localized description

  explicit operator bool() const { return kind != Kind::None; }
  void set(Kind k, std::string m) {
    kind = k;
    message = std::move(m);
  }
  void setICU(UErrorCode s, std::string_view desc) {
    kind = Kind::ICU;
    status = s;
    description = desc;
  }
};

inline constexpr std::string_view RGXCompileErrorDescription =
    "There was an error compiling the regular expression.";
inline constexpr std::string_view RGXUnexpectedErrorDescription =
    "The ICU library returned an unexpected error.";

// What the user information of an error or exception describes, besides the ICU failure itself.
struct RGXErrorContext {
  std::string_view regex;
  std::uint32_t options = 0;
  std::optional<std::string_view> subject;
  std::optional<platform::Range> range;
  std::optional<std::string_view> replacement;
  std::optional<std::uint32_t> enumerationOptions;
};

// Raises the failure as the platform exception it names, or for an ICU failure fills *error when
// given (returning normally) and raises RGXICURegexException otherwise. Call without the lock.
void rgx_raiseOrReport(const RGXFailure& failure, const RGXCaller& caller, const RGXErrorContext& context,
                       platform::Error* error);
platform::Error rgx_makeError(const RGXFailure& failure, const RGXErrorContext& context);

// UTF-8 into UTF-16 (capacity must be at least text.size()); invalid bytes become U+FFFD one unit
// each, as platform::utf16Length counts them. Returns the units written.
std::int32_t rgx_utf16FromUtf8(std::string_view text, UChar* dest, std::int32_t capacity);
// UTF-16 onto UTF-8; a lone surrogate becomes U+FFFD.
void rgx_appendUtf8(std::string& out, const UChar* s, std::int32_t n);
inline std::string rgx_utf8(const UChar* s, std::int32_t n) {
  std::string out;
  rgx_appendUtf8(out, s, n);
  return out;
}

// UTF-16 scratch space for one operation: on the stack when small, else on the heap.
template <std::size_t N>
class RGXUnitBuffer {
 public:
  explicit RGXUnitBuffer(std::size_t units) {
    if (units > N) {
      heap_.reset(new UChar[units]);
      data_ = heap_.get();
    }
  }
  RGXUnitBuffer(const RGXUnitBuffer&) = delete;
  RGXUnitBuffer& operator=(const RGXUnitBuffer&) = delete;
  UChar* data() { return data_; }

 private:
  UChar stack_[N];
  std::unique_ptr<UChar[]> heap_;
  UChar* data_ = stack_;
};

class RGXCache {
 public:
  static constexpr int kSets = 13;
  static constexpr int kWays = 4;
  static constexpr int kSlots = kSets * kWays;
  static constexpr int kDirectTableSize = 64;
  static constexpr int kBuffers = 4;
  static constexpr std::int32_t kFixedBufferUnits = 2048;
  static constexpr std::uint16_t kInitialRecency = 0x0137;

  // Created on first use, never destroyed (any thread may still be using it at exit).
  static RGXCache& shared();

  void lock();
  bool tryLock();
  // Runs a low-memory flush that arrived while the lock was busy before releasing it.
  void unlock();

  // Lock held. The compiled expression for pattern and options, compiling it on a miss; null with
  // the failure set when it does not compile.
  RGXCachedRegex* getCachedRegex(std::string_view pattern, std::uint32_t options, RGXFailure& failure);
  // Lock held. Looks the expression up and binds it to range of subject (WholeLength: to the end).
  // On success *range is the resolved range; null with the failure set otherwise.
  RGXCachedRegex* getCachedRegexSetToString(std::string_view pattern, std::uint32_t options,
                                            std::string_view subject, platform::Range& range,
                                            RGXFailure& failure);

  // Lock held. Empties every slot and buffer.
  void flushLocked();
  // Lock held. Drops every binding and buffer made from this subject text.
  void flushSubjectLocked(std::string_view subject);
  // Waits for the lock, then flushes.
  void clearStringCache();
  // The memory-warning observer: never waits for the lock. When it is busy, the holder flushes on
  // its way out.
  void lowMemoryWarning();

  // Diagnostics for tests and benchmarks.
  std::uint64_t compileCount() const { return compileCount_.load(std::memory_order_relaxed); }
  std::uint64_t conversionCount() const { return conversionCount_.load(std::memory_order_relaxed); }
  static int cacheSetForPattern(std::string_view pattern, std::uint32_t options);
  // The way to replace next, from a recency word.
  static int victimWay(std::uint16_t recency);
  static std::uint16_t useWay(std::uint16_t recency, int way);

  RGXCache(const RGXCache&) = delete;
  RGXCache& operator=(const RGXCache&) = delete;

 private:
  RGXCache();
  void emptySlot(RGXCachedRegex& slot);
  void emptyBuffer(RGXBuffer& buffer, bool freeArray);
  void hit(int slotIndex, unsigned directIndex);
  RGXBuffer* bufferForSubject(std::string_view subject, RGXFailure& failure);
  RGXBuffer* fillFixedBuffer(std::string_view subject, const UChar* units, std::int32_t length);

  std::atomic<bool> locked_{false};
  std::atomic<bool> flushPending_{false};
  std::atomic<std::uint64_t> compileCount_{0};
  std::atomic<std::uint64_t> conversionCount_{0};

  RGXCachedRegex slots_[kSlots];
  std::uint16_t setRecency_[kSets];
  std::uint8_t direct_[kDirectTableSize] = {};
  RGXCachedRegex* last_ = nullptr;

  RGXBuffer fixed_[kBuffers];
  RGXBuffer dynamic_[kBuffers];
  std::uint16_t fixedRecency_ = kInitialRecency;
  std::uint16_t dynamicRecency_ = kInitialRecency;
  UChar fixedArrays_[kBuffers][kFixedBufferUnits];
  std::uint64_t nextGeneration_ = 1;
};

// Holds the cache lock for a scope.
class RGXCacheLock {
 public:
  explicit RGXCacheLock(RGXCache& cache) : cache_(cache) { cache_.lock(); }
  ~RGXCacheLock() { cache_.unlock(); }
  RGXCacheLock(const RGXCacheLock&) = delete;
  RGXCacheLock& operator=(const RGXCacheLock&) = delete;

 private:
  RGXCache& cache_;
};

}  // namespace kavro
