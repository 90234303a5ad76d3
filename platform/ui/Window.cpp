#include "platform/ui/Window.h"

#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

Window::Window() : Window(Screen::mainScreen().bounds()) {}

Window::Window(Rect frame) : View(frame) {
  asWindow_ = this;
  initHidden(true);
}

Window::~Window() = default;

void Window::makeKeyAndVisible() {
  setHidden(false);
  makeKeyWindow();
}

void Window::makeKeyWindow() { Application::sharedApplication().makeKey(this); }

bool Window::isKeyWindow() const { return Application::sharedApplication().keyWindow().get() == this; }

void Window::setHidden(bool hidden) {
  if (hidden == isHidden()) return;
  auto root = root_;
  if (hidden) {
    if (root) root->beginAppearanceTransition(false, false);
    View::setHidden(true);
    Application::sharedApplication().windowDidHide(this);
    if (root) root->endAppearanceTransition();
  } else {
    if (root) root->beginAppearanceTransition(true, false);
    View::setHidden(false);
    Application::sharedApplication().windowDidShow(this);
    if (root) root->endAppearanceTransition();
  }
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
  if (controller == root_) return;
  ViewController::finishPendingTransitions();
  bool shown = !isHidden();
  if (auto old = root_) {
    if (shown) old->beginAppearanceTransition(false, false);
    if (old->isViewLoaded()) old->view()->removeFromSuperview();
    root_.reset();
    if (shown) old->endAppearanceTransition();
  }
  root_ = controller;
  if (!controller) return;
  const auto& v = controller->view();
  v->setFrame(controller->rootViewFrame(*this));
  if (shown) controller->beginAppearanceTransition(true, false);
  insertSubview(v, 0);
  if (shown) controller->endAppearanceTransition();
}

void Window::describeProperties(std::vector<std::string>& out) const {
  if (isKeyWindow()) out.push_back("key");
  if (windowLevel() != LevelNormal) out.push_back("level=" + formatNumber(windowLevel()));
  View::describeProperties(out);
}

}  // namespace platform
