#include "kit/core/DataItemDetail.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory_resource>
#include <mutex>
#include <new>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "kit/codec/json/JBArena.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/DictionaryIndex.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"

namespace kavro {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::int64_t leadingInteger(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // Accumulate towards the sign so that INT64_MIN reads exactly.
  std::int64_t n = 0;
  constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    int d = s[i] - '0';
    if (negative) {
      if (n < (lowest + d) / 10) return lowest;
      n = n * 10 - d;
    } else {
      if (n > (highest - d) / 10) return highest;
      n = n * 10 + d;
    }
  }
  return n;
}

std::string attributeKey(std::string_view attributeName, std::string_view nodeName) {
  std::string key;
  key.reserve(nodeName.size() + 1 + attributeName.size());
  key.append(nodeName).append(".").append(attributeName);
  return key;
}

bool validAttribute(std::string_view attributeName, std::string_view nodeName) {
  return !attributeName.empty() && !nodeName.empty();
}

// A record's map: the platform map's behaviour (insertion order, a replaced value keeps its place,
// removal keeps the order of the rest) in one block of pairs. Records hold a handful of keys and
// are made by the thousand for every answer, so a short map is searched in place, without a
// table and the allocations that come with one; a long one gains a table.
class RecordMap final : public platform::MutableDictionary, private std::pmr::memory_resource {
 public:
  RecordMap() : entries_(this) {}
  // A map made by a loader, in memory from the answer's arena (which that memory holds): its first
  // block of pairs and its text come from the arena too.
  explicit RecordMap(JBArena& arena) : arena_(&arena), entries_(this) {}
  RecordMap(const RecordMap&) = delete;
  RecordMap& operator=(const RecordMap&) = delete;
  ~RecordMap() override {
    delete moreWatchers_;
    // A loader's record holds its keys and text in the arena: nothing in its pairs needs undoing,
    // and they are not visited again (freeing thousands of records would wait on each one's memory).
    if (ownsNothing_ && entries_.data() == arenaBlock_) {
      new (&entries_) std::pmr::vector<Entry>(static_cast<std::pmr::memory_resource*>(this));
    } else {
      entries_.clear();
      entries_.shrink_to_fit();
    }
    entries_.~vector();
    freeKeys(ownKeys_);
    if (arena_ && !madeInArena_) arena_->release();
  }

  // Text in the arena, which the map holds from then on; a map holds one arena at most, so text
  // for another goes to the heap.
  void setText(std::string_view value, std::string_view key, JBArena& arena) {
    told(key, [&] { putText(value, key, arena); });
  }
  void setString(std::string_view value, std::string_view key) {
    told(key, [&] { putString(value, key); });
  }
  void setObject(platform::Value value, std::string_view key) override {
    told(key, [&] { put(std::move(value), key); });
  }
  void removeObjectForKey(std::string_view key) override {
    told(key, [&] { erase(key); });
  }
  void removeAllObjects() override {
    if (!firstWatcher_) [[likely]]
      return eraseAll();
    // What the watchers look at, as it was.
    std::vector<std::pair<std::string, platform::Value>> watched;
    for (const Entry& e : entries_)
      if (e.live && watchesKey(*e.key)) watched.emplace_back(*e.key, e.value);
    eraseAll();
    for (const auto& [key, from] : watched) tell(key, from, platform::Value());
  }

  // A new map's pairs in one go: keys distinct and in the map's own arena, as is the text. Nothing
  // to look up.
  void fill(const DataItemDetail::ArenaText* pairs, std::size_t n) {
    entries_.reserve(n);
    for (std::size_t i = 0; i < n; ++i) entries_.emplace_back(pairs[i].key, *arena_, *pairs[i].text);
    // Thousands are made per answer and few are changed: their keys' shapes are not worked out,
    // every key is looked for.
    shapes_ = ~std::uint64_t{0};
    if (entries_.size() > kSearchedInPlace) reindex();
  }

