#pragma once
#include <memory>
#include <string_view>

#include "kit/skin/AppSkin.h"
#include "platform/mapview/MapView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"

// The job map's pictures come from the skin group "job_related/map".
namespace kavro::mapskin {

inline constexpr std::string_view Group = "job_related/map";

inline std::shared_ptr<platform::Image> image(std::string_view type) {
  return AppSkin::imageWithSkinType(type, Group);
}
inline void setImage(platform::ImageView& view, std::string_view type) { view.setImage(image(type)); }
inline void setImage(platform::Button& button, std::string_view type) { button.setImage(image(type)); }
// The job map's pin for an annotation: no callout, the normal picture.
std::shared_ptr<platform::AnnotationView> pinView(const std::shared_ptr<platform::Annotation>& annotation);
// An image view sized to its picture (at least the fallback size when the skin has none).
std::shared_ptr<platform::ImageView> imageView(std::string_view type, platform::Size fallback);

}  // namespace kavro::mapskin
