#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Control.h"

namespace platform {

// The platform's values.
enum class SegmentedControlStyle { Plain = 0, Bordered = 1, Bar = 2, Bezeled = 3 };

// A row of segments (titles or images), each a button subview of equal width unless given one.
// A tap on an enabled segment selects it and sends ValueChanged (a momentary control forgets the
// selection again after the actions ran). NoSegment (-1) when nothing is selected.
class SegmentedControl : public Control {
 public:
  static constexpr int NoSegment = -1;

  explicit SegmentedControl(std::vector<std::string> titles = {});

  int numberOfSegments() const { return int(segments_.size()); }
  int selectedSegmentIndex() const { return selected_; }
  // No ValueChanged.
  void setSelectedSegmentIndex(int index);
  bool isMomentary() const { return momentary_; }
  void setMomentary(bool m) { momentary_ = m; }
  SegmentedControlStyle segmentedControlStyle() const { return style_; }
  void setSegmentedControlStyle(SegmentedControlStyle s) { style_ = s; }
  const std::optional<Color>& tintColor() const { return tint_; }
  void setTintColor(std::optional<Color> c) { tint_ = std::move(c); }

  void insertSegmentWithTitle(std::string title, int index, bool animated = false);
  void insertSegmentWithImage(std::shared_ptr<Image> image, int index, bool animated = false);
  void removeSegmentAtIndex(int index, bool animated = false);
  void removeAllSegments();
  void setTitle(std::string title, int segment);
  std::string titleForSegmentAtIndex(int segment) const;
  void setImage(std::shared_ptr<Image> image, int segment);
  std::shared_ptr<Image> imageForSegmentAtIndex(int segment) const;
  void setEnabled(bool enabled, int segment);
  bool isEnabledForSegmentAtIndex(int segment) const;
  void setWidth(double width, int segment);
  double widthForSegmentAtIndex(int segment) const;
  using Control::setEnabled;

  // A tap on a segment, as a person does it (false for a disabled one).
  bool tapSegment(int segment);

  void layoutSubviews() override;
  Size sizeThatFits(Size size) const override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  struct Segment {
    std::string title;
    std::shared_ptr<Image> image;
    bool enabled = true;
    double width = 0;
  };
  std::vector<Segment> segments_;
  int selected_ = NoSegment;
  bool momentary_ = false;
  SegmentedControlStyle style_ = SegmentedControlStyle::Plain;
  std::optional<Color> tint_;
};

}  // namespace platform
