#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/foundation/Mutex.h"

namespace platform {

// Which file a path named when it was looked at: a replaced or rewritten file has another stamp.
struct FileStamp {
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at path (one look at the file system); none when there is none.
std::optional<FileStamp> fileStampAt(const std::string& path);

// What a process makes of its read-only resource files (their bytes, a decoded picture), made once
// and shared: every start of a screen asks for the same few. An item is keyed by the file's path
// and given out only while the file still has the stamp it was made from, so a replaced file or a
// resource root pointed elsewhere is read afresh. Items cost what the caller says (their bytes);
// one over a tenth of the budget is not kept, and a cache over its budget starts empty again.
// Safe from any thread; items are shared read-only.
template <class T>
class ResourceCache {
 public:
  explicit ResourceCache(std::size_t budget) : budget_(budget) {}
  ResourceCache(const ResourceCache&) = delete;
  ResourceCache& operator=(const ResourceCache&) = delete;

  std::shared_ptr<const T> find(const std::string& path, const FileStamp& stamp) const {
    MutexLock lock(mutex_);
    auto it = items_.find(path);
    if (it == items_.end() || !(it->second.stamp == stamp)) return nullptr;
    return it->second.item;
  }

  void keep(const std::string& path, const FileStamp& stamp, std::shared_ptr<const T> item,
            std::size_t cost) {
    if (!item || cost > budget_ / 10) return;
    MutexLock lock(mutex_);
    auto it = items_.find(path);
    if (it != items_.end()) {
      used_ -= it->second.cost;
      items_.erase(it);
    }
    if (used_ + cost > budget_) {
      items_.clear();
      used_ = 0;
    }
    items_.emplace(path, Entry{stamp, std::move(item), cost});
    used_ += cost;
  }

 private:
  struct Entry {
    FileStamp stamp;
    std::shared_ptr<const T> item;
    std::size_t cost = 0;
  };
  const std::size_t budget_;
  mutable Mutex mutex_;
  std::unordered_map<std::string, Entry> items_ GUARDED_BY(mutex_);
  std::size_t used_ GUARDED_BY(mutex_) = 0;
};

}  // namespace platform
