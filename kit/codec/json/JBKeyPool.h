#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "kit/codec/json/JBTokenCache.h"

namespace kavro {

// Dictionary keys kept across the documents that one decoder reads: answers use the same few
// keys over and over, so each is made and hashed once. Every document that takes keys from a
// pool holds it, so the keys live as long as any dictionary using them. A pool holds at most
// kCapacity keys of at most kMaxKeyLength bytes; the stores (JBStores) replace a full one. Keys are added on
// the building thread only and never change; they may be read on any.
class JBKeyPool {
 public:
  static constexpr std::size_t kCapacity = 1024;
  // Longer keys are rare enough to be made for each document.
  static constexpr std::size_t kMaxKeyLength = 64;

  // Keys of up to 16 bytes are told apart by their length and JBTokenCache::wordsOf; a longer key
  // equal in those is the text at bytes when the bytes between match too.
  static bool sameLongKey(const std::string& key, const char* bytes) {
    const std::size_t n = key.size();
    if (n <= 16) return true;
    // Keys are short: word by word, the last word overlapping the one before, rather than a call.
    const char* k = key.data();
    for (std::size_t at = 8;; at += 8) {
      if (at + 8 > n - 8) at = n - 16;
      std::uint64_t a, b;
      std::memcpy(&a, k + at, 8);
      std::memcpy(&b, bytes + at, 8);
      if (a != b) return false;
      if (at + 8 >= n - 8) return true;
    }
  }

  // A new pool, referenced once by its creator.
  static JBKeyPool* create() { return new JBKeyPool(); }
  void retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

  // The pooled key with the text (w its words, hash JBTokenCache::hashString's), and its dictionary
  // hash; nullptr when the text is new and the pool full. Keys met before are found where the
  // decoder reads them.
  __attribute__((always_inline)) const std::string* key(std::string_view text, const JBTokenCache::Words& w,
                                                        std::uint32_t hash, std::size_t& keyHash) {
    for (std::size_t i = hash & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
      const Slot& s = slots_[i];
      if (s.place == 0) return add(text, w, hash, i, keyHash);
      if (s.hash == hash && s.words.a == w.a && s.words.b == w.b &&
          (s.place >> kLengthShift) == text.size()) {
        const Key* k = keyAt((s.place & kIndexMask) - 1);
        if (text.size() <= 16 || sameLongKey(k->text, text.data())) {
          keyHash = s.keyHash;
          return &k->text;
        }
      }
    }
  }
  // Whether key is one of this pool's.
  bool holds(const std::string* key) const {
    const auto* at = reinterpret_cast<const unsigned char*>(key);
    return at >= keys_ && at < keys_ + sizeof keys_;
  }

 private:
  JBKeyPool() = default;
  ~JBKeyPool();
  // A new key in the empty slot at.
  const std::string* add(std::string_view text, const JBTokenCache::Words& w, std::uint32_t hash,
                         std::size_t at, std::size_t& keyHash);

  struct Key {
    std::string text;
  };
  // All that tells a key met before, in one line of the cache: the document's text passing through
  // the cache leaves little of the pool there between one key and the next.
  struct alignas(32) Slot {
    std::uint32_t hash = 0;
    // The key's index plus one, and its length above kLengthShift; 0 marks an empty slot.
    std::uint32_t place = 0;
    JBTokenCache::Words words{0, 0};
    std::size_t keyHash = 0;
  };
  static constexpr unsigned kLengthShift = 16;
  static constexpr std::uint32_t kIndexMask = (1u << kLengthShift) - 1;
  static_assert(kCapacity < kIndexMask && kMaxKeyLength < (1u << (32 - kLengthShift)));
  static constexpr std::size_t kSlots = 2 * kCapacity;

  std::atomic<std::size_t> refs_{1};
  std::size_t count_ = 0;
  Slot slots_[kSlots];
  alignas(Key) unsigned char keys_[kCapacity * sizeof(Key)];
  Key* keyAt(std::size_t i) { return reinterpret_cast<Key*>(keys_) + i; }
};

}  // namespace kavro
