#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/home/AppBaseDelegate.h"
#include "app/home/HomeViewController.h"
#include "app/home/ios_kavroAppDelegate.h"
#include "app/jobmap/JobAppleMapController.h"
#include "app/jobmap/JobGeoMapController.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/jobsearch/JobSearchController.h"
#include "app/shell/AppCoreInfoApp.h"
#include "app/shell/AppTracking.h"
#include "app/shell/DataBaseCleanOps.h"
#include "app/shell/PushUnit.h"
#include "demo/ApiFixtureServer.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/AppUtil.h"
#include "kit/core/StoreDataTypes.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/runtime/ClassRef.h"
#include "platform/system/PushRegistration.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIDriver.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

namespace fs = std::filesystem;

std::string dataFolder() { return platform::Environment::documentsPath() + "/kavro_client_data"; }

class StartSequenceTest : public test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    home_ = std::make_unique<test::TempHome>();
    platform::Environment::setApiHostUrl(server_.hostUrl());
  }
  void TearDown() override {
    ios_kavroAppDelegate::destroySharedServices();
    delegate_.reset();
    platform::Environment::setApiHostUrl("");
    home_.reset();
    VirtualRunLoopTest::TearDown();
  }

  // One start of the application, as the program's entry does it.
  void launch() {
    if (delegate_) ios_kavroAppDelegate::destroySharedServices();
    delegate_ = std::make_shared<ios_kavroAppDelegate>();
    auto& app = platform::Application::sharedApplication();
    app.setDelegate(delegate_);
    ASSERT_TRUE(app.launch());
    runFor(1);
  }

  std::shared_ptr<HomeViewController> homeOnScreen() {
    auto window = AppBaseDelegate::getWindow();
    if (!window) return nullptr;
    auto nav = std::dynamic_pointer_cast<platform::NavigationController>(window->rootViewController());
    if (!nav) return nullptr;
    auto home = std::dynamic_pointer_cast<HomeViewController>(nav->topViewController());
    return home && home->isViewVisible() ? home : nullptr;
  }

  // The stores of a previous installation, before the start opens them.
  void previousInstallation(std::int64_t versionFlag) {
    AppCoreInfo::getCoreDB()->setIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::VersionFlagKey,
                                          versionFlag);
    AppCoreInfo::getDictDB()->setStrValue("STORE_DICT_TEST", "row", "kept until an upgrade");
    AppCoreInfo::destroyAppCoreInfo();
  }
  static std::int64_t versionFlag() {
    return AppCoreInfo::getCoreDB()->getIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::VersionFlagKey);
  }
  static bool dictionaryRowKept() { return AppCoreInfo::getDictDB()->hasStrItem("STORE_DICT_TEST", "row"); }

  test::ApiFixtureServer server_;
  std::unique_ptr<test::TempHome> home_;
  std::shared_ptr<ios_kavroAppDelegate> delegate_;
};

TEST_F(StartSequenceTest, LaunchShowsTheHomeScreenInTheMainWindowAndRegistersForPushes) {
  platform::PushRegistration::sharedPushRegistration().setAnswer(platform::Data{0xab, 0x01});
  launch();
  auto home = homeOnScreen();
  ASSERT_TRUE(home);
  EXPECT_EQ(AppBaseDelegate::getWindow(), delegate_->window());
  EXPECT_EQ(AppUtil::getWindow(), delegate_->window());
  EXPECT_TRUE(delegate_->window()->isKeyWindow());
  EXPECT_TRUE(delegate_->storeNotes().empty());

  EXPECT_EQ(PushUnit::sharedPushUnit().deviceToken(), "ab01");
  EXPECT_NE(
      platform::stringFromData(AppTracking::getTrackingPostData()).find("TRACKING_ENTIRETY_OPENCLIENT=1"),
      std::string::npos);
}

