#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/jobquery/JobSearchParam.h"
#include "kit/ui/DictType.h"
#include "platform/location/MapGeometry.h"

namespace kavro {

// The map search's query: a job search that also holds the centre and radius of its circle and
// the map in use. It builds the request of "job/map_search.php" and keeps its own stored form.
// Main thread only.
class MapQueryParam : public JobSearchParam {
 public:
  // What the server and the user see of a radius measured on the map.
  static constexpr double ShownRadiusFactor = 0.7;

  static std::shared_ptr<MapQueryParam> create() {
    return std::shared_ptr<MapQueryParam>(new MapQueryParam());
  }

  // The request: trims the codes it sends and stores them back.
  std::string buildJobSearchURL() override;
  // The texts of the set filters joined by " + ", or the "nothing filtered" text.
  std::string searchTitleForMap();

  // A dictionary pick into the query by the picker's dictionary type (function, industry, issue
  // date, salary, degree, term, work years, company type, company size); false for any other type.
  static bool takeDictPick(JobSearchParam& query, DictType dictType, std::string_view code,
                           std::string_view value);

  const platform::Coordinate& lonlat() const { return lonlat_; }
  void setLonlat(platform::Coordinate c) { lonlat_ = c; }
  // Metres, as measured on the map.
  float radius() const { return radius_; }
  void setRadius(float r) { radius_ = r; }
  // 0 the map SDK, 1 the platform map, 2 no map.
  std::int32_t appMapType() const { return appMapType_; }
  void setAppMapType(std::int32_t t) { appMapType_ = t; }

 private:
  platform::Coordinate lonlat_;
  float radius_ = 0;
  std::int32_t appMapType_ = 0;

 protected:
  MapQueryParam() = default;
  // Its own last form.
  std::string getFormCacheType() const override;
};

}  // namespace kavro