  std::size_t count() const override { return entries_.size() - erased_; }

  const platform::Value* objectForKey(std::string_view key) const override {
    const std::size_t i = find(key);
    return i == kMissing ? nullptr : &entries_[i].value;
  }

  void enumerate(const std::function<bool(const std::string&, const platform::Value&)>& fn) const override {
    // Sizes read afresh: fn may change the map.
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (!entries_[i].live) continue;
      if (!fn(*entries_[i].key, entries_[i].value)) return;
    }
  }

  void watch(std::shared_ptr<RecordWatcher> watcher) {
    // Those that stopped watching go first: a row outlives the results it was in.
    if (firstWatcher_ && !firstWatcher_->watching()) firstWatcher_.reset();
    if (moreWatchers_) std::erase_if(*moreWatchers_, [](const auto& w) { return !w->watching(); });
    if (!firstWatcher_) {
      firstWatcher_ = std::move(watcher);
    } else {
      if (!moreWatchers_) moreWatchers_ = new std::vector<std::shared_ptr<RecordWatcher>>();
      moreWatchers_->push_back(std::move(watcher));
    }
    if (!firstWatcher_ && moreWatchers_ && !moreWatchers_->empty()) promoteWatcher();
  }
  void unwatch(const RecordWatcher* watcher) {
    if (firstWatcher_.get() == watcher) {
      firstWatcher_.reset();
      promoteWatcher();
      return;
    }
    if (!moreWatchers_) return;
    auto it = std::find_if(moreWatchers_->begin(), moreWatchers_->end(),
                           [&](const auto& w) { return w.get() == watcher; });
    if (it != moreWatchers_->end()) moreWatchers_->erase(it);
  }

 private:
  // The first watcher is held in the map itself: a row is in one result, now and then two.
  void promoteWatcher() {
    if (!moreWatchers_ || moreWatchers_->empty()) return;
    firstWatcher_ = std::move(moreWatchers_->front());
    moreWatchers_->erase(moreWatchers_->begin());
  }
  bool watchesKey(std::string_view key) const {
    if (firstWatcher_ && firstWatcher_->watchesKey(key)) return true;
    if (moreWatchers_)
      for (const auto& w : *moreWatchers_)
        if (w->watchesKey(key)) return true;
    return false;
  }
  void tell(std::string_view key, const platform::Value& from, const platform::Value& to) {
    if (firstWatcher_ && firstWatcher_->watchesKey(key)) firstWatcher_->recordChanged(key, from, to);
    if (moreWatchers_)
      for (const auto& w : *moreWatchers_)
        if (w->watchesKey(key)) w->recordChanged(key, from, to);
  }
  // A change under key, told to the watchers looking at that key with the value before and after.
  template <class Change>
  void told(std::string_view key, Change&& change) {
    if (!firstWatcher_ || !watchesKey(key)) [[likely]]
      return change();
    const platform::Value* before = objectForKey(key);
    const platform::Value from = before ? *before : platform::Value();
    change();
    const platform::Value* after = objectForKey(key);
    tell(key, from, after ? *after : platform::Value());
  }

  void putText(std::string_view value, std::string_view key, JBArena& arena) {
    if (!arena_) {
      arena.retain();
      arena_ = &arena;
    }
    if (arena_ != &arena) return put(platform::Value(value), key);
    const char* bytes = value.empty() ? "" : value.data();  // an empty view may hold no pointer
    platform::Value text = platform::Value::borrowingText(arena, *arena.text(bytes, value.size()));
    std::size_t hash;
    if (const std::size_t i = find(key, hash); i != kMissing) {
      entries_[i].value = std::move(text);
      return;
    }
    // The arena outlives the map: the key can live there too.
    add(arena.key(key), false, std::move(text), hash);
  }

  // setObject() of text, its value made where it is kept.
  void putString(std::string_view value, std::string_view key) {
    std::size_t hash;
    if (const std::size_t i = find(key, hash); i != kMissing) {
      entries_[i].value = platform::Value(value);
      ownsNothing_ = false;
      return;
    }
    add(ownKey(key), true, value, hash);
  }

  void put(platform::Value value, std::string_view key) {
    std::size_t hash;
    if (const std::size_t i = find(key, hash); i != kMissing) {
      if (value.ownsSomething()) ownsNothing_ = false;
      entries_[i].value = std::move(value);
      return;
    }
    add(ownKey(key), true, std::move(value), hash);
  }

  void erase(std::string_view key) {
    const std::size_t i = find(key);
    if (i == kMissing) return;
    // The table's slot stays and is passed over until the map is compacted.
    entries_[i].live = false;
    entries_[i].value = platform::Value();
    ++erased_;
    if (erased_ > 16 && erased_ * 2 > entries_.size()) compact();
  }

  void eraseAll() {
    entries_.clear();
    index_.clear();
    shapes_ = 0;
    erased_ = 0;
    freeKeys(std::exchange(ownKeys_, nullptr));
  }

 private:
  // A key is in one of the map's own key blocks, or one of the arena that outlives the map; either
  // way it stays put when the pairs move.
  struct Entry {
    const std::string* key;
    // The flags sit in the value's padding: thousands of records hold a few pairs each.
    [[no_unique_address]] platform::Value value;
    bool live = true;
    bool ownsKey;  // in the map's key blocks
    // A value as it is, or made in place from what makes one (text).
    template <class V>
    Entry(const std::string* k, bool owns, V&& v) : key(k), value(std::forward<V>(v)), ownsKey(owns) {}
    // Text of the map's arena under one of its keys, made in place.
    Entry(const std::string* k, platform::TextStore& store, const platform::TextStore::Block& text)
        : key(k), value(platform::Value::borrowingText(store, text)), ownsKey(false) {}
  };
  // The keys the map owns, side by side in blocks of 8, 16, 32 and then 64 keys, each block one
  // allocation (its header, then its strings): a record made in code gets its keys one at a time,
  // and a heap string for each would cost an allocation per key; most records have a few keys, and
  // thousands of them are read row after row.
  struct KeyBlock {
    KeyBlock* next;
    std::uint32_t used;
    std::uint32_t size;
    std::string* keys() { return std::launder(reinterpret_cast<std::string*>(this + 1)); }
  };
  static_assert(sizeof(KeyBlock) % alignof(std::string) == 0);
  static constexpr std::uint32_t FirstKeyBlock = 8;
  static constexpr std::uint32_t LargestKeyBlock = 64;
  const std::string* ownKey(std::string_view key) {
    if (!ownKeys_ || ownKeys_->used == ownKeys_->size) {
      const std::uint32_t n = ownKeys_ ? std::min(ownKeys_->size * 2, LargestKeyBlock) : FirstKeyBlock;
      void* raw = ::operator new(sizeof(KeyBlock) + n * sizeof(std::string));
      ownKeys_ = new (raw) KeyBlock{ownKeys_, 0, n};
    }
    // Counted once made: a string that fails to be made is not destroyed later.
    std::string* k = new (ownKeys_->keys() + ownKeys_->used) std::string(key);
    ++ownKeys_->used;
    return k;
  }
  static void freeKeys(KeyBlock* block) {
    while (block) {
      KeyBlock* next = block->next;
      std::string* keys = block->keys();
      for (std::uint32_t i = 0; i < block->used; ++i) keys[i].~basic_string();
      block->~KeyBlock();
      ::operator delete(block);
      block = next;
    }
  }
  static constexpr std::size_t kMissing = platform::DictionaryIndex::Missing;
  static constexpr std::size_t kFirstRoom = 8;
  static constexpr std::size_t kSearchedInPlace = 16;

  // The place of key, or kMissing; hash is the key's hash when the map is indexed (it is then
  // reused when the key is added).
  std::size_t find(std::string_view key, std::size_t& hash) const {
    hash = 0;
    if (indexed()) {
      hash = platform::DictionaryIndex::hashOf(key);
      return index_.find(hash, [&](std::size_t i) { return entries_[i].live && *entries_[i].key == key; });
    }
    if (!(shapes_ & platform::DictionaryIndex::shapeOf(key))) return kMissing;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const std::string& k = *entries_[i].key;
      // Keys of one length often differ in their last byte: looked at before the rest.
      if (k.size() == key.size() && entries_[i].live && (key.empty() || k.back() == key.back()) &&
          std::memcmp(k.data(), key.data(), key.size()) == 0)
        return i;
    }
    return kMissing;
  }
  std::size_t find(std::string_view key) const {
    std::size_t hash;
    return find(key, hash);
  }
  const std::string* liveKeyAt(std::size_t i) const { return entries_[i].live ? entries_[i].key : nullptr; }
  void reindex() {
    index_.rebuild(entries_.size(), [this](std::size_t i) { return liveKeyAt(i); });
  }
  template <class V>
  void add(const std::string* key, bool ownsKey, V&& value, std::size_t hash) {
    if (entries_.empty()) entries_.reserve(kFirstRoom);
    entries_.emplace_back(key, ownsKey, std::forward<V>(value));
    if (ownsKey || entries_.back().value.ownsSomething()) ownsNothing_ = false;
    shapes_ |= platform::DictionaryIndex::shapeOf(*key);
    if (indexed())
      index_.added(entries_.size() - 1, hash, entries_.size(),
                   [this](std::size_t i) { return liveKeyAt(i); });
    else if (entries_.size() > kSearchedInPlace)
      reindex();
  }
  void compact() {
    std::pmr::vector<Entry> kept(this);
    kept.reserve(entries_.size() - erased_);
    // The live keys move to fresh blocks, so that the removed ones' memory goes too.
    KeyBlock* oldKeys = std::exchange(ownKeys_, nullptr);
    for (Entry& e : entries_) {
      if (!e.live) continue;
      if (e.ownsKey) e.key = ownKey(*e.key);
      kept.push_back(std::move(e));
    }
    freeKeys(oldKeys);
    entries_ = std::move(kept);
    erased_ = 0;
    index_.clear();
    if (entries_.size() > kSearchedInPlace) reindex();
  }

  // The pairs' memory: the first block from the arena while a loader builds the map (it goes with
  // the arena), any later one from the heap.
  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    if (madeInArena_ && !arenaBlock_) return arenaBlock_ = arena_->carveNode(bytes, alignment);
    return std::pmr::new_delete_resource()->allocate(bytes, alignment);
  }
  void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override {
    if (p != arenaBlock_) std::pmr::new_delete_resource()->deallocate(p, bytes, alignment);
  }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  JBArena* arena_ = nullptr;
  void* arenaBlock_ = nullptr;
  bool madeInArena_ = arena_ != nullptr;
  bool ownsNothing_ = true;  // no value owns anything and no key is the map's own
  // Destroyed by hand, see the destructor.
  union {
    std::pmr::vector<Entry> entries_;
  };
  std::size_t erased_ = 0;
  KeyBlock* ownKeys_ = nullptr;
  // The entries' places by their keys' hash, made once the map is long (short ones carry none).
  platform::DictionaryIndex index_;
  std::uint64_t shapes_ = 0;  // of the keys added since the map was last emptied (shapeOf())
  bool indexed() const { return !index_.empty(); }
  std::shared_ptr<RecordWatcher> firstWatcher_;
  std::vector<std::shared_ptr<RecordWatcher>>* moreWatchers_ = nullptr;  // owned; made for a second
};

}  // namespace

