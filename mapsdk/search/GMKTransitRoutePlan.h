#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKLine.h"
#include "mapsdk/search/GMKRoute.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// A public-transport plan: its rides (lines) and walking legs (routes). Made empty, filled once, then read.
// Main thread.
class GMKTransitRoutePlan : public GMKObject {
 public:
  int distance() const { return distance_; }
  void setDistance(int value) { distance_ = value; }
  const std::optional<std::string>& content() const { return content_; }
  void setContent(std::optional<std::string> value) { content_ = std::move(value); }
  const CLLocationCoordinate2D& startPt() const { return startPt_; }
  void setStartPt(CLLocationCoordinate2D value) { startPt_ = std::move(value); }
  const CLLocationCoordinate2D& endPt() const { return endPt_; }
  void setEndPt(CLLocationCoordinate2D value) { endPt_ = std::move(value); }
  const GMKArray<GMKRoute>& routes() const { return routes_; }
  void setRoutes(GMKArray<GMKRoute> value) { routes_ = std::move(value); }
  const GMKArray<GMKLine>& lines() const { return lines_; }
  void setLines(GMKArray<GMKLine> value) { lines_ = std::move(value); }

 private:
  int distance_ = 0;
  std::optional<std::string> content_;
  CLLocationCoordinate2D startPt_;
  CLLocationCoordinate2D endPt_;
  GMKArray<GMKRoute> routes_;
  GMKArray<GMKLine> lines_;
};

}  // namespace mapsdk
