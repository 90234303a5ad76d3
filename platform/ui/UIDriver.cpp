#include "platform/ui/UIDriver.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/ViewDescription.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

std::string& errorText() {
  static std::string text;
  return text;
}

std::vector<std::shared_ptr<Window>> windowsTopFirst() {
  auto ws = Application::sharedApplication().windows();
  std::reverse(ws.begin(), ws.end());
  return ws;
}

std::string describeView(const View& v) {
  std::string text = v.displayedText();
  if (text.empty()) text = v.accessibilityLabel();
  return v.className() + (text.empty() ? "" : " " + quoted(text));
}

// The recognizers of the view and its ancestors, nearest first, that match; an enabled control
// keeps the gesture from the recognizers above it when controlsKeep is set.
std::vector<std::shared_ptr<GestureRecognizer>> recognizers(
    View* hit, const std::function<bool(GestureRecognizer&)>& match, bool controlsKeep) {
  std::vector<std::shared_ptr<GestureRecognizer>> out;
  for (View* v = hit; v; v = v->superviewPointer()) {
    for (auto& g : v->gestureRecognizers())
      if (g->isEnabled() && match(*g)) out.push_back(g);
    if (controlsKeep)
      if (auto* c = dynamic_cast<Control*>(v); c && c->isEnabled()) break;
  }
  return out;
}

bool mayBegin(GestureRecognizer& g, const Touch& t) {
  auto d = g.delegate().lock();
  if (!d) return true;
  return d->gestureRecognizerShouldReceiveTouch(g, t).value_or(true) &&
         d->gestureRecognizerShouldBegin(g).value_or(true);
}

// The recognizers that take the gesture: the first that may begin, and those that may recognize
// along with it.
std::vector<std::shared_ptr<GestureRecognizer>> choose(
    const std::vector<std::shared_ptr<GestureRecognizer>>& candidates, const Touch& t) {
  std::vector<std::shared_ptr<GestureRecognizer>> out;
  for (auto& g : candidates) {
    if (!mayBegin(*g, t)) continue;
    if (out.empty()) {
      out.push_back(g);
      continue;
    }
    auto& first = out.front();
    auto d1 = first->delegate().lock();
    auto d2 = g->delegate().lock();
    bool together =
        (d1 && d1->shouldRecognizeSimultaneouslyWithGestureRecognizer(*first, *g).value_or(false)) ||
        (d2 && d2->shouldRecognizeSimultaneouslyWithGestureRecognizer(*g, *first).value_or(false));
    if (together) out.push_back(g);
  }
  return out;
}

bool cancelsTouches(const std::vector<std::shared_ptr<GestureRecognizer>>& chosen) {
  for (auto& g : chosen)
    if (g->cancelsTouchesInView()) return true;
  return false;
}

// Runs a recognized gesture: begins the touch on the view, runs the recognizers through their
// states, and ends or cancels the touch.
void deliver(const std::shared_ptr<View>& hit, Touch& touch,
             const std::vector<std::shared_ptr<GestureRecognizer>>& chosen,
             const std::function<void(GestureRecognizer&)>& run, const std::function<void()>& between = {}) {
  bool delayBegan = !chosen.empty() && std::all_of(chosen.begin(), chosen.end(),
                                                   [](auto& g) { return g->delaysTouchesBegan(); });
  if (!delayBegan) hit->touchesBegan(touch);
  if (between) between();
  for (auto& g : chosen) {
    run(*g);
    g->reset();
  }
  if (!chosen.empty() && cancelsTouches(chosen)) {
    touch.setPhase(TouchPhase::Cancelled);
    if (!delayBegan) hit->touchesCancelled(touch);
  } else {
    touch.setPhase(TouchPhase::Ended);
    if (delayBegan) hit->touchesBegan(touch);
    hit->touchesEnded(touch);
  }
}

struct Target {
  std::shared_ptr<Window> window;
  std::shared_ptr<View> hit;
  Point point;
};