std::int64_t integerValueOf(const platform::Value& value) {
  if (value.isString()) return leadingInteger(value.stringValue());
  if (value.isNumber() || value.isBool()) return value.intValue();
  return 0;
}

bool boolValueOf(const platform::Value& value) {
  if (value.isNumber() || value.isBool()) return value.boolValue();
  if (!value.isString()) return false;
  // Flags are mostly stored as "1" and "0": read without a copy.
  std::string_view text = value.stringView();
  if (text == "1") return true;
  if (text == "0" || text.empty()) return false;
  std::string lower = platform::lowercase(value.stringValue());
  if (lower == "y" || lower == "on" || lower == "yes" || lower == "true") return true;
  return leadingInteger(lower) != 0;
}

DataItemDetail::DataItemDetail(Token) : dictData_(std::make_shared<RecordMap>()) {}

DataItemDetail::DataItemDetail(Token, std::shared_ptr<platform::MutableDictionary> map)
    : dictData_(std::move(map)) {}

namespace {

// An object of an answer's arena held as a member rather than made shared itself: thousands of
// records are made and freed per answer, and a shared object would also keep a weak reference to
// itself, whose counting at making and freeing costs more than the rest of freeing the record.
template <typename T>
struct ArenaHeld {
  template <typename... Args>
  explicit ArenaHeld(Args&&... args) : object(std::forward<Args>(args)...) {}
  T object;
};

template <typename T, typename... Args>
std::shared_ptr<T> makeInArena(JBArena& arena, Args&&... args) {
  auto held = std::allocate_shared<ArenaHeld<T>>(std::pmr::polymorphic_allocator<ArenaHeld<T>>(arena.nodes()),
                                                 std::forward<Args>(args)...);
  T* object = &held->object;
  return std::shared_ptr<T>(std::move(held), object);
}

}  // namespace

