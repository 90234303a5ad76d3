#include "kit/codec/json/JBLayoutReader.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "kit/codec/json/JBParseState.h"

namespace kavro {

namespace {
using namespace jbdecode;
}  // namespace

JBLayoutReader::PredictedKey* JBLayoutReader::predictedRow(JBParseState& s) {
  return s.useCache ? nullptr : layouts_.predictedRow(s.depth);
}

void JBLayoutReader::rememberKey(JBParseState& s, std::size_t position, const std::string* key,
                                 std::size_t keyHash, std::string_view text, const JBTokenCache::Words& w) {
  layouts_.rememberKey(s.depth, position, s.keyPoolNumber, key, keyHash, text, w);
}

bool JBLayoutReader::predictedDocumentKey(JBParseState& s, const std::string*& key, std::size_t& keyHash,
                                          std::size_t position) {
  if (s.useCache || s.value.length == 0 || s.value.length > JBKeyPool::kMaxKeyLength)
    return s.documentKey(key, keyHash);
  s.closeOpenText();
  const std::string_view text(s.value.bytes, s.value.length);
  {
    const PredictedKey& p = layouts_.predictedRow(s.depth)[position % JBLayouts::kPredictedPositions];
    const JBTokenCache::Words w = JBTokenCache::wordsOf(s.value.bytes, s.value.length);
    if (p.poolNumber == s.keyPoolNumber && s.keyPool && p.length == s.value.length && p.words.a == w.a &&
        p.words.b == w.b && JBKeyPool::sameLongKey(*p.key, s.value.bytes)) {
      s.holdKeyPool();
      key = p.key;
      keyHash = p.keyHash;
      return true;
    }
    // One of the keys of the dictionary before at this depth, in an order of its own.
    if (s.keyPool && layouts_.current(s.depth)) {
      Layout& l = *layouts_.current(s.depth);
      if (l.poolNumber == s.keyPoolNumber) {
        const std::size_t place = l.placeOfText(s.value.bytes, s.value.length, w);
        if (place != kMaxLayoutKeys) {
          s.holdKeyPool();
          key = l.keys[place];
          keyHash = l.details[place].keyHash;
          if (place == position) rememberKey(s, position, key, keyHash, text, w);
          return true;
        }
      }
    }
    key = s.pooledKey(text, keyHash);
    rememberKey(s, position, key, keyHash, text, w);
    return true;
  }
}

std::size_t JBLayoutReader::layoutKeyAhead(JBParseState& s, Layout& layout, std::size_t position,
                                           const std::string*& key, std::size_t& keyHash) {
#if defined(__SSE2__)
  if (layout.poolNumber != s.keyPoolNumber || !s.keyPool || s.length - s.pos < 16 ||
      !(layout.indexed || layout.worthIndexing))
    return kMaxLayoutKeys;
  const std::uint8_t* const at = s.input + s.pos;
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
  s.holdKeyPool();
  key = layout.keys[place];
  keyHash = layout.details[place].keyHash;
  if (place == position) rememberKey(s, position, key, keyHash, std::string_view(text, n), w);
  // As though the ':' had just been read (the value's token comes next).
  s.pos += n + 3;
  return place;
#else
  (void)layout;
  (void)position;
  (void)key;
  (void)keyHash;
  return kMaxLayoutKeys;
#endif
}

// When the text at the scan position is the key found last at this place, written plainly and
// followed by ':' (records of one answer write their keys alike), takes both at once.
inline bool JBLayoutReader::predictedKeyAhead(JBParseState& s, const PredictedKey& p, const std::string*& key,
                                              std::size_t& keyHash) {
  const std::size_t n = p.length;
  if (p.poolNumber != s.keyPoolNumber || !s.keyPool) return false;
  const std::uint8_t* const at = s.input + s.pos;
#if defined(__SSE2__)
  if (p.patternMask != 0 && s.length - s.pos >= 16) {
    if (!JBLayouts::writtenAt(p, at)) return false;
  } else
#endif
  {
    if (!p.plain || s.length - s.pos < n + 3) return false;
    if (at[0] != '"' || at[n + 1] != '"' || at[n + 2] != ':') return false;
    const JBTokenCache::Words w = JBTokenCache::wordsOf(reinterpret_cast<const char*>(at + 1), n);
    if (w.a != p.words.a || w.b != p.words.b) return false;
    if (!JBKeyPool::sameLongKey(*p.key, reinterpret_cast<const char*>(at + 1))) return false;
  }
  if (s.heldPool != s.keyPool) {
    s.arena->hold(s.keyPool);
    s.heldPool = s.keyPool;
  }
  key = p.key;
  keyHash = p.keyHash;
  // As though the ':' had just been read (the value's token comes next).
  s.pos += n + 3;
  return true;
}

bool JBLayoutReader::read(JBParseState& s, platform::Value& out) {
  const std::size_t start = s.pairStack.size();
  // When the dictionary before at this depth had a table, this one is likely to have the same keys
  // in the same order: its pairs go straight into the document's memory, as many as that one had,
  // and move to the stack when a key differs.
  JBDictionary::Entry* direct = nullptr;
  std::size_t directCount = 0;
  std::size_t directTaken = 0;
  Layout* layout = nullptr;
  const std::string* const* layoutKeys = nullptr;
  // Whether a key came out of the layout's order, and then the places of the keys taken and the
  // table of the pairs taken.
  bool permuted = false;
  // Whether a layout of another order took over after the first key.
  bool switched = false;
  std::uint64_t takenKeys = 0;
  std::uint32_t* permutedSlots = nullptr;
  auto placeInPermutedSlots = [&](std::size_t pair, std::size_t place) {
    const std::size_t capacity = layout->slots.size();
    std::size_t i = layout->details[place].home;
    while (permutedSlots[i] != 0)
      if (++i == capacity) i = 0;
    permutedSlots[i] = static_cast<std::uint32_t>(pair + 1);
  };
  const PredictedKey* const predictions = predictedRow(s);
  // The layout is chosen by the first key's text.
  if (s.pos < s.length && kMaybeSpace[s.input[s.pos]]) {
    s.skipWhitespace();
    // What the general loop's token reader would say of white space to the end.
    if (s.pos >= s.length) {
      s.recordError(kUnexpectedToken);
      return false;
    }
  }
  Layout* const chosen =
      layouts_.choose(s.depth, s.keyPool ? s.keyPoolNumber : 0, s.input + s.pos, s.length - s.pos);
  // Where the arena stood before the pairs' memory, for giving it back when an equal dictionary
  // was made before.
  JBArena::Mark beforePairs{};
  if (!s.mutableCollections && chosen) {
    // Its keys are told by their addresses: the pool must outlive the document.
    s.holdKeyPool();
    beforePairs = s.arena->mark();
    layout = chosen;
    layoutKeys = chosen->keys.data();
    directCount = chosen->keys.size();
    direct = static_cast<JBDictionary::Entry*>(
        s.arena->carveNode(directCount * sizeof(JBDictionary::Entry), alignof(JBDictionary::Entry)));
  }
  auto spill = [&] {
    // Values of an immutable document own nothing: moving them leaves nothing to destroy.
    s.pairStack.resize(start + directTaken);
    for (std::size_t i = 0; i < directTaken; ++i) {
      JBDictionary::Pair& p = s.pairStack[start + i];
      p.key = direct[i].key;
      p.object = std::move(direct[i].object);
      p.keyHash = JBDictionary::hashKey(*p.key);
    }
    direct = nullptr;
  };
  unsigned accepted = kAcceptValue | kAcceptEnd;
  // A record written as the one before: while each key stands where that record had it, written
  // alike (one comparison of its pattern), its pairs are taken without the general loop's checks,
  // which take over at the first thing that differs. False when the text is bad (recorded).
  auto takePairsLikeBefore = [&s, direct, directCount, layout, &directTaken, &accepted]() -> bool {
#if defined(__SSE2__)
    if (s.heldPool != s.keyPool) {
      s.arena->hold(s.keyPool);
      s.heldPool = s.keyPool;
    }
    // The count kept where the compiler may hold it in a register, and handed back at the end.
    std::size_t taken = directTaken;
    struct HandBack {
      std::size_t& to;
      const std::size_t& from;
      ~HandBack() { to = from; }
    } handBack{directTaken, taken};
    while (taken < directCount) {
      Layout::Pattern& p = layout->pattern(taken);
      if (JBLayouts::writtenAt(p.led, s.input + s.pos, s.length - s.pos)) {
        s.pos += p.led.length;
        if (s.countLines) s.line += p.led.lines;
      } else {
        const std::size_t from = s.pos;
        if (s.pos < s.length && kMaybeSpace[s.input[s.pos]]) {
          s.skipWhitespace();
          if (s.pos >= s.length) {
            s.recordError(kUnexpectedToken);
            return false;
          }
        }
        if (!JBLayouts::writtenAt(p, s.input + s.pos, s.length - s.pos)) return true;
        JBLayouts::learnLead(p, s.input + from, s.input + s.pos, s.input + s.length);
        s.pos += p.length + 3;
      }
      if (!s.nextToken() || !isValueToken(s.token)) {
        s.recordExpectation(accepted, "a value", "a '}'");
        return false;
      }
      // The pair's value is made in its place: a container's is assigned, so it starts null.
      JBDictionary::Entry* const pair = direct + taken++;
      pair->key = p.key;
      if (s.token == Token::ArrayBegin || s.token == Token::ObjectBegin) {
        if (!s.parseContainer(s.token, *new (&pair->object) platform::Value())) return false;
      } else if (!s.tokenValue(pair->object)) {
        return false;
      }
      if (s.pos < s.length && s.input[s.pos] == ',') {
        ++s.pos;
        accepted = kAcceptValue;
        continue;
      }
      accepted = kAcceptComma | kAcceptEnd;
      return true;
    }
#endif
    return true;
  };
  // The general loop; it does not start when the pairs taken above end in bad text.
  for (const bool good = !(direct && predictions) || takePairsLikeBefore(); good;) {
    if (s.pos >= s.length) break;
    const std::string* key;
    std::size_t keyHash;
    const std::size_t position = direct ? directTaken : s.pairStack.size() - start;
    // Pretty-printed text: the key is looked for past the line's indentation.
    if (predictions && kMaybeSpace[s.input[s.pos]]) s.skipWhitespace();
    std::size_t place = kMaxLayoutKeys;  // the key's place in the layout's keys, when known
    bool predicted = false;
    if ((accepted & kAcceptValue) && predictions) {
      predicted = predictedKeyAhead(s, predictions[position % JBLayouts::kPredictedPositions], key, keyHash);
      if (!predicted && layout) {
        place = layoutKeyAhead(s, *layout, position, key, keyHash);
        predicted = place != kMaxLayoutKeys;
      }
    }
    if (!predicted && !s.nextToken()) break;
    if (predicted || s.token == Token::String) {
      if (!predicted) {
        if (!(accepted & kAcceptValue)) {
          s.recordError("Unexpected string.");
          break;
        }
        if (!predictedDocumentKey(s, key, keyHash, position)) break;
        if (!s.nextToken()) break;
        if (s.token != Token::Separator) {
          s.recordError("Expected ':'.");
          break;
        }
      }
      if (direct && !permuted && directTaken < directCount && directCount <= kKeysOfFewOrders &&
          layoutKeys[directTaken] != key) {
        // Few keys: each order is a layout of its own, and the one of this order reads on.
        if (Layout* other = layouts_.sameStart(s.depth, *layout, directTaken, key)) {
          switched = true;
          layout = other;
          layoutKeys = other->keys.data();
        }
      }
      if (direct && (directTaken == directCount || permuted || layoutKeys[directTaken] != key)) {
        // The layout's keys in another order still go straight in, each once, their table made as
        // they come (before the value is read: its text may lie open in the document's memory).
        if (directTaken < directCount && place == kMaxLayoutKeys) place = layout->placeOf(key);
        // Taken already (before the order changed, the first directTaken places are): a repeated key.
        if (place == kMaxLayoutKeys || (permuted ? (takenKeys >> place & 1) != 0 : place < directTaken)) {
          spill();
        } else {
          if (!permuted) {
            permuted = true;
            const std::size_t capacity = layout->slots.size();
            permutedSlots = static_cast<std::uint32_t*>(
                s.arena->carveNode(capacity * sizeof(std::uint32_t), alignof(std::uint32_t)));
            std::fill(permutedSlots, permutedSlots + capacity, 0);
            for (std::size_t n = 0; n < directTaken; ++n) placeInPermutedSlots(n, n);
            takenKeys = (std::uint64_t{1} << directTaken) - 1;  // below 64: one key is still to come
          }
          takenKeys |= std::uint64_t{1} << place;
          placeInPermutedSlots(directTaken, place);
        }
      }
      if (!s.nextToken() || !isValueToken(s.token)) {
        s.recordExpectation(accepted, "a value", "a '}'");
        break;
      }
      if (direct) {
        // The document's memory stays put while a child is read into it.
        auto* pair = new (direct + directTaken++) JBDictionary::Entry{key, platform::Value()};
        if (!(s.token == Token::ArrayBegin || s.token == Token::ObjectBegin
                  ? s.parseContainer(s.token, pair->object)
                  : s.tokenValue(pair->object)))
          break;
      } else if (s.token == Token::ArrayBegin || s.token == Token::ObjectBegin) {
        platform::Value child;
        if (!s.parseContainer(s.token, child)) break;
        s.pairStack.push_back(JBDictionary::Pair{key, std::move(child), keyHash});
      } else {
        JBDictionary::Pair& pair = s.pairStack.emplace_back();
        pair.key = key;
        pair.keyHash = keyHash;
        if (!s.tokenValue(pair.object)) break;
      }
      // A comma just after a value needs no token of its own.
      if (s.pos < s.length && s.input[s.pos] == ',') {
        ++s.pos;
        accepted = kAcceptValue;
        continue;
      }
      accepted = kAcceptComma | kAcceptEnd;
    } else if (s.token == Token::ObjectEnd) {
      if (!(accepted & kAcceptEnd)) {
        s.recordError("Unexpected '}'.");
        break;
      }
      // out is null: the value is made in its place.
      // Up to three keys have no more orders than a depth keeps layouts: each order is learnt as a
      // layout of its own, so that the next dictionary in it is read in order.
      if (direct && directTaken == directCount && (!permuted || directCount > kKeysOfFewOrders)) {
        // Its pairs never went to the stack. One made before with the same pairs, in this layout
        // or else anywhere in the document, stands in for it.
        std::uint64_t madeHash = 0;
        if (layout->madeWatch.worthLooking()) {
          madeHash = JBLayouts::madeHash(direct, directCount);
          // With a text among its values, never found there: a layout of such records stops looking.
          if (madeHash == 0) layout->madeWatch.noteLook(false);
        }
        JBDictionary* d = madeHash ? layouts_.madeBefore(*layout, madeHash, direct, directCount) : nullptr;
        const bool madeByLayout = d != nullptr;
        // Met again, as the document's table would have found it: it goes on looking.
        if (madeByLayout) s.sharedDictionaries.noteLook(true);
        std::uint64_t hash = 0;
        if (!d) {
          hash = s.pairsHash(direct, directCount);
          d = s.sameDictionary(hash, direct, directCount);
        }
        if (d) {
          // The pairs own nothing; the memory they took, and what their texts took, goes back.
          if (!s.openText) s.arena->rewind(beforePairs);
        } else {
          d = JBDictionary::adoptLikeIn(*s.arena, direct, directCount,
                                        permuted ? permutedSlots : layouts_.sharedSlots(*layout, *s.arena),
                                        layout->slots.size());
          s.shareDictionary(hash, d, directCount);
          // Looked for by its pairs, it is referred to from elsewhere: kept (as shared ones are).
          if (madeHash && hash == 0) s.arena->keep();
        }
        if (madeHash && !madeByLayout) layouts_.rememberMade(*layout, madeHash, d);
        new (&out) platform::Value(platform::Value::borrowingObject(*s.owner, d));
        // Keys out of the layout's order, or a turn to a layout of another order, mean the records
        // here are not written alike: taken straight in, they are still read no faster than by the
        // general loop, whose cache and branches a guess that misses half the time only disturbs.
        layouts_.noteOutcome(s.depth, permuted || switched);
      } else {
        if (direct) spill();
        bool missed = false;
        new (&out) platform::Value(
            makeLearntDictionary(s, s.pairStack.data() + start, s.pairStack.size() - start, missed));
        s.pairStack.resize(start);
        layouts_.noteOutcome(s.depth, missed);
      }
      return true;
    } else if (s.token == Token::Comma) {
      if (!(accepted & kAcceptComma)) {
        s.recordError("Unexpected ','.");
        break;
      }
      accepted = kAcceptValue;
    } else {
      s.recordExpectation(accepted, "a \"STRING\"", "a '}'");
      break;
    }
  }
  s.pairStack.resize(start);
  return false;
}

platform::Value JBLayoutReader::makeLearntDictionary(JBParseState& s, JBDictionary::Pair* pairs,
                                                     std::size_t count, bool& missed) {
  if (s.mutableCollections) return s.makeDictionary(pairs, count);
  auto borrowed = [&s](JBDictionary* d) { return platform::Value::borrowingObject(*s.owner, d); };
  // Only depths with a table of their own learn one: a dictionary being read at a depth reads its
  // table (read()) until it ends, and no dictionary nested in it is at that depth.
  missed = true;
  if (count == 0) return borrowed(s.theEmptyDictionary());
  // An equal dictionary made before stands in for the new one; the layouts learn as before.
  const std::uint64_t hash = s.pairsHash(pairs, count);
  JBDictionary* const same = s.sameDictionary(hash, pairs, count);
  auto made = [&](JBDictionary* d) {
    s.shareDictionary(hash, d, count);
    return d;
  };
  if (count > kMaxLayoutKeys || !s.keyPool)
    return borrowed(same ? same : made(JBDictionary::createIn(*s.arena, pairs, count)));
  if (const Layout* l = layouts_.matching(s.depth, s.keyPoolNumber, pairs, count)) {
    missed = false;
    return borrowed(
        same ? same
             : made(JBDictionary::createLikeIn(*s.arena, pairs, count, l->slots.data(), l->slots.size())));
  }
  JBDictionary* d = same ? same : made(JBDictionary::createIn(*s.arena, pairs, count));
  if (d->count_ == count) {
    bool pooled = true;
    for (std::size_t i = 0; i < count && pooled; ++i) pooled = s.keyPool->holds(d->pairs_[i].key);
    if (pooled) missed = layouts_.learn(s.depth, s.keyPoolNumber, *d, pairs);
  }
  return borrowed(d);
}

}  // namespace kavro
