#pragma once
#include "mapsdk/search/GMKNotifier.h"

namespace mapsdk {

// Owns the map engine for the application: creating it builds the engine (and installs the map
// display and the notifier in it), start runs its threads and message flow, stop halts them,
// destroying it tears the engine down. Main thread.
class GMKMapManager {
 public:
  GMKMapManager();
  ~GMKMapManager();
  GMKMapManager(const GMKMapManager&) = delete;
  GMKMapManager& operator=(const GMKMapManager&) = delete;

  // Starts the engine; the general delegate then hears network states. False without an engine
  // or when the start fails.
  bool start(GMKNotifier::NetworkStateHandler generalDelegate);
  bool stop();
  // An engine is built and started (and not stopped since).
  static bool engineRunning();
};

}  // namespace mapsdk