DataItemDetail::DataItemDetail(InArena, JBArena& arena) : dictData_(makeInArena<RecordMap>(arena, arena)) {}

std::shared_ptr<DataItemDetail> DataItemDetail::newDetailInArena(JBArena& arena) {
  return makeInArena<DataItemDetail>(arena, InArena(), arena);
}

std::shared_ptr<DataItemDetail> DataItemDetail::newDetailInArena(JBArena& arena, const ArenaText* pairs,
                                                                 std::size_t count) {
  auto record = newDetailInArena(arena);
  if (count) static_cast<RecordMap&>(*record->dictData_).fill(pairs, count);
  return record;
}

std::shared_ptr<DataItemDetail> DataItemDetail::dataItemDetailCopy() const {
  auto copy = newDetail();
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    copy->dictData_->setObject(platform::Value(value.stringValue()), key);
    return true;
  });
  return copy;
}

bool DataItemDetail::isEqualToDataItemDetail(const DataItemDetail* other) const {
  if (!other || other->count() != count()) return false;
  bool equal = true;
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    const platform::Value* theirs = other->dictData_->objectForKey(key);
    equal = theirs && theirs->stringValue() == value.stringValue();
    return equal;
  });
  return equal;
}

void DataItemDetail::append(const DataItemDetail* other) {
  if (other) appendDict(other->dictData_.get());
}

