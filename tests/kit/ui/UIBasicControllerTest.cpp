#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {

class HomeViewController : public UIBasicController {};
KAVRO_CLASS(HomeViewController, UIBasicController);

namespace {

class CountingScreen : public UIBasicController {
 public:
  void customView() override {
    UIBasicController::customView();
    ++built;
  }
  void changeSkin() override {
    UIBasicController::changeSkin();
    ++skinned;
  }
  void userStatusChanged() override { ++statusChanges; }
  int built = 0, skinned = 0, statusChanges = 0;
};

// Counts the reloads of the list it controls.
class ReloadCounter : public ListViewDelegate {
 public:
  bool listViewOnReloaded(ListView&) override {
    ++reloads;
    return true;
  }
  int reloads = 0;
};

class UIBasicControllerTest : public test::KitUITest {};

TEST_F(UIBasicControllerTest, BuildsOnceFollowsNotificationsAndRegisters) {
  auto screen = UIBasicController::create<CountingScreen>();
  EXPECT_EQ(AppControllers::mostRecentController(), screen);  // before it is shown
  screen->view();
  EXPECT_EQ(screen->built, 1);
  EXPECT_EQ(screen->skinned, 1);
  EXPECT_EQ(screen->navigationItem()->backBarButtonItem()->title(),
            AppCoreInfo::getLocalizedString("common_text_return"));

  screen->setView(nullptr);  // unloaded, then loaded again
  screen->view();
  EXPECT_EQ(screen->built, 1);
  EXPECT_EQ(screen->skinned, 2);

  auto& center = platform::NotificationCenter::defaultCenter();
  center.post(UIBasicController::skinChangedNotify);
  center.post(userStatusChangedNotify);
  EXPECT_EQ(screen->skinned, 3);  // one observer, not two
  EXPECT_EQ(screen->statusChanges, 1);
  screen->navigationItem()->setBackBarButtonItem(nullptr);
  center.post(UIBasicController::languageChangedNotify);
  EXPECT_TRUE(screen->navigationItem()->backBarButtonItem());

  EXPECT_FALSE(screen->shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation::LandscapeLeft));
  screen.reset();
  EXPECT_EQ(AppControllers::stackPath(), "");
  center.post(userStatusChangedNotify);  // nobody left to hear it
}

TEST_F(UIBasicControllerTest, SkinChangeReloadsOnlyDirectListSubviews) {
  auto screen = UIBasicController::create<CountingScreen>();
  auto directCounter = std::make_shared<ReloadCounter>();
  auto nestedCounter = std::make_shared<ReloadCounter>();
  auto direct = ListView::plainListViewForDelegate(directCounter);
  auto holder = std::make_shared<platform::View>();
  auto nested = ListView::plainListViewForDelegate(nestedCounter);
  screen->view()->addSubview(direct);
  screen->view()->addSubview(holder);
  holder->addSubview(nested);
  directCounter->reloads = nestedCounter->reloads = 0;
  screen->changeSkin();
  EXPECT_EQ(directCounter->reloads, 1);
  EXPECT_EQ(nestedCounter->reloads, 0);
}

TEST_F(UIBasicControllerTest, OpensModallyFromHomeAndPushesElsewhere) {
  auto home = UIBasicController::create<HomeViewController>();
  window->setRootViewController(home);
  auto modal = UIBasicController::OpenUIBasicController<CountingScreen>();
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(home->presentedViewController(), modal->navigationController());
  ASSERT_TRUE(modal->closeButton());
  EXPECT_EQ(modal->navigationItem()->leftBarButtonItem(), modal->closeButton());
  EXPECT_EQ(modal->closeButton()->title(), AppCoreInfo::getLocalizedString("common_text_back_to_home"));
  EXPECT_EQ(AppControllers::mostRecentController(), modal);

  auto pushed = UIBasicController::OpenUIBasicController<CountingScreen>();
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(modal->navigationController()->topViewController(), pushed);
  EXPECT_TRUE(pushed->hidesBottomBarWhenPushed());
  EXPECT_FALSE(pushed->closeButton());
  EXPECT_TRUE(vc::prevControllerIsKindOfClass<CountingScreen>(*pushed));

  vc::closeViewController(*pushed);  // pops
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(AppControllers::mostRecentController(), modal);
  EXPECT_FALSE(vc::prevControllerIsKindOfClass<CountingScreen>(*modal));  // the root
  modal->closeButton()->sendAction();                                     // dismisses
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(home->presentedViewController(), nullptr);
}

TEST_F(UIBasicControllerTest, ContentAreaFollowsTheBars) {
  auto screen = UIBasicController::create<CountingScreen>();
  auto nav = platform::NavigationController::create(screen);
  window->setRootViewController(nav);
  EXPECT_DOUBLE_EQ(vc::getMainViewHeight(*screen), 480 - 20 - 44);
  auto content = std::make_shared<platform::View>();
  vc::addFullSubview(*screen, content);
  EXPECT_EQ(content->frame(), platform::Rect(0, 44, 320, 416));
  EXPECT_EQ(screen->view()->subviews().back(), content);

  nav->setNavigationBarHidden(true, false);
  vc::addFullSubview(*screen, content);
  EXPECT_EQ(content->frame(), platform::Rect(0, 0, 320, 460));
  vc::addFullSubview(*screen, nullptr);
}

}  // namespace
}  // namespace kavro
