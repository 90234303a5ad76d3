#include "mapsdk/engine/CAppDataCache.h"

namespace gmengine {

void CAppDataCache::Release(tag_CacheElem& element) {
  if (element.free) element.free(&element.data, element.dataWord);
}

int CAppDataCache::Add(const CVString& key, void* data, int dataWord, FreeCallback free) {
  while (!entries_.empty() && static_cast<int>(entries_.size()) >= capacity_) {
    tag_CacheElem last = std::move(entries_.back());
    entries_.pop_back();  // out of the cache before its callback runs
    Release(last);
  }
  entries_.push_front(tag_CacheElem{key, data, dataWord, free});
  return 1;
}

int CAppDataCache::Find(const CVString& key, void*& data, int& dataWord) const {
  for (const tag_CacheElem& element : entries_) {
    if (element.key == key) {
      data = element.data;
      dataWord = element.dataWord;
      return 1;
    }
  }
  return 0;
}

void CAppDataCache::RemoveAll() {
  while (!entries_.empty()) {
    tag_CacheElem last = std::move(entries_.back());
    entries_.pop_back();
    Release(last);
  }
}

}  // namespace gmengine
