#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// Keyword suggestions and their cities, index-aligned. Made empty, filled once, then read. Main thread.
class GMKSuggestionResult {
 public:
  const std::optional<std::vector<std::string>>& keyList() const { return keyList_; }
  void setKeyList(std::optional<std::vector<std::string>> value) { keyList_ = std::move(value); }
  const std::optional<std::vector<std::string>>& cityList() const { return cityList_; }
  void setCityList(std::optional<std::vector<std::string>> value) { cityList_ = std::move(value); }

 private:
  std::optional<std::vector<std::string>> keyList_;
  std::optional<std::vector<std::string>> cityList_;
};

}  // namespace mapsdk
