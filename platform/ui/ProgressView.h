#pragma once
#include <optional>

#include "platform/graphics/Color.h"
#include "platform/ui/View.h"

namespace platform {

enum class ProgressViewStyle { Default = 0, Bar = 1 };

// A progress bar, 9 points high; progress is kept within 0...1.
class ProgressView : public View {
 public:
  explicit ProgressView(ProgressViewStyle style = ProgressViewStyle::Default);

  ProgressViewStyle progressViewStyle() const { return style_; }
  void setProgressViewStyle(ProgressViewStyle s) { style_ = s; }
  double progress() const { return progress_; }
  void setProgress(double p, bool animated = false);
  const std::optional<Color>& progressTintColor() const { return tint_; }
  void setProgressTintColor(std::optional<Color> c) { tint_ = std::move(c); }

  Size sizeThatFits(Size size) const override { return Size{size.width, 9}; }
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  ProgressViewStyle style_;
  double progress_ = 0;
  std::optional<Color> tint_;
};

}  // namespace platform
