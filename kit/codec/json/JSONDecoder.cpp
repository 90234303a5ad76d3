#include "kit/codec/json/JSONDecoder.h"

#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "kit/codec/json/JBParseState.h"

namespace kavro {

namespace {
using namespace jbdecode;
}  // namespace

JBParseState::JBParseState(JBParseOptions options)
    : tokens_(options), layoutReader_(tokens_, stores_, pairStack_, *this) {
  objectStack_.reserve(256);
  pairStack_.reserve(128);
}

void JBParseState::reuse(JBParseOptions options) {
  tokens_.setOptions(options);
  stores_.setUsesCache(true);
  layoutReader_.setOn(true);
}

void JBParseState::makeSpare() {
  stores_.cache().reset();
  if (objectStack_.capacity() > 4096) std::vector<platform::Value>().swap(objectStack_);
  if (pairStack_.capacity() > 2048) std::vector<JBDictionary::Pair>().swap(pairStack_);
  tokens_.trimBuffer(16 * 1024);
}

bool JBParseState::tooDeep() {
  --depth_;
  tokens_.recordError("Arrays and dictionaries are nested deeper than 512 levels.");
  return false;
}

bool JBParseState::parseArray(platform::Value& out) {
  if (!enterContainer()) return false;
  const std::size_t start = objectStack_.size();
  // An empty list right after its '[', as most of a record's lists are: no token read for it.
  if (tokens_.takeListEnd()) {
    // out is null: the value is made in its place.
    new (&out) platform::Value(stores_.makeArray(objectStack_.data() + start, 0));
    --depth_;
    return true;
  }
  unsigned accepted = kAcceptValue | kAcceptEnd;
  for (;;) {
    if (tokens_.atEnd() || !tokens_.nextToken()) break;
    const Token token = tokens_.token();
    if (isValueToken(token)) {
      if (!(accepted & kAcceptValue)) {
        tokens_.recordError("Unexpected value.");
        break;
      }
      if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
        platform::Value child;
        if (!parseContainer(token, child)) break;
        objectStack_.push_back(std::move(child));
      } else if (!stores_.tokenValue(tokens_, objectStack_.emplace_back())) {
        break;
      }
      // A comma just after a value needs no token of its own.
      accepted = tokens_.passComma() ? kAcceptValue : kAcceptComma | kAcceptEnd;
    } else if (token == Token::ArrayEnd) {
      if (!(accepted & kAcceptEnd)) {
        tokens_.recordError("Unexpected ']'.");
        break;
      }
      new (&out) platform::Value(stores_.makeArray(objectStack_.data() + start, objectStack_.size() - start));
      objectStack_.resize(start);
      --depth_;
      return true;
    } else if (token == Token::Comma) {
      if (!(accepted & kAcceptComma)) {
        tokens_.recordError("Unexpected ','.");
        break;
      }
      accepted = kAcceptValue;
    } else {
      tokens_.recordExpectation(accepted, "a value", "a ']'");
      break;
    }
  }
  objectStack_.resize(start);
  --depth_;
  return false;
}

bool JBParseState::parseDictionary(platform::Value& out) {
  if (!enterContainer()) return false;
  const std::size_t start = pairStack_.size();
  JBDictionaryPlace at;
  // Records laid out as those before them are read by the layout reader, unless it declines; where
  // it meets anything but what the grammar lets through, it hands the record back where it stands.
  const JBLayoutReader::Outcome byLayout = layoutReader_.readDictionary(depth_, out, at);
  bool read = byLayout == JBLayoutReader::Outcome::Read;
  if (byLayout == JBLayoutReader::Outcome::Declined || byLayout == JBLayoutReader::Outcome::HandedBack)
    read = readMembers(start, at, out);
  if (!read) pairStack_.resize(start);
  --depth_;
  return read;
}

bool JBParseState::readHandedBackMember(JBDictionaryPlace& at) {
  if (at.next == JBDictionaryPlace::Next::Value) {
    tokens_.recordExpectation(at.accepted, "a value", "a '}'");
    return false;
  }
  return readMemberRest(at);
}

