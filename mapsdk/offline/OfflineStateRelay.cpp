#include "mapsdk/offline/OfflineStateRelay.h"

#include <mutex>
#include <utility>

namespace mapsdk {

namespace {
std::mutex& RelayMutex() {
  static std::mutex mutex;
  return mutex;
}
std::weak_ptr<GMKOfflineMapDelegate>& Delegate() {
  static std::weak_ptr<GMKOfflineMapDelegate> delegate;
  return delegate;
}
}  // namespace

void OfflineStateRelay::setOfflineDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate) {
  std::lock_guard<std::mutex> lock(RelayMutex());
  Delegate() = std::move(delegate);
}

std::shared_ptr<GMKOfflineMapDelegate> OfflineStateRelay::offlineDelegate() {
  std::lock_guard<std::mutex> lock(RelayMutex());
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
