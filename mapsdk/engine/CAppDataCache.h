#pragma once
#include <list>
#include <utility>

#include "mapsdk/engine/CVString.h"

namespace gmengine {

// A small most-recent-first cache of answers by key. Each entry owns its record (Record is an
// owning type such as a unique_ptr or a variant of them), which goes with the entry, and carries a
// data word. A view of a cached record lasts only until the next Add or RemoveAll: whoever keeps
// one longer keeps a copy. One thread at a time.
template <class Record>
class CAppDataCache {
 public:
  struct tag_CacheElem {
    CVString key;
    Record data;
    int dataWord = 0;
  };

  CAppDataCache() = default;
  ~CAppDataCache() { RemoveAll(); }
  CAppDataCache(const CAppDataCache&) = delete;
  CAppDataCache& operator=(const CAppDataCache&) = delete;

  // Entries kept; the next Add evicts down to below it (so at least the new entry stays).
  void SetCapacity(int count) { capacity_ = count; }
  int GetCount() const { return static_cast<int>(entries_.size()); }

  // Evicts from the end while the cache holds capacity entries or more, then puts the new entry in
  // front. Answers the record as stored.
  const Record& Add(const CVString& key, Record data, int dataWord) {
    while (!entries_.empty() && static_cast<int>(entries_.size()) >= capacity_) DropLast();
    entries_.push_front(tag_CacheElem{key, std::move(data), dataWord});
    return entries_.front().data;
  }
  // The first entry from the front whose key equals key, or null; dataWord is set when found. The
  // order is not changed.
  const Record* Find(const CVString& key, int& dataWord) const {
    for (const tag_CacheElem& element : entries_) {
      if (element.key == key) {
        dataWord = element.dataWord;
        return &element.data;
      }
    }
    return nullptr;
  }
  // Evicts every entry, from the tail.
  void RemoveAll() {
    while (!entries_.empty()) DropLast();
  }

 private:
  void DropLast() { entries_.pop_back(); }

  std::list<tag_CacheElem> entries_;
  int capacity_ = 10;
};

}  // namespace gmengine
