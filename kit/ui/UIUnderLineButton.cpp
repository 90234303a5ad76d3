#include "kit/ui/UIUnderLineButton.h"

#include "platform/ui/TextMetrics.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<UIUnderLineButton> UIUnderLineButton::underlinedButton() {
  return std::shared_ptr<UIUnderLineButton>(new UIUnderLineButton());
}

UIUnderLineButton::UIUnderLineButton(Rect frame) : platform::Button(platform::ButtonType::Custom, frame) {}

double UIUnderLineButton::descender(const platform::Font& font) {
  return font.pointSize() - platform::TextMetrics::lineHeight(font);
}

UIUnderLineButton::Line UIUnderLineButton::underline() {
  layoutIfNeeded();
  return lineUnderTitle();
}

UIUnderLineButton::Line UIUnderLineButton::lineUnderTitle() const {
  const auto& label = titleLabel();
  Rect f = label->frame();
  double y = f.origin.y + f.size.height + descender(label->font());
  return Line{{f.origin.x, y}, {f.origin.x + f.size.width, y}, label->textColor()};
}

void UIUnderLineButton::layoutSubviews() {
  platform::Button::layoutSubviews();
  // The title label is in the tree only while there is a title.
  if (titleLabel()->superviewPointer() != this) {
    if (line_) line_->removeFromSuperview();
    return;
  }
  if (!line_) {
    line_ = std::make_shared<platform::View>();
    line_->setUserInteractionEnabled(false);
  }
  Line line = lineUnderTitle();
  line_->setFrame(Rect(line.from.x, line.from.y, line.to.x - line.from.x, 1));
  line_->setBackgroundColor(line.color);
  if (line_->superviewPointer() != this) addSubview(line_);
}

}  // namespace kavro
