#include "platform/graphics/Image.h"

#include <cmath>
#include <sstream>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/ResourceCache.h"

namespace platform {

namespace {

double validScale(double scale) { return scale > 0 && std::isfinite(scale) ? scale : 1.0; }

bool turnsQuarter(ImageOrientation o) {
  return o == ImageOrientation::Left || o == ImageOrientation::Right || o == ImageOrientation::LeftMirrored ||
         o == ImageOrientation::RightMirrored;
}

// Position of the extension's "." in the last path component; npos when there is none.
std::size_t extensionDot(std::string_view name) {
  std::size_t slash = name.rfind('/');
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return std::string_view::npos;
  return dot;
}

}  // namespace

Image::Image(Private, std::vector<ImageFrame> frames, double scale, ImageOrientation orientation)
    : frames_(std::move(frames)), scale_(validScale(scale)), orientation_(orientation) {}

std::shared_ptr<Image> Image::imageWithData(const Data& data, double scale, const DecodeLimits& limits) {
  auto decoded = ImageCodec::decode(data.data(), data.size(), limits);
  if (!decoded) return nullptr;
  std::vector<ImageFrame> frames;
  frames.reserve(decoded->size());
  for (DecodedFrame& f : *decoded)
    frames.push_back(ImageFrame{std::make_shared<const Bitmap>(std::move(f.bitmap)), f.delay});
  return std::make_shared<Image>(Private{}, std::move(frames), scale, ImageOrientation::Up);
}

std::shared_ptr<Image> Image::imageWithContentsOfFile(std::string_view path) {
  auto data = FileManager::contentsAtPath(path);
  if (!data) return nullptr;
  return imageWithData(*data, scaleOfFileName(path));
}

namespace {

// Named pictures are resources: decoded once per process and shared (a picture never changes).
constexpr std::size_t NamedImagesBudget = 16 << 20;

ResourceCache<Image>& namedImages() {
  static auto* cache = new ResourceCache<Image>(NamedImagesBudget);
  return *cache;
}

std::shared_ptr<Image> namedImage(const std::string& name) {
  auto file = Environment::resourceFile(name);
  if (!file) return nullptr;
  if (auto kept = namedImages().find(file->path, file->stamp)) return std::const_pointer_cast<Image>(kept);
  auto image = Image::imageWithContentsOfFile(file->path);
  if (!image) return nullptr;
  std::size_t bytes = 0;
  for (const ImageFrame& frame : image->frames())
    bytes += static_cast<std::size_t>(frame.bitmap->width()) *
             static_cast<std::size_t>(frame.bitmap->height()) * 4;
  namedImages().keep(file->path, file->stamp, image, bytes);
  return image;
}

}  // namespace

std::shared_ptr<Image> Image::imageNamed(std::string_view name, double screenScale) {
  if (name.empty()) return nullptr;
  std::string file(name);
  if (extensionDot(file) == std::string::npos) file += ".png";
  if (screenScale >= 2) {
    if (auto image = namedImage(highResolutionName(file))) return image;
  }
  return namedImage(file);
}

std::shared_ptr<Image> Image::imageWithBitmap(std::shared_ptr<const Bitmap> bitmap, double scale,
                                              ImageOrientation orientation) {
  if (!bitmap || bitmap->isEmpty()) return nullptr;
  std::vector<ImageFrame> frames{ImageFrame{std::move(bitmap), 0}};
  return std::make_shared<Image>(Private{}, std::move(frames), scale, orientation);
}

std::shared_ptr<Image> Image::imageWithBitmap(Bitmap bitmap, double scale, ImageOrientation orientation) {
  return imageWithBitmap(std::make_shared<const Bitmap>(std::move(bitmap)), scale, orientation);
}

std::shared_ptr<Image> Image::imageWithImage(const Image& image, double scale, ImageOrientation orientation) {
  return std::make_shared<Image>(Private{}, image.frames_, scale, orientation);
}

std::shared_ptr<Image> Image::animatedImageWithFrames(std::vector<ImageFrame> frames, double scale) {
  if (frames.empty()) return nullptr;
  for (const ImageFrame& f : frames) {
    if (!f.bitmap || f.bitmap->isEmpty() || f.bitmap->width() != frames.front().bitmap->width() ||
        f.bitmap->height() != frames.front().bitmap->height())
      return nullptr;
  }
  return std::make_shared<Image>(Private{}, std::move(frames), scale, ImageOrientation::Up);
}

std::string Image::highResolutionName(std::string_view name) {
  std::size_t dot = extensionDot(name);
  if (dot == std::string_view::npos) return std::string(name) + "@2x";
  return std::string(name.substr(0, dot)) + "@2x" + std::string(name.substr(dot));
}

double Image::scaleOfFileName(std::string_view path) {
  std::size_t dot = extensionDot(path);
  std::string_view stem = dot == std::string_view::npos ? path : path.substr(0, dot);
  if (stem.ends_with("@2x")) return 2.0;
  if (stem.ends_with("@3x")) return 3.0;
  return 1.0;
}

Size Image::size() const {
  double w = bitmap()->width() / scale_, h = bitmap()->height() / scale_;
  return turnsQuarter(orientation_) ? Size{h, w} : Size{w, h};
}

Bitmap Image::uprightBitmap() const {
  const Bitmap& src = *bitmap();
  if (orientation_ == ImageOrientation::Up) return src;
  const int w = src.width(), h = src.height();
  const bool quarter = turnsQuarter(orientation_);
  Bitmap out = *Bitmap::create(quarter ? h : w, quarter ? w : h, src.hasAlpha());
  for (int y = 0; y < out.height(); ++y) {
    for (int x = 0; x < out.width(); ++x) {
      // The stored pixel that is seen at (x, y).
      int sx = x, sy = y;
      switch (orientation_) {
        case ImageOrientation::Up:
          break;
        case ImageOrientation::Down:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case ImageOrientation::Left:
          sx = w - 1 - y;
          sy = x;
          break;
        case ImageOrientation::Right:
          sx = y;
          sy = h - 1 - x;
          break;
        case ImageOrientation::UpMirrored:
          sx = w - 1 - x;
          break;
        case ImageOrientation::DownMirrored:
          sy = h - 1 - y;
          break;
        case ImageOrientation::LeftMirrored:
          sx = y;
          sy = x;
          break;
        case ImageOrientation::RightMirrored:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
      }
      out.setPixel(x, y, src.pixelAt(sx, sy));
    }
  }
  return out;
}

double Image::duration() const {
  double total = 0;
  for (const ImageFrame& f : frames_) total += f.delay;
  return total;
}

std::shared_ptr<Image> Image::resizableImageWithCapInsets(const EdgeInsets& capInsets) const {
  auto image = std::make_shared<Image>(Private{}, frames_, scale_, orientation_);
  image->resizable_ = true;
  image->capInsets_ = {std::max(capInsets.top, 0.0), std::max(capInsets.left, 0.0),
                       std::max(capInsets.bottom, 0.0), std::max(capInsets.right, 0.0)};
  return image;
}

std::shared_ptr<Image> Image::stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const {
  Size s = size();
  EdgeInsets caps;
  if (leftCapWidth > 0) {
    caps.left = leftCapWidth;
    caps.right = std::max(0.0, s.width - leftCapWidth - 1);
  }
  if (topCapHeight > 0) {
    caps.top = topCapHeight;
    caps.bottom = std::max(0.0, s.height - topCapHeight - 1);
  }
  auto image = resizableImageWithCapInsets(caps);
  image->leftCapWidth_ = std::max(leftCapWidth, 0);
  image->topCapHeight_ = std::max(topCapHeight, 0);
  return image;
}

Data Image::JPEGRepresentation(double quality) const {
  if (orientation_ == ImageOrientation::Up) return ImageCodec::encodeJPEG(*bitmap(), quality);
  return ImageCodec::encodeJPEG(uprightBitmap(), quality);
}

Data Image::PNGRepresentation() const {
  if (orientation_ == ImageOrientation::Up) return ImageCodec::encodePNG(*bitmap());
  return ImageCodec::encodePNG(uprightBitmap());
}

std::string Image::description() const {
  std::ostringstream out;
  Size s = size();
  out << "<Image " << s.width << "x" << s.height;
  if (scale_ != 1.0) out << " @" << scale_ << "x";
  if (orientation_ != ImageOrientation::Up) out << " orientation " << static_cast<int>(orientation_);
  if (frames_.size() > 1) out << " " << frames_.size() << " frames";
  out << ">";
  return out.str();
}

}  // namespace platform
