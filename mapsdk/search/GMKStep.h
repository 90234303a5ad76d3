#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// One step of a route. Made empty, filled once, then read. Main thread.
class GMKStep {
 public:
  const CLLocationCoordinate2D& pt() const { return pt_; }
  void setPt(CLLocationCoordinate2D value) { pt_ = std::move(value); }
  const std::optional<std::string>& content() const { return content_; }
  void setContent(std::optional<std::string> value) { content_ = std::move(value); }
  int degree() const { return degree_; }
  void setDegree(int value) { degree_ = value; }

 private:
  CLLocationCoordinate2D pt_;
  std::optional<std::string> content_;
  int degree_ = 0;
};

}  // namespace mapsdk
