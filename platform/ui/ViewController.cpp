#include "platform/ui/ViewController.h"

#include <algorithm>
#include <cstdio>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

// A transition's end, run by its delayed perform or earlier by finishPendingTransitions. The
// perform owns it, so a run loop that drops its performs (tests) drops it too.
struct PendingTransition {
  std::function<void()> fn;
  bool done = false;
};

std::vector<std::weak_ptr<PendingTransition>>& pendingTransitions() {
  static std::vector<std::weak_ptr<PendingTransition>> pending;
  return pending;
}

const char kTransitionTarget = 0;

// Runs, in order, the pending ends up to and including last (all of them for null); each may
// start more.
void runPending(const PendingTransition* last) {
  while (true) {
    auto& pending = pendingTransitions();
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [](auto& w) {
                                   auto p = w.lock();
                                   return !p || p->done;
                                 }),
                  pending.end());
    if (pending.empty()) return;
    auto next = pending.front().lock();
    bool wasLast = next.get() == last;
    next->done = true;
    auto fn = std::move(next->fn);
    fn();
    if (wasLast) return;
  }
}

}  // namespace

void ViewController::afterTransition(bool animated, std::function<void()> fn) {
  if (!animated) {
    fn();
    return;
  }
  auto pending = std::make_shared<PendingTransition>();
  pending->fn = std::move(fn);
  pendingTransitions().push_back(pending);
  RunLoop::main().performAfter(TransitionDuration, &kTransitionTarget, [pending] {
    if (!pending->done) runPending(pending.get());
  });
}

void ViewController::finishPendingTransitions() { runPending(nullptr); }

void ViewController::discardPendingTransitions() {
  for (auto& w : pendingTransitions())
    if (auto p = w.lock()) p->done = true;
  pendingTransitions().clear();
}

ViewController::ViewController() {
  memoryWarningToken_ = NotificationCenter::defaultCenter().addObserver(
      MemoryWarningNotification, nullptr, [this](const Notification&) { didReceiveMemoryWarning(); }, this);
}

ViewController::~ViewController() {
  NotificationCenter::defaultCenter().removeObserver(memoryWarningToken_);
  for (auto& c : children_) c->parent_.reset();
  if (view_) view_->controller_.reset();
}

const std::shared_ptr<View>& ViewController::view() {
  if (!view_) {
    loadView();
    if (!view_) setView(std::make_shared<View>(Screen::mainScreen().applicationFrame()));
    viewDidLoad();
  }
  return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
  if (view_ == view) return;
  if (view_) view_->controller_.reset();
  view_ = std::move(view);
  if (view_) view_->controller_ = weakAs<ViewController>();
}

void ViewController::loadView() {
  auto v = std::make_shared<View>(Screen::mainScreen().applicationFrame());
  v->setAutoresizingMask(View::FlexibleWidth | View::FlexibleHeight);
  setView(std::move(v));
}

void ViewController::didReceiveMemoryWarning() {
  if (!view_ || view_->window()) return;
  viewWillUnload();
  setView(nullptr);
  viewDidUnload();
}

void ViewController::setTitle(std::string title) {
  title_ = std::move(title);
  if (navigationItem_) navigationItem_->changed();
}

const std::shared_ptr<NavigationItem>& ViewController::navigationItem() {
  if (!navigationItem_) {
    navigationItem_ = std::make_shared<NavigationItem>();
    navigationItem_->controller_ = weakAs<ViewController>();
  }
  return navigationItem_;
}

const std::shared_ptr<TabBarItem>& ViewController::tabBarItem() {
  if (!tabBarItem_) tabBarItem_ = std::make_shared<TabBarItem>();
  return tabBarItem_;
}

void ViewController::setEditing(bool editing, bool animated) { editing_ = editing; }

void ViewController::addChildViewController(std::shared_ptr<ViewController> child) {
  if (!child || child.get() == this) return;
  if (child->parent_.lock().get() == this) return;
  child->removeFromParentViewController();
  child->parent_ = weakAs<ViewController>();
  children_.push_back(child);
  child->didMoveToParentViewController(this);
}

void ViewController::removeFromParentViewController() {
  auto parent = parent_.lock();
  if (!parent) return;
  auto self = sharedAs<ViewController>();
  auto& kids = parent->children_;
  kids.erase(std::remove(kids.begin(), kids.end(), self), kids.end());
  parent_.reset();
  didMoveToParentViewController(nullptr);
}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
  for (auto p = parent_.lock(); p; p = p->parent_.lock())
    if (auto nav = std::dynamic_pointer_cast<NavigationController>(p)) return nav;
  return nullptr;
}

std::shared_ptr<TabBarController> ViewController::tabBarController() const {
  for (auto p = parent_.lock(); p; p = p->parent_.lock())
    if (auto tab = std::dynamic_pointer_cast<TabBarController>(p)) return tab;
  return nullptr;
}

Responder* ViewController::nextResponder() const { return view_ ? view_->superview().get() : nullptr; }

