#pragma once
#include <optional>

#include "platform/graphics/Color.h"
#include "platform/ui/View.h"

namespace platform {

// The platform's values.
enum class ActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2 };

// A spinner: 37 x 37 points in the large style, 20 x 20 otherwise. It hides itself while stopped
// when hidesWhenStopped (the default).
class ActivityIndicatorView : public View {
 public:
  explicit ActivityIndicatorView(ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::White);

  ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
  // Resizes to the style's size, keeping the centre.
  void setActivityIndicatorViewStyle(ActivityIndicatorViewStyle s);
  const std::optional<Color>& color() const { return color_; }
  void setColor(std::optional<Color> c) { color_ = std::move(c); }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool h);
  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return animating_; }

  static Size sizeForStyle(ActivityIndicatorViewStyle s) {
    return s == ActivityIndicatorViewStyle::WhiteLarge ? Size{37, 37} : Size{20, 20};
  }
  Size sizeThatFits(Size) const override { return sizeForStyle(style_); }
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  ActivityIndicatorViewStyle style_;
  std::optional<Color> color_;
  bool hidesWhenStopped_ = true;
  bool animating_ = false;
};

}  // namespace platform