// The view a finger at the point lands on, top window first.
Target hitAt(Point p) {
  for (auto& w : windowsTopFirst())
    if (auto hit = w->hitTest(w->convertPointFromView(p, nullptr))) return Target{w, hit, p};
  return Target{nullptr, nullptr, p};
}

bool related(const View& a, const View& b) {
  return &a == &b || a.isDescendantOfView(&b) || b.isDescendantOfView(&a);
}

// What answers a touch on the view: the view itself when it is a control or a row, else the nearest
// control or row holding it.
View* takerOf(View* v) {
  for (; v; v = v->superviewPointer())
    if (dynamic_cast<Control*>(v) || dynamic_cast<TableViewCell*>(v)) return v;
  return nullptr;
}

// How well a touch landing on hit works the view: 2 when it reaches the view (a control or row
// takes it as its own; a label or picture's touch goes on to what holds it), 1 when it reaches a
// control or row inside the view, 0 when something else takes it.
int reach(View& view, View& hit) {
  View* taker = takerOf(&view);
  if (taker == &view) {
    if (takerOf(&hit) == &view) return 2;
    return related(hit, view) ? 1 : 0;
  }
  if (related(hit, view)) return 2;
  return taker && takerOf(&hit) == taker ? 2 : 0;
}

// Points of the rect, its centre first, then the others by their distance from it.
std::vector<Point> pointsOf(const Rect& r) {
  const int columns = std::clamp(static_cast<int>(r.size.width / 4), 1, 16);
  const int rows = std::clamp(static_cast<int>(r.size.height / 4), 1, 8);
  std::vector<Point> points{r.center()};
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x)
      points.push_back(
          {r.minX() + r.size.width * (x + 0.5) / columns, r.minY() + r.size.height * (y + 0.5) / rows});
  const Point c = r.center();
  std::stable_sort(points.begin() + 1, points.end(), [c](Point a, Point b) {
    return std::hypot(a.x - c.x, a.y - c.y) < std::hypot(b.x - c.x, b.y - c.y);
  });
  return points;
}

// Something a person sees: a text, a picture or a colour.
bool showsSomething(const View& v) {
  if (!v.displayedText().empty()) return true;
  if (auto* image = dynamic_cast<const ImageView*>(&v); image && image->currentImage()) return true;
  if (auto* button = dynamic_cast<const Button*>(&v))
    if (button->currentImage() || button->currentBackgroundImage() || !button->currentTitle().empty())
      return true;
  return v.backgroundColor() && v.backgroundColor()->alpha() >= 0.01;
}

// The view a person sees over the target at the point: the front-most one drawn there above it that
// shows something; null when none does (a clear view takes the touch).
const View* seenOver(const View& target, Point p) {
  bool behind = false;
  const View* seen = nullptr;
  std::function<void(const View&)> visit = [&](const View& v) {
    if (behind || seen || v.isHidden() || v.alpha() < 0.01) return;
    if (&v == &target || target.isDescendantOfView(&v)) {
      // The target and what holds it are drawn under what is in front of them: what comes after
      // them here is behind the target.
      if (&v == &target) behind = true;
      if (&v != &target)
        for (auto it = v.subviews().rbegin(); it != v.subviews().rend() && !behind && !seen; ++it)
          visit(**it);
      behind = true;
      return;
    }
    bool inside = v.bounds().containsPoint(v.convertPointFromView(p, nullptr));
    if (inside || !v.clipsToBounds())
      for (auto it = v.subviews().rbegin(); it != v.subviews().rend() && !behind && !seen; ++it) visit(**it);
    if (!behind && !seen && inside && showsSomething(v)) seen = &v;
  };
  for (auto& w : windowsTopFirst()) {
    if (w->isHidden()) continue;
    visit(*w);
    if (behind || seen) break;
  }
  return seen;
}