// The dictionary grammar: members (a string key, ':' and a value) separated by ',' up to '}'.
inline bool JBParseState::readMembers(std::size_t start, JBDictionaryPlace at, platform::Value& out) {
  using Next = JBDictionaryPlace::Next;
  // A dictionary handed back after a key goes on from there.
  if (at.next != Next::Member && !readHandedBackMember(at)) return false;
  for (;;) {
    if (tokens_.atEnd() || !tokens_.nextToken()) return false;
    const Token token = tokens_.token();
    if (token == Token::String) {
      if (!(at.accepted & kAcceptValue)) {
        tokens_.recordError("Unexpected string.");
        return false;
      }
      if (!stores_.documentKey(tokens_, at.key, at.keyHash) || !readMemberRest(at)) return false;
    } else if (token == Token::ObjectEnd) {
      if (!(at.accepted & kAcceptEnd)) {
        tokens_.recordError("Unexpected '}'.");
        return false;
      }
      // out is null: the value is made in its place.
      new (&out)
          platform::Value(stores_.makeDictionary(pairStack_.data() + start, pairStack_.size() - start));
      pairStack_.resize(start);
      return true;
    } else if (token == Token::Comma) {
      if (!(at.accepted & kAcceptComma)) {
        tokens_.recordError("Unexpected ','.");
        return false;
      }
      at.accepted = kAcceptValue;
    } else {
      tokens_.recordExpectation(at.accepted, "a \"STRING\"", "a '}'");
      return false;
    }
  }
}

// The value's pair is pushed, and what may come after it is noted.
__attribute__((always_inline)) inline bool JBParseState::readMemberRest(JBDictionaryPlace& at) {
  if (!tokens_.nextToken()) return false;
  if (tokens_.token() != Token::Separator) {
    tokens_.recordError("Expected ':'.");
    return false;
  }
  if (!tokens_.nextToken() || !isValueToken(tokens_.token())) {
    tokens_.recordExpectation(at.accepted, "a value", "a '}'");
    return false;
  }
  const Token token = tokens_.token();
  if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
    platform::Value child;
    if (!parseContainer(token, child)) return false;
    pairStack_.push_back(JBDictionary::Pair{at.key, std::move(child), at.keyHash});
  } else {
    JBDictionary::Pair& pair = pairStack_.emplace_back();
    pair.key = at.key;
    pair.keyHash = at.keyHash;
    if (!stores_.tokenValue(tokens_, pair.object)) return false;
  }
  // A comma just after a value needs no token of its own.
  at.accepted = tokens_.passComma() ? kAcceptValue : kAcceptComma | kAcceptEnd;
  return true;
}

platform::Value JBParseState::parse(const std::uint8_t* bytes, std::size_t length, bool mutableResult,
                                    platform::Error* errorOut) {
  stores_.startDocument(mutableResult);
  // The builder's hold on the document goes when the root holds its own.
  struct EndDocument {
    JBStores& stores;
    ~EndDocument() { stores.endDocument(); }
  } endDocument{stores_};
  tokens_.start(bytes, length, &stores_.arena());
  depth_ = 0;
  layoutReader_.startDocument();

  platform::Value root;
  if (!tokens_.atEnd() && tokens_.nextToken()) {
    const Token token = tokens_.token();
    if (token == Token::ArrayBegin || token == Token::ObjectBegin) {
      if (!parseContainer(token, root)) root = platform::Value();
    } else {
      tokens_.recordError("Expected either '[' or '{'.");
    }
  }
  // The caller's root holds the count.
  if (!mutableResult && !root.isNull()) root = platform::Value(root);
  if (!root.isNull()) {
    // The root remembers how much text it came from: an encoder sizes its output by it.
    stores_.setRoot(root, tokens_.position());
    if (!tokens_.atEnd()) {
      tokens_.skipWhitespace();
      if (!has(tokens_.options(), JBParseOptionAllowTrailingText) && !tokens_.atEnd()) {
        tokens_.recordError(
            "A valid JSON object was parsed but there were additional non-white-space characters remaining.");
        root = platform::Value();
      }
    }
  } else {
    if (tokens_.position() == length) tokens_.recordError("Reached the end of the buffer.");
    tokens_.recordError("Unable to parse JSON.");
  }
  std::optional<platform::Error> error = tokens_.finish();
  if (error && errorOut) *errorOut = std::move(*error);

  objectStack_.clear();
  pairStack_.clear();
  // A decoder kept for later parses does not hold on to what one large document needed.
  if (objectStack_.capacity() > 64 * 1024) std::vector<platform::Value>().swap(objectStack_);
  if (pairStack_.capacity() > 16 * 1024) std::vector<JBDictionary::Pair>().swap(pairStack_);
  return root;
}

