#include "kit/ui/ImageExt.h"

#include <cmath>

#include "kit/core/DeviceSystemVersionCompare.h"
#include "kit/http/Reachability.h"
#include "platform/graphics/BitmapContext.h"

namespace kavro::image {

std::shared_ptr<platform::Image> resizableImageWithInsetOfLeft(const platform::Image& image, int left,
                                                               int top, int right, int bottom) {
  if (device::systemVersionLessThan("5.0")) return image.stretchableImageWithLeftCapWidth(left, top);
  return image.resizableImageWithCapInsets({double(top), double(left), double(bottom), double(right)});
}

std::shared_ptr<platform::Image> customStretchableImageWithLeftCapWidth(const platform::Image& image,
                                                                        int left, int top) {
  platform::Size size = image.size();
  int right = int(size.width - left - 1);
  int bottom = int(size.height - top - 1);
  return resizableImageWithInsetOfLeft(image, left, top, right, bottom);
}

std::shared_ptr<platform::Image> getNetworkPostImageData(const std::shared_ptr<platform::Image>& image) {
  if (!image) return nullptr;
  float length = float(image->JPEGRepresentation(0.75).size());
  float limit = Reachability::isCurrentNetworkStatusWifi() ? float(1.2 * 1048576) : float(0.6 * 1048576);
  if (length <= limit) return image;
  double f = std::sqrt(double(length) / double(limit));
  platform::Size size = image->size();
  return imageByScalingAndCroppingForSize(*image, {size.width / f, size.height / f});
}

platform::Rect scaledAndCroppedRect(platform::Size imageSize, platform::Size target) {
  if (imageSize == target || imageSize.width <= 0 || imageSize.height <= 0) return {{0, 0}, target};
  double wf = target.width / imageSize.width;
  double hf = target.height / imageSize.height;
  double s = wf > hf ? wf : hf;
  platform::Size scaled{imageSize.width * s, imageSize.height * s};
  if (wf > hf) return {0, (target.height - scaled.height) / 2, scaled.width, scaled.height};
  return {(target.width - scaled.width) / 2, 0, scaled.width, scaled.height};
}

std::shared_ptr<platform::Image> imageByScalingAndCroppingForSize(const platform::Image& image,
                                                                  platform::Size target) {
  platform::BitmapContext context(target, false, 1);
  if (!context.isValid()) return nullptr;
  context.drawImage(image, scaledAndCroppedRect(image.size(), target));
  return context.makeImage();
}

}  // namespace kavro::image
