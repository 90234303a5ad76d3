#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/View.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;
using Log = std::vector<std::string>;

class ControllerTest : public UITest {
 protected:
  Log log;
  std::shared_ptr<RecordingController> make(const std::string& name) {
    return std::make_shared<RecordingController>(name, &log);
  }
};

TEST_F(ControllerTest, ViewLoadsOnceAndUnloadsOnlyOffScreen) {
  auto a = make("a");
  a->view();
  a->view();
  EXPECT_EQ(log, (Log{"a.loadView", "a.viewDidLoad"}));
  // The root view fills the application frame, below the status bar.
  EXPECT_EQ(a->view()->frame(), Rect(0, 20, 320, 460));

  window->setRootViewController(a);
  EXPECT_EQ(log.back(), "a.didAppear");
  log.clear();
  Application::sharedApplication().receiveMemoryWarning();
  EXPECT_TRUE(a->isViewLoaded());  // on screen: kept

  window->setRootViewController(nullptr);
  Application::sharedApplication().receiveMemoryWarning();
  EXPECT_FALSE(a->isViewLoaded());
  a->view();
  EXPECT_EQ(log,
            (Log{"a.willDisappear", "a.didDisappear", "a.viewDidUnload", "a.loadView", "a.viewDidLoad"}));
}

TEST_F(ControllerTest, AWindowTellsItsScreenOnceEachTimeItShowsOrHidesAndNotWhenItStaysAsItIs) {
  Log log;
  window->setRootViewController(std::make_shared<RecordingController>("root", &log));
  log.clear();
  window->setHidden(false);
  EXPECT_EQ(log, Log{}) << "shown already";
  window->setHidden(true);
  window->setHidden(true);
  EXPECT_EQ(log, (Log{"root.willDisappear", "root.didDisappear"}));
  EXPECT_FALSE(window->isKeyWindow());
  log.clear();
  window->setHidden(false);
  window->setHidden(false);
  EXPECT_EQ(log, (Log{"root.willAppear", "root.didAppear"}));

  // Shown again while a screen slides over it: the screen below goes on going.
  log.clear();
  window->rootViewController()->presentViewController(std::make_shared<RecordingController>("modal", &log),
                                                      true);
  window->setHidden(false);
  runFor(1);
  EXPECT_EQ(log, (Log{"modal.loadView", "modal.viewDidLoad", "root.willDisappear", "modal.willAppear",
                      "root.didDisappear", "modal.didAppear"}));
}

TEST_F(ControllerTest, PushAndPopRunAppearanceInOrderAfterTheTransition) {
  auto root = make("root");
  auto nav = NavigationController::create(root);
  window->setRootViewController(nav);
  EXPECT_EQ(log, (Log{"root.loadView", "root.viewDidLoad", "root.willAppear", "root.didAppear"}));
  EXPECT_EQ(nav->view()->frame(), Rect(0, 0, 320, 480));
  EXPECT_EQ(nav->navigationBar()->frame(), Rect(0, 20, 320, 44));
  EXPECT_EQ(root->view()->frame(), Rect(0, 64, 320, 416));

  log.clear();
  auto second = make("second");
  nav->pushViewController(second, true);
  EXPECT_EQ(log, (Log{"second.loadView", "second.viewDidLoad", "root.willDisappear", "second.willAppear"}));
  EXPECT_EQ(second->navigationController(), nav);
  runFor(ViewController::TransitionDuration);
  EXPECT_EQ(log.size(), 6u);
  EXPECT_EQ(log[4], "root.didDisappear");
  EXPECT_EQ(log[5], "second.didAppear");
  EXPECT_FALSE(root->view()->superview());

  log.clear();
  auto popped = nav->popViewControllerAnimated(true);
  EXPECT_EQ(popped, second);
  // In will-disappear the popped screen still has its navigation controller; afterwards not.
  EXPECT_EQ(second->navigationController(), nav);
  runFor(ViewController::TransitionDuration);
  EXPECT_EQ(log, (Log{"second.willDisappear", "root.willAppear", "second.didDisappear", "root.didAppear"}));
  EXPECT_EQ(second->parentViewController(), nullptr);
  EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr);  // the root stays

  EXPECT_THROW(nav->pushViewController(root, false), InvalidArgumentException);
}

TEST_F(ControllerTest, TranslucentOrHiddenBarLetsTheScreenStartUnderIt) {
  auto root = make("root");
  auto nav = NavigationController::create(root);
  window->setRootViewController(nav);
  nav->navigationBar()->setTranslucent(true);
  nav->viewWillLayoutSubviews();
  EXPECT_EQ(root->view()->frame(), Rect(0, 20, 320, 460));
  nav->navigationBar()->setTranslucent(false);
  nav->setNavigationBarHidden(true, false);
  EXPECT_EQ(root->view()->frame(), Rect(0, 20, 320, 460));
}

