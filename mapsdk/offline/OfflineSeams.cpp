#include "mapsdk/offline/OfflineSeams.h"

#include <utility>

#include "platform/foundation/Mutex.h"

namespace gmengine {

namespace {
platform::Mutex& SeamsMutex() {
  static platform::Mutex mutex;
  return mutex;
}
OfflineSeams& Seams() {
  static OfflineSeams seams;
  return seams;
}
}  // namespace

void SetOfflineSeams(OfflineSeams seams) {
  platform::MutexLock lock(SeamsMutex());
  Seams() = std::move(seams);
}

OfflineSeams GetOfflineSeams() {
  platform::MutexLock lock(SeamsMutex());
  return Seams();
}

}  // namespace gmengine
