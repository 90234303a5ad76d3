#pragma once
#include <memory>
#include <vector>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/ViewController.h"

namespace platform {

class NavigationController;

// Told around every change of the screen on top; both optional.
class NavigationControllerDelegate {
 public:
  virtual ~NavigationControllerDelegate() = default;
  virtual void willShowViewController(NavigationController& nc, ViewController& vc, bool animated) {}
  virtual void didShowViewController(NavigationController& nc, ViewController& vc, bool animated) {}
};

// A stack of screens under a navigation bar. Its view fills the window (a full-screen layout);
// the bar stands just below the status bar (when the view starts under it) and the top screen's
// view fills the rest: below the bar when the bar is shown and opaque, from the bar's top when it
// is translucent or hidden. Pushing and popping run the appearance calls of the screens that come
// and go (ViewController) and keep the bar's items in step; the bar's back button pops, animated.
// Pushing a screen that is already on the stack throws InvalidArgumentException, as the platform
// does. Popped screens leave the controller (parent null) when their transition ends.
class NavigationController : public ViewController {
 public:
  // A new controller with root as the only screen.
  static std::shared_ptr<NavigationController> create(std::shared_ptr<ViewController> root);

  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
  std::shared_ptr<ViewController> topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
  }
  // What the top screen presents, else the top screen.
  std::shared_ptr<ViewController> visibleViewController() const;

  void pushViewController(std::shared_ptr<ViewController> vc, bool animated);
  // Null when only the root is left.
  std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
  std::vector<std::shared_ptr<ViewController>> popToRootViewControllerAnimated(bool animated);
  // Empty when vc is not on the stack.
  std::vector<std::shared_ptr<ViewController>> popToViewController(const ViewController* vc, bool animated);
  void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated);

  const std::shared_ptr<NavigationBar>& navigationBar() const { return bar_; }
  bool isNavigationBarHidden() const { return bar_->isHidden(); }
  void setNavigationBarHidden(bool hidden, bool animated);

  const std::weak_ptr<NavigationControllerDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<NavigationControllerDelegate> d) { delegate_ = std::move(d); }

  void loadView() override;
  void viewWillLayoutSubviews() override;

 protected:
  std::vector<std::shared_ptr<ViewController>> appearanceChildren() const override;

 private:
  void transition(std::shared_ptr<ViewController> from, std::shared_ptr<ViewController> to,
                  std::vector<std::shared_ptr<ViewController>> leaving, bool animated);
  void layoutContent();
  void installBackHandler();

  std::vector<std::shared_ptr<ViewController>> stack_;
  std::shared_ptr<NavigationBar> bar_;
  std::weak_ptr<NavigationControllerDelegate> delegate_;
  bool backHandlerInstalled_ = false;

 protected:
  NavigationController();
};

}  // namespace platform
