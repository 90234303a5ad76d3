#include "kit/codec/json/JBKeyPool.h"

#include <new>

#include "kit/codec/json/JBDictionary.h"

namespace kavro {

JBKeyPool::~JBKeyPool() {
  for (std::size_t i = 0; i < count_; ++i) keyAt(i)->~Key();
}

const std::string* JBKeyPool::add(std::string_view text, const JBTokenCache::Words& w, std::uint32_t hash,
                                  std::size_t at, std::size_t& keyHash) {
  // At most half the slots are taken, so probing always ends at an empty one.
  if (count_ == kCapacity) return nullptr;
  Key* k = new (keyAt(count_)) Key{std::string(text)};
  Slot& s = slots_[at];
  s.hash = hash;
  s.place = static_cast<std::uint32_t>(++count_) | static_cast<std::uint32_t>(text.size()) << kLengthShift;
  s.words = w;
  s.keyHash = JBDictionary::hashKey(text);
  keyHash = s.keyHash;
  return &k->text;
}

}  // namespace kavro
