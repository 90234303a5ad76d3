#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/View.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;
using Log = std::vector<std::string>;

class ContainmentTest : public UITest {
 protected:
  Log log;
  std::shared_ptr<RecordingController> make(const std::string& name) {
    return std::make_shared<RecordingController>(name, &log);
  }
};

TEST_F(ContainmentTest, ChildrenWhoseViewsAreShownAppearWithTheirParent) {
  auto parent = make("parent");
  auto shown = make("shown");
  auto offstage = make("offstage");
  parent->addChildViewController(shown);
  parent->addChildViewController(offstage);
  parent->view()->addSubview(shown->view());
  log.clear();
  window->setRootViewController(parent);
  EXPECT_EQ(log, (Log{"parent.willAppear", "shown.willAppear", "parent.didAppear", "shown.didAppear"}));
  EXPECT_EQ(offstage->appearState(), ViewController::AppearState::Disappeared);
  offstage->removeFromParentViewController();
  EXPECT_EQ(parent->childViewControllers().size(), 1u);
  // A second appearance transition while shown changes nothing.
  log.clear();
  parent->beginAppearanceTransition(true, false);
  parent->endAppearanceTransition();
  EXPECT_TRUE(log.empty());
}

TEST_F(ContainmentTest, DismissingTakesEverythingPresentedAboveAway) {
  auto home = make("home");
  window->setRootViewController(home);
  auto first = make("first");
  auto second = make("second");
  home->presentViewController(first, false);
  first->presentViewController(second, false);
  EXPECT_EQ(second->presentingViewController(), first);
  log.clear();
  home->dismissViewControllerAnimated(true);
  EXPECT_EQ(log, (Log{"home.willAppear", "second.willDisappear"}));
  runFor(ViewController::TransitionDuration);
  EXPECT_EQ(log, (Log{"home.willAppear", "second.willDisappear", "second.didDisappear", "home.didAppear"}));
  EXPECT_EQ(window->subviews().size(), 1u);
  EXPECT_EQ(home->presentedViewController(), nullptr);
}

TEST_F(ContainmentTest, TabsAskTheirDelegateAndTheSelectedNavigationPopsToRoot) {
  struct Gate : TabBarControllerDelegate {
    std::vector<std::string> told;
    std::optional<bool> shouldSelectViewController(TabBarController&, ViewController& vc) override {
      return vc.title() != "locked";
    }
    void didSelectViewController(TabBarController&, ViewController& vc) override {
      told.push_back(vc.title());
    }
  };
  auto gate = std::make_shared<Gate>();
  auto home = make("home");
  auto nav = NavigationController::create(home);
  nav->setTitle("jobs");
  nav->tabBarItem()->setTitle("Jobs");
  auto locked = make("locked");
  locked->setTitle("locked");
  locked->tabBarItem()->setTitle("Me");
  locked->tabBarItem()->setBadgeValue("3");
  auto tabs = std::make_shared<TabBarController>();
  tabs->setDelegate(gate);
  tabs->setViewControllers({nav, locked});
  window->setRootViewController(tabs);
  nav->pushViewController(make("detail"), false);
  ASSERT_TRUE(UIDriver::tap("Me (3)"));
  EXPECT_EQ(tabs->selectedIndex(), 0u);
  ASSERT_TRUE(UIDriver::tap("Jobs"));
  runFor(ViewController::TransitionDuration);
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  EXPECT_EQ(gate->told, (std::vector<std::string>{"jobs"}));
}

