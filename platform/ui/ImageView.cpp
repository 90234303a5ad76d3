#include "platform/ui/ImageView.h"

#include "platform/ui/ViewDescription.h"

namespace platform {

ImageView::ImageView(Rect frame) : View(frame) { setUserInteractionEnabled(false); }

ImageView::ImageView(std::shared_ptr<Image> image)
    : View(Rect(Point{}, image ? image->size() : Size{})), image_(std::move(image)) {
  setUserInteractionEnabled(false);
}

std::shared_ptr<Image> ImageView::currentImage() const {
  if (highlighted_ && highlightedImage_) return highlightedImage_;
  return image_;
}

Size ImageView::sizeThatFits(Size) const {
  auto img = currentImage();
  return img ? img->size() : Size{};
}

void ImageView::describeProperties(std::vector<std::string>& out) const {
  if (auto img = currentImage()) {
    Size s = img->size();
    out.push_back("image=" + formatNumber(s.width) + "x" + formatNumber(s.height));
  }
  View::describeProperties(out);
  // Taking no touches is what these views do by default: not worth a word.
  std::erase(out, std::string("no-touch"));
}

}  // namespace platform
