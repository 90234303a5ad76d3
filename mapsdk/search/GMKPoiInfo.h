#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// A place of a search answer. Made empty, filled once, then read. Main thread.
class GMKPoiInfo {
 public:
  const std::optional<std::string>& name() const { return name_; }
  void setName(std::optional<std::string> value) { name_ = std::move(value); }
  const std::optional<std::string>& uid() const { return uid_; }
  void setUid(std::optional<std::string> value) { uid_ = std::move(value); }
  const std::optional<std::string>& address() const { return address_; }
  void setAddress(std::optional<std::string> value) { address_ = std::move(value); }
  const std::optional<std::string>& city() const { return city_; }
  void setCity(std::optional<std::string> value) { city_ = std::move(value); }
  const std::optional<std::string>& phone() const { return phone_; }
  void setPhone(std::optional<std::string> value) { phone_ = std::move(value); }
  const std::optional<std::string>& postcode() const { return postcode_; }
  void setPostcode(std::optional<std::string> value) { postcode_ = std::move(value); }
  int epoitype() const { return epoitype_; }
  void setEpoitype(int value) { epoitype_ = value; }
  const CLLocationCoordinate2D& pt() const { return pt_; }
  void setPt(CLLocationCoordinate2D value) { pt_ = std::move(value); }

 private:
  std::optional<std::string> name_;
  std::optional<std::string> uid_;
  std::optional<std::string> address_;
  std::optional<std::string> city_;
  std::optional<std::string> phone_;
  std::optional<std::string> postcode_;
  int epoitype_ = 0;
  CLLocationCoordinate2D pt_;
};

}  // namespace mapsdk
