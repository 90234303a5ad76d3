#pragma once
#include "platform/ui/GestureRecognizer.h"

namespace platform {

// The platform's values (bit mask).
namespace SwipeDirection {
inline constexpr unsigned Right = 1, Left = 2, Up = 4, Down = 8;
}

// Recognizes a quick stroke in one of the directions of its mask (Right by default).
class SwipeGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  unsigned direction() const { return direction_; }
  void setDirection(unsigned d) { direction_ = d; }
  int numberOfTouchesRequired() const { return touches_; }
  void setNumberOfTouchesRequired(int n) { touches_ = n; }

 private:
  unsigned direction_ = SwipeDirection::Right;
  int touches_ = 1;
};

}  // namespace platform
