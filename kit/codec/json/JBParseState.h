#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBLayoutReader.h"
#include "kit/codec/json/JBStores.h"
#include "kit/codec/json/JBTokenCache.h"
#include "kit/codec/json/JBTokenReader.h"
#include "kit/codec/json/JSONBox.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace kavro {

// The parser of one decoder: the grammar of arrays and dictionaries over its token reader, the
// stores its values come from, the stacks that hold a container's members until it is complete,
// and the layout reader it offers dictionaries to. One parse at a time, on one thread.
class JBParseState final : public JBContainerReader {
 public:
  using Token = jbdecode::Token;

  explicit JBParseState(JBParseOptions options);
  JBParseState(const JBParseState&) = delete;
  JBParseState& operator=(const JBParseState&) = delete;

  // Taken on by a new decoder (a spare one's state): its options, with the value cache and layout
  // learning on.
  void reuse(JBParseOptions options);
  // Kept as a spare: the cache emptied, and only what a usual answer needs held.
  void makeSpare();
  void setUsesCache(bool on) { stores_.setUsesCache(on); }
  void setLayoutLearning(bool on) { layoutReader_.setOn(on); }
  JBTokenCache& cache() { return stores_.cache(); }

  // The root of the text, or a null value with the first error in errorOut (when given).
  platform::Value parse(const std::uint8_t* bytes, std::size_t length, bool mutableResult,
                        platform::Error* errorOut);

  bool readContainer(Token kind, platform::Value& out) override { return parseContainer(kind, out); }

 private:
  // The container that starts at the current token, made in out (a null value).
  bool parseContainer(Token kind, platform::Value& out) {
    return kind == Token::ArrayBegin ? parseArray(out) : parseDictionary(out);
  }
  bool parseArray(platform::Value& out);
  bool parseDictionary(platform::Value& out);
  // The members of a dictionary from where `at` stands, its pairs so far on the pair stack from
  // start.
  __attribute__((always_inline)) bool readMembers(std::size_t start, JBDictionaryPlace at,
                                                  platform::Value& out);
  // A member after its key (at.key): the ':', then the value, its pair pushed.
  __attribute__((always_inline)) bool readMemberRest(JBDictionaryPlace& at);
  __attribute__((noinline)) bool readHandedBackMember(JBDictionaryPlace& at);
  // One level deeper, unless that is too deep (recorded).
  bool enterContainer() {
    if (++depth_ <= JBMaximumNestingDepth) return true;
    return tooDeep();
  }
  __attribute__((noinline)) bool tooDeep();

  JBTokenReader tokens_;
  JBStores stores_;
  std::vector<platform::Value> objectStack_;
  std::vector<JBDictionary::Pair> pairStack_;
  std::size_t depth_ = 0;
  // The fast path for dictionaries laid out as those before them; off, the general loop reads all.
  JBLayoutReader layoutReader_;
};

}  // namespace kavro
