#include "mapsdk/offline/OfflineSeams.h"

#include <mutex>
#include <utility>

namespace gmengine {

namespace {
std::mutex& SeamsMutex() {
  static std::mutex mutex;
  return mutex;
}
OfflineSeams& Seams() {
  static OfflineSeams seams;
  return seams;
}
}  // namespace

void SetOfflineSeams(OfflineSeams seams) {
  std::lock_guard<std::mutex> lock(SeamsMutex());
  Seams() = std::move(seams);
}

OfflineSeams GetOfflineSeams() {
  std::lock_guard<std::mutex> lock(SeamsMutex());
  return Seams();
}

}  // namespace gmengine
