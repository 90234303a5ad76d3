#pragma once
#include "platform/ui/GestureRecognizer.h"

namespace platform {

// Recognizes a finger held at least minimumPressDuration seconds (Began, then Ended on release).
class LongPressGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  double minimumPressDuration() const { return duration_; }
  void setMinimumPressDuration(double d) { duration_ = d; }
  int numberOfTouchesRequired() const { return touches_; }
  void setNumberOfTouchesRequired(int n) { touches_ = n; }
  double allowableMovement() const { return movement_; }
  void setAllowableMovement(double m) { movement_ = m; }

 private:
  double duration_ = 0.5;
  int touches_ = 1;
  double movement_ = 10;
};

}  // namespace platform