// The start makes and starts the map SDK's manager, so every map screen opened from home has its
// engine; the end of the application takes the engine down, and the next start makes it again.
TEST_F(StartSequenceTest, LaunchStartsTheMapEngineAndTheEndTakesItDown) {
  launch();
  ASSERT_TRUE(delegate_->mapManager());
  gmengine::CVMainGlobalMan* global = gmengine::GetMainGlobalMan();
  ASSERT_TRUE(global && global->engine);
  EXPECT_TRUE(global->engine->IsStarted());
  EXPECT_TRUE(mapsdk::GMKMapView::create({0, 0, 320, 200})) << "a map view needs the engine";

  ios_kavroAppDelegate::destroySharedServices();
  delegate_.reset();
  EXPECT_FALSE(gmengine::GetMainGlobalMan());
  launch();
  ASSERT_TRUE(gmengine::GetMainGlobalMan());
  EXPECT_TRUE(gmengine::GetMainGlobalMan()->engine->IsStarted());
}

TEST_F(StartSequenceTest, TheOpeningIsCountedOnceTheStartHasSettledOrWhenTheApplicationLeaves) {
  // The counts so far: handed out to an upload that then fails, so the next look sees them all.
  auto counted = [] {
    std::string body = platform::stringFromData(AppTracking::getTrackingPostData());
    AppTracking::trackingUploadEnded(false);
    return body;
  };
  delegate_ = std::make_shared<ios_kavroAppDelegate>();
  auto& app = platform::Application::sharedApplication();
  app.setDelegate(delegate_);
  ASSERT_TRUE(app.launch());
  EXPECT_EQ(counted().find("TRACKING_ENTIRETY_OPENCLIENT"), std::string::npos) << "not on the start's way";
  runFor(1);
  EXPECT_NE(counted().find("TRACKING_ENTIRETY_OPENCLIENT=1"), std::string::npos) << counted();

  // Becoming active again and leaving at once: the count is written as the application leaves.
  delegate_->applicationDidBecomeActive(app);
  delegate_->applicationDidEnterBackground(app);
  EXPECT_NE(counted().find("TRACKING_ENTIRETY_OPENCLIENT=2"), std::string::npos) << counted();
  runFor(1);
  EXPECT_NE(counted().find("TRACKING_ENTIRETY_OPENCLIENT=2"), std::string::npos) << "counted once";
}

TEST_F(StartSequenceTest, TheHomeScreenOffersEveryEntry) {
  launch();
  auto home = homeOnScreen();
  ASSERT_TRUE(home);
  for (const auto& entry : HomeViewController::entries()) {
    ASSERT_TRUE(entry.screenClass);
    EXPECT_TRUE(platform::UIDriver::findView(entry.screenClass->name())) << entry.screenClass->name();
  }

  // A screen opened from home gets its own navigation and a way back home.
  ASSERT_TRUE(platform::UIDriver::tap("UserLoginController"));
  runFor(1);
  auto presented = home->navigationController()->presentedViewController();
  ASSERT_TRUE(presented);
  auto nav = std::dynamic_pointer_cast<platform::NavigationController>(presented);
  ASSERT_TRUE(nav);
  auto login = std::dynamic_pointer_cast<UIBasicController>(nav->topViewController());
  ASSERT_TRUE(login);
  EXPECT_TRUE(platform::isKindOfClass(*login, "UserLoginController"));
  EXPECT_TRUE(login->closeButton());
}

// Every entry's text follows the language chosen, the home screen's title with them.
TEST_F(StartSequenceTest, TheHomeScreensEntriesFollowALanguageChange) {
  launch();
  auto home = homeOnScreen();
  ASSERT_TRUE(home);
  AppCoreInfo::setLocalizedString([](std::string_view key) { return "en:" + std::string(key); });
  platform::NotificationCenter::defaultCenter().post(UIBasicController::languageChangedNotify);
  EXPECT_EQ(home->title(), "en:home_title");
  for (const auto& entry : HomeViewController::entries()) {
    auto button =
        std::dynamic_pointer_cast<platform::Button>(platform::UIDriver::findView(entry.screenClass->name()));
    ASSERT_TRUE(button) << entry.screenClass->name();
    EXPECT_EQ(button->currentTitle(), "en:" + std::string(entry.titleKey)) << entry.screenClass->name();
  }
  appcore::install();  // the application's own texts again
}

