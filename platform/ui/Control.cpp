#include "platform/ui/Control.h"

#include <algorithm>

namespace platform {

Control::Control(Rect frame) : View(frame) {}

unsigned Control::state() const {
  unsigned s = ControlState::Normal;
  if (highlighted_) s |= ControlState::Highlighted;
  if (!enabled_) s |= ControlState::Disabled;
  if (selected_) s |= ControlState::Selected;
  return s;
}

void Control::addTarget(const void* target, unsigned events, Action action) {
  if (!action || events == 0) return;
  actions_.push_back({target, events, std::move(action)});
}

void Control::removeTarget(const void* target, unsigned events, bool allTargets) {
  for (auto it = actions_.begin(); it != actions_.end();) {
    if (allTargets || it->target == target) {
      it->events &= ~events;
      if (it->events == 0) {
        it = actions_.erase(it);
        continue;
      }
    }
    ++it;
  }
}

unsigned Control::allControlEvents() const {
  unsigned e = 0;
  for (auto& r : actions_) e |= r.events;
  return e;
}

void Control::sendActionsForControlEvents(unsigned events) {
  auto self = std::static_pointer_cast<Control>(shared_from_this());
  // Actions may add or remove registrations; the ones present now run.
  std::vector<Action> run;
  for (auto& r : actions_)
    if (r.events & events) run.push_back(r.action);
  for (auto& a : run) a(*this);
}

void Control::touchesBegan(const Touch& t) {
  if (!enabled_) return View::touchesBegan(t);
  tracking_ = true;
  setHighlighted(true);
  sendActionsForControlEvents(t.tapCount() > 1 ? ControlEvent::TouchDown | ControlEvent::TouchDownRepeat
                                               : ControlEvent::TouchDown);
}

void Control::touchesMoved(const Touch& t) {
  if (!tracking_) return View::touchesMoved(t);
  bool inside = pointInside(t.locationInView(this));
  setHighlighted(inside);
  sendActionsForControlEvents(inside ? ControlEvent::TouchDragInside : ControlEvent::TouchDragOutside);
}

void Control::touchesEnded(const Touch& t) {
  if (!tracking_) return View::touchesEnded(t);
  auto self = std::static_pointer_cast<Control>(shared_from_this());
  tracking_ = false;
  setHighlighted(false);
  if (pointInside(t.locationInView(this))) {
    sendActionsForControlEvents(ControlEvent::TouchUpInside);
    touchUpInside(t);
  } else {
    sendActionsForControlEvents(ControlEvent::TouchUpOutside);
  }
}

void Control::touchesCancelled(const Touch& t) {
  if (!tracking_) return View::touchesCancelled(t);
  tracking_ = false;
  setHighlighted(false);
  sendActionsForControlEvents(ControlEvent::TouchCancel);
}

void Control::describeProperties(std::vector<std::string>& out) const {
  if (!enabled_) out.push_back("disabled");
  if (selected_) out.push_back("selected");
  View::describeProperties(out);
}

}  // namespace platform
