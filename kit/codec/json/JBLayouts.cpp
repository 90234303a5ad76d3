#include "kit/codec/json/JBLayouts.h"

#include <array>

namespace kavro {

void JBLayouts::rememberKey(std::size_t depth, std::size_t position, std::uint64_t pool,
                            const std::string* key, std::size_t keyHash, std::string_view text,
                            const JBTokenCache::Words& w) {
  PredictedKey& p = predictedRow(depth)[position % kPredictedPositions];
  const bool plain = isPlainKey(text);
  // Member by member: a whole new record would be cleared with a slow string instruction.
  p.poolNumber = pool;
  p.key = key;
  p.keyHash = keyHash;
  p.words = w;
  p.length = text.size();
  p.plain = plain;
  p.patternMask = plain ? static_cast<std::uint32_t>(keyPattern(text, p.pattern)) : 0;
}

JBLayouts::Layout* JBLayouts::choose(std::size_t depth, std::uint64_t pool, const std::uint8_t* at,
                                     std::size_t room) {
  // Most often the kind read last at this depth.
  Layout* const last = current_[depth];
  before_[depth] = last;
  if (last && pool != 0 && firstKeyAt(*last, pool, at, room)) {
    last->worthIndexing = true;
    last->used = ++clock_;
  } else if (last && pool != 0 && learnt_[depth] == 1 && last->poolNumber == pool) {
    // The only one: records with their keys in an order of their own.
    last->used = ++clock_;
  } else if (last && pool != 0 && last->next && firstKeyAt(*last->next, pool, at, room)) {
    current_[depth] = last->next;
    last->next->worthIndexing = true;
    last->next->used = ++clock_;
  } else {
    Layout* const chosen = pool != 0 ? chooseAmongAll(depth, pool, at, room) : nullptr;
    if (last && chosen != last) last->next = chosen;
    current_[depth] = chosen;
  }
  return current_[depth];
}

JBLayouts::Layout* JBLayouts::chooseAmongAll(std::size_t depth, std::uint64_t pool, const std::uint8_t* at,
                                             std::size_t room) {
  // Of the layouts whose first key is written here, the one used last; else the one used last.
  Layout* latest = nullptr;
  Layout* written = nullptr;
  for (std::size_t w = 0; w < learnt_[depth]; ++w) {
    Layout& layout = ways_[depth][w];
    if (layout.poolNumber != pool) continue;
    if (!latest || layout.used > latest->used) latest = &layout;
    if ((!written || layout.used > written->used) && firstKeyAt(layout, pool, at, room)) written = &layout;
  }
  if (written) {
    // Met again: its keys are worth telling apart.
    written->worthIndexing = true;
    latest = written;
  }
  if (latest) latest->used = ++clock_;
  return latest;
}

template <class P>
JBLayouts::Layout* JBLayouts::withOrder(std::size_t depth, std::uint64_t pool, const P* pairs,
                                        std::size_t count, const Layout* except) {
  for (std::size_t w = 0; w < learnt_[depth]; ++w) {
    Layout& layout = ways_[depth][w];
    if (&layout == except || layout.poolNumber != pool || layout.keys.size() != count) continue;
    std::size_t i = 0;
    while (i < count && layout.keys[i] == pairs[i].key) ++i;
    if (i == count) return &layout;
  }
  return nullptr;
}

JBLayouts::Layout* JBLayouts::matching(std::size_t depth, std::uint64_t pool, const JBDictionary::Pair* pairs,
                                       std::size_t count) {
  Layout* const layout = withOrder(depth, pool, pairs, count, nullptr);
  if (layout) {
    layout->used = ++clock_;
    settle(depth, layout);
  }
  return layout;
}

JBLayouts::Layout* JBLayouts::sameStart(std::size_t depth, const Layout& from, std::size_t taken,
                                        const std::string* key) {
  const std::size_t count = from.keys.size();
  if (taken >= count) return nullptr;
  for (std::size_t w = 0; w < learnt_[depth]; ++w) {
    Layout& layout = ways_[depth][w];
    if (&layout == &from || layout.poolNumber != from.poolNumber || layout.keys.size() != count ||
        layout.keys[taken] != key ||
        !std::equal(from.keys.begin(), from.keys.begin() + taken, layout.keys.begin()))
      continue;
    layout.used = ++clock_;
    settle(depth, &layout);
    return &layout;
  }
  return nullptr;
}

void JBLayouts::noteOtherOrder(std::size_t depth, Layout& layout, const JBDictionary& d) {
  const std::size_t count = d.count_;
  if (count != layout.keys.size() || count > kMaxKeys) return;
  std::uint64_t order = count;
  for (std::size_t k = 0; k < count; ++k)
    order = (order + reinterpret_cast<std::uintptr_t>(d.pairs_[k].key)) * 0x9E3779B97F4A7C15ull;
  order |= 1;
  if (order != layout.otherOrder) {
    layout.otherOrder = order;
    return;
  }
  if (Layout* other = withOrder(depth, layout.poolNumber, d.pairs_, count, &layout)) {
    // Two layouts of one order would take the room of another kind: this one is free again.
    layout.poolNumber = 0;
    layout.otherOrder = 0;
    other->used = ++clock_;
    settle(depth, other);
    return;
  }
  layout.learnOrder(d);
}

bool JBLayouts::learn(std::size_t depth, std::uint64_t pool, const JBDictionary& d,
                      const JBDictionary::Pair* pairs) {
  // A free layout, else the longest unused, learns the keys. Kinds that differ in a key or two (with
  // or without an optional one) keep a layout each.
  auto& ways = ways_[depth];
  const std::size_t learnt = learnt_[depth];
  auto isFree = [pool](const Layout* l) { return l->poolNumber != pool; };
  Layout* learner = learnt < kWays ? &ways[learnt] : nullptr;
  for (std::size_t w = 0; w < learnt; ++w) {
    Layout& layout = ways[w];
    if (isFree(&layout)) {
      if (!learner || !isFree(learner)) learner = &layout;
      continue;
    }
    if (!learner || (!isFree(learner) && learner->used > layout.used)) learner = &layout;
  }
  learner->poolNumber = pool;
  learner->learn(d, pairs);
  learner->used = ++clock_;
  settle(depth, learner);
  learnt_[depth] = std::max(learnt, static_cast<std::size_t>(learner - ways.data()) + 1);
  // A depth's first kinds are learnt once; only learning in place of another is a loss.
  return learner != ways.data() + learnt;
}

template <class KeyHashAt>
void JBLayouts::Layout::learnKeys(const JBDictionary& d, KeyHashAt&& keyHashAt) {
  const std::size_t count = d.count_;
  worthIndexing = count == keys.size();
  keys.resize(count);
  details.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    keys[k] = d.pairs_[k].key;
    details[k].keyHash = keyHashAt(k);
  }
  otherOrder = 0;
  slots.assign(d.slots_, d.slots_ + d.capacity_);
  slotsDocument = 0;
  indexed = false;
  // Patterns are made as they are first compared: a layout learnt in place of another is often
  // replaced before its dictionaries come again.
  if (patterns.size() < count) patterns.resize(count);
  patternsMade = 0;
}

