#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKSearchTypes.h"
#include "mapsdk/search/GMKStep.h"

namespace mapsdk {

// What a route is; a driving or walking route leaves it unset.
enum class GMKRouteType : int { Unset = 0, WalkingLeg = 2, BusLine = 3 };

// One route: a driving or walking route, a walking leg of a transit plan or a bus line's route,
// with its steps and its points, part by part. Main thread.
class GMKRoute {
 public:
  int distance() const { return distance_; }
  void setDistance(int value) { distance_ = value; }
  GMKRouteType type() const { return type_; }
  void setType(GMKRouteType value) { type_ = value; }
  const CLLocationCoordinate2D& startPt() const { return startPt_; }
  void setStartPt(CLLocationCoordinate2D value) { startPt_ = value; }
  const CLLocationCoordinate2D& endPt() const { return endPt_; }
  void setEndPt(CLLocationCoordinate2D value) { endPt_ = value; }
  const std::optional<std::string>& tip() const { return tip_; }
  void setTip(std::optional<std::string> value) { tip_ = std::move(value); }
  const GMKArray<GMKStep>& steps() const { return steps_; }
  void setSteps(GMKArray<GMKStep> value) { steps_ = std::move(value); }

  // The number of parts.
  int pointsCount() const { return static_cast<int>(parts_.size()); }
  // n < 1 is ignored; else the parts are dropped and n empty parts made.
  void setPointsCount(int n);
  // Ignored for count < 0 or an index outside the parts.
  void setPointsNum(int count, int index);
  void setPoints(std::vector<GMKMapPoint> points, int index);
  // 0 / null outside the parts.
  int getPointsNum(int index) const;
  const std::vector<GMKMapPoint>* getPoints(int index) const;
  // The whole table of part arrays (null entries: no array).
  const std::vector<std::unique_ptr<std::vector<GMKMapPoint>>>& points() const { return parts_; }
  void setPoints(std::vector<std::unique_ptr<std::vector<GMKMapPoint>>> table);

 private:
  int distance_ = 0;
  GMKRouteType type_ = GMKRouteType::Unset;
  CLLocationCoordinate2D startPt_;
  CLLocationCoordinate2D endPt_;
  std::optional<std::string> tip_;
  GMKArray<GMKStep> steps_;
  std::vector<std::unique_ptr<std::vector<GMKMapPoint>>> parts_;
  std::vector<int> counts_;
};

}  // namespace mapsdk
