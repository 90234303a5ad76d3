#pragma once
#include <string>

namespace mapsdk {

// A city of the offline city lists.
class GMKOLSearchRecord {
 public:
  const std::string& cityName() const { return cityName_; }
  void setCityName(std::string name) { cityName_ = std::move(name); }
  int cityID() const { return cityID_; }
  void setCityID(int id) { cityID_ = id; }
  int size() const { return size_; }
  void setSize(int size) { size_ = size; }

 private:
  std::string cityName_;
  int cityID_ = 0;
  int size_ = 0;
};

}  // namespace mapsdk