TEST_F(ControllerTest, ModalPresentationCoversAndComesBack) {
  auto home = make("home");
  window->setRootViewController(home);
  log.clear();
  auto modal = make("modal");
  auto modalNav = NavigationController::create(modal);
  bool completed = false;
  home->presentViewController(modalNav, true, [&] { completed = true; });
  EXPECT_EQ(log, (Log{"modal.loadView", "modal.viewDidLoad", "home.willDisappear", "modal.willAppear"}));
  EXPECT_FALSE(completed);
  runFor(ViewController::TransitionDuration);
  EXPECT_TRUE(completed);
  EXPECT_EQ(home->presentedViewController(), modalNav);
  EXPECT_EQ(modal->presentingViewController(), home);
  EXPECT_FALSE(home->view()->window());  // covered views leave the window

  // Presenting again from the same chain is refused.
  home->presentViewController(make("other"), false);
  EXPECT_EQ(home->presentedViewController(), modalNav);

  log.clear();
  modal->dismissViewControllerAnimated(false);  // asks its presenter
  EXPECT_EQ(log, (Log{"home.willAppear", "modal.willDisappear", "modal.didDisappear", "home.didAppear"}));
  EXPECT_EQ(home->presentedViewController(), nullptr);
  EXPECT_TRUE(home->view()->window());
  EXPECT_FALSE(modalNav->view()->window());
}

TEST_F(ControllerTest, TabBarHidesForScreensThatAskWhenPushed) {
  auto first = make("first");
  auto nav = NavigationController::create(first);
  auto other = make("other");
  auto tabs = std::make_shared<TabBarController>();
  tabs->setViewControllers({nav, other});
  window->setRootViewController(tabs);
  EXPECT_EQ(nav->view()->frame(), Rect(0, 0, 320, 431));
  EXPECT_FALSE(tabs->tabBar()->isHidden());

  auto pushed = make("pushed");
  pushed->setHidesBottomBarWhenPushed(true);
  nav->pushViewController(pushed, false);
  EXPECT_TRUE(tabs->tabBar()->isHidden());
  EXPECT_EQ(nav->view()->frame(), Rect(0, 0, 320, 480));
  EXPECT_EQ(pushed->tabBarController(), tabs);

  log.clear();
  tabs->setSelectedIndex(1);
  EXPECT_EQ(log, (Log{"pushed.willDisappear", "other.loadView", "other.viewDidLoad", "other.willAppear",
                      "pushed.didDisappear", "other.didAppear"}));
}

TEST_F(ControllerTest, AnUntitledScreenBelowGivesABackButtonInTheUsersLanguage) {
  auto below = std::make_shared<ViewController>();
  auto nav = NavigationController::create(below);
  window->setRootViewController(nav);
  nav->pushViewController(std::make_shared<ViewController>(), false);
  ASSERT_TRUE(nav->navigationBar()->backButton());
  EXPECT_EQ(nav->navigationBar()->backButton()->currentTitle(), "返回");
  EXPECT_EQ(nav->navigationBar()->backButton()->accessibilityLabel(), "返回");
}