// The outermost view around v that does not hold the target too (nor is a window): what a person
// takes for one thing on screen, as a check box for its button.
const View* outermostApart(const View& target, const View& v) {
  const View* out = &v;
  while (out->superviewPointer() && !target.isDescendantOfView(out->superviewPointer()) &&
         !dynamic_cast<const Window*>(out->superviewPointer()))
    out = out->superviewPointer();
  return out;
}

// What covers the view at the point where hit took the touch, as a person would name it: what is
// seen there over the view (a clear button over a guide picture is the picture), else what took it.
std::string coverName(const View& view, const View& hit, Point p) {
  const View* seen = seenOver(view, p);
  if (!seen) seen = &hit;
  const View* outer = outermostApart(view, *seen);
  std::string text = outer->displayedText().empty() ? seen->displayedText() : outer->displayedText();
  if (text.empty()) text = outer->accessibilityLabel();
  return outer->className() + (text.empty() ? "" : " " + quoted(text));
}

// Where a finger put on the view works it: the point of its visible part nearest its centre that
// reaches it, else one that reaches a control or row inside it; empty with why naming what covers
// it when no point does. The windows are laid out.
std::optional<Target> touchTarget(View& view, std::string* why) {
  Rect r = UIDriver::visibleRect(view);
  if (r.isEmpty()) {
    if (why) *why = describeView(view) + " is not on screen";
    return std::nullopt;
  }
  std::optional<Target> inner, first;
  for (Point p : pointsOf(r)) {
    Target t = hitAt(p);
    if (!first) first = t;
    if (!t.hit) continue;
    int how = reach(view, *t.hit);
    if (how == 2) return t;
    if (how == 1 && !inner) inner = t;
  }
  if (inner) return inner;
  if (why) {
    *why = first->hit ? describeView(view) + " is covered by " + coverName(view, *first->hit, first->point)
                      : describeView(view) + " takes no touches";
  }
  return std::nullopt;
}

std::optional<Target> targetFor(View& view) {
  Application::layoutWindows();
  return touchTarget(view, &errorText());
}

ScrollView* scrollViewAbove(View* v, const std::function<bool(ScrollView&)>& ok) {
  for (; v; v = v->superviewPointer())
    if (auto* sv = dynamic_cast<ScrollView*>(v); sv && ok(*sv)) return sv;
  return nullptr;
}

void dragScrollView(ScrollView& sv, Point delta, Point velocity) {
  auto keep = sv.weak_from_this().lock();
  if (!sv.beginDragging()) return;
  Point o = sv.contentOffset();
  sv.dragTo(Point{o.x + delta.x, o.y + delta.y});
  sv.endDragging(velocity);
}

std::shared_ptr<NavigationController> visibleNavigation(const std::shared_ptr<ViewController>& vc) {
  if (!vc) return nullptr;
  if (auto nav = std::dynamic_pointer_cast<NavigationController>(vc)) return nav;
  if (auto tab = std::dynamic_pointer_cast<TabBarController>(vc))
    return visibleNavigation(tab->selectedViewController());
  for (auto& child : vc->childViewControllers())
    if (child->isViewLoaded() && child->view()->window())
      if (auto nav = visibleNavigation(child)) return nav;
  return nullptr;
}

}  // namespace

const std::string& UIDriver::lastError() { return errorText(); }

bool UIDriver::fail(std::string message) {
  errorText() = std::move(message);
  return false;
}

Rect UIDriver::visibleRect(const View& view) {
  auto w = view.window();
  if (!w || w->isHidden()) return Rect();
  for (const View* v = &view; v; v = v->superviewPointer())
    if (v->isHidden() || v->alpha() < 0.01) return Rect();
  Rect r = view.convertRectToView(view.bounds(), nullptr);
  for (const View* v = view.superviewPointer(); v; v = v->superviewPointer())
    if (v->clipsToBounds()) r = r.intersection(v->convertRectToView(v->bounds(), nullptr));
  r = r.intersection(w->bounds());
  if (r.isEmpty()) return Rect();
  return r.offsetBy(w->frame().origin.x, w->frame().origin.y);
}

