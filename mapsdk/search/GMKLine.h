#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKPoiInfo.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// One ride of a transit plan: the line, where it is boarded and left, and its points. Main thread.
class GMKLine {
 public:
  int viaStopsNum() const { return viaStopsNum_; }
  void setViaStopsNum(int value) { viaStopsNum_ = value; }
  int distance() const { return distance_; }
  void setDistance(int value) { distance_ = value; }
  int type() const { return type_; }
  void setType(int value) { type_ = value; }
  const std::optional<std::string>& title() const { return title_; }
  void setTitle(std::optional<std::string> value) { title_ = std::move(value); }
  const std::optional<std::string>& tip() const { return tip_; }
  void setTip(std::optional<std::string> value) { tip_ = std::move(value); }
  const std::shared_ptr<GMKPoiInfo>& getOnStopPoiInfo() const { return getOnStopPoiInfo_; }
  void setGetOnStopPoiInfo(std::shared_ptr<GMKPoiInfo> value) { getOnStopPoiInfo_ = std::move(value); }
  const std::shared_ptr<GMKPoiInfo>& getOffStopPoiInfo() const { return getOffStopPoiInfo_; }
  void setGetOffStopPoiInfo(std::shared_ptr<GMKPoiInfo> value) { getOffStopPoiInfo_ = std::move(value); }
  const std::vector<GMKMapPoint>& points() const { return points_; }
  void setPoints(std::vector<GMKMapPoint> value) { points_ = std::move(value); }
  int pointsCount() const { return pointsCount_; }
  void setPointsCount(int value) { pointsCount_ = value; }

 private:
  int viaStopsNum_ = 0;
  int distance_ = 0;
  int type_ = 0;
  std::optional<std::string> title_;
  std::optional<std::string> tip_;
  std::shared_ptr<GMKPoiInfo> getOnStopPoiInfo_;
  std::shared_ptr<GMKPoiInfo> getOffStopPoiInfo_;
  std::vector<GMKMapPoint> points_;
  int pointsCount_ = 0;
};

}  // namespace mapsdk