void DataItemDetail::appendDict(const platform::Dictionary* dict) {
  if (!dict) return;
  // Snapshot first: the source may be this record's own map.
  std::vector<std::pair<std::string, platform::Value>> pairs;
  pairs.reserve(dict->count());
  dict->enumerate([&](const std::string& key, const platform::Value& value) {
    if (!value.isNull()) pairs.emplace_back(key, value);
    return true;
  });
  for (auto& [key, value] : pairs) dictData_->setObject(std::move(value), key);
}

void DataItemDetail::clear() { dictData_->removeAllObjects(); }

std::string DataItemDetail::getString(std::string_view key) const {
  if (key.empty()) return "";
  const platform::Value* v = dictData_->objectForKey(key);
  return v ? std::string(v->stringView()) : std::string();
}

std::int64_t DataItemDetail::getInt(std::string_view key) const {
  if (key.empty()) return 0;
  const platform::Value* v = dictData_->objectForKey(key);
  return v ? integerValueOf(*v) : 0;
}

bool DataItemDetail::getBool(std::string_view key) const {
  if (key.empty()) return false;
  const platform::Value* v = dictData_->objectForKey(key);
  return v && boolValueOf(*v);
}

platform::Value DataItemDetail::getObject(std::string_view key) const {
  if (key.empty()) return {};
  const platform::Value* v = dictData_->objectForKey(key);
  return v ? *v : platform::Value();
}

