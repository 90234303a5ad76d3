#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBLayouts.h"
#include "kit/codec/json/JBStores.h"
#include "kit/codec/json/JBTokenCache.h"
#include "kit/codec/json/JBTokenReader.h"
#include "platform/foundation/Value.h"

namespace kavro {

// Where the reading of a dictionary stands between the steps of its grammar: what comes next (a
// member's key or the end, the ':' after a key, or the value after the ':', whose token is read and
// is not a value's), what is accepted there (jbdecode::kAccept...), and the key read when it stands
// after one. A dictionary starts with the defaults.
struct JBDictionaryPlace {
  enum class Next : std::uint8_t { Member, Colon, Value };
  Next next = Next::Member;
  unsigned accepted = jbdecode::kAcceptValue | jbdecode::kAcceptEnd;
  const std::string* key = nullptr;
  std::size_t keyHash = 0;
};

// What reads the containers nested in a record: the parser's grammar.
class JBContainerReader {
 public:
  // The container whose '[' or '{' (kind) was just read, made in out (a null value); false with
  // the error recorded.
  virtual bool readContainer(jbdecode::Token kind, platform::Value& out) = 0;

 protected:
  ~JBContainerReader() = default;
};

// The decoder's fast path for records: reads a dictionary by the layouts (JBLayouts) learnt from
// the dictionaries before it at its depth, through the parser's token reader and stores, with the
// results the general loop would give. It reads only what the grammar lets through (keys, each
// followed by ':' and a value, separated by ',' up to '}'); at anything else it hands the record
// back to the general loop where it stands, before the token that departs (after it, where a value
// was due), with the pairs read so far on the pair stack: every error is the grammar's own. The parser offers
// it every dictionary; it declines where no layout is worth trying (or it is switched off). One thread.
class JBLayoutReader {
 public:
  enum class Outcome : std::uint8_t { Declined, Read, Failed, HandedBack };

  // Reads with the parser's tokens and stores, its pair stack, and its grammar for nested
  // containers; all of them outlive the reader.
  JBLayoutReader(JBTokenReader& tokens, JBStores& stores, std::vector<JBDictionary::Pair>& pairs,
                 JBContainerReader& containers)
      : tokens_(tokens), stores_(stores), pairs_(pairs), containers_(containers) {}
  JBLayoutReader(const JBLayoutReader&) = delete;
  JBLayoutReader& operator=(const JBLayoutReader&) = delete;

  // The dictionary whose '{' the parser has just read, at the depth (counted): read into out (a null
  // value); failed with the error recorded (a nested value's or a token's); handed back, with its
  // pairs on the pair stack above where they stood and `at` telling where it stands; or declined
  // with nothing read.
  Outcome readDictionary(std::size_t depth, platform::Value& out, JBDictionaryPlace& at) {
    if (!on_ || depth >= JBLayouts::kDepths || !layouts_.worthTrying(depth)) return Outcome::Declined;
    return read(depth, out, at);
  }
  // On unless switched off; the results are the same either way.
  void setOn(bool on) { on_ = on; }
  void startDocument() { layouts_.startDocument(); }

 private:
  using Layout = JBLayouts::Layout;
  using PredictedKey = JBLayouts::PredictedKey;
  using Next = JBDictionaryPlace::Next;
  static constexpr std::size_t kMaxLayoutKeys = JBLayouts::kMaxKeys;
  static constexpr std::size_t kKeysOfFewOrders = 3;
  static_assert(1 * 2 * 3 <= JBLayouts::kWays, "the orders of three keys fit the layouts of a depth");

  // One record being read.
  struct Record;
  // How reading a key went.
  enum class KeyRead : std::uint8_t { Read, Failed, ColonMissing };

  Outcome read(std::size_t depth, platform::Value& out, JBDictionaryPlace& at);
  // Chooses the record's layout by the text of its first key, and where its pairs go.
  __attribute__((always_inline)) void startRecord(Record& r);
  // The pairs taken while the keys stand where the layout has them, written alike; Read when the
  // member loop goes on (at the first thing that differs, or the record's end).
  Outcome takePairsLikeBefore(Record& r, JBDictionaryPlace& at);
  // The members from the scan position to the record's end.
  __attribute__((always_inline)) Outcome readMembers(Record& r, platform::Value& out, JBDictionaryPlace& at);
  // The key at the scan position (a quotation mark) and the ':' after it; place is the key's place
  // in the layout's keys when the layout told it (else kMaxLayoutKeys).
  __attribute__((always_inline)) KeyRead readKey(Record& r, const std::string*& key, std::size_t& keyHash,
                                                 std::size_t& place);
  // Where the pair of the key read goes: into the record's direct pairs (in the layout's order or
  // in another), or to the pair stack.
  __attribute__((always_inline)) void placeKey(Record& r, const std::string* key, std::size_t place);
  // placeKey() for a key out of the layout's order.
  void placeKeyOutOfOrder(Record& r, const std::string* key, std::size_t place);
  // The value of the pair with the key, whose first token was just read.
  __attribute__((always_inline)) bool readValue(Record& r, const std::string* key, std::size_t keyHash);
  // The record's direct pairs moved to the pair stack.
  void spill(Record& r);
  Outcome handBack(Record& r, JBDictionaryPlace& at, Next next, const std::string* key = nullptr,
                   std::size_t keyHash = 0);
  // The dictionary of the record read, at its '}'.
  __attribute__((always_inline)) platform::Value finishRecord(Record& r);
  __attribute__((always_inline)) platform::Value makeDirectDictionary(Record& r);

  // The keys last found at each position of a dictionary at the depth, when a decoder for one
  // parse predicts keys; nullptr otherwise.
  PredictedKey* predictedRow(std::size_t depth);
  bool predictedKeyAhead(const PredictedKey& p, const std::string*& key, std::size_t& keyHash);
  // When the text at the scan position is one of the layout's keys, written plainly and followed by
  // ':', takes both at once; its place in the layout's keys, or kMaxLayoutKeys.
  std::size_t layoutKeyAhead(std::size_t depth, Layout& layout, std::size_t position, const std::string*& key,
                             std::size_t& keyHash);
  // The document's key for the current string token (JBStores::documentKey()), first trying the
  // key found last at this position, then the current layout's keys.
  bool predictedDocumentKey(std::size_t depth, const std::string*& key, std::size_t& keyHash,
                            std::size_t position);
  // Predicts key (text, with words w) at this position of dictionaries at the depth.
  void rememberKey(std::size_t depth, std::size_t position, const std::string* key, std::size_t keyHash,
                   std::string_view text, const JBTokenCache::Words& w);
  // The stores' makeDictionary(), with the table of a layout learnt before when its keys came in
  // its order, else learning them; missed tells which.
  platform::Value makeLearntDictionary(std::size_t depth, JBDictionary::Pair* pairs, std::size_t count,
                                       bool& missed);

  JBTokenReader& tokens_;
  JBStores& stores_;
  std::vector<JBDictionary::Pair>& pairs_;
  JBContainerReader& containers_;
  // What is learnt of the dictionaries read.
  JBLayouts layouts_;
  bool on_ = true;
};

}  // namespace kavro
