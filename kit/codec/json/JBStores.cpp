#include "kit/codec/json/JBStores.h"

#include <memory_resource>
#include <utility>

#include "kit/codec/json/JBArray.h"

namespace kavro {

void JBStores::startDocument(bool mutableResults) {
  mutableResults_ = mutableResults;
  arena_ = JBArena::create();
  emptyText_ = nullptr;
  emptyArray_ = nullptr;
  emptyDictionary_ = nullptr;
  sharedArrays_.clear();
  sharedDictionaries_.clear();
  heldPool_ = nullptr;
  nodes_ = arena_->nodes();
  // Mutable containers grow, so their storage comes from the heap.
  storage_ = mutableResults ? std::pmr::new_delete_resource() : arena_->storage();
  // Immutable containers live by one count, the arena's: the document goes at once.
  if (!mutableResults) {
    documentOwner_ = arena_->makeOwner();
    owner_ = &arena_->owner();
  }
}

void JBStores::endDocument() {
  // Nothing of this document is shared with the next.
  sharedArrays_.clear();
  sharedDictionaries_.clear();
  documentOwner_.reset();
  arena_->release();
  arena_ = nullptr;
  nodes_ = storage_ = nullptr;
  owner_ = nullptr;
}

// A pool for the keys to come: the first, or a new one when the last is full (it lives on with the
// documents using it).
void JBStores::newKeyPool() {
  if (keyPool_) keyPool_->release();
  keyPool_ = JBKeyPool::create();
  ++keyPoolNumber_;
}

// Looks the current string or number token up in the value cache, when the decoder keeps one.
bool JBStores::touchCacheSlow(JBTokenReader& tokens) {
  tokens.tokenHash();
  if (cache_.cachedObject(tokens.value())) return true;
  tokens.recordError("Internal error: Unknown token value type. JBStores.cpp line #1");
  return false;
}

// The document's copy of the current string token.
// A copy is cheaper than looking for an equal string the document has already.
const platform::TextStore::Block* JBStores::documentText(JBTokenReader& tokens) {
  const JBTokenValue& value = tokens.value();
  if (value.length <= JBTokenCache::kMaxCachedStringLength && !touchCache(tokens)) return nullptr;
  if (const platform::TextStore::Block* text = tokens.closeOpenText()) return text;
  if (value.length == 0) {
    if (!emptyText_) {
      emptyText_ = arena_->text(value.bytes, 0);
      arena_->keep();
    }
    return emptyText_;
  }
  return arena_->text(value.bytes, value.length);
}

bool JBStores::documentKey(JBTokenReader& tokens, const std::string*& key, std::size_t& keyHash) {
  // The keys' homes are carved from the arena too.
  tokens.closeOpenText();
  const JBTokenValue& value = tokens.value();
  const std::string_view text(value.bytes, value.length);
  if (value.length <= JBTokenCache::kMaxCachedStringLength && !touchCache(tokens)) return false;
  if (value.length > JBKeyPool::kMaxKeyLength || value.length == 0) {
    key = arena_->key(text);
    keyHash = JBDictionary::hashKey(text);
    return true;
  }
  key = pooledKey(text, keyHash);
  return true;
}

bool JBStores::scalarValue(JBTokenReader& tokens, platform::Value& out) {
  using Token = jbdecode::Token;
  // out holds nothing: the value is made in its place (a temporary moved in would cost a stall
  // on reading back what was just written).
  auto make = [&out](auto&&... args) { new (&out) platform::Value(std::forward<decltype(args)>(args)...); };
  const JBTokenValue& value = tokens.value();
  switch (tokens.token()) {
    case Token::String: {
      const platform::TextStore::Block* text = documentText(tokens);
      if (!text) return false;
      new (&out) platform::Value(platform::Value::borrowingText(*arena_, *text));
      return true;
    }
    case Token::Number:
      if (!touchCache(tokens)) return false;
      switch (value.kind) {
        case JBValueKind::SignedInt:
          make(static_cast<long long>(value.number.i));
          break;
        case JBValueKind::UnsignedInt:
          if (value.number.u < (std::uint64_t{1} << 63))
            make(static_cast<long long>(value.number.u));
          else
            make(static_cast<unsigned long long>(value.number.u));
          break;
        default:
          make(value.number.d);
          break;
      }
      return true;
    case Token::True:
      make(true);
      return true;
    case Token::False:
      make(false);
      return true;
    case Token::Null:
      make();
      return true;
    default:
      tokens.recordError("Internal error: Unknown token type. JBStores.cpp line #2");
      return false;
  }
}

platform::Value JBStores::makeMutableArray(platform::Value* objects, std::size_t count) {
  return JBArray::create(objects, count, nodes_, true);
}

platform::Value JBStores::makeDictionary(JBDictionary::Pair* pairs, std::size_t count) {
  if (mutableResults_) return JBDictionary::create(pairs, count, nodes_, storage_, true, true);
  if (count == 0) return borrowed(theEmptyDictionary());
  const std::uint64_t hash = pairsHash(pairs, count);
  JBDictionary* d = sameDictionary(hash, pairs, count);
  if (!d) {
    d = JBDictionary::createIn(*arena_, pairs, count);
    shareDictionary(hash, d, count);
  }
  return borrowed(d);
}

JBDictionary* JBStores::theEmptyDictionary() {
  if (!emptyDictionary_) {
    emptyDictionary_ = JBDictionary::createIn(*arena_, nullptr, 0);
    arena_->keep();
  }
  return emptyDictionary_;
}

JBArray* JBStores::immutableArray(platform::Value* objects, std::size_t count) {
  if (count == 0) {
    if (!emptyArray_) {
      emptyArray_ = JBArray::createIn(*arena_, nullptr, 0);
      arena_->keep();
    }
    return emptyArray_;
  }
  std::uint64_t hash = 0;
  if (count <= JBNodeShare::kMaxMembers && sharedArrays_.worthLooking()) {
    hash = JBNodeShare::hashOf(count, 0xBB67AE8584CAA73Bull,
                               [objects](std::size_t i) { return JBNodeShare::memberWord(objects[i]); });
  }
  if (hash == 0) return JBArray::createIn(*arena_, objects, count);
  auto* same = static_cast<JBArray*>(sharedArrays_.find(hash, [&](void* node) {
    const auto* a = static_cast<const JBArray*>(node);
    if (a->count_ != count) return false;
    for (std::size_t i = 0; i < count; ++i)
      if (!JBNodeShare::sameMember(a->values()[i], objects[i])) return false;
    return true;
  }));
  sharedArrays_.noteLook(same != nullptr);
  if (same) return same;
  JBArray* a = JBArray::createIn(*arena_, objects, count);
  sharedArrays_.add(hash, a);
  arena_->keep();
  return a;
}

}  // namespace kavro
