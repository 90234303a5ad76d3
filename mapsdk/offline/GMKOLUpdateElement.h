#pragma once
#include <string>

#include "mapsdk/offline/COLUpdateRecord.h"

namespace mapsdk {

struct GMKOfflineCoordinate {
  double latitude = 0;
  double longitude = 0;
};

// The update state of one offline city. An empty name stands for a city without one.
class GMKOLUpdateElement {
 public:
  const std::string& cityName() const { return cityName_; }
  void setCityName(std::string name) { cityName_ = std::move(name); }
  int cityID() const { return cityID_; }
  void setCityID(int id) { cityID_ = id; }
  int size() const { return size_; }
  void setSize(int size) { size_ = size; }
  int serversize() const { return serversize_; }
  void setServersize(int size) { serversize_ = size; }
  // Percent; 100 once complete.
  int ratio() const { return ratio_; }
  void setRatio(int ratio) { ratio_ = ratio; }
  gmengine::OfflineCityState status() const { return status_; }
  void setStatus(gmengine::OfflineCityState status) { status_ = status; }
  bool update() const { return update_; }
  void setUpdate(bool update) { update_ = update; }
  GMKOfflineCoordinate pt() const { return pt_; }
  void setPt(GMKOfflineCoordinate pt) { pt_ = pt; }

 private:
  std::string cityName_;
  int cityID_ = 0;
  int size_ = 0;
  int serversize_ = 0;
  int ratio_ = 0;
  gmengine::OfflineCityState status_ = gmengine::OfflineCityState::None;
  bool update_ = false;
  GMKOfflineCoordinate pt_;
};

}  // namespace mapsdk
