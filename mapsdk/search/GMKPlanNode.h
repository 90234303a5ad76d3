#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// One end of a route: a name, a point or both. Made empty, filled once, then read. Main thread.
class GMKPlanNode {
 public:
  const std::optional<std::string>& name() const { return name_; }
  void setName(std::optional<std::string> value) { name_ = std::move(value); }
  const CLLocationCoordinate2D& pt() const { return pt_; }
  void setPt(CLLocationCoordinate2D value) { pt_ = std::move(value); }

 private:
  std::optional<std::string> name_;
  CLLocationCoordinate2D pt_;
};

}  // namespace mapsdk
