#include "mapsdk/display/TapDetectingView.h"

namespace mapsdk {

TapDetectingView::TapDetectingView(platform::Rect frame) : platform::View(frame) {
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
}

std::shared_ptr<TapDetectingView> TapDetectingView::create(platform::Rect frame) {
  auto view = std::make_shared<TapDetectingView>(frame);
  view->attachRecognizers();
  return view;
}

void TapDetectingView::attachRecognizers() {
  using platform::GestureRecognizer;
  using platform::GestureRecognizerState;
  auto report = [this](bool (TapDetectingViewDelegate::*method)(TapDetectingView&, platform::Point)) {
    return [this, method](GestureRecognizer& g) {
      if (g.state() != GestureRecognizerState::Ended || !delegate_) return;
      platform::Point p = g.locationInView(this);
      (delegate_->*method)(*this, p);
      delegate_->tapDetectingViewEndTouch(*this, p);
    };
  };
  double_ = std::make_shared<platform::TapGestureRecognizer>(
      report(&TapDetectingViewDelegate::tapDetectingViewGotDoubleTap));
  double_->setNumberOfTapsRequired(2);
  twoFinger_ = std::make_shared<platform::TapGestureRecognizer>(
      report(&TapDetectingViewDelegate::tapDetectingViewGotTwoFingerTap));
  twoFinger_->setNumberOfTouchesRequired(2);
  single_ = std::make_shared<platform::TapGestureRecognizer>(
      report(&TapDetectingViewDelegate::tapDetectingViewGotSingleTap));
  single_->requireGestureRecognizerToFail(double_);
  addGestureRecognizer(single_);
  addGestureRecognizer(double_);
  addGestureRecognizer(twoFinger_);
}

}  // namespace mapsdk
