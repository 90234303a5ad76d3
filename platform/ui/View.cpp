#include "platform/ui/View.h"

#include <cxxabi.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <typeinfo>

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/ViewDescription.h"
#include "platform/ui/Window.h"

namespace platform {

// ---------------------------------------------------------------------------------------------
// Touch and Responder

Point Touch::locationInView(const View* v) const {
  return v ? v->convertPointFromView(location_, window_.get()) : location_;
}

Point Touch::previousLocationInView(const View* v) const {
  return v ? v->convertPointFromView(previous_, window_.get()) : previous_;
}

void Responder::touchesBegan(const Touch& t) {
  if (Responder* n = nextResponder()) n->touchesBegan(t);
}
void Responder::touchesMoved(const Touch& t) {
  if (Responder* n = nextResponder()) n->touchesMoved(t);
}
void Responder::touchesEnded(const Touch& t) {
  if (Responder* n = nextResponder()) n->touchesEnded(t);
}
void Responder::touchesCancelled(const Touch& t) {
  if (Responder* n = nextResponder()) n->touchesCancelled(t);
}

// ---------------------------------------------------------------------------------------------
// Animations

namespace {

// Calls fn on each of the views of the moment, which fn may add to or remove from: it walks a copy,
// kept on the stack when short (layout and window moves walk every view).
template <typename Fn>
void forEachHeld(const std::vector<std::shared_ptr<View>>& views, Fn&& fn) {
  constexpr std::size_t OnStack = 8;
  const std::size_t n = views.size();
  if (n == 0) return;
  if (n <= OnStack) {
    // Only the slots in use are made and destroyed: most views have few or no children.
    union Slots {
      Slots() {}
      ~Slots() {}
      std::shared_ptr<View> held[OnStack];
    } slots;
    std::uninitialized_copy_n(views.begin(), n, slots.held);
    struct Release {
      std::shared_ptr<View>* held;
      std::size_t n;
      ~Release() { std::destroy_n(held, n); }
    } release{slots.held, n};
    for (std::size_t i = 0; i < n; ++i) fn(*slots.held[i]);
    return;
  }
  const std::vector<std::shared_ptr<View>> held = views;
  for (const auto& view : held) fn(*view);
}

struct AnimationRecord {
  bool interrupted = false;
};

std::shared_ptr<AnimationRecord>& currentAnimation() {
  static std::shared_ptr<AnimationRecord> current;
  return current;
}

// The running animation of each (view, property); only views animated at least once appear.
// Never destroyed: views owned by other static objects still look here when they go at exit.
std::map<std::pair<const View*, int>, std::weak_ptr<AnimationRecord>>& runningAnimations() {
  static auto* running = new std::map<std::pair<const View*, int>, std::weak_ptr<AnimationRecord>>();
  return *running;
}

const char kAnimationTarget = 0;

bool forcingResign = false;

void scheduleLayoutFlush() {
  // Held, not watched: a timer that fired or was discarded says so through isValid, and this
  // check runs on every change of a frame.
  static std::shared_ptr<Timer> pending;
  if (pending && pending->isValid()) return;
  pending = RunLoop::main().scheduleTimer(0, false, [](Timer&) { Application::layoutWindows(); });
}

Point boundsCenter(const Rect& b) { return {b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2}; }

}  // namespace

void View::animate(double duration, const std::function<void()>& animations,
                   std::function<void(bool)> completion) {
  animate(duration, 0, animations, std::move(completion));
}

void View::animate(double duration, double delay, const std::function<void()>& animations,
                   std::function<void(bool)> completion) {
  auto record = std::make_shared<AnimationRecord>();
  auto saved = currentAnimation();
  currentAnimation() = record;
  try {
    if (animations) animations();
  } catch (...) {
    currentAnimation() = saved;
    throw;
  }
  currentAnimation() = saved;
  if (!completion) return;
  RunLoop::main().performAfter(
      std::max(0.0, delay) + std::max(0.0, duration), &kAnimationTarget,
      [record, completion = std::move(completion)] { completion(!record->interrupted); });
}

bool View::isAnimating() { return currentAnimation() != nullptr; }

void View::noteAnimatedChange(AnimatedProperty p) {
  const auto& cur = currentAnimation();
  // Nothing animates this view: the usual case, on every change of a frame.
  if (!cur && !everAnimated_) return;
  auto& running = runningAnimations();
  auto key = std::make_pair(static_cast<const View*>(this), static_cast<int>(p));
  auto it = running.find(key);
  if (it != running.end()) {
    auto old = it->second.lock();
    if (old && old != cur) old->interrupted = true;
    if (!cur) {
      running.erase(it);
      return;
    }
  }
  if (cur) {
    running[key] = cur;
    everAnimated_ = true;
  }
}

// ---------------------------------------------------------------------------------------------
// View

View::View(Rect frame) : bounds_(0, 0, frame.size.width, frame.size.height), center_(frame.center()) {}

View::~View() {
  if (everAnimated_) {
    auto& running = runningAnimations();
    // A view's entries sit together: the map is ordered by view first.
    auto first = running.lower_bound({this, std::numeric_limits<int>::min()});
    auto last = first;
    while (last != running.end() && last->first.first == this) ++last;
    running.erase(first, last);
  }
  for (auto& sub : subviews_)
    if (sub) sub->superview_ = nullptr;
}

std::shared_ptr<View> View::superview() const {
  if (!superview_) return nullptr;
  return std::static_pointer_cast<View>(superview_->weak_from_this().lock());
}

Rect View::frame() const {
  const Size& s = bounds_.size;
  if (transform_.isIdentity())
    return Rect(center_.x - s.width / 2, center_.y - s.height / 2, s.width, s.height);
  return transform_.apply(Rect(-s.width / 2, -s.height / 2, s.width, s.height))
      .offsetBy(center_.x, center_.y);
}

void View::setFrame(Rect f) {
  noteAnimatedChange(AnimatedProperty::Geometry);
  Rect old = bounds_;
  center_ = f.center();
  bounds_.size = f.size;
  if (!(old == bounds_)) boundsDidChange(old);
}

void View::setBounds(Rect b) {
  noteAnimatedChange(AnimatedProperty::Geometry);
  Rect old = bounds_;
  bounds_ = b;
  if (!(old == bounds_)) boundsDidChange(old);
}

void View::setCenter(Point c) {
  noteAnimatedChange(AnimatedProperty::Geometry);
  center_ = c;
}

void View::setTransform(const AffineTransform& t) {
  noteAnimatedChange(AnimatedProperty::Transform);
  transform_ = t;
}

void View::boundsDidChange(const Rect& old) {
  if (old.size == bounds_.size) return;
  if (autoresizesSubviews_) {
    closeHoles();
    forEachHeld(subviews_, [&](View& sub) { sub.resizeWithOldSuperviewSize(old.size); });
  }
  setNeedsLayout();
}

void View::resizeWithOldSuperviewSize(Size oldSize) {
  // Called by the superview itself, which is alive throughout.
  if (autoresizingMask_ == FlexibleNone || !superview_) return;
  const View* sup = superview_;
  Size newSize = sup->bounds().size;
  Rect f = frame();
  auto axis = [](double& pos, double& len, double oldTotal, double delta, bool flexA, bool flexL,
                 bool flexB) {
    double a = pos, l = len, b = oldTotal - pos - len;
    int n = int(flexA) + int(flexL) + int(flexB);
    if (n == 0 || delta == 0) return;
    double sum = (flexA ? a : 0) + (flexL ? l : 0) + (flexB ? b : 0);
    auto share = [&](bool flex, double part) {
      if (!flex) return 0.0;
      return sum != 0 ? delta * part / sum : delta / n;
    };
    pos = a + share(flexA, a);
    len = l + share(flexL, l);
  };
  unsigned m = autoresizingMask_;
  axis(f.origin.x, f.size.width, oldSize.width, newSize.width - oldSize.width, m & FlexibleLeftMargin,
       m & FlexibleWidth, m & FlexibleRightMargin);
  axis(f.origin.y, f.size.height, oldSize.height, newSize.height - oldSize.height, m & FlexibleTopMargin,
       m & FlexibleHeight, m & FlexibleBottomMargin);
  setFrame(f);
}

void View::setHidden(bool hidden) {
  if (hidden_ == hidden) return;
  hidden_ = hidden;
  if (hidden) {
    // A hidden view cannot keep typed text.
    if (auto w = window()) {
      auto fr = w->firstResponder();
      if (fr && (fr.get() == this || fr->isDescendantOfView(this))) fr->resignFirstResponder();
    }
  }
}

void View::setAlpha(double alpha) {
  noteAnimatedChange(AnimatedProperty::Alpha);
  alpha_ = std::clamp(alpha, 0.0, 1.0);
}

void View::setBackgroundColor(std::optional<Color> color) {
  noteAnimatedChange(AnimatedProperty::Background);
  backgroundColor_ = std::move(color);
}

std::shared_ptr<Window> View::window() const {
  const View* v = this;
  while (v->superview_) v = v->superview_;
  Window* w = v->asWindow_;
  if (!w) return nullptr;
  return std::static_pointer_cast<Window>(w->weak_from_this().lock());
}

Window* View::windowOf(const View* v) {
  while (v->superview_) v = v->superview_;
  return v->asWindow_;
}

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) {
  if (!view) return;
  if (view.get() == this || isDescendantOfView(view.get()))
    throw InvalidArgumentException("Can't add self or an ancestor as subview");
  std::shared_ptr<View> keep = view;
  Window* oldWindow = windowOf(view.get());
  Window* newWindow = windowOf(this);
  if (view->superview_ == this) {
    closeHoles();
    const std::size_t at = view->slot_;
    subviews_.erase(subviews_.begin() + std::ptrdiff_t(at));
    if (index > at) --index;
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(std::min(index, subviews_.size())), view);
    renumberFrom(std::min(at, index));
    ++subviewsChanges_;
    return;
  }
  if (oldWindow != newWindow) {
    view->resignFirstResponderLeaving(oldWindow);
    view->willMoveToWindow(newWindow);
  }
  view->willMoveToSuperview(this);
  if (View* old = view->superview_) {
    old->willRemoveSubview(view.get());
    old->leaveHole(view->slot_);
    ++old->subviewsChanges_;
  }
  view->superview_ = this;
  // Room for a few at once: a view that takes children mostly takes several.
  if (subviews_.capacity() == 0) subviews_.reserve(4);
  if (index >= subviews_.size() - holes_) {
    // On top: the holes below stay where they are.
    view->slot_ = subviews_.size();
    subviews_.push_back(view);
  } else {
    closeHoles();
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(index), view);
    renumberFrom(index);
  }
  ++subviewsChanges_;
  if (oldWindow != newWindow) view->moveToWindow(oldWindow, newWindow);
  view->didMoveToSuperview();
  didAddSubview(view.get());
  if (view->layoutBelow_) markLayoutBelow();
  if (newWindow && view->needsLayout_) scheduleLayoutFlush();
}

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, subviews_.size()); }

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling) {
  closeHoles();
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == sibling; });
  std::size_t at = it == subviews_.end() ? 0 : std::size_t(it - subviews_.begin());
  if (view && view->superview_ == this && it != subviews_.end()) {
    auto cur = std::find(subviews_.begin(), subviews_.end(), view);
    if (cur < it) --at;
    const std::size_t from = std::min(at, std::size_t(cur - subviews_.begin()));
    subviews_.erase(cur);
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(at), view);
    renumberFrom(from);
    ++subviewsChanges_;
    return;
  }
  insertSubview(view, at);
}

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling) {
  closeHoles();
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == sibling; });
  if (it == subviews_.end()) return addSubview(view);
  std::size_t at = std::size_t(it - subviews_.begin()) + 1;
  if (view && view->superview_ == this) {
    auto cur = std::find(subviews_.begin(), subviews_.end(), view);
    if (cur < it) --at;
    const std::size_t from = std::min(at, std::size_t(cur - subviews_.begin()));
    subviews_.erase(cur);
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(at), view);
    renumberFrom(from);
    ++subviewsChanges_;
    return;
  }
  insertSubview(view, at);
}