std::vector<std::shared_ptr<View>> UIDriver::findViews(std::string_view text) {
  Application::layoutWindows();
  struct Match {
    std::shared_ptr<View> view;
    bool exact;
    std::size_t window;
    bool reachable;
    Rect rect;
  };
  std::vector<Match> matches;
  auto windows = windowsTopFirst();
  for (std::size_t wi = 0; wi < windows.size(); ++wi) {
    std::function<void(const std::shared_ptr<View>&)> walk = [&](const std::shared_ptr<View>& v) {
      if (v->isHidden() || v->alpha() < 0.01) return;
      for (const auto& sub : v->subviews()) walk(sub);
      std::string shown = v->displayedText();
      const std::string& label = v->accessibilityLabel();
      bool exact = shown == text || label == text;
      bool partial = !exact && !text.empty() &&
                     (shown.find(text) != std::string::npos || label.find(text) != std::string::npos);
      if (!exact && !partial) return;
      Rect r = visibleRect(*v);
      if (r.isEmpty()) return;
      // Reachable: a finger on it works it.
      bool reachable = touchTarget(*v, nullptr).has_value();
      matches.push_back(Match{v, exact, wi, reachable, r});
    };
    walk(windows[wi]);
  }
  // Exact before partial, reachable before covered, then the upper window, then reading order.
  std::stable_sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
    if (a.exact != b.exact) return a.exact;
    if (a.reachable != b.reachable) return a.reachable;
    if (a.window != b.window) return a.window < b.window;
    if (a.rect.minY() != b.rect.minY()) return a.rect.minY() < b.rect.minY();
    return a.rect.minX() < b.rect.minX();
  });
  std::vector<std::shared_ptr<View>> out;
  for (auto& m : matches) out.push_back(m.view);
  return out;
}

std::shared_ptr<View> UIDriver::findView(std::string_view text) {
  auto all = findViews(text);
  if (all.empty()) {
    fail("nothing on screen shows " + quoted(text));
    return nullptr;
  }
  return all.front();
}

bool UIDriver::tapAt(Point p, int tapCount) {
  Application::layoutWindows();
  for (auto& w : windowsTopFirst()) {
    auto hit = w->hitTest(w->convertPointFromView(p, nullptr));
    if (!hit) continue;
    Touch touch(w, hit, p, tapCount);
    auto chosen =
        choose(recognizers(
                   hit.get(),
                   [&](GestureRecognizer& g) {
                     auto* t = dynamic_cast<TapGestureRecognizer*>(&g);
                     return t && t->numberOfTapsRequired() == tapCount && t->numberOfTouchesRequired() == 1;
                   },
                   true),
               touch);
    deliver(hit, touch, chosen, [&](GestureRecognizer& g) {
      g.setLocation(p);
      g.setState(GestureRecognizerState::Ended);
    });
    return true;
  }
  return fail("nothing takes a touch at (" + formatNumber(p.x) + ", " + formatNumber(p.y) + ")");
}

std::optional<Point> UIDriver::touchPoint(View& view) {
  auto keep = view.weak_from_this().lock();
  auto t = targetFor(view);
  if (!t) return std::nullopt;
  return t->point;
}

bool UIDriver::tap(View& view, int tapCount) {
  auto keep = view.weak_from_this().lock();
  auto t = targetFor(view);
  if (!t) return false;
  return tapAt(t->point, tapCount);
}

bool UIDriver::tap(std::string_view text, int tapCount) {
  auto v = findView(text);
  return v && tap(*v, tapCount);
}

