#pragma once
#include <memory>
#include <string_view>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace platform {
class Button;
class ImageView;
}  // namespace platform

namespace mapsdk {

// Stretchable pictures of the map resource bundle ("mapsdk.bundle/images/<name>.png", the "@2x"
// file on a retina screen). A stretch rectangle gives the left cap width as x and the top cap
// height as y, and a forced size as width and height (0: the picture's own). Main thread.
class StretchImageUtil {
 public:
  // The picture of the bundle (retina file first where it applies); null for "" or a missing file.
  static std::shared_ptr<platform::Image> mapImageNamed(std::string_view name);
  // Stretchable with caps trunc(point.x) and trunc(point.y); null for "" or a missing file.
  static std::shared_ptr<platform::Image> getStretchImage(std::string_view name,
                                                          platform::Point stretchPoint);
  static std::shared_ptr<platform::ImageView> getStretchImageViewWithImageName(
      std::string_view name, std::string_view highlightedName, const platform::Rect& stretchRect);
  static std::shared_ptr<platform::Button> getStretchButtonWithImageName(std::string_view name,
                                                                         std::string_view highlightedName,
                                                                         std::string_view disabledName,
                                                                         const platform::Rect& stretchRect);
};

}  // namespace mapsdk
