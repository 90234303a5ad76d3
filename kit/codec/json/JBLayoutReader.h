#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBLayouts.h"
#include "kit/codec/json/JBTokenCache.h"
#include "platform/foundation/Value.h"

namespace kavro {

struct JBParseState;

// The decoder's fast path for records: reads a dictionary by the layouts (JBLayouts) learnt from
// the dictionaries before it at its depth, through the parser's own token reading, with the
// results, errors and error places of the general loop. The parser offers it every dictionary;
// it declines where no layout is worth trying (or it is switched off), and the general loop reads
// the dictionary instead. One thread.
class JBLayoutReader {
 public:
  enum class Outcome : std::uint8_t { Declined, Read, Failed };

  // The dictionary whose '{' the parser has just read, its depth counted: read into out (a null
  // value), or failed with the error recorded, or declined with nothing read. The parser counts
  // the depth back.
  Outcome readDictionary(JBParseState& s, std::size_t depth, platform::Value& out) {
    if (!on_ || depth >= JBLayouts::kDepths || !layouts_.worthTrying(depth)) return Outcome::Declined;
    return read(s, out) ? Outcome::Read : Outcome::Failed;
  }
  // On unless switched off; the results are the same either way.
  void setOn(bool on) { on_ = on; }
  void startDocument() { layouts_.startDocument(); }

 private:
  using Layout = JBLayouts::Layout;
  using PredictedKey = JBLayouts::PredictedKey;
  static constexpr std::size_t kMaxLayoutKeys = JBLayouts::kMaxKeys;
  static constexpr std::size_t kKeysOfFewOrders = 3;
  static_assert(1 * 2 * 3 <= JBLayouts::kWays, "the orders of three keys fit the layouts of a depth");

  bool read(JBParseState& s, platform::Value& out);
  // The keys last found at each position of a dictionary at the current depth, when a decoder for
  // one parse predicts keys; nullptr otherwise.
  PredictedKey* predictedRow(JBParseState& s);
  bool predictedKeyAhead(JBParseState& s, const PredictedKey& p, const std::string*& key,
                         std::size_t& keyHash);
  // When the text at the scan position is one of the layout's keys, written plainly and followed by
  // ':', takes both at once; its place in the layout's keys, or kMaxLayoutKeys.
  std::size_t layoutKeyAhead(JBParseState& s, Layout& layout, std::size_t position, const std::string*& key,
                             std::size_t& keyHash);
  // The document's key for the current string token (the parser's documentKey()), first trying the
  // key found last at this position, then the current layout's keys.
  bool predictedDocumentKey(JBParseState& s, const std::string*& key, std::size_t& keyHash,
                            std::size_t position);
  // Predicts key (text, with words w) at this position of dictionaries at the current depth.
  void rememberKey(JBParseState& s, std::size_t position, const std::string* key, std::size_t keyHash,
                   std::string_view text, const JBTokenCache::Words& w);
  // The parser's makeDictionary(), with the table of a layout learnt before when its keys came in
  // its order, else learning them; missed tells which.
  platform::Value makeLearntDictionary(JBParseState& s, JBDictionary::Pair* pairs, std::size_t count,
                                       bool& missed);

  // What is learnt of the dictionaries read.
  JBLayouts layouts_;
  bool on_ = true;
};

}  // namespace kavro
