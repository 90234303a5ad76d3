#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBKeyPool.h"
#include "kit/codec/json/JBNodeShare.h"
#include "kit/codec/json/JBRepeatWatch.h"
#include "kit/codec/json/JBTokenCache.h"

namespace kavro {

// What a decoder learns of the dictionaries it reads so as to read the next ones faster: the key
// found last at each place (nesting depth, position in its dictionary), and at each depth the
// layouts (keys in their order, with their table) of a few kinds of dictionary. The decoder's
// general loop knows nothing of them: its layout reader (JBLayoutReader) takes a dictionary only
// where worthTrying() says so, and tells how that went (noteOutcome()); at a depth where most
// dictionaries come in no order learnt, the layouts step aside for a while. Keys are remembered by
// address and belong to one key pool (its number, never 0). One thread.
class JBLayouts {
 public:
  static constexpr std::size_t kDepths = 16;
  static constexpr std::size_t kMaxKeys = 64;
  // Dictionaries at one depth often take turns between a few kinds (a record's own fields, the
  // person in it, its links): a few layouts are kept for each depth, told apart by their first key.
  static constexpr std::size_t kWays = 8;
  static constexpr std::size_t kPredictedPositions = 64;

  // The key last found at each place (nesting depth, position in its dictionary): records of one
  // answer repeat their keys in the same order, so most keys are known before any lookup.
  struct PredictedKey {
    std::uint64_t poolNumber = 0;
    const std::string* key = nullptr;
    std::size_t keyHash = 0;
    JBTokenCache::Words words{0, 0};
    std::size_t length = 0;
    // Whether the key's text, between quotation marks and followed by ':', is how the document
    // writes it: no quotation mark, backslash or control in it.
    bool plain = false;
    // For a plain key of up to 13 bytes: that text, and one bit for each of its bytes (0 for other
    // keys), so that one comparison of 16 bytes finds it.
    std::uint32_t patternMask = 0;
    alignas(16) std::uint8_t pattern[16] = {};
  };
  // The table of the last dictionary made at each depth, with its keys in order: records of one
  // answer repeat their keys in the same order, and equal keys in equal order make an equal table.
  // They often take the same keys in an order of their own too: those keys are told by their text
  // without a look in the pool, and with no two keys equal a table for any order is made by
  // probing from the keys' homes. Only keys of the current pool are remembered, so that no key
  // compared stands for another.
  struct Layout {
    std::uint64_t poolNumber = 0;
    std::vector<const std::string*> keys;
    std::vector<std::uint32_t> slots;
    struct Key {
      std::size_t keyHash = 0;
      std::uint32_t home = 0;  // the key's slot when nothing is in the way
      std::uint32_t length = 0;
      JBTokenCache::Words words{0, 0};
      // No quotation mark, backslash or control in it: the document writes it as it is.
      bool plain = false;
    };
    std::vector<Key> details;
    // Places in keys (plus one; 0 for none) by the keys' addresses and by their texts.
    static constexpr std::size_t kPlaces = 128;
    std::array<std::uint8_t, kPlaces> byAddress{};
    std::array<std::uint8_t, kPlaces> byText{};
    static std::size_t addressHash(const std::string* key) {
      return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> 57);
    }
    static std::size_t textHash(std::size_t length, const JBTokenCache::Words& w) {
      return static_cast<std::size_t>(((w.a ^ w.b) + length) * 0x9E3779B97F4A7C15ull >> 57);
    }
    // The key's place in keys, or kMaxKeys when it is not one of them.
    std::size_t placeOf(const std::string* key) {
      if (!indexed && !index()) return kMaxKeys;
      for (std::size_t i = addressHash(key);; i = (i + 1) % kPlaces) {
        const std::uint8_t at = byAddress[i];
        if (at == 0) return kMaxKeys;
        if (keys[at - 1u] == key) return at - 1u;
      }
    }
    // The place of the key with the text (w its words), or kMaxKeys.
    std::size_t placeOfText(const char* bytes, std::size_t length, const JBTokenCache::Words& w) {
      if (!indexed && !index()) return kMaxKeys;
      for (std::size_t i = textHash(length, w);; i = (i + 1) % kPlaces) {
        const std::uint8_t at = byText[i];
        if (at == 0) return kMaxKeys;
        const Key& k = details[at - 1u];
        if (k.length == length && k.words.a == w.a && k.words.b == w.b &&
            (length <= 16 || JBKeyPool::sameLongKey(*keys[at - 1u], bytes)))
          return at - 1u;
      }
    }
    // Learning takes the keys and the table; what tells the keys apart is made when first asked,
    // and only for keys learnt in place of as many others: dictionaries that differ in their
    // number of keys seldom share them.
    bool indexed = false;
    bool worthIndexing = false;
    // d was made of pairs, in their order (no key repeated).
    void learn(const JBDictionary& d, const JBDictionary::Pair* pairs);
    // Takes the order of d, which holds this layout's keys, all of them, in another order.
    void learnOrder(const JBDictionary& d);
    // False when the keys are not worth it.
    bool index();
    // The copy of slots in the document numbered slotsDocument, which its dictionaries with these
    // keys share.
    std::uint64_t slotsDocument = 0;
    const std::uint32_t* documentSlots = nullptr;
    // When last chosen or learnt (by the layouts' clock_), so that the longest unused gives way to a new one.
    std::uint64_t used = 0;
    // The layout chosen after this one at its depth the last time another was: a record's members
    // of different kinds (its person, then its links) come in the same turn in every record.
    Layout* next = nullptr;
    // Dictionaries of the document numbered madeDocument read in this layout, by their pairs
    // (madeHash()), and whether they repeat: where they seldom do, looking costs more than it saves.
    struct Made {
      std::uint64_t hash = 0;
      JBDictionary* dictionary = nullptr;
    };
    static constexpr unsigned kMadeBits = 8;
    std::vector<Made> made;  // 1 << kMadeBits of them once the layout looks for one
    std::uint64_t madeDocument = 0;
    // The order of the dictionary read last by this layout when it had the layout's keys in another
    // (0: it had them in the layout's order).
    std::uint64_t otherOrder = 0;
    JBRepeatWatch madeWatch;
    // Each key as the document writes it (keyPattern), so that a dictionary in this layout's order
    // is read without predictions, which dictionaries of other kinds at this depth overwrite; the
    // first one tells this layout's dictionaries before any key is read.
    // Keys of up to 45 bytes have one: many a record's keys are longer than a single comparison
    // takes, and the first of them would end the reading in order for the rest of the record.
    template <std::size_t N>
    struct Written {
      std::uint64_t mask = 0;  // one bit for each byte written
      // The bytes compared: a multiple of 16; SIZE_MAX, more than any text has, for none.
      std::size_t reach = SIZE_MAX;
      std::uint32_t length = 0;  // the key's (Pattern), or all the bytes written (led)
      std::uint32_t lines = 0;   // the line feeds in it
      alignas(16) std::uint8_t bytes[N];
    };
    struct Pattern : Written<48> {
      // The key as the dictionary before wrote it with the spaces and line feeds before it (its
      // line and indentation when pretty-printed; nothing in compact text), so that one comparison
      // passes both. Learnt as the key is met.
      Written<64> led;
      // Copies of the key and its hash, beside the bytes just compared.
      const std::string* key = nullptr;
      std::size_t keyHash = 0;
    };
    // The pattern of the key at place k (below the count of keys).
    Pattern& pattern(std::size_t k) {
      while (patternsMade <= k) makePattern(patternsMade++);
      return patterns[k];
    }

