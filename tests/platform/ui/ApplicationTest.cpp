#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextField.h"
#include "platform/ui/UIDriver.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

class AppLog : public ApplicationDelegate, public ImagePickerControllerDelegate {
 public:
  std::vector<std::string> log;
  bool didFinishLaunchingWithOptions(Application&, const Dictionary*) override {
    log.push_back("launch");
    return true;
  }
  void applicationDidBecomeActive(Application&) override { log.push_back("active"); }
  void applicationWillResignActive(Application&) override { log.push_back("resign"); }
  void applicationDidEnterBackground(Application&) override { log.push_back("background"); }
  void applicationWillEnterForeground(Application&) override { log.push_back("foreground"); }
  std::optional<bool> openURL(Application&, const URL& url, std::string_view) override {
    log.push_back("open " + url.absoluteString());
    return true;
  }
  void didRegisterForRemoteNotificationsWithDeviceToken(Application&, const Data& token) override {
    log.push_back("token " + stringFromData(token));
  }
  void didFinishPickingMediaWithInfo(ImagePickerController&, const Dictionary& info) override {
    log.push_back(info.valueForKey(ImagePickerControllerOriginalImage).as<Image>() ? "picked"
                                                                                   : "picked nothing");
  }
};

using ApplicationTest = UITest;

TEST_F(ApplicationTest, LifeCycleUrlsAndPushRegistrationReachTheDelegate) {
  auto& app = Application::sharedApplication();
  auto d = std::make_shared<AppLog>();
  app.setDelegate(d);
  EXPECT_TRUE(app.launch());
  app.enterBackground();
  app.enterForeground();
  EXPECT_EQ(d->log,
            (std::vector<std::string>{"launch", "active", "resign", "background", "foreground", "active"}));
  EXPECT_EQ(app.applicationState(), ApplicationState::Active);

  EXPECT_TRUE(app.handleOpenURL(*URL::parse("kavro://job?id=1")));
  EXPECT_TRUE(app.openURL(*URL::parse("tel:10086")));
  EXPECT_FALSE(app.openURL(*URL::parse("unknownapp://x")));
  EXPECT_EQ(OutsideApplications::openedURLs().size(), 2u);

  PushRegistration::sharedPushRegistration().setAnswer(dataFromString("abc"));
  app.registerForRemoteNotificationTypes(RemoteNotificationTypeAlert | RemoteNotificationTypeBadge);
  runFor(0.1);
  EXPECT_EQ(d->log.back(), "token abc");
  EXPECT_EQ(app.enabledRemoteNotificationTypes(),
            unsigned(RemoteNotificationTypeAlert | RemoteNotificationTypeBadge));

  int expired = 0;
  auto task = app.beginBackgroundTaskWithExpirationHandler([&] { ++expired; });
  app.beginBackgroundTaskWithExpirationHandler([&] { ++expired; });
  app.endBackgroundTask(task);
  app.expireBackgroundTasks();
  EXPECT_EQ(expired, 1);
}

TEST_F(ApplicationTest, StatusBarScreenAndOrientationShapeTheLayout) {
  auto& app = Application::sharedApplication();
  app.setStatusBarHidden(true);
  EXPECT_EQ(Screen::mainScreen().applicationFrame(), Rect(0, 0, 320, 480));
  auto vc = std::make_shared<ViewController>();
  window->setRootViewController(vc);
  EXPECT_EQ(vc->view()->frame(), Rect(0, 0, 320, 480));
  EXPECT_FALSE(vc->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeLeft));

  Screen::mainScreen().setScale(1);
  EXPECT_EQ(Snapshot::imageOfScreen()->bitmap()->width(), 320);

  // Turns are announced only between begin and end, each with the orientation already in force.
  std::vector<DeviceOrientation> turns;
  auto& device = Device::currentDevice();
  NotificationCenter::defaultCenter().addObserver(
      DeviceOrientationDidChangeNotification, nullptr,
      [&](const Notification&) { turns.push_back(device.orientation()); }, this);
  device.setOrientation(DeviceOrientation::LandscapeLeft);
  device.beginGeneratingDeviceOrientationNotifications();
  device.setOrientation(DeviceOrientation::Portrait);
  device.setOrientation(DeviceOrientation::Portrait);
  device.setOrientation(DeviceOrientation::LandscapeRight);
  device.endGeneratingDeviceOrientationNotifications();
  device.setOrientation(DeviceOrientation::FaceUp);
  device.setOrientation(DeviceOrientation::Portrait);
  NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
  EXPECT_EQ(turns,
            (std::vector<DeviceOrientation>{DeviceOrientation::Portrait, DeviceOrientation::LandscapeRight}));
}

