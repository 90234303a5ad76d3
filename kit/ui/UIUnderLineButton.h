#pragma once
#include <memory>

#include "platform/ui/Button.h"

namespace kavro {

// A button that draws a line under its title, used like a text link. The line runs under the
// title label's frame on the font's baseline, in the label's text colour.
class UIUnderLineButton : public platform::Button {
 public:
  static std::shared_ptr<UIUnderLineButton> underlinedButton();

  struct Line {
    platform::Point from;
    platform::Point to;
    platform::Color color;
  };
  // The stroke drawRect makes, for the current layout.
  Line underline();
  // The font's descender (negative): what lies below the baseline within a line of the metric.
  static double descender(const platform::Font& font);

 protected:
  explicit UIUnderLineButton(platform::Rect frame = {});
};

}  // namespace kavro