bool UIDriver::longPress(View& view, double seconds) {
  auto keep = view.weak_from_this().lock();
  auto t = targetFor(view);
  if (!t) return false;
  // A press held that long is no tap: its tap count is 0.
  Touch touch(t->window, t->hit, t->point, 0);
  auto chosen =
      choose(recognizers(
                 t->hit.get(),
                 [&](GestureRecognizer& g) {
                   auto* lp = dynamic_cast<LongPressGestureRecognizer*>(&g);
                   return lp && lp->minimumPressDuration() <= seconds && lp->numberOfTouchesRequired() == 1;
                 },
                 false),
             touch);
  // Without a recognizer the view itself times the press: the finger stays down that long.
  std::function<void()> hold;
  if (chosen.empty()) hold = [seconds] { RunLoop::main().runFor(seconds); };
  deliver(
      t->hit, touch, chosen,
      [&](GestureRecognizer& g) {
        g.setLocation(t->point);
        g.setState(GestureRecognizerState::Began);
        g.setState(GestureRecognizerState::Ended);
      },
      hold);
  return true;
}

bool UIDriver::twoFingerTap(View& view) {
  auto keep = view.weak_from_this().lock();
  auto t = targetFor(view);
  if (!t) return false;
  Point a{t->point.x - 10, t->point.y}, b{t->point.x + 10, t->point.y};
  Touch first(t->window, t->hit, a, 1), second(t->window, t->hit, b, 1);
  auto chosen =
      choose(recognizers(
                 t->hit.get(),
                 [](GestureRecognizer& g) {
                   auto* tap = dynamic_cast<TapGestureRecognizer*>(&g);
                   return tap && tap->numberOfTapsRequired() == 1 && tap->numberOfTouchesRequired() == 2;
                 },
                 true),
             first);
  if (!chosen.empty()) {
    deliver(t->hit, first, chosen, [&](GestureRecognizer& g) {
      g.setLocation(t->point, 2);
      g.setState(GestureRecognizerState::Ended);
    });
    return true;
  }
  // Both fingers down, then lifted one after the other.
  t->hit->touchesBegan(first);
  t->hit->touchesBegan(second);
  first.setPhase(TouchPhase::Ended);
  t->hit->touchesEnded(first);
  second.setPhase(TouchPhase::Ended);
  t->hit->touchesEnded(second);
  return true;
}

bool UIDriver::swipe(View& view, unsigned direction) {
  auto keep = view.weak_from_this().lock();
  auto t = targetFor(view);
  if (!t) return false;
  Touch touch(t->window, t->hit, t->point, 1);
  auto chosen = choose(recognizers(
                           t->hit.get(),
                           [&](GestureRecognizer& g) {
                             auto* s = dynamic_cast<SwipeGestureRecognizer*>(&g);
                             return s && (s->direction() & direction) && s->numberOfTouchesRequired() == 1;
                           },
                           false),
                       touch);
  if (!chosen.empty()) {
    deliver(t->hit, touch, chosen, [&](GestureRecognizer& g) {
      g.setLocation(t->point);
      g.setState(GestureRecognizerState::Ended);
    });
    return true;
  }
  bool horizontal = direction & (SwipeDirection::Left | SwipeDirection::Right);
  if (horizontal) {
    for (View* v = t->hit.get(); v; v = v->superviewPointer()) {
      auto* cell = dynamic_cast<TableViewCell*>(v);
      auto* table = cell ? dynamic_cast<TableView*>(cell->superviewPointer()) : nullptr;
      if (!table) continue;
      auto ip = table->indexPathForCell(cell);
      if (ip && table->showDeleteConfirmation(*ip)) return true;
      break;
    }
  }
  ScrollView* sv = scrollViewAbove(t->hit.get(), [](ScrollView& s) { return s.isScrollEnabled(); });
  if (!sv) return fail("nothing takes a swipe on " + describeView(view));
  Size b = sv->bounds().size;
  Point delta, velocity;
  if (direction & SwipeDirection::Left) delta = {b.width / 2, 0}, velocity = {1, 0};
  if (direction & SwipeDirection::Right) delta = {-b.width / 2, 0}, velocity = {-1, 0};
  if (direction & SwipeDirection::Up) delta = {0, b.height / 2}, velocity = {0, 1};
  if (direction & SwipeDirection::Down) delta = {0, -b.height / 2}, velocity = {0, -1};
  t->hit->touchesBegan(touch);
  touch.setPhase(TouchPhase::Cancelled);
  t->hit->touchesCancelled(touch);
  dragScrollView(*sv, delta, velocity);
  return true;
}