bool DataItemDetail::hasKey(std::string_view key) const {
  return !key.empty() && dictData_->objectForKey(key) != nullptr;
}

bool DataItemDetail::hasKey(std::string_view key, std::string_view value) const {
  if (key.empty()) return false;
  const platform::Value* v = dictData_->objectForKey(key);
  return v && v->isString() && v->stringValue() == value;
}

bool DataItemDetail::tellsChanges() const {
  const platform::MutableDictionary& map = *dictData_;
  return typeid(map) == typeid(RecordMap);
}

bool DataItemDetail::watch(std::shared_ptr<RecordWatcher> watcher) {
  if (!watcher || !tellsChanges()) return false;
  static_cast<RecordMap&>(*dictData_).watch(std::move(watcher));
  return true;
}

void DataItemDetail::unwatch(const RecordWatcher* watcher) {
  if (tellsChanges()) static_cast<RecordMap&>(*dictData_).unwatch(watcher);
}

bool DataItemDetail::setString(std::string_view value, std::string_view key) {
  if (key.empty()) return false;
  // Records made here have the record's own map; one read back from an archive keeps that one.
  auto& map = *dictData_;
  if (typeid(map) == typeid(RecordMap))
    static_cast<RecordMap&>(map).setString(value, key);
  else
    map.setObject(platform::Value(value), key);
  return true;
}

bool DataItemDetail::setStringInArena(std::string_view value, std::string_view key, JBArena& arena) {
  if (key.empty()) return false;
  // Records made here have the record's own map; one read back from an archive keeps that one.
  auto& map = *dictData_;
  if (typeid(map) != typeid(RecordMap)) return setString(value, key);
  static_cast<RecordMap&>(map).setText(value, key, arena);
  return true;
}

bool DataItemDetail::setInt(std::int64_t value, std::string_view key) {
  if (key.empty()) return false;
  dictData_->setObject(platform::Value(std::to_string(value)), key);
  return true;
}

bool DataItemDetail::setBool(bool value, std::string_view key) {
  if (key.empty()) return false;
  dictData_->setObject(platform::Value(value ? "1" : "0"), key);
  return true;
}

void DataItemDetail::setObject(platform::Value value, std::string_view key) {
  if (key.empty() || value.isNull()) return;
  dictData_->setObject(std::move(value), key);
}

std::string DataItemDetail::getAttribute(std::string_view attributeName, std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) ? getString(attributeKey(attributeName, nodeName)) : "";
}

std::int64_t DataItemDetail::getIntAttribute(std::string_view attributeName,
                                             std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) ? getInt(attributeKey(attributeName, nodeName)) : 0;
}

bool DataItemDetail::getBoolAttribute(std::string_view attributeName, std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) && getBool(attributeKey(attributeName, nodeName));
}

bool DataItemDetail::setAttribute(std::string_view attributeName, std::string_view attributeValue,
                                  std::string_view nodeName) {
  return validAttribute(attributeName, nodeName) &&
         setString(attributeValue, attributeKey(attributeName, nodeName));
}

bool DataItemDetail::setIntAttribute(std::string_view attributeName, std::int64_t attributeValue,
                                     std::string_view nodeName) {
  return validAttribute(attributeName, nodeName) &&
         setInt(attributeValue, attributeKey(attributeName, nodeName));
}

