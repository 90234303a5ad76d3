#include <gtest/gtest.h>

#include <vector>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/Image.h"
#include "platform/system/OutsideApplications.h"
#include "platform/system/PhotoAlbum.h"
#include "platform/system/PushRegistration.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace platform {
namespace {

struct PushListener : PushRegistrationDelegate {
  std::vector<Data> tokens;
  std::vector<Error> errors;
  void didRegisterForRemoteNotificationsWithDeviceToken(const Data& token) override {
    tokens.push_back(token);
  }
  void didFailToRegisterForRemoteNotificationsWithError(const Error& error) override {
    errors.push_back(error);
  }
};

class PushRegistrationTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void TearDown() override {
    PushRegistration::destroySharedPushRegistration();
    VirtualRunLoopTest::TearDown();
  }
};

TEST_F(PushRegistrationTest, AnswersComeThroughTheMainLoop) {
  auto& push = PushRegistration::sharedPushRegistration();
  auto listener = std::make_shared<PushListener>();
  push.setDelegate(listener);

  // No answer set: the request waits until one is delivered by hand.
  push.registerForRemoteNotificationTypes(RemoteNotificationTypeAlert | RemoteNotificationTypeBadge);
  runFor(1);
  EXPECT_TRUE(listener->tokens.empty());
  EXPECT_EQ(push.enabledRemoteNotificationTypes(), RemoteNotificationTypeNone);
  push.deliverDeviceToken({0xAB, 0xCD});
  EXPECT_EQ(listener->tokens, (std::vector<Data>{{0xAB, 0xCD}}));
  EXPECT_EQ(push.enabledRemoteNotificationTypes(), RemoteNotificationTypeAlert | RemoteNotificationTypeBadge);
  EXPECT_EQ(push.deviceToken(), (Data{0xAB, 0xCD}));

  push.setAnswer(Error{"PushErrorDomain", 3010, "no service", nullptr, nullptr});
  push.registerForRemoteNotificationTypes(RemoteNotificationTypeSound);
  EXPECT_TRUE(listener->errors.empty());
  runFor(0);
  ASSERT_EQ(listener->errors.size(), 1u);
  EXPECT_EQ(listener->errors[0].code, 3010);
  EXPECT_EQ(push.registrationRequestCount(), 2);
  EXPECT_EQ(push.requestedTypes(), RemoteNotificationTypeSound);
  EXPECT_EQ(push.enabledRemoteNotificationTypes(), RemoteNotificationTypeNone);

  // Unregistered, nothing of the last registration is left; registering again is as the first time.
  push.unregisterForRemoteNotifications();
  EXPECT_FALSE(push.deviceToken());
  EXPECT_EQ(push.enabledRemoteNotificationTypes(), RemoteNotificationTypeNone);
  push.setAnswer(Data{0xEF});
  push.registerForRemoteNotificationTypes(RemoteNotificationTypeBadge);
  runFor(0);
  EXPECT_EQ(listener->tokens, (std::vector<Data>{{0xAB, 0xCD}, {0xEF}}));
  EXPECT_EQ(push.deviceToken(), (Data{0xEF}));
  EXPECT_EQ(push.enabledRemoteNotificationTypes(), RemoteNotificationTypeBadge);

  // A registration destroyed before the loop turns tells nobody.
  push.setAnswer(Data{1});
  push.registerForRemoteNotificationTypes(RemoteNotificationTypeSound);
  PushRegistration::destroySharedPushRegistration();
  runFor(0);
  EXPECT_EQ(listener->tokens.size(), 2u);
  EXPECT_EQ(PushRegistration::sharedPushRegistration().registrationRequestCount(), 0);
}

TEST(OutsideApplications, OpensOnlyInstalledSchemesAndRecordsEveryTry) {
  OutsideApplications::reset();
  EXPECT_TRUE(OutsideApplications::canOpenURL("HTTP://maps.example.com/maps?daddr=1,2"));
  EXPECT_FALSE(OutsideApplications::canOpenURL("geomap://map/marker"));
  EXPECT_FALSE(OutsideApplications::canOpenURL("no scheme here"));
  EXPECT_FALSE(OutsideApplications::canOpenURL("://x"));
  OutsideApplications::addInstalledScheme("9maps");
  EXPECT_FALSE(OutsideApplications::canOpenURL("9maps://x")) << "a scheme starts with a letter";
  EXPECT_TRUE(
      OutsideApplications::canOpenURL(Environment::urlSchemes().at(0) + "://show_job_search_home_page"));

  OutsideApplications::addInstalledScheme("GeoMap");
  EXPECT_TRUE(OutsideApplications::canOpenURL("geomap://map/marker"));
  EXPECT_TRUE(OutsideApplications::openURL("geomap://map/marker?location=1,2"));
  EXPECT_FALSE(OutsideApplications::openURL("othermaps://?daddr=1,2"));
  EXPECT_EQ(OutsideApplications::openedURLs(),
            (std::vector<OutsideApplications::OpenedURL>{{"geomap://map/marker?location=1,2", true},
                                                         {"othermaps://?daddr=1,2", false}}));
  // A scheme removed, in any case, opens nothing again.
  OutsideApplications::removeInstalledScheme("GEOMAP");
  EXPECT_FALSE(OutsideApplications::canOpenURL("geomap://map/marker"));
  OutsideApplications::setInstalledSchemes({"iosamap"});
  EXPECT_FALSE(OutsideApplications::canOpenURL("http://example.com"));
  EXPECT_TRUE(OutsideApplications::canOpenURL("iosamap://navi"));
  OutsideApplications::reset();
  EXPECT_TRUE(OutsideApplications::openedURLs().empty());
  EXPECT_FALSE(OutsideApplications::canOpenURL("iosamap://navi"));
}

TEST(PhotoAlbum, SavesNumberedPicturesUnderTheHomeRoot) {
  kavro::test::TempHome home;
  EXPECT_TRUE(PhotoAlbum::savedImagePaths().empty());
  Bitmap b = *Bitmap::create(2, 1);
  b.setPixel(0, 0, Pixel{255, 0, 0, 255});
  auto picture = Image::imageWithBitmap(b, 1.0, ImageOrientation::Right);
  ASSERT_TRUE(PhotoAlbum::saveImage(*picture));
  ASSERT_TRUE(PhotoAlbum::saveImage(*picture));
  auto paths = PhotoAlbum::savedImagePaths();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], Environment::homeRoot() + "/Media/DCIM/IMG_0001.PNG");
  auto saved = Image::imageWithContentsOfFile(paths[1]);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->size(), (Size{1, 2}));  // as seen
  EXPECT_EQ(saved->bitmap()->pixelAt(0, 0), (Pixel{255, 0, 0, 255}));
}

TEST(PhotoAlbum, OrdersPicturesByNumberPastFourDigits) {
  kavro::test::TempHome home;
  const std::string album = Environment::homeRoot() + "/Media/DCIM";
  ASSERT_TRUE(FileManager::createDirectoryAtPath(album, true));
  ASSERT_TRUE(FileManager::createFileAtPath(album + "/IMG_9999.PNG", Data{1}));
  ASSERT_TRUE(FileManager::createFileAtPath(album + "/notes.txt", Data{1}));
  Bitmap b = *Bitmap::create(1, 1);
  ASSERT_TRUE(PhotoAlbum::saveImage(*Image::imageWithBitmap(b, 1.0, ImageOrientation::Up)));
  EXPECT_EQ(PhotoAlbum::savedImagePaths(),
            (std::vector<std::string>{album + "/IMG_9999.PNG", album + "/IMG_10000.PNG"}));
}

}  // namespace
}  // namespace platform