void View::detachFromSuperview() {
  View* sup = superview_;
  if (!sup) return;
  std::shared_ptr<View> self = sup->subviews_[slot_];  // alive until the hooks have run
  Window* oldWindow = windowOf(this);
  if (oldWindow) {
    resignFirstResponderLeaving(oldWindow);
    if (superview_ != sup) return;  // moved elsewhere meanwhile
    willMoveToWindow(nullptr);
  }
  willMoveToSuperview(nullptr);
  sup->willRemoveSubview(this);
  if (superview_ != sup) return;  // moved elsewhere meanwhile
  sup->leaveHole(slot_);
  ++sup->subviewsChanges_;
  superview_ = nullptr;
  if (oldWindow) moveToWindow(oldWindow, nullptr);
  didMoveToSuperview();
}

void View::removeFromSuperview() { detachFromSuperview(); }

void View::leaveHole(std::size_t slot) {
  assert(slot < subviews_.size() && subviews_[slot]);
  subviews_[slot].reset();
  ++holes_;
  // The list stays within four times the children's count; each closing, which numbers every child
  // again, is paid for by three removals a child.
  if (holes_ > 16 && holes_ * 4 > subviews_.size() * 3) closeHoles();
}

void View::closeHoles() const {
  if (holes_ == 0) return;
  std::erase(subviews_, nullptr);
  holes_ = 0;
  renumberFrom(0);
}

