#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <new>
#include <string>
#include <string_view>

#include "kit/codec/json/JBArena.h"
#include "kit/codec/json/JBArray.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JBKeyPool.h"
#include "kit/codec/json/JBNodeShare.h"
#include "kit/codec/json/JBTokenCache.h"
#include "kit/codec/json/JBTokenReader.h"
#include "platform/foundation/TextStore.h"
#include "platform/foundation/Value.h"

namespace kavro {

// Where a decoder's values come from: the document's arena (its containers, their storage, its
// texts), the key pools kept across documents, the small containers shared within a document, and
// the value cache kept across a decoder's parses. Values and keys are made of the token reader's
// current token. One document at a time, on one thread.
class JBStores {
 public:
  JBStores() = default;
  ~JBStores() {
    if (keyPool_) keyPool_->release();
  }
  JBStores(const JBStores&) = delete;
  JBStores& operator=(const JBStores&) = delete;

  // A new document, of immutable containers or mutable ones.
  void startDocument(bool mutableResults);
  // The root of the document, read from `length` bytes of text.
  void setRoot(const platform::Value& root, std::size_t length) {
    if (!mutableResults_) arena_->setRoot(root.objectPointer(), length);
  }
  // The document is built: nothing of it is shared with the next, and its arena goes when the last
  // value made of it does.
  void endDocument();

  JBArena& arena() { return *arena_; }
  bool mutableResults() const { return mutableResults_; }
  // Whether tokens go through the value cache: not for a decoder made for one parse, whose cache
  // nobody could look at (its keys are then predicted from the records before instead).
  bool usesCache() const { return useCache_; }
  void setUsesCache(bool on) { useCache_ = on; }
  JBTokenCache& cache() { return cache_; }
  const JBTokenCache& cache() const { return cache_; }

  // The value of the current token, which is neither "[" nor "{", made in out's place (memory for
  // a value, or a null value: nothing there is destroyed). False with the error recorded.
  bool tokenValue(JBTokenReader& tokens, platform::Value& out);
  // The document's key for the current string token, and its dictionary hash.
  bool documentKey(JBTokenReader& tokens, const std::string*& key, std::size_t& keyHash);

  // The containers of the members given (moved out of them).
  platform::Value makeArray(platform::Value* objects, std::size_t count) {
    if (mutableResults_) return makeMutableArray(objects, count);
    return platform::Value::borrowingObject(*owner_, immutableArray(objects, count));
  }
  platform::Value makeDictionary(JBDictionary::Pair* pairs, std::size_t count);
  // An immutable dictionary of the document as a value.
  platform::Value borrowed(JBDictionary* d) const { return platform::Value::borrowingObject(*owner_, d); }
  // The empty immutable dictionary of the document.
  JBDictionary* theEmptyDictionary();
  // The share hash of pairs (Pair or Entry: a key and an object), 0 when they are not shared.
  template <class P>
  std::uint64_t pairsHash(const P* pairs, std::size_t count) {
    if (count > JBNodeShare::kMaxMembers || !sharedDictionaries_.worthLooking()) return 0;
    return JBNodeShare::hashOf(count, 0x6A09E667F3BCC908ull, [pairs](std::size_t i) {
      const std::uint64_t w = JBNodeShare::memberWord(pairs[i].object);
      // The key weighs apart from the value: the same value under another key is another pair.
      return w == 0 ? 0 : w ^ (reinterpret_cast<std::uintptr_t>(pairs[i].key) * 0x9FB21C651E98DF25ull);
    });
  }
  // The dictionary made before with the same keys (the same key objects) and values in this order,
  // or nullptr.
  template <class P>
  JBDictionary* sameDictionary(std::uint64_t hash, const P* pairs, std::size_t count) {
    if (hash == 0) return nullptr;
    auto* same = static_cast<JBDictionary*>(sharedDictionaries_.find(hash, [&](void* node) {
      return static_cast<const JBDictionary*>(node)->holdsSamePairs(pairs, count);
    }));
    sharedDictionaries_.noteLook(same != nullptr);
    return same;
  }
  // A dictionary met again that was found elsewhere than by sameDictionary(): the looks go on.
  void noteDictionaryMet() { sharedDictionaries_.noteLook(true); }
  // Keeps d (made of count pairs with that hash) for the dictionaries to come, unless a key
  // repeated.
  void shareDictionary(std::uint64_t hash, JBDictionary* d, std::size_t count) {
    if (hash == 0 || d->count_ != count) return;
    sharedDictionaries_.add(hash, d);
    arena_->keep();
  }