   private:
    template <class KeyHashAt>
    void learnKeys(const JBDictionary& d, KeyHashAt&& keyHashAt);
    std::vector<Pattern> patterns;  // the first patternsMade are the keys'
    std::size_t patternsMade = 0;
    void makePattern(std::size_t k);
  };

  // Writes a plain key (isPlainKey) as the document writes it: between quotation marks and followed
  // by ':', zeros after. Returns one bit for each of those bytes, or 0 (nothing written) for a key
  // too long for the pattern.
  template <std::size_t N>
  static std::uint64_t keyPattern(std::string_view text, std::uint8_t (&pattern)[N]) {
    static_assert(N <= 64);
    const std::size_t written = text.size() + 3;
    if (written > N) return 0;
    std::memset(pattern, 0, N);
    pattern[0] = '"';
    std::memcpy(pattern + 1, text.data(), text.size());
    pattern[text.size() + 1] = '"';
    pattern[text.size() + 2] = ':';
    return written == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << written) - 1;
  }

  // Whether a key's text is how a document writes it between quotation marks: no quotation mark,
  // backslash or control in it.
  static bool isPlainKey(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; });
  }

#if defined(__SSE2__)
  // Whether the 16 bytes at `at` start with p's pattern (p.patternMask is not 0).
  static bool writtenAt(const PredictedKey& p, const std::uint8_t* at) {
    return writtenAt(p.pattern, p.patternMask, at);
  }
  static bool writtenAt(const std::uint8_t* pattern, std::uint32_t mask, const std::uint8_t* at) {
    return (sameBytes16(pattern, at) & mask) == mask;
  }
  // One bit for each of the 16 bytes at `at` equal to the pattern's.
  static std::uint64_t sameBytes16(const std::uint8_t* pattern, const std::uint8_t* at) {
    const __m128i same = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
                                        _mm_load_si128(reinterpret_cast<const __m128i*>(pattern)));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(same));
  }
  // Whether the text at `at` (room bytes readable) starts with a layout key's pattern; false for a
  // key without one.
  template <std::size_t N>
  static bool writtenAt(const Layout::Written<N>& p, const std::uint8_t* at, std::size_t room) {
    static_assert(N % 16 == 0 && N <= 64);
    if (room < p.reach) return false;
    std::uint64_t same = sameBytes16(p.bytes, at);
    if (p.reach > 16) {
      same |= sameBytes16(p.bytes + 16, at + 16) << 16;
      if (N > 32 && p.reach > 32) {
        same |= sameBytes16(p.bytes + 32, at + 32) << 32;
        if (N > 48 && p.reach > 48) same |= sameBytes16(p.bytes + 48, at + 48) << 48;
      }
    }
    return (same & p.mask) == p.mask;
  }
  // The key's pattern (matched at `at`) with the space passed before it since `from`, and the one
  // space after its ':' that pretty-printed text puts, when there is one (`end` is the text's).
  static void learnLead(Layout::Pattern& p, const std::uint8_t* from, const std::uint8_t* at,
                        const std::uint8_t* end) {
    const auto lead = static_cast<std::size_t>(at - from);
    const std::size_t keyEnd = p.length + 3;
    const bool spaceAfter = end - at > static_cast<std::ptrdiff_t>(keyEnd) && at[keyEnd] == ' ';
    const std::size_t written = lead + keyEnd + (spaceAfter ? 1 : 0);
    p.led.reach = SIZE_MAX;
    if (written > sizeof p.led.bytes) return;
    std::uint32_t lines = 0;
    for (std::size_t i = 0; i < lead; ++i) {
      if (from[i] != ' ' && from[i] != '\t' && from[i] != '\n') return;
      lines += from[i] == '\n';
    }
    std::memset(p.led.bytes, 0, sizeof p.led.bytes);
    std::memcpy(p.led.bytes, from, lead);
    std::memcpy(p.led.bytes + lead, p.bytes, keyEnd);
    if (spaceAfter) p.led.bytes[lead + keyEnd] = ' ';
    p.led.mask = written == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << written) - 1;
    p.led.reach = (written + 15) / 16 * 16;
    p.led.length = static_cast<std::uint32_t>(written);
    p.led.lines = lines;
  }
