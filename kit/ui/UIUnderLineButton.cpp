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
  const auto& label = titleLabel();
  Rect f = label->frame();
  double y = f.origin.y + f.size.height + descender(label->font());
  return Line{{f.origin.x, y}, {f.origin.x + f.size.width, y}, label->textColor()};
}

}  // namespace kavro
