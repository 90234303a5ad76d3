#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/TabBar.h"
#include "platform/ui/ViewController.h"

namespace platform {

class TabBarController;

// Asked before a tab the user taps is selected, told after; both optional.
class TabBarControllerDelegate {
 public:
  virtual ~TabBarControllerDelegate() = default;
  virtual std::optional<bool> shouldSelectViewController(TabBarController& tbc, ViewController& vc) {
    return std::nullopt;
  }
  virtual void didSelectViewController(TabBarController& tbc, ViewController& vc) {}
};

// Screens side by side behind a tab bar. Its view fills the window; the tab bar stands at the
// bottom (TabBar::Height) and the selected screen's view fills the rest. The tab bar hides while
// the selected screen is a navigation controller one of whose pushed screens (not the root)
// hides the bottom bar; the content then reaches the bottom. A tap on the selected tab of a
// navigation controller pops it to its root.
class TabBarController : public ViewController {
 public:
  TabBarController();

  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return controllers_; }
  void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated = false);
  // NotFound-like: SIZE_MAX when there are no controllers.
  std::size_t selectedIndex() const { return selected_; }
  void setSelectedIndex(std::size_t index);
  std::shared_ptr<ViewController> selectedViewController() const;
  void setSelectedViewController(const std::shared_ptr<ViewController>& vc);
  const std::shared_ptr<TabBar>& tabBar() const { return tabBar_; }
  // Whether the tab bar is hidden for the selected screen now.
  bool isTabBarHidden() const;

  const std::weak_ptr<TabBarControllerDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<TabBarControllerDelegate> d) { delegate_ = std::move(d); }

  void loadView() override;
  void viewWillLayoutSubviews() override;
  // Lays the selected view and the tab bar out again (after a push or pop changed the bar's need).
  void layoutContent();

 protected:
  std::vector<std::shared_ptr<ViewController>> appearanceChildren() const override;

 private:
  void select(std::size_t index);
  void userSelected(std::size_t index);
  void installHandler();

  std::vector<std::shared_ptr<ViewController>> controllers_;
  std::size_t selected_ = SIZE_MAX;
  std::shared_ptr<TabBar> tabBar_;
  std::weak_ptr<TabBarControllerDelegate> delegate_;
};

}  // namespace platform
