#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// The parts of an address. Made empty, filled once, then read. Main thread.
class GMKGeocoderAddressComponent {
 public:
  const std::optional<std::string>& streetNumber() const { return streetNumber_; }
  void setStreetNumber(std::optional<std::string> value) { streetNumber_ = std::move(value); }
  const std::optional<std::string>& streetName() const { return streetName_; }
  void setStreetName(std::optional<std::string> value) { streetName_ = std::move(value); }
  const std::optional<std::string>& district() const { return district_; }
  void setDistrict(std::optional<std::string> value) { district_ = std::move(value); }
  const std::optional<std::string>& city() const { return city_; }
  void setCity(std::optional<std::string> value) { city_ = std::move(value); }
  const std::optional<std::string>& province() const { return province_; }
  void setProvince(std::optional<std::string> value) { province_ = std::move(value); }

 private:
  std::optional<std::string> streetNumber_;
  std::optional<std::string> streetName_;
  std::optional<std::string> district_;
  std::optional<std::string> city_;
  std::optional<std::string> province_;
};

}  // namespace mapsdk
