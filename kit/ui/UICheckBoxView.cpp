#include "kit/ui/UICheckBoxView.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<UICheckBoxView> UICheckBoxView::create(Rect frame) {
  std::shared_ptr<UICheckBoxView> box(new UICheckBoxView(frame));
  std::weak_ptr<UICheckBoxView> weak = box;
  box->clickButton_->addTarget(box.get(), platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->buttonClicked();
  });
  return box;
}

UICheckBoxView::UICheckBoxView(Rect frame)
    : platform::View(frame),
      imageView_(std::make_shared<platform::ImageView>()),
      textLabel_(std::make_shared<platform::Label>()),
      clickButton_(platform::Button::buttonWithType(platform::ButtonType::Custom)) {
  setBackgroundColor(platform::Color::clear());
  imageView_->setBackgroundColor(platform::Color::clear());
  imageView_->setContentMode(platform::ContentMode::Center);
  textLabel_->setBackgroundColor(platform::Color::clear());
  textLabel_->setLineBreakMode(platform::LineBreakMode::TailTruncation);
  textLabel_->setNumberOfLines(1);
  textLabel_->setTextAlignment(platform::TextAlignment::Left);
  clickButton_->setBackgroundColor(platform::Color::clear());
  clickButton_->setTitle(std::string());
  addSubview(imageView_);
  addSubview(textLabel_);
  addSubview(clickButton_);
  ready_ = true;
  refreshUI();
}

void UICheckBoxView::setFrame(Rect frame) {
  platform::View::setFrame(frame);
  if (ready_) refreshUI();
}

void UICheckBoxView::setChecked(bool checked) {
  // Rows set their tick on every bind; new pictures come with their own refreshUI().
  if (checked == checked_) return;
  checked_ = checked;
  refreshUI();
}

void UICheckBoxView::buttonClicked() {
  setChecked(!checked_);
  if (auto d = delegate_.lock()) d->checkBox(*this);
}

void UICheckBoxView::refreshUI() {
  double W = frame().size.width, H = frame().size.height;
  const auto& image = checked_ ? imageChecked_ : imageNotChecked_;
  platform::Size size = image ? image->size() : platform::Size{0, 0};
  Shown now{W, H, image.get(), size};
  if (now == shown_) return;
  shown_ = now;
  double iw = size.width, ih = size.height;
  if (ih > H && ih > 0) {
    iw *= H / ih;
    ih = H;
  }
  if (iw > W && iw > 0) {
    ih *= W / iw;
    iw = W;
  }
  imageView_->setImage(image);
  imageView_->setFrame(Rect(0, (H - ih) / 2, iw, ih));
  textLabel_->setFrame(Rect(iw + 5, 0, W - iw - 5, H));
  clickButton_->setFrame(Rect(0, 0, W, H));
}

}  // namespace kavro
