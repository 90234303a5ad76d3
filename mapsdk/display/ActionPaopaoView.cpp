#include "mapsdk/display/ActionPaopaoView.h"

#include <algorithm>
#include <cmath>

namespace mapsdk {

using platform::Rect;

namespace {

// What a side view takes of the body's room: up to 32 points and a 3-point gap.
double allowance(const std::shared_ptr<platform::View>& side) {
  return side ? std::min(32.0, side->frame().width()) + 3 : 0;
}

}  // namespace

ActionPaopaoView::ActionPaopaoView(std::shared_ptr<platform::View> leftView,
                                   std::shared_ptr<platform::View> rightView) {
  double widths = 0;
  for (auto* side : {&leftView, &rightView}) {
    if (!*side) continue;
    addSubview(*side);
    widths += (*side)->frame().width();
  }
  leftView_ = leftView;
  rightView_ = rightView;
  sideWidths_ = static_cast<int>(std::clamp(widths, -1e9, 1e9));
}

std::shared_ptr<ActionPaopaoView> ActionPaopaoView::create(std::shared_ptr<platform::View> leftView,
                                                           std::shared_ptr<platform::View> rightView) {
  auto view =
      std::shared_ptr<ActionPaopaoView>(new ActionPaopaoView(std::move(leftView), std::move(rightView)));
  view->wireBody();
  return view;
}

ActionPaopaoView::~ActionPaopaoView() {
  for (const auto& weak : {leftView_, rightView_})
    if (auto side = weak.lock(); side && side->superviewPointer() == this) side->removeFromSuperview();
}

void ActionPaopaoView::setText(const std::optional<std::string>& text,
                               const std::optional<std::string>& detailText) {
  auto left = leftView_.lock(), right = rightView_.lock();
  double l = allowance(left), r = allowance(right);
  paopaoButton()->setMaxWidth(300 - sideWidths_ - l - r);
  paopaoButton()->setText(text, detailText);
  adjustLeftRightPaopaos(l, r);
}

void ActionPaopaoView::adjustLeftRightPaopaos(double leftWidth, double rightWidth) {
  Rect body = paopaoButton()->frame(), f = frame();
  double height = body.height();
  setFrame(Rect(f.x(), f.y(), body.width() + leftWidth + rightWidth, height));
  if (auto left = leftView_.lock()) {
    Rect s = left->frame();
    left->setFrame(Rect(6, std::floor((height - s.height()) * 0.5), s.width(), s.height()));
  }
  if (auto right = rightView_.lock()) {
    Rect s = right->frame();
    right->setFrame(
        Rect(body.width() + leftWidth - 3, std::floor((height - s.height()) * 0.5), s.width(), s.height()));
  }
  paopaoButton()->setFrame(Rect(0, 0, body.width(), body.height()));
  paopaoButton()->adjustPaopaoForWidth(frame().width(), leftWidth);
}

}  // namespace mapsdk
