#include "platform/ui/NavigationController.h"

#include <algorithm>

#include "platform/foundation/Error.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/View.h"

namespace platform {

NavigationController::NavigationController()
    : bar_(std::make_shared<NavigationBar>(
          Rect(0, 0, Screen::mainScreen().bounds().size.width, NavigationBar::Height))) {
  setWantsFullScreenLayout(true);
}

std::shared_ptr<NavigationController> NavigationController::create(std::shared_ptr<ViewController> root) {
  std::shared_ptr<NavigationController> nc(new NavigationController());
  nc->installBackHandler();
  if (root) nc->pushViewController(std::move(root), false);
  return nc;
}

void NavigationController::installBackHandler() {
  if (backHandlerInstalled_) return;
  backHandlerInstalled_ = true;
  std::weak_ptr<NavigationController> weak = sharedAs<NavigationController>();
  bar_->setBackHandler([weak] {
    if (auto nc = weak.lock()) nc->popViewControllerAnimated(true);
  });
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
  if (auto p = presentedViewController()) return p;
  return topViewController();
}

void NavigationController::loadView() {
  auto v = std::make_shared<View>(Screen::mainScreen().bounds());
  v->setAutoresizingMask(View::FlexibleWidth | View::FlexibleHeight);
  setView(v);
  installBackHandler();
  layoutContent();
}

void NavigationController::viewWillLayoutSubviews() { layoutContent(); }

void NavigationController::layoutContent() {
  if (!isViewLoaded()) return;
  const auto& v = view();
  Rect b = v->bounds();
  double y0 = v->window() ? v->convertPointToView(b.origin, nullptr).y : v->frame().origin.y;
  double status = Application::sharedApplication().statusBarFrame().size.height;
  // The bar and the content keep clear of the status bar while the view starts on the screen; a
  // view its owner lifted above the screen's top (a search bar's editing lifts the navigation by
  // the bar's height) is laid out where it was put.
  double barY = y0 < 0 ? 0.0 : std::max(0.0, status - y0);
  bar_->setFrame(Rect(b.origin.x, b.origin.y + barY, b.size.width, NavigationBar::Height));
  if (bar_->superviewPointer() != v.get())
    v->addSubview(bar_);
  else
    v->bringSubviewToFront(bar_.get());
  auto top = topViewController();
  if (!top) return;
  const auto& tv = top->view();
  bool opaqueBar = !bar_->isHidden() && !bar_->isTranslucent();
  double y = opaqueBar ? barY + NavigationBar::Height : (top->wantsFullScreenLayout() ? 0 : barY);
  tv->setFrame(Rect(b.origin.x, b.origin.y + y, b.size.width, std::max(0.0, b.size.height - y)));
  if (tv->superviewPointer() != v.get()) v->insertSubviewBelow(tv, bar_.get());
}

std::vector<std::shared_ptr<ViewController>> NavigationController::appearanceChildren() const {
  auto top = topViewController();
  if (top && top->isViewLoaded() && const_cast<NavigationController*>(this)->isViewLoaded() &&
      top->view()->superviewPointer() == const_cast<NavigationController*>(this)->view().get())
    return {top};
  return {};
}

void NavigationController::transition(std::shared_ptr<ViewController> from,
                                      std::shared_ptr<ViewController> to,
                                      std::vector<std::shared_ptr<ViewController>> leaving, bool animated) {
  auto self = sharedAs<NavigationController>();
  bool visible = appearState() == AppearState::Appeared || appearState() == AppearState::Appearing;
  if (to)
    if (auto d = delegate_.lock()) d->willShowViewController(*this, *to, animated);
  bool change = from != to;
  // The incoming screen's view is made before the outgoing one hears that it goes.
  if (visible && to) to->view();
  if (visible && change && from) from->beginAppearanceTransition(false, animated);
  if (visible && change && to) to->beginAppearanceTransition(true, animated);
  if (isViewLoaded()) layoutContent();
  if (auto tab = tabBarController()) tab->layoutContent();
  afterTransition(animated, [self, from, to, leaving = std::move(leaving), visible, change, animated] {
    if (from && from != self->topViewController() && from->isViewLoaded() && self->isViewLoaded() &&
        from->view()->superviewPointer() == self->view().get())
      from->view()->removeFromSuperview();
    for (auto& l : leaving)
      if (l->parentViewController() == self) l->removeFromParentViewController();
    if (visible && change && from) from->endAppearanceTransition();
    if (visible && change && to) to->endAppearanceTransition();
    if (to)
      if (auto d = self->delegate_.lock()) d->didShowViewController(*self, *to, animated);
  });
}

void NavigationController::pushViewController(std::shared_ptr<ViewController> vc, bool animated) {
  if (!vc) return;
  if (std::find(stack_.begin(), stack_.end(), vc) != stack_.end())
    throw InvalidArgumentException(
        "Pushing the same view controller instance more than once is not supported");
  installBackHandler();
  finishPendingTransitions();
  auto from = topViewController();
  addChildViewController(vc);
  stack_.push_back(vc);
  bar_->pushNavigationItem(vc->navigationItem(), animated);
  transition(from, vc, {}, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
  if (stack_.size() < 2) return nullptr;
  finishPendingTransitions();
  auto from = stack_.back();
  stack_.pop_back();
  bar_->popNavigationItemAnimated(animated);
  transition(from, stack_.back(), {from}, animated);
  return from;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewControllerAnimated(
    bool animated) {
  if (stack_.empty()) return {};
  return popToViewController(stack_.front().get(), animated);
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(
    const ViewController* vc, bool animated) {
  auto it = std::find_if(stack_.begin(), stack_.end(), [&](auto& c) { return c.get() == vc; });
  if (it == stack_.end() || it + 1 == stack_.end()) return {};
  finishPendingTransitions();
  std::vector<std::shared_ptr<ViewController>> popped(it + 1, stack_.end());
  stack_.erase(it + 1, stack_.end());
  std::vector<std::shared_ptr<NavigationItem>> items;
  for (auto& c : stack_) items.push_back(c->navigationItem());
  bar_->setItems(items, animated);
  transition(popped.back(), stack_.back(), popped, animated);
  return popped;
}

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers,
                                              bool animated) {
  installBackHandler();
  finishPendingTransitions();
  std::vector<std::shared_ptr<ViewController>> list;
  for (auto& c : controllers)
    if (c && std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
  auto from = topViewController();
  std::vector<std::shared_ptr<ViewController>> leaving;
  for (auto& c : stack_)
    if (std::find(list.begin(), list.end(), c) == list.end()) leaving.push_back(c);
  for (auto& c : list)
    if (c->parentViewController().get() != this) addChildViewController(c);
  stack_ = list;
  std::vector<std::shared_ptr<NavigationItem>> items;
  for (auto& c : stack_) items.push_back(c->navigationItem());
  bar_->setItems(items, animated);
  transition(from, topViewController(), std::move(leaving), animated);
}

void NavigationController::setNavigationBarHidden(bool hidden, bool animated) {
  bar_->setHidden(hidden);
  layoutContent();
  if (auto tab = tabBarController()) tab->layoutContent();
}

}  // namespace platform