void View::renumberFrom(std::size_t first) const {
  for (std::size_t i = first; i < subviews_.size(); ++i) subviews_[i]->slot_ = i;
}

void View::resignFirstResponderLeaving(Window* oldWindow) {
  if (!oldWindow) return;
  auto fr = oldWindow->firstResponder_.lock();
  if (!fr || !(fr.get() == this || fr->isDescendantOfView(this))) return;
  // Ends editing while the input is still in its window, whatever its delegate says.
  bool saved = forcingResign;
  forcingResign = true;
  fr->resignFirstResponder();
  forcingResign = saved;
  if (oldWindow->firstResponder_.lock() == fr) oldWindow->firstResponder_.reset();
}

void View::moveToWindow(Window* oldWindow, Window* newWindow) {
  if (oldWindow && oldWindow->firstResponder_.lock().get() == this) oldWindow->firstResponder_.reset();
  closeHoles();
  forEachHeld(subviews_, [&](View& sub) {
    sub.willMoveToWindow(newWindow);
    sub.moveToWindow(oldWindow, newWindow);
  });
  didMoveToWindow();
}

void View::bringSubviewToFront(const View* view) {
  if (!view || view->superview_ != this) return;
  std::shared_ptr<View> keep = subviews_[view->slot_];
  leaveHole(keep->slot_);
  keep->slot_ = subviews_.size();
  subviews_.push_back(std::move(keep));
  ++subviewsChanges_;
}

