#include "kit/ui/UICheckBoxView.h"

#include <algorithm>

namespace kavro {

UICheckBoxView::UICheckBoxView(platform::Rect frame)
    : View(frame),
      imageView_(std::make_shared<platform::ImageView>()),
      textLabel_(std::make_shared<platform::Label>()) {
  textLabel_->setBackgroundColor(std::nullopt);
  addSubview(imageView_);
  addSubview(textLabel_);
  refreshUI();
}

void UICheckBoxView::refreshUI() {
  const auto& image = checked_ ? imageChecked_ : imageNotChecked_;
  imageView_->setImage(image);
  const platform::Size own = bounds().size;
  platform::Size size = image ? image->size() : platform::Size{};
  if (size.width > 0 && size.height > 0 && (size.width > own.width || size.height > own.height)) {
    double scale = std::min(own.width / size.width, own.height / size.height);
    size = {size.width * scale, size.height * scale};
  }
  imageView_->setFrame({0, (own.height - size.height) / 2, size.width, size.height});
  const double left = size.width > 0 ? size.width + Gap : 0;
  textLabel_->setFrame({left, 0, std::max(0.0, own.width - left), own.height});
}

}  // namespace kavro
