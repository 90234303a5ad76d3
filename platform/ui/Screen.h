#pragma once
#include "platform/graphics/Geometry.h"

namespace platform {

// The display: 320 x 480 points at scale 2 unless a test or the runner sets another size or
// scale. Main thread only.
class Screen {
 public:
  static Screen& mainScreen();

  Rect bounds() const { return Rect(0, 0, size_.width, size_.height); }
  double scale() const { return scale_; }
  // The bounds less the status bar when the application shows it.
  Rect applicationFrame() const;

  void setSize(Size size) { size_ = size; }
  void setScale(double scale) { scale_ = scale; }
  // Back to 320 x 480 at scale 2.
  void reset() {
    size_ = {320, 480};
    scale_ = 2;
  }

 private:
  Size size_{320, 480};
  double scale_ = 2;
};

}  // namespace platform
