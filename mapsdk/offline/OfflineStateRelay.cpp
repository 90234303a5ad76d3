#include "mapsdk/offline/OfflineStateRelay.h"

#include <utility>

#include "platform/foundation/Mutex.h"

namespace mapsdk {

namespace {
platform::Mutex& RelayMutex() {
  static platform::Mutex mutex;
  return mutex;
}
std::weak_ptr<GMKOfflineMapDelegate>& Delegate() {
  static std::weak_ptr<GMKOfflineMapDelegate> delegate;
  return delegate;
}
}  // namespace

void OfflineStateRelay::setOfflineDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate) {
  platform::MutexLock lock(RelayMutex());
  Delegate() = std::move(delegate);
}

std::shared_ptr<GMKOfflineMapDelegate> OfflineStateRelay::offlineDelegate() {
  platform::MutexLock lock(RelayMutex());
  return Delegate().lock();
}

bool OfflineStateRelay::deliver(int state, int value) {
  if (state == 0 || state == 1) return false;
  std::shared_ptr<GMKOfflineMapDelegate> delegate = offlineDelegate();
  if (!delegate) return false;
  delegate->onGetOfflineMapState(state, value);
  return true;
}

}  // namespace mapsdk