bool DataItemDetail::setBoolAttribute(std::string_view attributeName, bool attributeValue,
                                      std::string_view nodeName) {
  return validAttribute(attributeName, nodeName) &&
         setBool(attributeValue, attributeKey(attributeName, nodeName));
}

bool DataItemDetail::hasAttribute(std::string_view attributeName, std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) && hasKey(attributeKey(attributeName, nodeName));
}

bool DataItemDetail::hasAttribute(std::string_view attributeName, std::string_view nodeName,
                                  std::string_view value) const {
  return validAttribute(attributeName, nodeName) && hasKey(attributeKey(attributeName, nodeName), value);
}

std::string DataItemDetail::getParamString() const {
  std::string out;
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    if (!value.isString()) return true;
    if (!out.empty()) out += '&';
    out += str::urlEncoding(key);
    out += '=';
    out += str::urlEncoding(value.stringValue());
    return true;
  });
  return out;
}

void DataItemDetail::encodeWithCoder(platform::KeyedArchiver& coder) const {
  // Only the text entries are kept. A record of text alone (as records are) is written as it is, in
  // its own order, which is the order a copy of its text entries would have.
  bool textOnly = true;
  dictData_->enumerate([&](const std::string&, const platform::Value& value) {
    textOnly = value.isString();
    return textOnly;
  });
  if (textOnly) {
    coder.encodeObject(platform::Value(dictData_));
    return;
  }
  auto strings = platform::MutableDictionary::create();
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    if (value.isString()) strings->setObject(value, key);
    return true;
  });
  coder.encodeObject(platform::Value(strings));
}

std::shared_ptr<DataItemDetail> DataItemDetail::initWithCoder(platform::KeyedUnarchiver& coder) {
  auto dict = coder.decodeObject().dictionaryValue();
  // The archive's map is the record's own from then on, unless it holds nothing under a key
  // (which a record never does): then the pairs that hold something are copied.
  auto map = std::dynamic_pointer_cast<platform::MutableDictionary>(dict);
  bool holdsNulls = false;
  if (map) {
    map->enumerate([&](const std::string&, const platform::Value& value) {
      holdsNulls = value.isNull();
      return !holdsNulls;
    });
  }
  if (map && !holdsNulls) {
    const platform::MutableDictionary& held = *map;
    if (typeid(held) == typeid(platform::MutableDictionary))
      return std::make_shared<DataItemDetail>(Token(), std::move(map));
  }
  auto detail = newDetail();
  if (dict) {
    dict->enumerate([&](const std::string& key, const platform::Value& value) {
      if (!value.isNull()) detail->dictData_->setObject(value, key);
      return true;
    });
  }
  return detail;
}

void DataItemDetail::registerCoding() {
  static std::once_flag once;
  std::call_once(once, [] {
    platform::KeyedUnarchiver::setClass(
        [](platform::KeyedUnarchiver& coder) -> platform::ObjectPtr { return initWithCoder(coder); },
        "DataItemDetail");
  });
}

platform::Data DataItemDetail::toData() const {
  // The archiver takes a shared object: this record, under a pointer that owns nothing (the
  // caller's hold lasts the call), so records held any way are written as they are.
  return platform::KeyedArchiver::archivedDataWithRootObject(
      platform::Value(platform::ObjectPtr(platform::ObjectPtr(), const_cast<DataItemDetail*>(this))));
}

std::shared_ptr<DataItemDetail> DataItemDetail::FromData(const platform::Data& data) {
  if (data.empty()) return nullptr;
  registerCoding();
  auto root = platform::KeyedUnarchiver::unarchiveObjectWithData(data);
  if (!root) return nullptr;
  return root->as<DataItemDetail>();
}

std::string DataItemDetail::description() const {
  return "<DataItemDetail " + dictData_->description() + ">";
}

}  // namespace kavro