bool UIDriver::pan(View& view, Point translation) {
  auto keep = view.weak_from_this().lock();
  auto t = targetFor(view);
  if (!t) return false;
  Touch touch(t->window, t->hit, t->point, 1);
  auto chosen = choose(recognizers(
                           t->hit.get(),
                           [](GestureRecognizer& g) {
                             auto* p = dynamic_cast<PanGestureRecognizer*>(&g);
                             return p && p->minimumNumberOfTouches() <= 1;
                           },
                           false),
                       touch);
  if (!chosen.empty()) {
    Point end{t->point.x + translation.x, t->point.y + translation.y};
    deliver(t->hit, touch, chosen, [&](GestureRecognizer& g) {
      auto* p = dynamic_cast<PanGestureRecognizer*>(&g);
      g.setLocation(t->point);
      if (p) p->setTranslation({0, 0}, nullptr);
      g.setState(GestureRecognizerState::Began);
      g.setLocation(end);
      if (p) p->setTranslation(translation, nullptr);
      g.setState(GestureRecognizerState::Changed);
      g.setState(GestureRecognizerState::Ended);
    });
    return true;
  }
  ScrollView* sv = scrollViewAbove(t->hit.get(), [](ScrollView& s) { return s.isScrollEnabled(); });
  if (!sv) {
    // Nothing above takes the drag: the view itself follows the finger, which moved (no tap).
    Touch drag(t->window, t->hit, t->point, 0);
    t->hit->touchesBegan(drag);
    drag.moveTo({t->point.x + translation.x, t->point.y + translation.y});
    drag.setPhase(TouchPhase::Moved);
    t->hit->touchesMoved(drag);
    drag.setPhase(TouchPhase::Ended);
    t->hit->touchesEnded(drag);
    return true;
  }
  t->hit->touchesBegan(touch);
  touch.setPhase(TouchPhase::Cancelled);
  t->hit->touchesCancelled(touch);
  dragScrollView(*sv, Point{-translation.x, -translation.y}, Point{});
  return true;
}

namespace {

bool pinchOn(const std::shared_ptr<Window>& window, const std::shared_ptr<View>& hit, Point point,
             double scale) {
  Touch touch(window, hit, point, 1);
  auto chosen = choose(
      recognizers(
          hit.get(), [](GestureRecognizer& g) { return dynamic_cast<PinchGestureRecognizer*>(&g); }, false),
      touch);
  if (!chosen.empty()) {
    deliver(hit, touch, chosen, [&](GestureRecognizer& g) {
      auto* p = dynamic_cast<PinchGestureRecognizer*>(&g);
      g.setLocation(point, 2);
      if (p) p->setScale(1);
      g.setState(GestureRecognizerState::Began);
      if (p) p->setScale(scale);
      g.setState(GestureRecognizerState::Changed);
      g.setState(GestureRecognizerState::Ended);
    });
    return true;
  }
  ScrollView* sv = scrollViewAbove(hit.get(), [](ScrollView& s) {
    auto d = s.delegate().lock();
    return d && d->viewForZoomingInScrollView(s) && s.maximumZoomScale() > s.minimumZoomScale();
  });
  if (!sv) {
    errorText() = "nothing takes a pinch on " + describeView(*hit);
    return false;
  }
  return sv->pinch(scale, sv->convertPointFromView(point, nullptr));
}

}  // namespace

bool UIDriver::pinch(View& view, double scale) {
  auto keep = view.weak_from_this().lock();
  auto t = targetFor(view);
  if (!t) return false;
  return pinchOn(t->window, t->hit, t->point, scale);
}

bool UIDriver::pinchAt(Point p, double scale) {
  Application::layoutWindows();
  for (auto& w : windowsTopFirst()) {
    auto hit = w->hitTest(w->convertPointFromView(p, nullptr));
    if (!hit) continue;
    return pinchOn(w, hit, p, scale);
  }
  return fail("nothing takes a pinch at (" + formatNumber(p.x) + ", " + formatNumber(p.y) + ")");
}

