#pragma once

namespace mapsdk {

// Receives the offline states (package installs, updates available) on the main thread.
class GMKOfflineMapDelegate {
 public:
  virtual ~GMKOfflineMapDelegate() = default;
  virtual void onGetOfflineMapState(int state, int value) = 0;
};

}  // namespace mapsdk
