#pragma once
#include <list>

#include "mapsdk/engine/CVString.h"

namespace gmengine {

// A small most-recent-first cache of answers by key: each entry holds a data pointer, a data word
// and the callback that frees the data. It owns the entries' data through those callbacks. One
// thread at a time.
class CAppDataCache {
 public:
  // Frees the data in *dataSlot (and may clear the slot); dataWord is the entry's word.
  using FreeCallback = void (*)(void** dataSlot, int dataWord);

  struct tag_CacheElem {
    CVString key;
    void* data = nullptr;
    int dataWord = 0;
    FreeCallback free = nullptr;
  };

  CAppDataCache() = default;
  ~CAppDataCache() { RemoveAll(); }
  CAppDataCache(const CAppDataCache&) = delete;
  CAppDataCache& operator=(const CAppDataCache&) = delete;

  // Entries kept; the next Add evicts down to below it (so at least the new entry stays).
  void SetCapacity(int count) { capacity_ = count; }
  int GetCapacity() const { return capacity_; }
  int GetCount() const { return static_cast<int>(entries_.size()); }

  // Evicts from the end (freeing each evicted entry) while the cache holds capacity entries or
  // more, then puts the new entry in front. Answers 1.
  int Add(const CVString& key, void* data, int dataWord, FreeCallback free);
  // The first entry from the front whose key equals key: 1 with its data and word, else 0. The
  // order is not changed.
  int Find(const CVString& key, void*& data, int& dataWord) const;
  // Frees every entry, from the tail, and empties the cache.
  void RemoveAll();

 private:
  static void Release(tag_CacheElem& element);

  std::list<tag_CacheElem> entries_;
  int capacity_ = 10;
};

}  // namespace gmengine
