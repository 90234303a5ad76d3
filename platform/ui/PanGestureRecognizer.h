#pragma once
#include "platform/ui/GestureRecognizer.h"

namespace platform {

// Recognizes a drag: Began, Changed while the finger moves, Ended; the translation is measured
// from where the drag began.
class PanGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::size_t minimumNumberOfTouches() const { return minTouches_; }
  void setMinimumNumberOfTouches(std::size_t n) { minTouches_ = n; }
  std::size_t maximumNumberOfTouches() const { return maxTouches_; }
  void setMaximumNumberOfTouches(std::size_t n) { maxTouches_ = n; }
  // In v's coordinate system (only its scale and rotation matter; the window's for null).
  Point translationInView(const View* v) const;
  void setTranslation(Point translation, const View* v);
  Point velocityInView(const View* v) const { return velocity_; }
  void setVelocity(Point v) { velocity_ = v; }

 private:
  std::size_t minTouches_ = 1;
  std::size_t maxTouches_ = SIZE_MAX;
  Point translation_;  // window coordinates
  Point velocity_;
};

}  // namespace platform
