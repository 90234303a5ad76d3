#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/View.h"

namespace platform {

// A bar of items, 44 points high. Layout: the items from the left, 6 points from the edges and
// 6 points apart, each vertically centred; fixed spaces take their width, flexible spaces share
// what is left equally. Custom views keep their place in the bar across layouts.
class Toolbar : public View {
 public:
  static constexpr double Height = 44;

  explicit Toolbar(Rect frame = {});

  const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);
  BarStyle barStyle() const { return barStyle_; }
  void setBarStyle(BarStyle s) { barStyle_ = s; }
  const std::optional<Color>& tintColor() const { return tint_; }
  void setTintColor(std::optional<Color> c) { tint_ = std::move(c); }
  bool isTranslucent() const { return translucent_; }
  void setTranslucent(bool t) { translucent_ = t; }

  void layoutSubviews() override;
  Size sizeThatFits(Size size) const override { return Size{size.width, Height}; }

 private:
  std::vector<std::shared_ptr<BarButtonItem>> items_;
  BarStyle barStyle_ = BarStyle::Default;
  std::optional<Color> tint_;
  bool translucent_ = false;
};

}  // namespace platform
