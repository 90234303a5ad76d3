#include "kit/codec/json/JBKeyPool.h"

#include <new>

#include "kit/codec/json/JBDictionary.h"

namespace kavro {

JBKeyPool::~JBKeyPool() {
  for (std::size_t i = 0; i < count_; ++i) keyAt(i)->~Key();
}

const std::string* JBKeyPool::key(std::string_view text, std::uint32_t hash, std::size_t& keyHash) {
  const JBTokenCache::Words w = JBTokenCache::wordsOf(text.data(), text.size());
  for (std::size_t i = hash & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
    Slot& s = slots_[i];
    if (s.index == 0) {
      // At most half the slots are taken, so probing always ends.
      if (count_ == kCapacity) return nullptr;
      Key* k = new (keyAt(count_)) Key{std::string(text), JBDictionary::hashKey(text), w};
      s.hash = hash;
      s.index = static_cast<std::uint32_t>(++count_);
      keyHash = k->keyHash;
      return &k->text;
    }
    if (s.hash == hash) {
      const Key* k = keyAt(s.index - 1);
      if (k->text.size() == text.size() && k->words.a == w.a && k->words.b == w.b &&
          sameLongKey(k->text, text.data())) {
        keyHash = k->keyHash;
        return &k->text;
      }
    }
  }
}

}  // namespace kavro
