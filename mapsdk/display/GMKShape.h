#pragma once
#include <optional>
#include <string>

#include "mapsdk/display/GMKAnnotation.h"
#include "platform/foundation/Object.h"

namespace mapsdk {

// The base of the map's shapes: a title and a subtitle. Its coordinate is (0, 0) and setting it
// does nothing; subclasses supply both. Main thread.
class GMKShape : public platform::Object, public virtual GMKAnnotation {
 public:
  std::optional<std::string> title() const override { return title_; }
  void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
  std::optional<std::string> subtitle() const override { return subtitle_; }
  void setSubtitle(std::optional<std::string> subtitle) { subtitle_ = std::move(subtitle); }
  CLLocationCoordinate2D coordinate() const override { return {}; }
  bool setCoordinate(const CLLocationCoordinate2D&) override { return true; }

 private:
  std::optional<std::string> title_;
  std::optional<std::string> subtitle_;
};

}  // namespace mapsdk
