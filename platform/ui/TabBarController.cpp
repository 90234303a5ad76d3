#include "platform/ui/TabBarController.h"

#include <algorithm>

#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/View.h"

namespace platform {

TabBarController::TabBarController() : tabBar_(std::make_shared<TabBar>()) { setWantsFullScreenLayout(true); }

void TabBarController::installHandler() {
  std::weak_ptr<TabBarController> weak = sharedAs<TabBarController>();
  tabBar_->setSelectionHandler([weak](std::size_t i) {
    if (auto t = weak.lock()) t->userSelected(i);
  });
}

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool) {
  installHandler();
  ViewController::finishPendingTransitions();
  auto old = selectedViewController();
  bool visible = appearState() == AppearState::Appeared || appearState() == AppearState::Appearing;
  for (auto& c : controllers_)
    if (std::find(controllers.begin(), controllers.end(), c) == controllers.end()) {
      if (c == old && visible) c->beginAppearanceTransition(false, false);
      if (c->isViewLoaded()) c->view()->removeFromSuperview();
      c->removeFromParentViewController();
      if (c == old && visible) c->endAppearanceTransition();
    }
  controllers_.clear();
  std::vector<std::shared_ptr<TabBarItem>> items;
  for (auto& c : controllers) {
    if (!c || std::find(controllers_.begin(), controllers_.end(), c) != controllers_.end()) continue;
    if (c->parentViewController().get() != this) addChildViewController(c);
    controllers_.push_back(c);
    items.push_back(c->tabBarItem());
  }
  tabBar_->setItems(items);
  std::size_t keep = SIZE_MAX;
  for (std::size_t i = 0; i < controllers_.size(); ++i)
    if (controllers_[i] == old) keep = i;
  selected_ = SIZE_MAX;
  if (!controllers_.empty()) select(keep == SIZE_MAX ? 0 : keep);
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const {
  return selected_ < controllers_.size() ? controllers_[selected_] : nullptr;
}

void TabBarController::setSelectedIndex(std::size_t index) {
  if (index < controllers_.size()) select(index);
}

void TabBarController::setSelectedViewController(const std::shared_ptr<ViewController>& vc) {
  auto it = std::find(controllers_.begin(), controllers_.end(), vc);
  if (it != controllers_.end()) select(std::size_t(it - controllers_.begin()));
}

void TabBarController::select(std::size_t index) {
  if (index == selected_) return;
  ViewController::finishPendingTransitions();
  auto from = selectedViewController();
  auto to = controllers_[index];
  bool visible = appearState() == AppearState::Appeared || appearState() == AppearState::Appearing;
  if (visible && from) from->beginAppearanceTransition(false, false);
  if (visible) to->beginAppearanceTransition(true, false);
  if (from && from->isViewLoaded()) from->view()->removeFromSuperview();
  selected_ = index;
  tabBar_->setSelectedItem(to->tabBarItem());
  layoutContent();
  if (visible && from) from->endAppearanceTransition();
  if (visible) to->endAppearanceTransition();
}

void TabBarController::userSelected(std::size_t index) {
  if (index >= controllers_.size()) return;
  auto vc = controllers_[index];
  if (auto d = delegate_.lock(); d && !d->shouldSelectViewController(*this, *vc).value_or(true)) return;
  if (index == selected_) {
    if (auto nav = std::dynamic_pointer_cast<NavigationController>(vc))
      nav->popToRootViewControllerAnimated(true);
  } else {
    select(index);
  }
  if (auto d = delegate_.lock()) d->didSelectViewController(*this, *vc);
}

bool TabBarController::isTabBarHidden() const {
  auto nav = std::dynamic_pointer_cast<NavigationController>(selectedViewController());
  if (!nav) return false;
  const auto& stack = nav->viewControllers();
  for (std::size_t i = 1; i < stack.size(); ++i)
    if (stack[i]->hidesBottomBarWhenPushed()) return true;
  return false;
}

void TabBarController::loadView() {
  auto v = std::make_shared<View>(Screen::mainScreen().bounds());
  v->setAutoresizingMask(View::FlexibleWidth | View::FlexibleHeight);
  setView(v);
  installHandler();
  layoutContent();
}

void TabBarController::viewWillLayoutSubviews() { layoutContent(); }

void TabBarController::layoutContent() {
  if (!isViewLoaded()) return;
  const auto& v = view();
  Rect b = v->bounds();
  bool hidden = isTabBarHidden();
  tabBar_->setHidden(hidden);
  tabBar_->setFrame(Rect(b.origin.x, b.maxY() - TabBar::Height, b.size.width, TabBar::Height));
  if (tabBar_->superviewPointer() != v.get()) v->addSubview(tabBar_);
  auto sel = selectedViewController();
  if (!sel) return;
  const auto& sv = sel->view();
  sv->setFrame(Rect(b.origin.x, b.origin.y, b.size.width, b.size.height - (hidden ? 0 : TabBar::Height)));
  if (sv->superviewPointer() != v.get()) v->insertSubviewBelow(sv, tabBar_.get());
}

std::vector<std::shared_ptr<ViewController>> TabBarController::appearanceChildren() const {
  auto sel = selectedViewController();
  if (sel && sel->isViewLoaded() && sel->view()->superviewPointer()) return {sel};
  return {};
}

}  // namespace platform
