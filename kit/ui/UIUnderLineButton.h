#pragma once
#include <memory>

#include "platform/ui/Button.h"

namespace kavro {

// A button that draws a line under its title, used like a text link. The line runs under the
// title label's frame on the font's baseline, one point thick, in the label's text colour (so it
// follows the state); without a title there is none.
class UIUnderLineButton : public platform::Button {
 public:
  static std::shared_ptr<UIUnderLineButton> underlinedButton();

  struct Line {
    platform::Point from;
    platform::Point to;
    platform::Color color;
  };
  // The line drawn, for the current layout (laid out first).
  Line underline();
  // The font's descender (negative): what lies below the baseline within a line of the metric.
  static double descender(const platform::Font& font);

  void layoutSubviews() override;

 protected:
  explicit UIUnderLineButton(platform::Rect frame = {});

 private:
  Line lineUnderTitle() const;

  // Buttons draw nothing of their own beyond their parts, so the line is a view of its own.
  std::shared_ptr<platform::View> line_;
};

}  // namespace kavro