void View::sendSubviewToBack(const View* view) {
  closeHoles();
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == view; });
  if (it == subviews_.end()) return;
  auto keep = *it;
  subviews_.erase(it);
  subviews_.insert(subviews_.begin(), keep);
  renumberFrom(0);
  ++subviewsChanges_;
}

void View::exchangeSubview(std::size_t i, std::size_t j) {
  closeHoles();
  if (i < subviews_.size() && j < subviews_.size()) {
    std::swap(subviews_[i], subviews_[j]);
    subviews_[i]->slot_ = i;
    subviews_[j]->slot_ = j;
    ++subviewsChanges_;
  }
}

bool View::isDescendantOfView(const View* view) const {
  if (!view) return false;
  for (const View* v = this; v; v = v->superview_)
    if (v == view) return true;
  return false;
}

std::shared_ptr<View> View::viewWithTag(int tag) {
  if (tag_ == tag) return std::static_pointer_cast<View>(shared_from_this());
  closeHoles();
  for (auto& sub : subviews_)
    if (auto v = sub->viewWithTag(tag)) return v;
  return nullptr;
}

void View::markLayoutBelow() {
  for (View* v = this; v && !v->layoutBelow_; v = v->superview_) v->layoutBelow_ = true;
}

void View::setNeedsLayout() {
  needsLayout_ = true;
  markLayoutBelow();
  scheduleLayoutFlush();
}

