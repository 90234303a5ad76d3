#pragma once
#include "platform/ui/GestureRecognizer.h"

namespace platform {

// Recognizes two fingers moving apart or together: Began, Changed with the scale relative to
// the start, Ended.
class PinchGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  double scale() const { return scale_; }
  void setScale(double s) { scale_ = s; }
  double velocity() const { return velocity_; }
  void setVelocity(double v) { velocity_ = v; }

 private:
  double scale_ = 1;
  double velocity_ = 0;
};

}  // namespace platform
