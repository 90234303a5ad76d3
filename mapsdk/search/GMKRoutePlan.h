#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKRoute.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// A driving or walking plan. Made empty, filled once, then read. Main thread.
class GMKRoutePlan : public GMKObject {
 public:
  int distance() const { return distance_; }
  void setDistance(int value) { distance_ = value; }
  const GMKArray<GMKRoute>& routes() const { return routes_; }
  void setRoutes(GMKArray<GMKRoute> value) { routes_ = std::move(value); }

 private:
  int distance_ = 0;
  GMKArray<GMKRoute> routes_;
};

}  // namespace mapsdk