TEST_F(ApplicationTest, AShownStatusBarTakesTheTopTwentyPointsFromTheScreensBelowIt) {
  auto& app = Application::sharedApplication();
  app.setStatusBarHidden(false);
  EXPECT_EQ(app.statusBarFrame(), Rect(0, 0, 320, 20));
  EXPECT_EQ(Screen::mainScreen().applicationFrame(), Rect(0, 20, 320, 460));
  auto vc = std::make_shared<ViewController>();
  window->setRootViewController(vc);
  EXPECT_EQ(vc->view()->frame(), Rect(0, 20, 320, 460));
  auto full = std::make_shared<ViewController>();
  full->setWantsFullScreenLayout(true);
  window->setRootViewController(full);
  EXPECT_EQ(full->view()->frame(), Rect(0, 0, 320, 480)) << "a full-screen layout runs under the bar";
  app.setStatusBarHidden(true);
  EXPECT_EQ(app.statusBarFrame(), Rect());
}

TEST_F(ApplicationTest, AlertWindowsStayOnTopAndTheKeyWindowComesBack) {
  auto other = std::make_shared<Window>();
  other->setWindowLevel(Window::LevelStatusBar);
  other->setHidden(false);
  auto alert = std::make_shared<AlertView>("Title", "", std::weak_ptr<AlertViewDelegate>(), "OK");
  alert->setAlertViewStyle(AlertViewStyle::PlainTextInput);
  alert->show();
  auto windows = Application::sharedApplication().windows();
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[1], other);
  EXPECT_EQ(windows[2]->subviews().front(), alert);
  // The field of the alert takes the typing.
  ASSERT_TRUE(UIDriver::type("hi"));
  EXPECT_EQ(alert->textFieldAtIndex(0)->text(), "hi");
  ASSERT_TRUE(UIDriver::tap("OK"));
  EXPECT_EQ(Application::sharedApplication().windows().size(), 2u);
  EXPECT_TRUE(window->isKeyWindow());
}

TEST_F(ApplicationTest, ImagePickerHandsThePictureToItsDelegate) {
  auto d = std::make_shared<AppLog>();
  auto home = std::make_shared<ViewController>();
  window->setRootViewController(home);
  auto picker = ImagePickerController::create();
  picker->setPickerDelegate(d);
  // The picker's first screen is named after its source.
  EXPECT_EQ(picker->viewControllers().front()->title(), "Photos");
  picker->setSourceType(ImagePickerControllerSourceType::Camera);
  EXPECT_EQ(picker->viewControllers().front()->title(), "Camera");
  picker->setSourceType(ImagePickerControllerSourceType::SavedPhotosAlbum);
  EXPECT_EQ(picker->viewControllers().front()->title(), "Photos");
  Device::currentDevice().setHasCamera(false);
  EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType::Camera));
  home->presentViewController(picker, false);
  picker->pickImage(Image::imageWithBitmap(*Bitmap::create(2, 2)));
  EXPECT_EQ(d->log, (std::vector<std::string>{"picked"}));
  picker->cancel();  // the delegate does not handle it: the picker goes by itself
  runFor(ViewController::TransitionDuration);
  EXPECT_EQ(home->presentedViewController(), nullptr);
}

}  // namespace
}  // namespace kavro::test
