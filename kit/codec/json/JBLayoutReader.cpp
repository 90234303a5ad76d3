#include "kit/codec/json/JBLayoutReader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "kit/codec/json/JBKeyPool.h"

namespace kavro {

namespace {
using namespace jbdecode;

}  // namespace

struct JBLayoutReader::Record {
  // Only what every record reads is set here: a record is begun for every dictionary offered, and
  // a whole one cleared costs more than the reading of a short one.
  Record(std::size_t d, std::size_t first, const PredictedKey* predicted)
      : depth(d), start(first), predictions(predicted) {}

  std::size_t depth;
  std::size_t start;  // where the record's pairs start on the pair stack
  // The keys found last at each position at this depth, when keys are predicted.
  const PredictedKey* predictions;
  unsigned accepted = kAcceptValue | kAcceptEnd;
  // When the dictionary before at this depth had a table, this one is likely to have the same keys
  // in the same order: its pairs go straight into the document's memory (direct), as many as that
  // one had, and move to the pair stack when a key is not one of the layout's or repeats. The
  // members from layoutKeys on are set by startRecord() when there is a layout.
  JBDictionary::Entry* direct = nullptr;
  std::size_t directCount = 0;
  std::size_t taken = 0;  // the direct pairs taken
  Layout* layout = nullptr;
  // Whether a key came out of the layout's order (then takenKeys holds the places of the keys
  // taken and permutedSlots the table of the pairs taken), and whether a layout of another order
  // took over after the first key.
  bool permuted = false;
  bool switched = false;
  const std::string* const* layoutKeys;
  std::uint64_t takenKeys;
  std::uint32_t* permutedSlots;
  // Where the arena stood before the direct pairs' memory, for giving it back when an equal
  // dictionary was made before.
  JBArena::Mark beforePairs;