void View::layoutIfNeeded() {
  if (!layoutBelow_) return;
  // Cleared first: a view marked while this pass runs sets it again for the next pass.
  layoutBelow_ = false;
  if (needsLayout_) {
    needsLayout_ = false;
    auto vc = controller_.lock();
    if (vc) vc->viewWillLayoutSubviews();
    layoutSubviews();
    if (vc) vc->viewDidLayoutSubviews();
  }
  // Only the children with layout to do are held, each while it lays out: most have none.
  closeHoles();
  for (std::size_t i = 0; i < subviews_.size(); ++i) {
    if (!subviews_[i]->layoutBelow_) continue;
    const std::uint32_t changes = subviewsChanges_;
    std::shared_ptr<View> child = subviews_[i];
    child->layoutIfNeeded();
    if (changes != subviewsChanges_) {
      // The child's layout changed this view's children: the rest are walked as they now stand.
      closeHoles();
      forEachHeld(subviews_, [](View& sub) { sub.layoutIfNeeded(); });
      return;
    }
  }
}

void View::sizeToFit() {
  Size s = sizeThatFits(bounds_.size);
  Rect f = frame();
  setFrame(Rect(f.origin.x, f.origin.y, s.width, s.height));
}

// Local to superview: around the centre, through the transform.
Point View::convertPointToView(Point p, const View* view) const {
  for (const View* v = this; v; v = v->superview_) {
    if (v == view) return p;
    if (!v->superview_) break;
    Point bc = boundsCenter(v->bounds_);
    Point d = v->transform_.apply(Point{p.x - bc.x, p.y - bc.y});
    p = {d.x + v->center_.x, d.y + v->center_.y};
  }
  // p is in the root's coordinates now.
  return view ? view->convertPointFromView(p, nullptr) : p;
}

Point View::convertPointFromView(Point p, const View* view) const {
  if (view) {
    if (view == this) return p;
    p = view->convertPointToView(p, nullptr);
  }
  std::vector<const View*> chain;
  for (const View* v = this; v->superview_; v = v->superview_) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const View* v = *it;
    Point bc = boundsCenter(v->bounds_);
    Point d = v->transform_.inverted().apply(Point{p.x - v->center_.x, p.y - v->center_.y});
    p = {d.x + bc.x, d.y + bc.y};
  }
  return p;
}

