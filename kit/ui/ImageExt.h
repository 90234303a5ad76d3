#pragma once
#include <memory>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

// Image preparation: stretchable skin pictures, upload sizing and scale-and-crop.
namespace kavro::image {

// Below system version "5.0" (device::systemVersionLessThan) the older stretch form with left and top only
// (right and bottom do not count); otherwise cap insets (top, left, bottom, right).
std::shared_ptr<platform::Image> resizableImageWithInsetOfLeft(const platform::Image& image, int left,
                                                               int top, int right, int bottom);
// Right := width − left − 1 and bottom := height − top − 1, truncated: one point stretches.
std::shared_ptr<platform::Image> customStretchableImageWithLeftCapWidth(const platform::Image& image,
                                                                        int left, int top);
// The image itself when its JPEG at quality 0.75 stays within 1.2 MiB on Wi-Fi (0.6 MiB
// otherwise); else a copy scaled by the square root of the excess.
std::shared_ptr<platform::Image> getNetworkPostImageData(const std::shared_ptr<platform::Image>& image);
// Exactly the target size: the image scaled to fill it, the overflow cut evenly on both sides.
std::shared_ptr<platform::Image> imageByScalingAndCroppingForSize(const platform::Image& image,
                                                                  platform::Size target);
// Where imageByScalingAndCroppingForSize draws the image.
platform::Rect scaledAndCroppedRect(platform::Size imageSize, platform::Size target);

}  // namespace kavro::image