std::shared_ptr<ViewController> ViewController::presentationRoot() {
  auto vc = sharedAs<ViewController>();
  while (auto p = vc->parent_.lock()) vc = p;
  return vc;
}

std::shared_ptr<ViewController> ViewController::presentedViewController() const {
  auto root = const_cast<ViewController*>(this)->presentationRoot();
  return root->presented_;
}

std::shared_ptr<ViewController> ViewController::presentingViewController() const {
  auto root = const_cast<ViewController*>(this)->presentationRoot();
  return root->presenting_.lock();
}

Rect ViewController::rootViewFrame(const Window& w) const {
  Rect b = w.bounds();
  if (wantsFullScreenLayout_) return b;
  double bar = Application::sharedApplication().statusBarFrame().size.height;
  return Rect(0, bar, b.size.width, b.size.height - bar);
}

void ViewController::presentViewController(std::shared_ptr<ViewController> vc, bool animated,
                                           std::function<void()> completion) {
  if (!vc) return;
  finishPendingTransitions();
  auto root = presentationRoot();
  if (root->presented_) {
    std::fprintf(stderr, "Warning: attempt to present %s on %s which is already presenting\n",
                 vc->className().c_str(), root->className().c_str());
    return;
  }
  auto window = root->view()->window();
  if (!window) {
    std::fprintf(stderr, "Warning: attempt to present %s on %s whose view is not in a window\n",
                 vc->className().c_str(), root->className().c_str());
    return;
  }
  if (vc->presenting_.lock() || vc->parent_.lock()) {
    std::fprintf(stderr, "Warning: %s is already presented or contained\n", vc->className().c_str());
    return;
  }
  root->presented_ = vc;
  vc->presenting_ = root;
  const auto& v = vc->view();
  v->setFrame(vc->rootViewFrame(*window));
  bool visible = root->appearState_ == AppearState::Appeared || root->appearState_ == AppearState::Appearing;
  if (visible) root->beginAppearanceTransition(false, animated);
  vc->beginAppearanceTransition(true, animated);
  window->addSubview(v);
  afterTransition(animated, [root, vc, window, visible, completion = std::move(completion)] {
    if (root->presented_ == vc && root->view_ && root->view_->superview() == window)
      root->view_->removeFromSuperview();
    if (visible) root->endAppearanceTransition();
    vc->endAppearanceTransition();
    if (completion) completion();
  });
}

void ViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
  finishPendingTransitions();
  auto root = presentationRoot();
  std::shared_ptr<ViewController> presenter = root->presented_ ? root : root->presenting_.lock();
  if (!presenter || !presenter->presented_) return;
  // Everything presented from the presenter up, top first.
  std::vector<std::shared_ptr<ViewController>> chain;
  for (auto p = presenter->presented_; p; p = p->presented_) chain.insert(chain.begin(), p);
  auto window = chain.front()->view_ ? chain.front()->view_->window() : nullptr;
  const auto& pv = presenter->view();
  if (window && pv->superview() != window) window->insertSubviewBelow(pv, chain.back()->view_.get());
  bool show = window != nullptr;
  if (show) presenter->beginAppearanceTransition(true, animated);
  for (auto& c : chain) c->beginAppearanceTransition(false, animated);
  for (auto& c : chain) {
    c->presented_.reset();
    c->presenting_.reset();
  }
  presenter->presented_.reset();
  afterTransition(animated, [presenter, chain, show, completion = std::move(completion)] {
    for (auto& c : chain) {
      if (c->view_) c->view_->removeFromSuperview();
      c->endAppearanceTransition();
    }
    if (show) presenter->endAppearanceTransition();
    if (completion) completion();
  });
}

std::vector<std::shared_ptr<ViewController>> ViewController::appearanceChildren() const {
  std::vector<std::shared_ptr<ViewController>> out;
  if (!view_) return out;
  for (auto& c : children_)
    if (c->view_ && c->view_->isDescendantOfView(view_.get())) out.push_back(c);
  return out;
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
  auto self = sharedAs<ViewController>();
  if (appearing) {
    if (appearState_ == AppearState::Appeared || appearState_ == AppearState::Appearing) return;
    view();
    appearState_ = AppearState::Appearing;
    appearAnimated_ = animated;
    viewWillAppear(animated);
  } else {
    if (appearState_ == AppearState::Disappeared || appearState_ == AppearState::Disappearing) return;
    appearState_ = AppearState::Disappearing;
    appearAnimated_ = animated;
    viewWillDisappear(animated);
  }
  appearingWith_ = appearanceChildren();
  for (auto& c : appearingWith_) c->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition() {
  auto self = sharedAs<ViewController>();
  if (appearState_ == AppearState::Appearing) {
    appearState_ = AppearState::Appeared;
    viewDidAppear(appearAnimated_);
  } else if (appearState_ == AppearState::Disappearing) {
    appearState_ = AppearState::Disappeared;
    viewDidDisappear(appearAnimated_);
  } else {
    return;
  }
  auto with = std::move(appearingWith_);
  appearingWith_.clear();
  for (auto& c : with) c->endAppearanceTransition();
}

}  // namespace platform