  // The position of the next key in the record.
  std::size_t position(const std::vector<JBDictionary::Pair>& pairs) const {
    return direct ? taken : pairs.size() - start;
  }
  void placeInPermutedSlots(std::size_t pair, std::size_t place) {
    const std::size_t capacity = layout->slots.size();
    std::size_t i = layout->details[place].home;
    while (permutedSlots[i] != 0)
      if (++i == capacity) i = 0;
    permutedSlots[i] = static_cast<std::uint32_t>(pair + 1);
  }
};

JBLayoutReader::Outcome JBLayoutReader::read(std::size_t depth, platform::Value& out, JBDictionaryPlace& at) {
  Record r(depth, pairs_.size(), predictedRow(depth));
  // The layout is chosen by the first key's text.
  if (tokens_.nextByte() < 0) return Outcome::HandedBack;
  startRecord(r);
  if (r.direct && r.predictions) {
    const Outcome taken = takePairsLikeBefore(r, at);
    if (taken != Outcome::Read) return taken;
  }
  return readMembers(r, out, at);
}

inline void JBLayoutReader::startRecord(Record& r) {
  Layout* const chosen = layouts_.choose(r.depth, stores_.hasKeyPool() ? stores_.keyPoolNumber() : 0,
                                         tokens_.here(), tokens_.left());
  if (stores_.mutableResults() || !chosen) return;
  // Its keys are told by their addresses: the pool must outlive the document.
  stores_.holdKeyPool();
  JBArena& arena = stores_.arena();
  r.beforePairs = arena.mark();
  r.layout = chosen;
  r.layoutKeys = chosen->keys.data();
  r.directCount = chosen->keys.size();
  r.direct = static_cast<JBDictionary::Entry*>(
      arena.carveNode(r.directCount * sizeof(JBDictionary::Entry), alignof(JBDictionary::Entry)));
}

// A record written as the one before: while each key stands where that record had it, written
// alike (one comparison of its pattern), its pairs are taken without looking the key up.
JBLayoutReader::Outcome JBLayoutReader::takePairsLikeBefore(Record& r, JBDictionaryPlace& at) {
#if defined(__SSE2__)
  stores_.holdKeyPool();
  // The count kept where the compiler may hold it in a register, and handed back at the end.
  std::size_t taken = r.taken;
  struct WriteBack {
    std::size_t& to;
    const std::size_t& from;
    ~WriteBack() { to = from; }
  } writeBack{r.taken, taken};
  while (taken < r.directCount) {
    Layout::Pattern& p = r.layout->pattern(taken);
    if (JBLayouts::writtenAt(p.led, tokens_.here(), tokens_.left())) {
      tokens_.pass(p.led.length, p.led.lines);
    } else {
      const std::uint8_t* const from = tokens_.here();
      if (tokens_.nextByte() < 0 || !JBLayouts::writtenAt(p, tokens_.here(), tokens_.left()))
        return Outcome::Read;
      JBLayouts::learnLead(p, from, tokens_.here(), tokens_.end());
      tokens_.pass(p.length + 3);
    }
    // The value's token is read as the grammar would; one that is no value's is the grammar's to
    // judge.
    if (!tokens_.nextToken()) return Outcome::Failed;
    const Token t = tokens_.token();
    if (!isValueToken(t)) {
      r.taken = taken;
      return handBack(r, at, Next::Value, p.key, p.keyHash);
    }
    // The pair's value is made in its place: a container's is assigned, so it starts null.
    JBDictionary::Entry* const pair = r.direct + taken++;
    pair->key = p.key;
    if (t == Token::ArrayBegin || t == Token::ObjectBegin) {
      if (!containers_.readContainer(t, *new (&pair->object) platform::Value())) return Outcome::Failed;
    } else if (!stores_.tokenValue(tokens_, pair->object)) {
      return Outcome::Failed;
    }
    if (!tokens_.passComma()) {
      r.accepted = kAcceptComma | kAcceptEnd;
      return Outcome::Read;
    }
    r.accepted = kAcceptValue;
  }
#else
  (void)r;
  (void)at;
#endif
  return Outcome::Read;
}

inline JBLayoutReader::Outcome JBLayoutReader::readMembers(Record& r, platform::Value& out,
                                                           JBDictionaryPlace& at) {
  for (;;) {
    const int next = tokens_.nextByte();
    if (next == '}' && (r.accepted & kAcceptEnd)) {
      tokens_.pass(1);
      // out is null: the value is made in its place.
      new (&out) platform::Value(finishRecord(r));
      return Outcome::Read;
    }
    if (next == ',' && (r.accepted & kAcceptComma)) {
      tokens_.pass(1);
      r.accepted = kAcceptValue;
      continue;
    }
    if (next != '"' || !(r.accepted & kAcceptValue)) return handBack(r, at, Next::Member);
    const std::string* key;
    std::size_t keyHash;
    std::size_t place = kMaxLayoutKeys;
    const KeyRead k = readKey(r, key, keyHash, place);
    if (k == KeyRead::Failed) return Outcome::Failed;
    if (k == KeyRead::ColonMissing) return handBack(r, at, Next::Colon, key, keyHash);
    placeKey(r, key, place);
    if (!tokens_.nextToken()) return Outcome::Failed;
    if (!isValueToken(tokens_.token())) return handBack(r, at, Next::Value, key, keyHash);
    if (!readValue(r, key, keyHash)) return Outcome::Failed;
    // A comma just after a value needs no look of its own.
    r.accepted = tokens_.passComma() ? kAcceptValue : kAcceptComma | kAcceptEnd;
  }
}

inline JBLayoutReader::KeyRead JBLayoutReader::readKey(Record& r, const std::string*& key,
                                                       std::size_t& keyHash, std::size_t& place) {
  const std::size_t position = r.position(pairs_);
  if (r.predictions) {
    if (predictedKeyAhead(r.predictions[position % JBLayouts::kPredictedPositions], key, keyHash))
      return KeyRead::Read;
    if (r.layout) {
      place = layoutKeyAhead(r.depth, *r.layout, position, key, keyHash);
      if (place != kMaxLayoutKeys) return KeyRead::Read;
    }
  }
  if (!tokens_.nextToken() || !predictedDocumentKey(r.depth, key, keyHash, position)) return KeyRead::Failed;
  if (tokens_.nextByte() != ':') return KeyRead::ColonMissing;
  tokens_.pass(1);
  return KeyRead::Read;
}

// Most keys stand where the layout has them, or the record's pairs are on the pair stack already.
inline void JBLayoutReader::placeKey(Record& r, const std::string* key, std::size_t place) {
  if (r.direct && (r.taken >= r.directCount || r.permuted || r.layoutKeys[r.taken] != key))
    placeKeyOutOfOrder(r, key, place);
}

void JBLayoutReader::placeKeyOutOfOrder(Record& r, const std::string* key, std::size_t place) {
  if (!r.permuted && r.taken < r.directCount && r.directCount <= kKeysOfFewOrders &&
      r.layoutKeys[r.taken] != key) {
    // Few keys: each order is a layout of its own, and the one of this order reads on.
    if (Layout* other = layouts_.sameStart(r.depth, *r.layout, r.taken, key)) {
      r.switched = true;
      r.layout = other;
      r.layoutKeys = other->keys.data();
    }
  }
  if (r.taken < r.directCount && !r.permuted && r.layoutKeys[r.taken] == key) return;
  // The layout's keys in another order still go straight in, each once, their table made as they
  // come (before the value is read: its text may lie open in the document's memory).
  if (r.taken < r.directCount && place == kMaxLayoutKeys) place = r.layout->placeOf(key);
  // Taken already (before the order changed, the first `taken` places are): a repeated key.
  if (place == kMaxLayoutKeys || (r.permuted ? (r.takenKeys >> place & 1) != 0 : place < r.taken)) {
    spill(r);
    return;
  }
  if (!r.permuted) {
    r.permuted = true;
    const std::size_t capacity = r.layout->slots.size();
    r.permutedSlots = static_cast<std::uint32_t*>(
        stores_.arena().carveNode(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
    std::fill(r.permutedSlots, r.permutedSlots + capacity, 0);
    for (std::size_t n = 0; n < r.taken; ++n) r.placeInPermutedSlots(n, n);
    r.takenKeys = (std::uint64_t{1} << r.taken) - 1;  // below 64: one key is still to come
  }
  r.takenKeys |= std::uint64_t{1} << place;
  r.placeInPermutedSlots(r.taken, place);
}

inline bool JBLayoutReader::readValue(Record& r, const std::string* key, std::size_t keyHash) {
  const Token t = tokens_.token();
  const bool container = t == Token::ArrayBegin || t == Token::ObjectBegin;
  if (r.direct) {
    // The document's memory stays put while a child is read into it.
    auto* pair = new (r.direct + r.taken++) JBDictionary::Entry{key, platform::Value()};
    return container ? containers_.readContainer(t, pair->object) : stores_.tokenValue(tokens_, pair->object);
  }
  if (container) {
    platform::Value child;
    if (!containers_.readContainer(t, child)) return false;
    pairs_.push_back(JBDictionary::Pair{key, std::move(child), keyHash});
    return true;
  }
  JBDictionary::Pair& pair = pairs_.emplace_back();
  pair.key = key;
  pair.keyHash = keyHash;
  return stores_.tokenValue(tokens_, pair.object);
}

void JBLayoutReader::spill(Record& r) {
  // Values of an immutable document own nothing: moving them leaves nothing to destroy.
  pairs_.resize(r.start + r.taken);
  for (std::size_t i = 0; i < r.taken; ++i) {
    JBDictionary::Pair& p = pairs_[r.start + i];
    p.key = r.direct[i].key;
    p.object = std::move(r.direct[i].object);
    // The keys taken are the layout's, whose hashes it holds: in its order, its first ones.
    const std::size_t place = r.permuted ? r.layout->placeOf(p.key) : i;
    p.keyHash = place < kMaxLayoutKeys ? r.layout->details[place].keyHash : JBDictionary::hashKey(*p.key);
  }
  r.direct = nullptr;
}

JBLayoutReader::Outcome JBLayoutReader::handBack(Record& r, JBDictionaryPlace& at, Next next,
                                                 const std::string* key, std::size_t keyHash) {
  if (r.direct) spill(r);
  at.next = next;
  at.accepted = r.accepted;
  at.key = key;
  at.keyHash = keyHash;
  return Outcome::HandedBack;
}

inline platform::Value JBLayoutReader::finishRecord(Record& r) {
  // Up to three keys have no more orders than a depth keeps layouts: each order is learnt as a
  // layout of its own, so that the next dictionary in it is read in order.
  if (r.direct && r.taken == r.directCount && (!r.permuted || r.directCount > kKeysOfFewOrders))
    return makeDirectDictionary(r);
  if (r.direct) spill(r);
  bool missed = false;
  platform::Value d = makeLearntDictionary(r.depth, pairs_.data() + r.start, pairs_.size() - r.start, missed);
  pairs_.resize(r.start);
  layouts_.noteOutcome(r.depth, missed);
  return d;
}

// The record's pairs never went to the stack. One made before with the same pairs, in this layout
// or else anywhere in the document, stands in for it.
inline platform::Value JBLayoutReader::makeDirectDictionary(Record& r) {
  Layout& layout = *r.layout;
  std::uint64_t madeHash = 0;
  if (layout.madeWatch.worthLooking()) {
    madeHash = JBLayouts::madeHash(r.direct, r.directCount);
    // With a text among its values, never found there: a layout of such records stops looking.
    if (madeHash == 0) layout.madeWatch.noteLook(false);
  }
  JBDictionary* d = madeHash ? layouts_.madeBefore(layout, madeHash, r.direct, r.directCount) : nullptr;
  const bool madeByLayout = d != nullptr;
  // Met again, as the document's table would have found it: it goes on looking.
  if (madeByLayout) stores_.noteDictionaryMet();
  std::uint64_t hash = 0;
  if (!d) {
    hash = stores_.pairsHash(r.direct, r.directCount);
    d = stores_.sameDictionary(hash, r.direct, r.directCount);
  }
  JBArena& arena = stores_.arena();
  if (d) {
    // The pairs own nothing; the memory they took, and what their texts took, goes back.
    if (!tokens_.textOpen()) arena.rewind(r.beforePairs);
  } else {
    d = JBDictionary::adoptLikeIn(arena, r.direct, r.directCount,
                                  r.permuted ? r.permutedSlots : layouts_.sharedSlots(layout, arena),
                                  layout.slots.size());
    stores_.shareDictionary(hash, d, r.directCount);
    // Looked for by its pairs, it is referred to from elsewhere: kept (as shared ones are).
    if (madeHash && hash == 0) arena.keep();
  }
  if (madeHash && !madeByLayout) layouts_.rememberMade(layout, madeHash, d);
  // Keys out of the layout's order, or a turn to a layout of another order, mean the records here
  // are not written alike: taken straight in, they are still read no faster than by the general
  // loop, whose cache and branches a guess that misses half the time only disturbs. Records that
  // all keep to one other order are written alike after all: the layout takes their order.
  if (r.permuted)
    layouts_.noteOtherOrder(r.depth, layout, *d);
  else if (layout.otherOrder != 0)
    layout.otherOrder = 0;
  layouts_.noteOutcome(r.depth, r.permuted || r.switched);
  return stores_.borrowed(d);
}

JBLayoutReader::PredictedKey* JBLayoutReader::predictedRow(std::size_t depth) {
  return stores_.usesCache() ? nullptr : layouts_.predictedRow(depth);
}

void JBLayoutReader::rememberKey(std::size_t depth, std::size_t position, const std::string* key,
                                 std::size_t keyHash, std::string_view text, const JBTokenCache::Words& w) {
  layouts_.rememberKey(depth, position, stores_.keyPoolNumber(), key, keyHash, text, w);
}

bool JBLayoutReader::predictedDocumentKey(std::size_t depth, const std::string*& key, std::size_t& keyHash,
                                          std::size_t position) {
  const JBTokenValue& value = tokens_.value();
  if (stores_.usesCache() || value.length == 0 || value.length > JBKeyPool::kMaxKeyLength)
    return stores_.documentKey(tokens_, key, keyHash);
  tokens_.closeOpenText();
  const std::string_view text(value.bytes, value.length);
  const PredictedKey& p = layouts_.predictedRow(depth)[position % JBLayouts::kPredictedPositions];
  const JBTokenCache::Words w = JBTokenCache::wordsOf(value.bytes, value.length);
  const bool pool = stores_.hasKeyPool();
  if (p.poolNumber == stores_.keyPoolNumber() && pool && p.length == value.length && p.words.a == w.a &&
      p.words.b == w.b && JBKeyPool::sameLongKey(*p.key, value.bytes)) {
    stores_.holdKeyPool();
    key = p.key;
    keyHash = p.keyHash;
    return true;
  }
  // One of the keys of the dictionary before at this depth, in an order of its own.
  if (pool && layouts_.current(depth)) {
    Layout& l = *layouts_.current(depth);
    if (l.poolNumber == stores_.keyPoolNumber()) {
      const std::size_t place = l.placeOfText(value.bytes, value.length, w);
      if (place != kMaxLayoutKeys) {
        stores_.holdKeyPool();
        key = l.keys[place];
        keyHash = l.details[place].keyHash;
        if (place == position) rememberKey(depth, position, key, keyHash, text, w);
        return true;
      }
    }
  }
  key = stores_.pooledKey(text, keyHash);
  rememberKey(depth, position, key, keyHash, text, w);
  return true;
}

std::size_t JBLayoutReader::layoutKeyAhead(std::size_t depth, Layout& layout, std::size_t position,
                                           const std::string*& key, std::size_t& keyHash) {
#if defined(__SSE2__)
  if (layout.poolNumber != stores_.keyPoolNumber() || !stores_.hasKeyPool() || tokens_.left() < 16 ||
      !(layout.indexed || layout.worthIndexing))
    return kMaxLayoutKeys;
  const std::uint8_t* const at = tokens_.here();
  const auto quotes = static_cast<std::uint32_t>(_mm_movemask_epi8(
      _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi8('"'))));
  // A key of up to 13 bytes, with its closing quotation mark and the ':' in these 16 bytes.
  if ((quotes & 1) == 0 || (quotes & 0x7FFE) == 0) return kMaxLayoutKeys;
  const std::size_t n = static_cast<std::size_t>(__builtin_ctz(quotes & ~1u)) - 1;
  if (at[n + 2] != ':') return kMaxLayoutKeys;
  const char* const text = reinterpret_cast<const char*>(at + 1);
  const JBTokenCache::Words w = JBTokenCache::wordsOf(text, n);
  const std::size_t place = layout.placeOfText(text, n, w);
  // The text holds no quotation mark; equal to a plain key, it holds no escape either.
  if (place == kMaxLayoutKeys || !layout.details[place].plain) return kMaxLayoutKeys;
  stores_.holdKeyPool();
  key = layout.keys[place];
  keyHash = layout.details[place].keyHash;
  if (place == position) rememberKey(depth, position, key, keyHash, std::string_view(text, n), w);
  // As though the ':' had just been read (the value's token comes next).
  tokens_.pass(n + 3);
  return place;
#else
  (void)depth;
  (void)layout;
  (void)position;
  (void)key;
  (void)keyHash;
  return kMaxLayoutKeys;
#endif
}

// When the text at the scan position is the key found last at this place, written plainly and
// followed by ':' (records of one answer write their keys alike), takes both at once.
inline bool JBLayoutReader::predictedKeyAhead(const PredictedKey& p, const std::string*& key,
                                              std::size_t& keyHash) {
  const std::size_t n = p.length;
  if (p.poolNumber != stores_.keyPoolNumber() || !stores_.hasKeyPool()) return false;
  const std::uint8_t* const at = tokens_.here();
#if defined(__SSE2__)
  if (p.patternMask != 0 && tokens_.left() >= 16) {
    if (!JBLayouts::writtenAt(p, at)) return false;
  } else
#endif
  {
    if (!p.plain || tokens_.left() < n + 3) return false;
    if (at[0] != '"' || at[n + 1] != '"' || at[n + 2] != ':') return false;
    const JBTokenCache::Words w = JBTokenCache::wordsOf(reinterpret_cast<const char*>(at + 1), n);
    if (w.a != p.words.a || w.b != p.words.b) return false;
    if (!JBKeyPool::sameLongKey(*p.key, reinterpret_cast<const char*>(at + 1))) return false;
  }
  stores_.holdKeyPool();
  key = p.key;
  keyHash = p.keyHash;
  // As though the ':' had just been read (the value's token comes next).
  tokens_.pass(n + 3);
  return true;
}

platform::Value JBLayoutReader::makeLearntDictionary(std::size_t depth, JBDictionary::Pair* pairs,
                                                     std::size_t count, bool& missed) {
  if (stores_.mutableResults()) return stores_.makeDictionary(pairs, count);
  // Only depths with a table of their own learn one: a dictionary being read at a depth reads its
  // table (read()) until it ends, and no dictionary nested in it is at that depth.
  missed = true;
  if (count == 0) return stores_.borrowed(stores_.theEmptyDictionary());
  // An equal dictionary made before stands in for the new one; the layouts learn as before.
  const std::uint64_t hash = stores_.pairsHash(pairs, count);
  JBDictionary* const same = stores_.sameDictionary(hash, pairs, count);
  auto made = [&](JBDictionary* d) {
    stores_.shareDictionary(hash, d, count);
    return d;
  };
  JBArena& arena = stores_.arena();
  if (count > kMaxLayoutKeys || !stores_.hasKeyPool())
    return stores_.borrowed(same ? same : made(JBDictionary::createIn(arena, pairs, count)));
  if (const Layout* l = layouts_.matching(depth, stores_.keyPoolNumber(), pairs, count)) {
    missed = false;
    return stores_.borrowed(
        same ? same
             : made(JBDictionary::createLikeIn(arena, pairs, count, l->slots.data(), l->slots.size())));
  }
  JBDictionary* d = same ? same : made(JBDictionary::createIn(arena, pairs, count));
  if (d->count_ == count) {
    bool pooled = true;
    for (std::size_t i = 0; i < count && pooled; ++i) pooled = stores_.pooled(d->pairs_[i].key);
    if (pooled) missed = layouts_.learn(depth, stores_.keyPoolNumber(), *d, pairs);
  }
  return stores_.borrowed(d);
}

}  // namespace kavro