namespace {

std::shared_ptr<View> editingView() {
  auto key = Application::sharedApplication().keyWindow();
  if (key)
    if (auto fr = key->firstResponder()) return fr;
  for (auto& w : windowsTopFirst())
    if (auto fr = w->firstResponder()) return fr;
  return nullptr;
}

}  // namespace

bool UIDriver::type(std::string_view text) {
  auto v = editingView();
  if (!v) return fail("no text input is being edited");
  auto* field = dynamic_cast<TextField*>(v.get());
  auto* tv = dynamic_cast<TextView*>(v.get());
  if (!field && !tv) return fail(describeView(*v) + " takes no text");
  std::u16string units = toUtf16(text);
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::size_t n = (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size()) ? 2 : 1;
    std::string ch = toUtf8(units.substr(i, n));
    i += n - 1;
    if (ch == "\n") {
      if (field)
        field->returnKey();
      else
        tv->returnKey();
    } else if (field) {
      field->insertText(ch);
    } else {
      tv->insertText(ch);
    }
  }
  return true;
}

bool UIDriver::deleteBackward(int times) {
  auto v = editingView();
  if (!v) return fail("no text input is being edited");
  for (int i = 0; i < times; ++i) {
    if (auto* field = dynamic_cast<TextField*>(v.get()))
      field->deleteBackward();
    else if (auto* tv = dynamic_cast<TextView*>(v.get()))
      tv->deleteBackward();
    else
      return fail(describeView(*v) + " takes no text");
  }
  return true;
}

bool UIDriver::pressReturn() { return type("\n"); }

bool UIDriver::scroll(ScrollView& view, Point offset) {
  Point o = view.contentOffset();
  return scrollBy(view, Point{offset.x - o.x, offset.y - o.y});
}

bool UIDriver::scrollBy(ScrollView& view, Point delta) {
  Application::layoutWindows();
  if (!view.isScrollEnabled()) return fail(describeView(view) + " does not scroll");
  dragScrollView(view, delta, Point{});
  return true;
}

bool UIDriver::back() {
  Application::layoutWindows();
  if (topAlert()) return fail("an alert is on screen");
  for (auto& w : windowsTopFirst()) {
    auto vc = w->rootViewController();
    if (!vc) continue;
    while (auto p = vc->presentedViewController()) vc = p;
    auto nav = visibleNavigation(vc);
    if (!nav) return fail("no navigation bar on screen");
    auto button = nav->navigationBar()->backButton();
    if (!button || visibleRect(*button).isEmpty()) return fail("no back button on screen");
    return tap(*button);
  }
  return fail("no screen is shown");
}

std::shared_ptr<View> UIDriver::topAlert() {
  const auto& alerts = Application::sharedApplication().visibleAlerts();
  return alerts.empty() ? nullptr : alerts.back();
}

bool UIDriver::answerAlert(int buttonIndex) {
  auto top = topAlert();
  if (!top) return fail("no alert is on screen");
  if (auto* a = dynamic_cast<AlertView*>(top.get())) {
    if (a->tapButtonAtIndex(buttonIndex)) return true;
  } else if (auto* s = dynamic_cast<ActionSheet*>(top.get())) {
    if (s->tapButtonAtIndex(buttonIndex)) return true;
  }
  return fail("the alert has no button " + std::to_string(buttonIndex));
}

std::string UIDriver::describeScreen() {
  Application::layoutWindows();
  std::string out;
  for (auto& w : Application::sharedApplication().windows()) out += describeTree(*w);
  return out;
}

bool UIDriver::snapshot(std::string_view path) {
  auto image = Snapshot::imageOfScreen();
  if (!image) return fail("the screen could not be drawn");
  Error error;
  if (!Snapshot::writePNG(*image, path, &error)) return fail(error.localizedDescription);
  return true;
}

}  // namespace platform