void JBLayouts::Layout::learn(const JBDictionary& d, const JBDictionary::Pair* pairs) {
  learnKeys(d, [pairs](std::size_t k) { return pairs[k].keyHash; });
}

void JBLayouts::Layout::learnOrder(const JBDictionary& d) {
  // The hashes by key, before the details are rewritten in the new order.
  const std::size_t count = d.count_;
  std::array<std::size_t, kMaxKeys> hashes;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t place = placeOf(d.pairs_[k].key);
    hashes[k] = place < keys.size() ? details[place].keyHash : JBDictionary::hashKey(*d.pairs_[k].key);
  }
  learnKeys(d, [&hashes](std::size_t k) { return hashes[k]; });
}

void JBLayouts::Layout::makePattern(std::size_t k) {
  const std::string& text = *keys[k];
  Pattern& p = patterns[k];
  p.length = static_cast<std::uint32_t>(text.size());
  p.reach = SIZE_MAX;
  p.led.reach = SIZE_MAX;
  p.key = keys[k];
  p.keyHash = details[k].keyHash;
  p.mask = isPlainKey(text) ? keyPattern(text, p.bytes) : 0;
  if (p.mask) p.reach = (text.size() + 3 + 15) / 16 * 16;
}

bool JBLayouts::Layout::index() {
  if (!worthIndexing) return false;
  byAddress.fill(0);
  byText.fill(0);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::string& text = *keys[k];
    Key& detail = details[k];
    // The table's home for the key: its hash modulo the capacity.
    detail.home = static_cast<std::uint32_t>(detail.keyHash % slots.size());
    detail.length = static_cast<std::uint32_t>(text.size());
    detail.words = JBTokenCache::wordsOf(text.data(), text.size());
    detail.plain = isPlainKey(text);
    std::size_t i = addressHash(keys[k]);
    while (byAddress[i] != 0) i = (i + 1) % kPlaces;
    byAddress[i] = static_cast<std::uint8_t>(k + 1);
    i = textHash(detail.length, detail.words);
    while (byText[i] != 0) i = (i + 1) % kPlaces;
    byText[i] = static_cast<std::uint8_t>(k + 1);
  }
  indexed = true;
  return true;
}

}  // namespace kavro