// The bar keeps its buttons from pass to pass; what it shows must still follow every change.
TEST_F(ControllerTest, TheBarsButtonsFollowTheTitlesAndItemsAsTheyChange) {
  auto below = make("below");
  below->setTitle("Jobs");
  auto nav = NavigationController::create(below);
  window->setRootViewController(nav);
  auto top = make("top");
  int sent = 0;
  auto item =
      std::make_shared<BarButtonItem>("Go", BarButtonItemStyle::Bordered, [&](BarButtonItem&) { ++sent; });
  top->navigationItem()->setRightBarButtonItem(item, false);
  nav->pushViewController(top, false);
  auto bar = nav->navigationBar();
  ASSERT_TRUE(bar->backButton());
  EXPECT_EQ(bar->backButton()->currentTitle(), "Jobs");
  EXPECT_TRUE(UIDriver::tap("Go"));
  EXPECT_EQ(sent, 1);

  below->setTitle("Saved jobs");
  bar->layoutIfNeeded();
  EXPECT_EQ(bar->backButton()->currentTitle(), "Saved jobs");
  EXPECT_FALSE(UIDriver::findView("Jobs")) << "the old back button is gone from the bar";

  item->setTitle("Stop");
  bar->layoutIfNeeded();
  EXPECT_FALSE(UIDriver::findView("Go"));
  EXPECT_TRUE(UIDriver::tap("Stop"));
  EXPECT_EQ(sent, 2);
  item->setEnabled(false);
  bar->setNeedsLayout();
  bar->layoutIfNeeded();
  auto stop = std::dynamic_pointer_cast<Button>(UIDriver::findView("Stop"));
  ASSERT_TRUE(stop);
  EXPECT_FALSE(stop->isEnabled());
  UIDriver::tap("Stop");
  EXPECT_EQ(sent, 2) << "a disabled item sends nothing";
  // Another item in its place: the bar shows it at its next pass, and the old one is gone.
  top->navigationItem()->setRightBarButtonItem(
      std::make_shared<BarButtonItem>("Next", BarButtonItemStyle::Bordered), false);
  bar->layoutIfNeeded();
  EXPECT_TRUE(UIDriver::findView("Next"));
  EXPECT_FALSE(UIDriver::findView("Stop"));

  top->setTitle("Found");
  bar->layoutIfNeeded();
  EXPECT_TRUE(UIDriver::findView("Found"));
  top->setTitle("Results");
  bar->layoutIfNeeded();
  EXPECT_TRUE(UIDriver::findView("Results"));
  EXPECT_FALSE(UIDriver::findView("Found")) << "one title label, showing the new title";
  // The title stands in the middle of the bar, as tall as the bar and as wide as its text.
  auto title = UIDriver::findView("Results");
  ASSERT_TRUE(title);
  const double textWidth =
      std::ceil(TextMetrics::widthOfText("Results", Font::boldSystemFontOfSize(20)) - 1e-9);
  EXPECT_EQ(title->frame(), Rect(std::floor((320 - textWidth) / 2), 0, textWidth, NavigationBar::Height));

  EXPECT_TRUE(UIDriver::tap("Saved jobs"));
  runFor(1);
  EXPECT_EQ(nav->topViewController(), below);
}

TEST_F(ControllerTest, StackChangesTellTheDelegateAndKeepTheBarInStep) {
  struct NavLog : NavigationControllerDelegate {
    std::vector<std::string> shown;
    void didShowViewController(NavigationController&, ViewController& vc, bool) override {
      shown.push_back(vc.title());
    }
  };
  auto navLog = std::make_shared<NavLog>();
  std::vector<std::shared_ptr<ViewController>> screens;
  for (auto name : {"A", "B", "C", "D"}) {
    screens.push_back(std::make_shared<ViewController>());
    screens.back()->setTitle(name);
  }
  auto nav = NavigationController::create(screens[0]);
  nav->setDelegate(navLog);
  window->setRootViewController(nav);
  screens[0]->navigationItem()->setBackBarButtonItem(
      std::make_shared<BarButtonItem>("返回", BarButtonItemStyle::Plain));
  nav->setViewControllers({screens[0], screens[1], screens[2]}, false);
  EXPECT_EQ(nav->navigationBar()->items().size(), 3u);
  for (int i : {0, 1, 2}) EXPECT_EQ(screens[i]->navigationController(), nav) << i;
  EXPECT_EQ(nav->navigationBar()->backButton()->currentTitle(), "B");
  EXPECT_EQ(nav->navigationBar()->backButton()->accessibilityLabel(), "B");
  nav->pushViewController(screens[3], false);
  // Popping to the screen on top, or to one not on the stack, pops nothing and tells nobody.
  for (auto* target : {screens[3].get(), static_cast<ViewController*>(nullptr)}) {
    EXPECT_TRUE(nav->popToViewController(target, false).empty());
    EXPECT_EQ(nav->topViewController(), screens[3]);
    EXPECT_EQ(nav->viewControllers().size(), 4u);
    EXPECT_EQ(nav->navigationBar()->items().size(), 4u);
    EXPECT_EQ(navLog->shown, (std::vector<std::string>{"C", "D"}));
  }
  auto popped = nav->popToViewController(screens[1].get(), false);
  EXPECT_EQ(popped.size(), 2u);
  EXPECT_EQ(nav->navigationBar()->backButton()->currentTitle(), "返回");
  screens[1]->navigationItem()->setHidesBackButton(true);
  EXPECT_FALSE(nav->navigationBar()->backButton());
  screens[1]->navigationItem()->setHidesBackButton(false);
  EXPECT_TRUE(nav->navigationBar()->backButton());
  screens[1]->navigationItem()->setLeftBarButtonItem(
      std::make_shared<BarButtonItem>("Cancel", BarButtonItemStyle::Bordered));
  EXPECT_FALSE(nav->navigationBar()->backButton());
  EXPECT_EQ(nav->popToRootViewControllerAnimated(false).size(), 1u);
  EXPECT_EQ(navLog->shown, (std::vector<std::string>{"C", "D", "B", "A"}));
  EXPECT_EQ(screens[2]->parentViewController(), nullptr);
}

}  // namespace
}  // namespace kavro::test
