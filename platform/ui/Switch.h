#pragma once
#include <optional>

#include "platform/graphics/Color.h"
#include "platform/ui/Control.h"

namespace platform {

// An on/off switch, 79 x 27 points. A tap flips it and sends ValueChanged; setOn does not.
class Switch : public Control {
 public:
  explicit Switch(Rect frame = {});

  bool isOn() const { return on_; }
  void setOn(bool on, bool animated = false) { on_ = on; }
  const std::optional<Color>& onTintColor() const { return onTint_; }
  void setOnTintColor(std::optional<Color> c) { onTint_ = std::move(c); }

  Size sizeThatFits(Size) const override { return Size{79, 27}; }
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  void touchUpInside(const Touch& t) override;

 private:
  bool on_ = false;
  std::optional<Color> onTint_;
};

}  // namespace platform
