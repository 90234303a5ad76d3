#pragma once
#include <memory>

#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/View.h"

namespace mapsdk {

class TapDetectingView;

// What the tap-detecting view reports; every method optional (false: not implemented).
class TapDetectingViewDelegate {
 public:
  virtual ~TapDetectingViewDelegate() = default;
  virtual bool tapDetectingViewGotSingleTap(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewGotDoubleTap(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewGotTwoFingerTap(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewEndTouch(TapDetectingView&, platform::Point) { return false; }
};

// The map's content view: tells its delegate of single, double and two-finger taps, which the
// platform's tap recognisers find (a single tap only when it was not the start of a double tap).
// Points are in the view's own coordinates. Main thread.
class TapDetectingView : public platform::View {
 public:
  static std::shared_ptr<TapDetectingView> create(platform::Rect frame);
  explicit TapDetectingView(platform::Rect frame);

  void setDelegate(TapDetectingViewDelegate* delegate) { delegate_ = delegate; }
  TapDetectingViewDelegate* delegate() const { return delegate_; }
  // A drag began: nothing is pending here (long presses are not told).
  void notifyDrag() {}

  const std::shared_ptr<platform::TapGestureRecognizer>& singleTapRecognizer() const { return single_; }
  const std::shared_ptr<platform::TapGestureRecognizer>& doubleTapRecognizer() const { return double_; }
  const std::shared_ptr<platform::TapGestureRecognizer>& twoFingerTapRecognizer() const { return twoFinger_; }

 private:
  void attachRecognizers();
  TapDetectingViewDelegate* delegate_ = nullptr;
  std::shared_ptr<platform::TapGestureRecognizer> single_;
  std::shared_ptr<platform::TapGestureRecognizer> double_;
  std::shared_ptr<platform::TapGestureRecognizer> twoFinger_;
};

}  // namespace mapsdk
