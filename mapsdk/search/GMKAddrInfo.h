#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKGeocoderAddressComponent.h"
#include "mapsdk/search/GMKPoiInfo.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// A geocoding or reverse-geocoding answer. Made empty, filled once, then read. Main thread.
class GMKAddrInfo {
 public:
  const std::shared_ptr<GMKGeocoderAddressComponent>& addressComponent() const { return addressComponent_; }
  void setAddressComponent(std::shared_ptr<GMKGeocoderAddressComponent> value) {
    addressComponent_ = std::move(value);
  }
  const std::optional<std::string>& strAddr() const { return strAddr_; }
  void setStrAddr(std::optional<std::string> value) { strAddr_ = std::move(value); }
  const CLLocationCoordinate2D& geoPt() const { return geoPt_; }
  void setGeoPt(CLLocationCoordinate2D value) { geoPt_ = std::move(value); }
  const GMKArray<GMKPoiInfo>& poiList() const { return poiList_; }
  void setPoiList(GMKArray<GMKPoiInfo> value) { poiList_ = std::move(value); }

 private:
  std::shared_ptr<GMKGeocoderAddressComponent> addressComponent_;
  std::optional<std::string> strAddr_;
  CLLocationCoordinate2D geoPt_;
  GMKArray<GMKPoiInfo> poiList_;
};

}  // namespace mapsdk
