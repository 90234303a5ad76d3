#pragma once
#include <functional>
#include <memory>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/View.h"

// Measuring a view, finding views up and down the tree, tap handling. A null view measures 0.
namespace kavro::view {

double getHeight(const platform::View* v);
double getWidth(const platform::View* v);
double getTop(const platform::View* v);
double getLeft(const platform::View* v);

// The nearest ancestor (never v itself) of type T; null when none.
template <class T>
std::shared_ptr<T> parentViewWithClass(const platform::View& v) {
  for (auto p = v.superview(); p; p = p->superview())
    if (auto hit = std::dynamic_pointer_cast<T>(p)) return hit;
  return nullptr;
}

// The first direct subview of type T; deeper views are not searched.
template <class T>
std::shared_ptr<T> findSubViewWithClass(const platform::View& v) {
  for (const auto& sub : v.subviews())
    if (auto hit = std::dynamic_pointer_cast<T>(sub)) return hit;
  return nullptr;
}

// Turns user interaction on and attaches a single-tap recognizer that sends the action; the
// target becomes the recognizer's delegate too. The view owns the recognizer.
std::shared_ptr<platform::TapGestureRecognizer> setTapGesture(
    platform::View& v, std::weak_ptr<platform::GestureRecognizerDelegate> target,
    platform::GestureRecognizer::Action action);

}  // namespace kavro::view
