#include "mapsdk/display/TapDetectingView.h"

#include <algorithm>

#include "platform/ui/Responder.h"

namespace mapsdk {

using platform::Point;
using platform::RunLoop;

namespace {

Point midpoint(Point a, Point b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

}  // namespace

TapDetectingView::TapDetectingView(platform::Rect frame) : platform::View(frame) {
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
}

std::shared_ptr<TapDetectingView> TapDetectingView::create(platform::Rect frame) {
  return std::shared_ptr<TapDetectingView>(new TapDetectingView(frame));
}

TapDetectingView::~TapDetectingView() {
  destroyLongPressTimer();
  RunLoop::main().cancelPerforms(this);
}

void TapDetectingView::initLongPressTimer() {
  destroyLongPressTimer();
  fireLongPressTimer_ = false;
  std::weak_ptr<TapDetectingView> weak = weakAs<TapDetectingView>();
  longPressTimer_ = RunLoop::main().scheduleTimer(
      kLongPressSeconds, false,
      [weak](platform::Timer&) {
        if (auto self = weak.lock()) self->handleLongPress();
      },
      platform::DefaultRunLoopMode);
}

void TapDetectingView::destroyLongPressTimer() {
  if (!longPressTimer_) return;
  longPressTimer_->invalidate();
  longPressTimer_.reset();
}

void TapDetectingView::report(Report method) {
  if (delegate_) (delegate_->*method)(*this, tapLocation_);
}

void TapDetectingView::handleLongPress() {
  fireLongPressTimer_ = true;
  report(&TapDetectingViewDelegate::tapDetectingViewGotLongPress);
}

void TapDetectingView::forget(const platform::Touch& touch) {
  touches_.erase(std::remove(touches_.begin(), touches_.end(), &touch), touches_.end());
}

void TapDetectingView::touchesBegan(const platform::Touch& touch) {
  RunLoop::main().cancelPerforms(this);
  if (std::find(touches_.begin(), touches_.end(), &touch) == touches_.end()) touches_.push_back(&touch);
  const std::size_t m = touches_.size();
  if (m > 1) multipleTouches_ = true;
  if (m > 2) twoFingerTapIsPossible_ = false;
  if (m == 1) {
    tapLocation_ = touch.locationInView(this);
    initLongPressTimer();
    report(&TapDetectingViewDelegate::tapDetectingViewBeginTouch);
  }
}

void TapDetectingView::touchesMoved(const platform::Touch& touch) {
  if (touches_.size() != 1) return;
  tapLocation_ = touch.locationInView(this);
  report(&TapDetectingViewDelegate::tapDetectingViewMoveTouch);
}

void TapDetectingView::touchesEnded(const platform::Touch& touch) {
  // The platform ends one finger a call (n = 1); m counts it with those still down.
  const std::size_t m = std::max<std::size_t>(touches_.size(), 1);
  const std::size_t n = 1;
  auto keep = weak_from_this().lock();
  destroyLongPressTimer();
  report(&TapDetectingViewDelegate::tapDetectingViewEndTouch);
  const Point location = touch.locationInView(this);
  if (!multipleTouches_) {
    tapLocation_ = location;
    switch (touch.tapCount()) {
      case 1: {
        std::weak_ptr<TapDetectingView> weak = weakAs<TapDetectingView>();
        RunLoop::main().performAfter(kSingleTapDelay, this, [weak] {
          if (auto self = weak.lock()) self->report(&TapDetectingViewDelegate::tapDetectingViewGotSingleTap);
        });
        break;
      }
      case 2:
        report(&TapDetectingViewDelegate::tapDetectingViewGotDoubleTap);
        break;
      default:
        if (!fireLongPressTimer_) report(&TapDetectingViewDelegate::tapDetectingViewGotNormalPress);
        break;
    }
  } else if (twoFingerTapIsPossible_) {
    if (n < m) {
      // The first of two fingers lifted: remembered for the midpoint.
      if (touch.tapCount() == 1)
        tapLocation_ = location;
      else
        twoFingerTapIsPossible_ = false;
    } else if (touch.tapCount() == 1) {
      tapLocation_ = midpoint(tapLocation_, location);
      report(&TapDetectingViewDelegate::tapDetectingViewGotTwoFingerTap);
    }
  }
  forget(touch);
  if (n == m) {
    twoFingerTapIsPossible_ = true;
    multipleTouches_ = false;
  }
}

void TapDetectingView::touchesCancelled(const platform::Touch& touch) {
  // A running long-press timer is left to fire or to be stopped by the next touch or drag.
  forget(touch);
  twoFingerTapIsPossible_ = true;
  multipleTouches_ = false;
}

}  // namespace mapsdk
