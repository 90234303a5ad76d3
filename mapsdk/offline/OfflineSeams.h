#pragma once
#include <functional>

#include "mapsdk/engine/CVArray.h"

namespace gmengine {

class COfflineMapMan;

// Where the offline maps reach the map display and the search engine, which plug in here when
// they are built. Any member may be empty. Any thread.
struct OfflineSeams {
  // The map controller's offline map manager; null without a map controller.
  std::function<COfflineMapMan*()> mapMan;
  // Starts the search engine's offline city-list request for the ids (answer: result type 507,
  // which leads to record manager commands 17 and 18).
  std::function<int(const CVArray<int>& cityIds)> startCitySearch;
  // Constructs and starts the engine's search object when the core has none; 1 when it exists.
  std::function<int()> createSearch;
};

void SetOfflineSeams(OfflineSeams seams);
OfflineSeams GetOfflineSeams();

}  // namespace gmengine