  // Short keys come from a pool kept across parses, numbered so that a later one never passes for
  // an earlier (0: none yet); the arena holds the pools its document used.
  bool hasKeyPool() const { return keyPool_ != nullptr; }
  std::uint64_t keyPoolNumber() const { return keyPoolNumber_; }
  bool pooled(const std::string* key) const { return keyPool_->holds(key); }
  // The document holds the current pool: its keys are taken as they are.
  void holdKeyPool() {
    if (heldPool_ != keyPool_) {
      arena_->hold(keyPool_);
      heldPool_ = keyPool_;
    }
  }
  // The pooled key with the text, and its dictionary hash.
  const std::string* pooledKey(std::string_view text, std::size_t& keyHash) {
    const JBTokenCache::Words w = JBTokenCache::wordsOf(text.data(), text.size());
    const std::uint32_t hash = JBTokenCache::hashOfWords(w, text.size());
    for (;;) {
      if (!keyPool_) newKeyPool();
      holdKeyPool();
      if (const std::string* k = keyPool_->key(text, w, hash, keyHash)) return k;
      newKeyPool();
    }
  }

 private:
  __attribute__((noinline)) void newKeyPool();
  bool touchCache(JBTokenReader& tokens) { return !useCache_ || touchCacheSlow(tokens); }
  bool touchCacheSlow(JBTokenReader& tokens);
  const platform::TextStore::Block* documentText(JBTokenReader& tokens);
  bool scalarValue(JBTokenReader& tokens, platform::Value& out);
  platform::Value makeMutableArray(platform::Value* objects, std::size_t count);
  // The immutable array of the values, or an equal one made before.
  JBArray* immutableArray(platform::Value* objects, std::size_t count);

  JBTokenCache cache_;
  bool useCache_ = true;
  bool mutableResults_ = false;
  // Where this document's containers, their storage and their strings come from.
  JBArena* arena_ = nullptr;
  std::pmr::memory_resource* nodes_ = nullptr;
  std::pmr::memory_resource* storage_ = nullptr;
  const std::weak_ptr<platform::Object>* owner_ = nullptr;  // the count of the immutable containers
  platform::ObjectPtr documentOwner_;                       // the builder's reference to it
  // One copy of "" per document.
  const platform::TextStore::Block* emptyText_ = nullptr;
  // One empty array and one empty dictionary per immutable document, and its small containers by
  // their contents (JBNodeShare).
  JBArray* emptyArray_ = nullptr;
  JBDictionary* emptyDictionary_ = nullptr;
  JBNodeShare sharedArrays_;
  JBNodeShare sharedDictionaries_;
  JBKeyPool* keyPool_ = nullptr;
  JBKeyPool* heldPool_ = nullptr;
  std::uint64_t keyPoolNumber_ = 0;
};

// The usual cases are made where the token was read; the rest in scalarValue().
__attribute__((always_inline)) inline bool JBStores::tokenValue(JBTokenReader& tokens, platform::Value& out) {
  using Token = jbdecode::Token;
  const Token token = tokens.token();
  if (!useCache_) {
    const JBTokenValue& value = tokens.value();
    if (token == Token::String && value.length != 0) {
      const platform::TextStore::Block* text = tokens.closeOpenText();
      if (!text) text = arena_->text(value.bytes, value.length);
      new (&out) platform::Value(platform::Value::borrowingText(*arena_, *text));
      return true;
    }
    if (token == Token::Number) {
      if (value.kind == JBValueKind::Double)
        new (&out) platform::Value(value.number.d);
      else if (value.kind == JBValueKind::SignedInt)
        new (&out) platform::Value(static_cast<long long>(value.number.i));
      else if (value.number.u < (std::uint64_t{1} << 63))
        new (&out) platform::Value(static_cast<long long>(value.number.u));
      else
        new (&out) platform::Value(static_cast<unsigned long long>(value.number.u));
      return true;
    }
  }
  // The words, common in records, need no call.
  if (token == Token::Null) {
    new (&out) platform::Value();
    return true;
  }
  if (token == Token::True || token == Token::False) {
    new (&out) platform::Value(token == Token::True);
    return true;
  }
  return scalarValue(tokens, out);
}

}  // namespace kavro
