#include "platform/location/MapItem.h"

#include <mutex>

namespace platform {

namespace {
std::mutex& lock() {
  static std::mutex m;
  return m;
}
std::vector<MapItem::OpenedMaps>& opened() {
  static std::vector<MapItem::OpenedMaps> list;
  return list;
}
constexpr std::size_t MaxRecords = 256;
}  // namespace

bool MapItem::openMapsWithItems(const std::vector<MapItem>& items, const LaunchOptions& options) {
  if (items.empty() || items.size() > 2) return false;
  std::lock_guard<std::mutex> guard(lock());
  if (opened().size() >= MaxRecords) opened().erase(opened().begin());
  opened().push_back({items, options});
  return true;
}

std::vector<MapItem::OpenedMaps> MapItem::openedMaps() {
  std::lock_guard<std::mutex> guard(lock());
  return opened();
}

void MapItem::reset() {
  std::lock_guard<std::mutex> guard(lock());
  opened().clear();
}

}  // namespace platform