// ---- JSONDecoder ----

namespace {
// The parse state of the last decoder that ended on this thread, emptied, for the next one: most
// decoders live for one parse, and making the stacks and the cache table afresh each time would
// cost more than many a parse.
thread_local std::unique_ptr<JBParseState> spareState;
}  // namespace

JSONDecoder::JSONDecoder(Token, JBParseOptions parseOptions) : options_(parseOptions) {
  if ((static_cast<unsigned>(parseOptions) & ~static_cast<unsigned>(JBParseOptionValidFlags)) != 0)
    throw platform::InvalidArgumentException("Invalid parse options.");
  if (spareState) {
    state_ = std::move(spareState);
    state_->reuse(parseOptions);
  } else {
    state_ = std::make_unique<JBParseState>(parseOptions);
  }
}

JSONDecoder::~JSONDecoder() {
  if (!state_ || spareState) return;
  state_->makeSpare();
  spareState = std::move(state_);
}

std::shared_ptr<JSONDecoder> JSONDecoder::decoderWithParseOptions(JBParseOptions parseOptions) {
  return std::make_shared<JSONDecoder>(Token(), parseOptions);
}

platform::Value JSONDecoder::parse(const char* bytes, std::size_t length, bool mutableCollections,
                                   platform::Error* error) {
  if (!bytes && length != 0) throw platform::InvalidArgumentException("The string argument is NULL.");
  static const std::uint8_t kNothing = 0;
  const auto* input = bytes ? reinterpret_cast<const std::uint8_t*>(bytes) : &kNothing;
  return state_->parse(input, length, mutableCollections, error);
}

platform::Value JSONDecoder::parseOnce(const char* bytes, std::size_t length, JBParseOptions parseOptions,
                                       bool mutableCollections, platform::Error* error,
                                       JBLayoutLearning learning) {
  JSONDecoder decoder(Token(), parseOptions);
  decoder.state_->setUsesCache(false);
  decoder.setLayoutLearning(learning);
  return decoder.parse(bytes, length, mutableCollections, error);
}

platform::Value JSONDecoder::objectWithUTF8String(const char* bytes, std::size_t length,
                                                  platform::Error* error) {
  return parse(bytes, length, false, error);
}

platform::Value JSONDecoder::mutableObjectWithUTF8String(const char* bytes, std::size_t length,
                                                         platform::Error* error) {
  return parse(bytes, length, true, error);
}

platform::Value JSONDecoder::objectWithData(const platform::Data& data, platform::Error* error) {
  return parse(reinterpret_cast<const char*>(data.data()), data.size(), false, error);
}

platform::Value JSONDecoder::mutableObjectWithData(const platform::Data& data, platform::Error* error) {
  return parse(reinterpret_cast<const char*>(data.data()), data.size(), true, error);
}

void JSONDecoder::setLayoutLearning(JBLayoutLearning learning) {
  state_->setLayoutLearning(learning == JBLayoutLearning::On);
}

void JSONDecoder::clearCache() { state_->cache().clear(); }

const JBTokenCache& JSONDecoder::tokenCache() const { return state_->cache(); }

}  // namespace kavro
