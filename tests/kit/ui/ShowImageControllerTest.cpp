#include <gtest/gtest.h>

#include "demo/LoopbackHttpServer.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCacheDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringMisc.h"
#include "kit/ui/ShowImageController.h"
#include "platform/system/PhotoAlbum.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "tests/kit/ui/ImageTestSupport.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

class Deleter : public ShowImageDelegate {
 public:
  bool deleteShowedImage() override {
    ++deleted;
    return true;
  }
  int deleted = 0;
};

class ShowImageControllerTest : public test::KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    root = UIBasicController::create<UIBasicController>();  // the screen that presents
    window->setRootViewController(root);
  }
  // The double taps the picture answers to.
  static int doubleTaps(ShowImageController& viewer) {
    int n = 0;
    for (const auto& g : viewer.scrollView()->gestureRecognizers())
      if (auto tap = std::dynamic_pointer_cast<platform::TapGestureRecognizer>(g))
        n += tap->numberOfTapsRequired() == 2;
    return n;
  }
  std::shared_ptr<ShowImageController> open(std::string url, int occasion) {
    auto viewer = ShowImageController::openWithURL(url, test::solidImage(10, 10), occasion);
    platform::ViewController::finishPendingTransitions();
    viewer->view();
    return viewer;
  }
  std::shared_ptr<platform::ViewController> root;
};

TEST_F(ShowImageControllerTest, AServerPictureIsDownloadedOnceThenComesFromTheCache) {
  test::LoopbackHttpServer server;
  auto bytes = test::pngBytes(200, 100);
  server.enqueue(test::ScriptedResponse::ok(std::string(bytes.begin(), bytes.end())));
  std::string url = server.url("/pic.png");
  auto viewer = open(url, 1);
  EXPECT_FALSE(viewer->activityView()->isHidden());
  EXPECT_FALSE(viewer->navigationItem()->rightBarButtonItem()->isEnabled());
  ASSERT_TRUE(runUntil([&] { return viewer->imageForShow()->size().width == 200; }, 10));
  EXPECT_TRUE(viewer->navigationItem()->rightBarButtonItem()->isEnabled());
  EXPECT_TRUE(AppCoreInfo::getCacheDB()->hasBinItem(STORE_CACHE_IMAGES, *str::md5(url)));
  // 200 points on a 320-point screen.
  EXPECT_DOUBLE_EQ(viewer->getInitialZoom(), 0.625);
  EXPECT_DOUBLE_EQ(viewer->getMaxZoom(), 2.5);
  // One double tap on the picture, however often it was shown: a second would zoom straight back.
  EXPECT_EQ(doubleTaps(*viewer), 1);

  viewer->doubleTapImageView();
  runFor(1);
  EXPECT_DOUBLE_EQ(viewer->scrollView()->zoomScale(), 2.5);
  viewer->doubleTapImageView();
  runFor(1);
  EXPECT_DOUBLE_EQ(viewer->scrollView()->zoomScale(), 0.625);

  viewer->dismissViewControllerAnimated(false);
  platform::ViewController::finishPendingTransitions();
  viewer.reset();
  auto again = open(url, 1);
  EXPECT_EQ(again->imgLoader(), nullptr);
  EXPECT_EQ(again->imageForShow()->size().width, 200);
  EXPECT_EQ(server.requestCount(), 1u);

  std::size_t saved = platform::PhotoAlbum::savedImagePaths().size();
  again->saveToAlbum();
  EXPECT_EQ(platform::PhotoAlbum::savedImagePaths().size(), saved + 1);
}

TEST_F(ShowImageControllerTest, FailuresShowTheErrorPanelAndStoreNothing) {
  test::LoopbackHttpServer server;
  server.enqueue(test::ScriptedResponse::ok("not a picture"));
  std::string url = server.url("/broken.png");
  auto viewer = open(url, 1);
  ASSERT_TRUE(runUntil([&] { return !viewer->errorView()->isHidden(); }, 10));
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->hasBinItem(STORE_CACHE_IMAGES, *str::md5(url)));
  EXPECT_TRUE(viewer->imageView()->isHidden());
}

TEST_F(ShowImageControllerTest, WidePicturesAndTallOnes) {
  auto bytes = test::pngBytes(640, 2000);
  AppCoreInfo::getCacheDB()->setBinValue(STORE_CACHE_IMAGES, *str::md5("http://127.0.0.1:1/tall.png"), bytes);
  auto viewer = open("http://127.0.0.1:1/tall.png", 1);
  EXPECT_EQ(viewer->imgLoader(), nullptr);
  EXPECT_DOUBLE_EQ(viewer->getInitialZoom(), 1);
  EXPECT_DOUBLE_EQ(viewer->getMaxZoom(), 5);
  EXPECT_EQ(viewer->imageView()->frame(), platform::Rect(0, 0, 320, 1000))
      << "the screen's width, from the top";
}

// A wide picture fills the screen's width, centred from top to bottom: on screen its colour runs
// from the left edge to the right one in a band as high as the picture's proportion, not higher.
TEST_F(ShowImageControllerTest, AWidePictureIsShownAcrossTheScreenInTheMiddle) {
  auto bytes = test::pngBytes(640, 160);
  AppCoreInfo::getCacheDB()->setBinValue(STORE_CACHE_IMAGES, *str::md5("http://127.0.0.1:1/wide.png"), bytes);
  auto viewer = open("http://127.0.0.1:1/wide.png", 1);
  platform::Application::layoutWindows();
  const double sh = viewer->scrollView()->bounds().height();
  ASSERT_GT(sh, 200);
  EXPECT_EQ(viewer->imageView()->frame(), platform::Rect(0, (sh - 80) / 2, 320, 80));

  auto picture = platform::Snapshot::imageOfView(*viewer->scrollView(), 1);
  ASSERT_TRUE(picture);
  const platform::Pixel photo{200, 40, 40, 255};
  const int middle = static_cast<int>(sh / 2);
  for (int x : {2, 160, 317}) {
    EXPECT_EQ(picture->bitmap()->pixelAt(x, middle), photo) << x;
    EXPECT_EQ(picture->bitmap()->pixelAt(x, middle - 38), photo) << x;
    EXPECT_EQ(picture->bitmap()->pixelAt(x, middle + 38), photo) << x;
    EXPECT_NE(picture->bitmap()->pixelAt(x, middle - 45), photo) << x << " above the band";
    EXPECT_NE(picture->bitmap()->pixelAt(x, middle + 45), photo) << x << " below the band";
  }
}

TEST_F(ShowImageControllerTest, ALocalPictureIsDeletedOnlyThroughADelegateThatTakesIt) {
  auto viewer = ShowImageController::openWithImage(test::solidImage(100, 100), 0);
  platform::ViewController::finishPendingTransitions();
  viewer->view();
  EXPECT_EQ(viewer->imgLoader(), nullptr);
  EXPECT_TRUE(viewer->navigationItem()->rightBarButtonItem()->isEnabled());
  EXPECT_EQ(viewer->scrollView()->maximumZoomScale(), 1);
  EXPECT_EQ(doubleTaps(*viewer), 0) << "a local picture is not zoomed";
  viewer->deleteImage();
  platform::ViewController::finishPendingTransitions();
  EXPECT_NE(root->presentedViewController(), nullptr);

  auto deleter = std::make_shared<Deleter>();
  viewer->setDelegate(deleter);
  viewer->deleteImage();
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(deleter->deleted, 1);
  EXPECT_EQ(root->presentedViewController(), nullptr);
}

}  // namespace
}  // namespace kavro
