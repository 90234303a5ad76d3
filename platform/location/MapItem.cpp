#include "platform/location/MapItem.h"

#include "platform/foundation/Mutex.h"

namespace platform {

namespace {
platform::Mutex& lock() {
  static platform::Mutex m;
  return m;
}
std::vector<MapItem::OpenedMaps>& opened() REQUIRES(lock()) {
  static std::vector<MapItem::OpenedMaps> list;
  return list;
}
constexpr std::size_t MaxRecords = 256;
}  // namespace

bool MapItem::openMapsWithItems(const std::vector<MapItem>& items, const LaunchOptions& options) {
  if (items.empty() || items.size() > 2) return false;
  platform::MutexLock guard(lock());
  if (opened().size() >= MaxRecords) opened().erase(opened().begin());
  opened().push_back({items, options});
  return true;
}

std::vector<MapItem::OpenedMaps> MapItem::openedMaps() {
  platform::MutexLock guard(lock());
  return opened();
}

void MapItem::reset() {
  platform::MutexLock guard(lock());
  opened().clear();
}

}  // namespace platform