#endif

  // A new document: the keys and layouts learnt stay (their pool tells whether they still hold), and
  // so does the judgement of them, answers of one kind coming one after another: a depth where they
  // missed in the document before is not tried again at the start of each (most of a document's
  // dictionaries may be those first ones). A pause longer than the first is cut to it, so that a
  // document of another kind gets its layouts back soon.
  void startDocument() {
    for (Watch& w : watch_) w.skip = std::min(w.skip, kFirstPause);
    ++documentNumber_;
  }
  // Whether the next dictionary at the depth (below kDepths) is worth reading by layout.
  bool worthTrying(std::size_t depth) {
    Watch& w = watch_[depth];
    if (w.skip == 0) return true;
    --w.skip;
    return false;
  }
  // How a dictionary read by layout went: missed when its keys came in an order other than the
  // layout's chosen by its first key, when it had to learn a layout in place of another, or could
  // not be learnt.
  void noteOutcome(std::size_t depth, bool missed) {
    Watch& w = watch_[depth];
    w.missed += missed ? 1 : 0;
    if (++w.seen < kWatchedDictionaries) return;
    if (w.missed * 4 > w.seen) {
      w.skip = w.pause;
      w.pause = std::min(w.pause * 2, kLongestPause);
    } else {
      w.pause = kFirstPause;
    }
    w.seen = w.missed = 0;
  }

  // The keys last found at each position of a dictionary at the depth.
  PredictedKey* predictedRow(std::size_t depth) {
    return predictedKeys_.data() + (depth % kDepths) * kPredictedPositions;
  }
  // Predicts key (text, with words w, of the pool numbered pool) at this position of dictionaries
  // at the depth.
  void rememberKey(std::size_t depth, std::size_t position, std::uint64_t pool, const std::string* key,
                   std::size_t keyHash, std::string_view text, const JBTokenCache::Words& w);

  // The layout of the dictionary being read at the depth, or nullptr; between dictionaries, the one
  // chosen, matched or learnt last there.
  Layout* current(std::size_t depth) const { return current_[depth]; }
  // Chooses (and makes current) the layout for a dictionary at the depth whose first key is at `at`
  // (room bytes readable): the one of the pool whose first key is written there, else the one used
  // last; nullptr when there is none (or pool is 0: no pool).
  Layout* choose(std::size_t depth, std::uint64_t pool, const std::uint8_t* at, std::size_t room);
  // The layout's table copied into the document numbered as the current one, which its
  // dictionaries with these keys share.
  const std::uint32_t* sharedSlots(Layout& layout, JBArena& arena) {
    if (layout.slotsDocument != documentNumber_) {
      auto* slots = static_cast<std::uint32_t*>(
          arena.carveNode(layout.slots.size() * sizeof(std::uint32_t), alignof(std::uint32_t)));
      std::copy(layout.slots.begin(), layout.slots.end(), slots);
      arena.keep();
      layout.documentSlots = slots;
      layout.slotsDocument = documentNumber_;
    }
    return layout.documentSlots;
  }
  // The hash by which madeBefore() finds a dictionary of 1 to JBNodeShare::kMaxMembers pairs; 0 for
  // others, or when a value is a text: equal texts lie apart, and only the document's table of
  // shared containers compares them.
  static std::uint64_t madeHash(const JBDictionary::Entry* entries, std::size_t count) {
    if (count == 0 || count > JBNodeShare::kMaxMembers) return 0;
    std::uint64_t sum = reinterpret_cast<std::uintptr_t>(entries[0].key) + count;
    bool plain = true;
    for (std::size_t i = 0; i < count; ++i) {
      plain &= !entries[i].object.isString();
      sum = (sum + entries[i].object.bitsWord()) * 0x9E3779B97F4A7C15ull;
    }
    return plain ? JBNodeShare::mix(sum) | 1 : 0;
  }
  // A dictionary read in the layout in this document with the same keys, in their order, and the
  // same values (the very same containers; numbers of one kind, bit for bit), or nullptr: records
  // repeat a few (the areas of a venue in every performance), and those are found here by one word
  // of their values rather than through the document's table of shared containers, whose words
  // need each value's kind. hash is madeHash()'s, not 0.
  JBDictionary* madeBefore(Layout& layout, std::uint64_t hash, const JBDictionary::Entry* entries,
                           std::size_t count) {
    if (layout.madeDocument != documentNumber_) {
      layout.made.assign(std::size_t{1} << Layout::kMadeBits, Layout::Made());
      layout.madeDocument = documentNumber_;
      return nullptr;
    }
    const Layout::Made& m = layout.made[hash >> (64 - Layout::kMadeBits)];
    const bool same = m.hash == hash && m.dictionary->holdsSamePairs(entries, count);
    layout.madeWatch.noteLook(same);
    return same ? m.dictionary : nullptr;
  }
  // Remembers d, with the keys and values madeBefore() was asked for, by their hash. It must be
  // kept in the document's memory (JBArena::keep()) since it was carved.
  void rememberMade(Layout& layout, std::uint64_t hash, JBDictionary* d) {
    layout.made[hash >> (64 - Layout::kMadeBits)] = {hash, d};
  }

  // The layout of the pool at the depth with these keys in this order, made current; nullptr when
  // none has them.
  Layout* matching(std::size_t depth, std::uint64_t pool, const JBDictionary::Pair* pairs, std::size_t count);
  // Another layout at the depth with as many keys as `from`, the same first `taken` of them, and key
  // next, made current; nullptr when there is none. Few keys in an order of their own are each
  // learnt as a layout: when the first key chose one of the wrong order, the next tells the right.
  Layout* sameStart(std::size_t depth, const Layout& from, std::size_t taken, const std::string* key);
  // d, read by the layout at the depth, holds the layout's keys, all of them, in another order.
  // When the dictionary read by this layout before it came in that same order, records keep to an
  // order of their own (an answer of another kind than the one the layout was learnt from): the
  // layout takes it, so that the next ones are read in order rather than out of order for good,
  // or, where another layout has that order already, gives way to the other kinds. Orders that
  // change from record to record are not learnt.
  void noteOtherOrder(std::size_t depth, Layout& layout, const JBDictionary& d);
  // Learns d's keys (all of the pool) at the depth, in a free layout, else in place of the one
  // unused longest; answers whether another layout gave way.
  bool learn(std::size_t depth, std::uint64_t pool, const JBDictionary& d, const JBDictionary::Pair* pairs);

 private:
  // Whether the layout is of the pool and its first key is written at `at`.
  static bool firstKeyAt(Layout& layout, std::uint64_t pool, const std::uint8_t* at, std::size_t room) {
#if defined(__SSE2__)
    if (layout.poolNumber != pool) return false;
    return writtenAt(layout.pattern(0), at, room);
#else
    (void)layout;
    (void)pool;
    (void)at;
    (void)room;
    return false;
#endif
  }
  __attribute__((noinline)) Layout* chooseAmongAll(std::size_t depth, std::uint64_t pool,
                                                   const std::uint8_t* at, std::size_t room);
  // The layout of the pool at the depth, other than `except`, with the keys of pairs (Pair or Entry)
  // in their order; nullptr when none has them.
  template <class P>
  Layout* withOrder(std::size_t depth, std::uint64_t pool, const P* pairs, std::size_t count,
                    const Layout* except);
  // The dictionary being read at the depth turned out to be of the layout, whichever its first key
  // chose: the layout becomes current, and the one before it expects it next. A guess that only
  // the first key made (a kind of another answer beginning with the same key) is not made again.
  void settle(std::size_t depth, Layout* layout) {
    if (Layout* before = before_[depth]; before && before != layout) before->next = layout;
    current_[depth] = layout;
  }

  std::vector<PredictedKey> predictedKeys_ = std::vector<PredictedKey>(kDepths * kPredictedPositions);
  std::array<std::array<Layout, kWays>, kDepths> ways_;
  std::array<Layout*, kDepths> current_{};
  // The layout that was current when the dictionary being read chose its own: the one before it.
  std::array<Layout*, kDepths> before_{};
  std::uint64_t clock_ = 0;
  // How many of each depth's layouts were ever learnt (the first ones).
  std::array<std::size_t, kDepths> learnt_{};
  std::uint64_t documentNumber_ = 0;  // so that no copy of a table outlives its document

  // How the layouts did at each depth over the last kWatchedDictionaries read by them: where more
  // than a quarter missed, the general loop reads the next `skip` dictionaries there (across
  // documents), twice as many each time they miss again, up to kLongestPause.
  struct Watch {
    std::uint32_t seen = 0;
    std::uint32_t missed = 0;
    std::uint32_t skip = 0;
    std::uint32_t pause = kFirstPause;
  };
  static constexpr std::uint32_t kWatchedDictionaries = 4;
  static constexpr std::uint32_t kFirstPause = 1024;
  static constexpr std::uint32_t kLongestPause = 1u << 16;
  std::array<Watch, kDepths> watch_{};
};

}  // namespace kavro
