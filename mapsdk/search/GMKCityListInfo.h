#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// A city of a city list and its number of results. Made empty, filled once, then read. Main thread.
class GMKCityListInfo {
 public:
  const std::optional<std::string>& city() const { return city_; }
  void setCity(std::optional<std::string> value) { city_ = std::move(value); }
  int num() const { return num_; }
  void setNum(int value) { num_ = value; }

 private:
  std::optional<std::string> city_;
  int num_ = 0;
};

}  // namespace mapsdk