TEST_F(ContainmentTest, ATappedTabShowsItsScreenAboveTheBarInPlaceOfTheOldOne) {
  auto jobs = make("jobs");
  jobs->tabBarItem()->setTitle("Jobs");
  auto me = make("me");
  me->tabBarItem()->setTitle("Me");
  auto tabs = std::make_shared<TabBarController>();
  tabs->setViewControllers({jobs, me});
  window->setRootViewController(tabs);
  const Rect content = jobs->view()->frame();
  EXPECT_EQ(content.size.height, tabs->view()->bounds().size.height - TabBar::Height);
  // Two tabs share the bar, each as tall as the bar, its title in sight inside it.
  const auto& bar = tabs->tabBar();
  bar->layoutIfNeeded();
  const Rect barOnScreen = bar->convertRectToView(bar->bounds(), nullptr);
  EXPECT_EQ(barOnScreen, Rect(0, 480 - TabBar::Height, 320, TabBar::Height));
  ASSERT_EQ(bar->subviews().size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    auto tab = std::dynamic_pointer_cast<Button>(bar->subviews()[i]);
    ASSERT_TRUE(tab) << i;
    EXPECT_EQ(tab->frame(), Rect(160.0 * double(i), 0, 160, TabBar::Height)) << i;
    const Rect title = UIDriver::visibleRect(*tab->titleLabel());
    EXPECT_FALSE(title.isEmpty()) << i;
    EXPECT_TRUE(barOnScreen.containsRect(title)) << i;
    EXPECT_TRUE(tab->frame().offsetBy(0, barOnScreen.origin.y).containsRect(title)) << i;
  }
  EXPECT_TRUE(jobs->view()->window());
  EXPECT_FALSE(me->isViewLoaded() && me->view()->window());

  log.clear();
  ASSERT_TRUE(UIDriver::tap("Me"));
  EXPECT_EQ(tabs->selectedIndex(), 1u);
  EXPECT_TRUE(me->view()->window()) << "the new screen is on screen";
  EXPECT_EQ(me->view()->frame(), content) << "above the bar, where the old one was";
  EXPECT_FALSE(jobs->view()->window()) << "the old one is gone";
  EXPECT_EQ(log, (Log{"jobs.willDisappear", "me.loadView", "me.viewDidLoad", "me.willAppear",
                      "jobs.didDisappear", "me.didAppear"}));

  ASSERT_TRUE(UIDriver::tap("Jobs"));
  EXPECT_EQ(tabs->selectedIndex(), 0u);
  EXPECT_TRUE(jobs->view()->window());
  EXPECT_FALSE(me->view()->window());
}

TEST_F(ContainmentTest, KeyboardDropsAPendingDidShowWhenItGoesAtOnce) {
  int didShow = 0, didHide = 0;
  NotificationCenter::defaultCenter().addObserver(
      KeyboardDidShowNotification, nullptr, [&](const Notification&) { ++didShow; }, this);
  NotificationCenter::defaultCenter().addObserver(
      KeyboardDidHideNotification, nullptr, [&](const Notification&) { ++didHide; }, this);
  Screen::mainScreen().setSize({320, 568});
  auto field = std::make_shared<TextField>(Rect(0, 100, 100, 30));
  window->addSubview(field);
  field->becomeFirstResponder();
  EXPECT_EQ(Keyboard::shared().frame(), Rect(0, 352, 320, 216));
  field->resignFirstResponder();
  runFor(1);
  NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
  EXPECT_EQ(didShow, 0);
  EXPECT_EQ(didHide, 1);
  EXPECT_EQ(Keyboard::shared().frame(), Rect(0, 568, 320, 216));
}

TEST_F(ContainmentTest, WindowsKeepTheirOrderAndTheKeyMovesOn) {
  auto second = std::make_shared<Window>();
  second->makeKeyAndVisible();
  EXPECT_TRUE(second->isKeyWindow());
  EXPECT_EQ(Application::sharedApplication().windows().back(), second);
  second->setHidden(true);
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_EQ(Application::sharedApplication().windows().size(), 1u);
  second.reset();  // windows are not kept alive by the application
  EXPECT_EQ(Application::sharedApplication().windows().size(), 1u);

  auto seg = std::make_shared<SegmentedControl>(std::vector<std::string>{"a", "b", "c"});
  seg->setSelectedSegmentIndex(2);
  seg->removeSegmentAtIndex(0);
  EXPECT_EQ(seg->selectedSegmentIndex(), 1);
  seg->removeSegmentAtIndex(1);
  EXPECT_EQ(seg->selectedSegmentIndex(), SegmentedControl::NoSegment);

  auto pages = std::make_shared<PageControl>(Rect(0, 100, 320, 36));
  pages->setNumberOfPages(4);
  pages->setDefersCurrentPageDisplay(true);
  window->addSubview(pages);
  UIDriver::tapAt({300, 118});
  EXPECT_EQ(pages->currentPage(), 1);
  EXPECT_EQ(pages->subviews()[0]->backgroundColor(), Color::white());  // still shows page 0
  pages->updateCurrentPageDisplay();
  EXPECT_EQ(pages->subviews()[1]->backgroundColor(), Color::white());
}

}  // namespace
}  // namespace kavro::test
