#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKCityListInfo.h"
#include "mapsdk/search/GMKPoiInfo.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// Candidates for route ends that were not clear. Made empty, filled once, then read. Main thread.
class GMKRouteAddrResult {
 public:
  const GMKArray<GMKPoiInfo>& startPoiList() const { return startPoiList_; }
  void setStartPoiList(GMKArray<GMKPoiInfo> value) { startPoiList_ = std::move(value); }
  const GMKArray<GMKPoiInfo>& endPoiList() const { return endPoiList_; }
  void setEndPoiList(GMKArray<GMKPoiInfo> value) { endPoiList_ = std::move(value); }
  const GMKArray<GMKCityListInfo>& startCityList() const { return startCityList_; }
  void setStartCityList(GMKArray<GMKCityListInfo> value) { startCityList_ = std::move(value); }
  const GMKArray<GMKCityListInfo>& endCityList() const { return endCityList_; }
  void setEndCityList(GMKArray<GMKCityListInfo> value) { endCityList_ = std::move(value); }

 private:
  GMKArray<GMKPoiInfo> startPoiList_;
  GMKArray<GMKPoiInfo> endPoiList_;
  GMKArray<GMKCityListInfo> startCityList_;
  GMKArray<GMKCityListInfo> endCityList_;
};

}  // namespace mapsdk
