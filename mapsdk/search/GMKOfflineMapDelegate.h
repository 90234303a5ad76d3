#pragma once
#include "mapsdk/engine/EngineTypes.h"

namespace mapsdk {

// Receives the offline states (package installs, updates available) on the main thread; the
// states kept inside the map never reach it.
class GMKOfflineMapDelegate {
 public:
  virtual ~GMKOfflineMapDelegate() = default;
  virtual void onGetOfflineMapState(gmengine::OfflineState state, int value) = 0;
};

}  // namespace mapsdk
