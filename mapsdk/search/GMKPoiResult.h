#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKCityListInfo.h"
#include "mapsdk/search/GMKPoiInfo.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// One page of places (or a city list) of a place search. Made empty, filled once, then read. Main thread.
class GMKPoiResult {
 public:
  int totalPoiNum() const { return totalPoiNum_; }
  void setTotalPoiNum(int value) { totalPoiNum_ = value; }
  int currPoiNum() const { return currPoiNum_; }
  void setCurrPoiNum(int value) { currPoiNum_ = value; }
  int pageNum() const { return pageNum_; }
  void setPageNum(int value) { pageNum_ = value; }
  int pageIndex() const { return pageIndex_; }
  void setPageIndex(int value) { pageIndex_ = value; }
  const GMKArray<GMKPoiInfo>& poiInfoList() const { return poiInfoList_; }
  void setPoiInfoList(GMKArray<GMKPoiInfo> value) { poiInfoList_ = std::move(value); }
  const GMKArray<GMKCityListInfo>& cityList() const { return cityList_; }
  void setCityList(GMKArray<GMKCityListInfo> value) { cityList_ = std::move(value); }

 private:
  int totalPoiNum_ = 0;
  int currPoiNum_ = 0;
  int pageNum_ = 0;
  int pageIndex_ = 0;
  GMKArray<GMKPoiInfo> poiInfoList_;
  GMKArray<GMKCityListInfo> cityList_;
};

}  // namespace mapsdk
