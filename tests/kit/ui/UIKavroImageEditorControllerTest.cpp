#include <gtest/gtest.h>

#include <cstdint>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/UIKavroImageEditorController.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/ImageTestSupport.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

class EditedImageReceiver : public UIKavroImageEditorDelegate {
 public:
  void pickedImage(const std::shared_ptr<platform::Image>& image) override { images.push_back(image); }
  std::vector<std::shared_ptr<platform::Image>> images;
};

class UIKavroImageEditorControllerTest : public test::KitUITest {
 protected:
  std::shared_ptr<UIKavroImageEditorController> open(std::shared_ptr<platform::Image> photo, int occasion) {
    auto editor = UIKavroImageEditorController::initWithImage(std::move(photo), occasion);
    editor->setDelegate(receiver);
    nav = platform::NavigationController::create(editor);
    window->rootViewController()->presentViewController(nav, false);
    platform::ViewController::finishPendingTransitions();
    editor->view();
    return editor;
  }
  std::shared_ptr<EditedImageReceiver> receiver = std::make_shared<EditedImageReceiver>();
  std::shared_ptr<platform::NavigationController> nav;
};

TEST_F(UIKavroImageEditorControllerTest, ASmallPhotoIsBlownUpToCoverTheBoxAndCutAtItsOwnResolution) {
  auto editor = open(test::solidImage(100, 100), 0);
  EXPECT_DOUBLE_EQ(editor->cutBoxHeight(), 354.4);
  EXPECT_NEAR(editor->imageView()->frame().width(), 354.4, 1e-9);
  EXPECT_NEAR(editor->scrollView()->minimumZoomScale(), 354.4 / 320, 1e-9);
  EXPECT_EQ(editor->blueCutBox()->frame(), platform::Rect(15, (416 - 354.4) / 2 + 44, 290, 354.4));

  auto cut = editor->getCutImage();
  ASSERT_TRUE(cut);
  // Shown at 3.544 times its own width: cut back to the photo's resolution, under the 270 limit.
  EXPECT_NEAR(cut->size().width, 580 * 100 / 354.4, 1);
  EXPECT_FALSE(editor->blueCutBox()->isHidden());
}

TEST_F(UIKavroImageEditorControllerTest, UseSendsAPictureOfAtMost270By330AndClosesThePicker) {
  auto editor = open(test::solidImage(1000, 1200), 1);
  EXPECT_DOUBLE_EQ(editor->cutBoxHeight(), 290);
  editor->use();
  EXPECT_TRUE(editor->blueCutBox()->isHidden());
  EXPECT_TRUE(receiver->images.empty());
  runFor(0.2);
  platform::ViewController::finishPendingTransitions();
  ASSERT_EQ(receiver->images.size(), 1u);
  ASSERT_TRUE(receiver->images[0]);
  EXPECT_EQ(receiver->images[0]->size(), (platform::Size{270, 330}));
  EXPECT_EQ(receiver->images[0]->scale(), 1);
  // The photo's colour, not the box's.
  auto px = receiver->images[0]->bitmap()->pixelAt(135, 165);
  EXPECT_EQ(px.r, 200);
  EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

// As a person uses it: the photo zoomed in as far as it goes, then the bar's OK tapped.
TEST_F(UIKavroImageEditorControllerTest, APhotoZoomedToTheMaximumIsBroughtToItsOwnResolutionThenTo270By330) {
  auto editor = open(test::solidImage(400, 500), 0);
  auto& scroll = *editor->scrollView();
  scroll.setZoomScale(scroll.maximumZoomScale());
  auto cut = editor->getCutImage();
  ASSERT_TRUE(cut);
  // The box's 580 pixels (290 points at scale 2) brought back to the photo's own resolution, which
  // is still over 270: the picture is 270 x 330.
  const double own = 580 * 400 / editor->imageView()->frame().width();
  EXPECT_LT(own, 580) << "shown enlarged";
  EXPECT_GT(own, 270);
  EXPECT_EQ(cut->size(), (platform::Size{270, 330}));

  ASSERT_TRUE(platform::UIDriver::tap(AppCoreInfo::getLocalizedString("common_text_ok")))
      << platform::UIDriver::describeScreen();
  runFor(0.2);
  platform::ViewController::finishPendingTransitions();
  ASSERT_EQ(receiver->images.size(), 1u);
  ASSERT_TRUE(receiver->images[0]);
  EXPECT_LE(receiver->images[0]->size().width, 270);
  EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

// The picture sent is what the box frames on screen: a photo whose colour says where each pixel
// is (red grows to the right, green downwards) is cut where the box stands, for the square box
// and the tall one, and the box's own lines are not in it.
TEST_F(UIKavroImageEditorControllerTest, ThePictureSentIsWhatTheBoxFramesOnScreen) {
  for (int occasion : {0, 1}) {
    SCOPED_TRACE(occasion);
    auto bitmap = platform::Bitmap::create(1000, 1200);
    ASSERT_TRUE(bitmap);
    for (int y = 0; y < 1200; ++y)
      for (int x = 0; x < 1000; ++x)
        bitmap->setPixel(
            x, y,
            {static_cast<std::uint8_t>(x * 255 / 999), static_cast<std::uint8_t>(y * 255 / 1199), 128, 255});
    auto editor = open(platform::Image::imageWithBitmap(std::move(*bitmap), 1.0), occasion);
    receiver->images.clear();
    const platform::Rect box = editor->blueCutBox()->frame();
    editor->use();
    // The screen as the cut sees it: the boxes are hidden by then.
    auto screen = platform::Snapshot::imageOfView(*editor->view(), 2);
    ASSERT_TRUE(screen);
    runFor(0.2);
    platform::ViewController::finishPendingTransitions();
    ASSERT_EQ(receiver->images.size(), 1u);
    ASSERT_TRUE(receiver->images[0]);
    const auto& sent = *receiver->images[0]->bitmap();
    for (double fx : {0.1, 0.5, 0.9}) {
      for (double fy : {0.1, 0.5, 0.9}) {
        const platform::Pixel got =
            sent.pixelAt(static_cast<int>(fx * sent.width()), static_cast<int>(fy * sent.height()));
        const platform::Pixel seen =
            screen->bitmap()->pixelAt(static_cast<int>((box.x() + fx * box.width()) * 2),
                                      static_cast<int>((box.y() + fy * box.height()) * 2));
        EXPECT_NEAR(got.r, seen.r, 6) << fx << " " << fy;
        EXPECT_NEAR(got.g, seen.g, 6) << fx << " " << fy;
        EXPECT_NEAR(got.b, 128, 2) << fx << " " << fy;
      }
    }
  }
}

}  // namespace
}  // namespace kavro
