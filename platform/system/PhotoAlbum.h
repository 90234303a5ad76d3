#pragma once
#include <string>
#include <vector>

#include "platform/graphics/Image.h"

namespace platform {

// The device's photo album. saveImage keeps the picture as it is seen (orientation applied) as a
// PNG under the home root, one numbered file per picture (Media/DCIM/IMG_0001.PNG, ...), and gives
// no answer beyond its result, as the screens that save to the album expect none. Main thread only.
class PhotoAlbum {
 public:
  static bool saveImage(const Image& image);
  // Full paths, oldest first.
  static std::vector<std::string> savedImagePaths();
};

}  // namespace platform
