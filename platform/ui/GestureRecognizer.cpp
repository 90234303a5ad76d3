#include "platform/ui/GestureRecognizer.h"

#include <algorithm>

#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/View.h"

namespace platform {

GestureRecognizer::GestureRecognizer(Action action) {
  if (action) actions_.push_back({nullptr, std::move(action)});
}

GestureRecognizer::~GestureRecognizer() = default;

void GestureRecognizer::addTarget(const void* target, Action action) {
  if (action) actions_.push_back({target, std::move(action)});
}

void GestureRecognizer::removeTarget(const void* target) {
  actions_.erase(
      std::remove_if(actions_.begin(), actions_.end(), [&](auto& r) { return r.target == target; }),
      actions_.end());
}

Point GestureRecognizer::locationInView(const View* v) const {
  // Window coordinates are those of the root of v's tree.
  return v ? v->convertPointFromView(location_, nullptr) : location_;
}

void GestureRecognizer::setLocation(Point inWindow, std::size_t touches) {
  location_ = inWindow;
  touches_ = touches;
}

void GestureRecognizer::setState(GestureRecognizerState s) {
  state_ = s;
  if (s == GestureRecognizerState::Possible || s == GestureRecognizerState::Failed) return;
  auto self = shared_from_this();
  std::vector<Action> run;
  for (auto& r : actions_) run.push_back(r.action);
  for (auto& a : run) a(*this);
}

Point PanGestureRecognizer::translationInView(const View* v) const {
  if (!v) return translation_;
  Point a = v->convertPointFromView({0, 0}, nullptr), b = v->convertPointFromView(translation_, nullptr);
  return {b.x - a.x, b.y - a.y};
}

void PanGestureRecognizer::setTranslation(Point t, const View* v) {
  if (!v) {
    translation_ = t;
    return;
  }
  Point a = v->convertPointToView({0, 0}, nullptr), b = v->convertPointToView(t, nullptr);
  translation_ = {b.x - a.x, b.y - a.y};
}

}  // namespace platform