Rect View::convertRectToView(const Rect& r, const View* view) const {
  Point a = convertPointToView({r.minX(), r.minY()}, view),
        b = convertPointToView({r.maxX(), r.minY()}, view);
  Point c = convertPointToView({r.minX(), r.maxY()}, view),
        d = convertPointToView({r.maxX(), r.maxY()}, view);
  double x0 = std::min({a.x, b.x, c.x, d.x}), x1 = std::max({a.x, b.x, c.x, d.x});
  double y0 = std::min({a.y, b.y, c.y, d.y}), y1 = std::max({a.y, b.y, c.y, d.y});
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect View::convertRectFromView(const Rect& r, const View* view) const {
  Point a = convertPointFromView({r.minX(), r.minY()}, view),
        b = convertPointFromView({r.maxX(), r.minY()}, view);
  Point c = convertPointFromView({r.minX(), r.maxY()}, view),
        d = convertPointFromView({r.maxX(), r.maxY()}, view);
  double x0 = std::min({a.x, b.x, c.x, d.x}), x1 = std::max({a.x, b.x, c.x, d.x});
  double y0 = std::min({a.y, b.y, c.y, d.y}), y1 = std::max({a.y, b.y, c.y, d.y});
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

bool View::pointInside(Point p) const { return bounds_.containsPoint(p); }

std::shared_ptr<View> View::hitTest(Point p) {
  if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01) return nullptr;
  if (!pointInside(p)) return nullptr;
  closeHoles();
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    const auto& sub = *it;
    Point bc = boundsCenter(sub->bounds_);
    Point d = sub->transform_.inverted().apply(Point{p.x - sub->center_.x, p.y - sub->center_.y});
    if (auto hit = sub->hitTest(Point{d.x + bc.x, d.y + bc.y})) return hit;
  }
  return std::static_pointer_cast<View>(shared_from_this());
}

void View::addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer) {
  if (!recognizer) return;
  if (auto old = recognizer->view(); old && old.get() != this) old->removeGestureRecognizer(recognizer.get());
  if (std::find(gestures_.begin(), gestures_.end(), recognizer) != gestures_.end()) return;
  recognizer->view_ = std::static_pointer_cast<View>(shared_from_this());
  gestures_.push_back(std::move(recognizer));
}

void View::removeGestureRecognizer(const GestureRecognizer* recognizer) {
  auto it = std::find_if(gestures_.begin(), gestures_.end(), [&](auto& g) { return g.get() == recognizer; });
  if (it == gestures_.end()) return;
  (*it)->view_.reset();
  gestures_.erase(it);
}

Responder* View::nextResponder() const {
  if (auto vc = controller_.lock()) return vc.get();
  return superview_;
}

bool View::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  auto w = window();
  if (!w) return false;
  Keyboard::FocusTransfer transfer;
  if (auto cur = w->firstResponder(); cur && !cur->resignFirstResponder()) return false;
  w->firstResponder_ = std::static_pointer_cast<View>(shared_from_this());
  return true;
}

bool View::resignFirstResponder() {
  auto w = window();
  if (!w || w->firstResponder_.lock().get() != this) return true;
  if (!canResignFirstResponder() && !forcingResign) return false;
  w->firstResponder_.reset();
  return true;
}

bool View::isFirstResponder() const {
  auto w = window();
  return w && w->firstResponder_.lock().get() == this;
}

bool View::endEditing(bool force) {
  auto w = window();
  if (!w) return true;
  auto fr = w->firstResponder();
  if (!fr || !(fr.get() == this || fr->isDescendantOfView(this))) return true;
  bool saved = forcingResign;
  forcingResign = force;
  fr->resignFirstResponder();
  forcingResign = saved;
  if (force && w->firstResponder_.lock() == fr) w->firstResponder_.reset();
  return w->firstResponder_.lock() != fr;
}

bool View::isForcingResign() { return forcingResign; }

std::string Responder::className() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  if (auto pos = name.rfind("::"); pos != std::string::npos) name = name.substr(pos + 2);
  return name;
}

void View::describeProperties(std::vector<std::string>& out) const {
  if (!accessibilityLabel_.empty()) out.push_back("label=" + quoted(accessibilityLabel_));
  if (tag_ != 0) out.push_back("tag=" + std::to_string(tag_));
  if (alpha_ < 1.0) out.push_back("alpha=" + formatNumber(alpha_));
  if (!userInteractionEnabled_) out.push_back("no-touch");
  if (isFirstResponder()) out.push_back("first-responder");
}

}  // namespace platform
