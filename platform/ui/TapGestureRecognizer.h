#pragma once
#include "platform/ui/GestureRecognizer.h"

namespace platform {

// Recognizes taps of numberOfTapsRequired taps with numberOfTouchesRequired fingers.
class TapGestureRecognizer : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  int numberOfTapsRequired() const { return taps_; }
  void setNumberOfTapsRequired(int n) { taps_ = n; }
  int numberOfTouchesRequired() const { return touches_; }
  void setNumberOfTouchesRequired(int n) { touches_ = n; }

 private:
  int taps_ = 1;
  int touches_ = 1;
};

}  // namespace platform
