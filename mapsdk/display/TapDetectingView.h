#pragma once
#include <memory>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/View.h"

namespace mapsdk {

class TapDetectingView;

// What the tap-detecting view reports, each with the touch position in the view's own
// coordinates; every method optional (false: not implemented).
class TapDetectingViewDelegate {
 public:
  virtual ~TapDetectingViewDelegate() = default;
  virtual bool tapDetectingViewGotSingleTap(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewGotDoubleTap(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewGotTwoFingerTap(TapDetectingView&, platform::Point) { return false; }
  // A finger lifted after a press that was no tap (held, or moved).
  virtual bool tapDetectingViewGotNormalPress(TapDetectingView&, platform::Point) { return false; }
  // One finger held still for a second.
  virtual bool tapDetectingViewGotLongPress(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewBeginTouch(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewMoveTouch(TapDetectingView&, platform::Point) { return false; }
  virtual bool tapDetectingViewEndTouch(TapDetectingView&, platform::Point) { return false; }
};

// The map's content view: classifies the touches that reach it into single, double and
// two-finger taps, long presses and other presses. A single tap is told only after a short wait
// that a second tap cancels, so a double tap never also counts as a single one. The long press
// and the single tap wait on the main run loop. Main thread.
class TapDetectingView : public platform::View {
 public:
  static constexpr double kLongPressSeconds = 1.0;
  static constexpr double kSingleTapDelay = 0.35;

  static std::shared_ptr<TapDetectingView> create(platform::Rect frame);
  ~TapDetectingView() override;

  void setDelegate(TapDetectingViewDelegate* delegate) { delegate_ = delegate; }
  TapDetectingViewDelegate* delegate() const { return delegate_; }

  // A scroll or zoom step of the map: a finger that moves the map is no long press.
  void notifyDrag() { destroyLongPressTimer(); }
  void notifyZoom() { destroyLongPressTimer(); }

  void touchesBegan(const platform::Touch& touch) override;
  void touchesMoved(const platform::Touch& touch) override;
  void touchesEnded(const platform::Touch& touch) override;
  void touchesCancelled(const platform::Touch& touch) override;

 private:
  explicit TapDetectingView(platform::Rect frame);
  void initLongPressTimer();
  void destroyLongPressTimer();
  using Report = bool (TapDetectingViewDelegate::*)(TapDetectingView&, platform::Point);
  // Tells the delegate, with the position of the current touch.
  void report(Report method);
  void handleLongPress();
  void forget(const platform::Touch& touch);

  TapDetectingViewDelegate* delegate_ = nullptr;
  std::shared_ptr<platform::Timer> longPressTimer_;
  bool fireLongPressTimer_ = false;
  platform::Point tapLocation_;
  bool multipleTouches_ = false;
  bool twoFingerTapIsPossible_ = true;
  // The fingers down on this view: the platform hands touches over one at a time.
  std::vector<const platform::Touch*> touches_;
};

}  // namespace mapsdk