// Hooks are filled at launch, so a screen missing from the program fails here, not as a dead
// button.
TEST_F(StartSequenceTest, EveryScreenReachedByAnEntryOrHookIsInTheProgram) {
  launch();
  ASSERT_TRUE(homeOnScreen());
  auto screen = platform::classFor<UIBasicController>();
  for (const auto& entry : HomeViewController::entries()) {
    ASSERT_TRUE(entry.screenClass);
    EXPECT_TRUE(entry.screenClass->isSubclassOfClass(*screen) && entry.screenClass->canCreateInstance())
        << entry.screenClass->name();
  }
  const auto& hooks = FeatureScreens::shared();
  EXPECT_TRUE(hooks.openGroupDetail);
  EXPECT_TRUE(hooks.openGroupAreaPicker);
  EXPECT_TRUE(hooks.openRoute);
  // The job search form's map button opens the map search of the user's map type.
  EXPECT_TRUE(std::dynamic_pointer_cast<JobGeoMapController>(hooks.newGeoMapSearch()));
  EXPECT_TRUE(std::dynamic_pointer_cast<JobAppleMapController>(hooks.newPlatformMapSearch()));
}

TEST_F(StartSequenceTest, UpgradeStepsRunOncePerStart) {
  previousInstallation(221);
  launch();
  ASSERT_TRUE(homeOnScreen());
  EXPECT_EQ(versionFlag(), AppUtil::getVersionCode());
  EXPECT_FALSE(dictionaryRowKept()) << "the steps from 2.2.1 empty the dictionaries";

  // Nothing later in this start runs them again: not a second launch call, not activation.
  AppCoreInfo::getDictDB()->setStrValue("STORE_DICT_TEST", "row", "fetched after the start");
  AppCoreInfo::getCoreDB()->setIntValue(STORE_CORE_CLIENT_VERSION_INFO, dbclean::VersionFlagKey, 221);
  platform::Application::sharedApplication().launch();
  platform::Application::sharedApplication().enterBackground();
  platform::Application::sharedApplication().enterForeground();
  runFor(1);
  EXPECT_TRUE(dictionaryRowKept());
  EXPECT_EQ(versionFlag(), 221);

  // The next start does.
  launch();
  EXPECT_FALSE(dictionaryRowKept());
  EXPECT_EQ(versionFlag(), AppUtil::getVersionCode());
}

TEST_F(StartSequenceTest, AStepAStoreFailsInKeepsItsFlagAndRunsAgainAtTheNextStart) {
  previousInstallation(221);
  appcore::install();
  // The dictionary store fails: the step from 2.2.1 cannot empty it.
  AppCoreInfo::getDictDB()->close();
  appcore::upgradeDataBases(AppCoreInfo::sharedAppCoreInfo());
  EXPECT_EQ(versionFlag(), 221) << "neither the failed step nor a later one moved the flag";
  AppCoreInfo::destroyAppCoreInfo();

  launch();
  ASSERT_TRUE(homeOnScreen());
  EXPECT_EQ(versionFlag(), AppUtil::getVersionCode());
  EXPECT_FALSE(dictionaryRowKept());
}

TEST_F(StartSequenceTest, ADamagedStoreIsMovedAsideSaidOnceAndTheStartReachesHome) {
  fs::create_directories(dataFolder());
  std::ofstream(dataFolder() + "/KavroCacheData.db") << std::string(4096, 'x');
  testing::internal::CaptureStderr();
  launch();
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(homeOnScreen());
  // Found at opening, before any store could say it: the start says it, once.
  std::size_t times = 0;
  for (auto at = said.find("KavroCacheData.db was damaged"); at != std::string::npos;
       at = said.find("KavroCacheData.db was damaged", at + 1))
    ++times;
  EXPECT_EQ(times, 1u) << said;
  ASSERT_EQ(delegate_->storeNotes().size(), 1u);
  EXPECT_NE(delegate_->storeNotes()[0].find("KavroCacheData.db was damaged: moved aside"), std::string::npos)
      << delegate_->storeNotes()[0];
  EXPECT_TRUE(fs::exists(dataFolder() + "/KavroCacheData.db.damaged"));
  EXPECT_TRUE(AppCoreInfo::getCacheDB()->isOpen());
}

TEST_F(StartSequenceTest, WithoutANetworkTheStartStillReachesHomeAndSettles) {
  platform::Environment::setApiHostUrl("http://127.0.0.1:1");
  launch();
  ASSERT_TRUE(homeOnScreen());
  runFor(60);
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
  EXPECT_TRUE(homeOnScreen());
}

}  // namespace
}  // namespace kavro
