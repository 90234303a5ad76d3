#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/UIKavroImagePickerController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "tests/kit/ui/ImageTestSupport.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

class PhotoScreen : public UIBasicController, public UIKavroImagePickerDelegate {
 public:
  void pickedImage(const std::shared_ptr<platform::Image>& image) override { images.push_back(image); }
  bool deleteImage() override {
    ++deletes;
    return true;
  }
  std::vector<std::shared_ptr<platform::Image>> images;
  int deletes = 0;
};

class UIKavroImagePickerControllerTest : public test::KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    screen = UIBasicController::create<PhotoScreen>();
    window->setRootViewController(screen);
    platform::ViewController::finishPendingTransitions();
  }
  std::shared_ptr<UIKavroImagePickerController> openFromAlbum(int occasion) {
    std::weak_ptr<UIKavroImagePickerController> weak =
        UIKavroImagePickerController::fansImagePickerWithParent(screen, occasion);
    auto picker = weak.lock();
    EXPECT_TRUE(picker && picker->actionSheet()->isVisible());
    picker->actionSheet()->tapButtonAtIndex(picker->actionSheet()->firstOtherButtonIndex());
    platform::ViewController::finishPendingTransitions();
    EXPECT_EQ(screen->presentedViewController(), picker);
    return picker;
  }
  std::string lastAlert() {
    const auto& alerts = platform::Application::sharedApplication().visibleAlerts();
    if (alerts.empty()) return {};
    auto alert = std::dynamic_pointer_cast<platform::AlertView>(alerts.back());
    return alert ? alert->message() : std::string();
  }
  std::shared_ptr<PhotoScreen> screen;
};

TEST_F(UIKavroImagePickerControllerTest, APostPictureGoesStraightToTheDelegate) {
  auto picker = openFromAlbum(2);
  EXPECT_EQ(picker->sourceType(), platform::ImagePickerControllerSourceType::PhotoLibrary);
  picker->pickImage(test::solidImage(200, 240, 2.0));  // 100 x 120 points
  platform::ViewController::finishPendingTransitions();
  ASSERT_EQ(screen->images.size(), 1u);
  EXPECT_EQ(screen->images[0]->size(), (platform::Size{100, 120}));
  EXPECT_EQ(screen->presentedViewController(), nullptr);
}

TEST_F(UIKavroImagePickerControllerTest, SmallOrUnreadablePhotosAreRefusedAndThePickerStays) {
  auto picker = openFromAlbum(2);
  picker->pickImage(test::solidImage(179, 400));
  EXPECT_EQ(lastAlert(), AppCoreInfo::getLocalizedString("imagepicker_image_size_to_small"));
  picker->pickImage(nullptr);
  EXPECT_EQ(lastAlert(), AppCoreInfo::getLocalizedString("imagepicker_image_invalid"));
  EXPECT_TRUE(screen->images.empty());
  picker->pickImage(test::solidImage(180, 220));
  EXPECT_EQ(screen->images.size(), 1u);
  while (!platform::Application::sharedApplication().visibleAlerts().empty()) {
    auto alert = std::dynamic_pointer_cast<platform::AlertView>(
        platform::Application::sharedApplication().visibleAlerts().back());
    ASSERT_TRUE(alert && alert->tapButtonAtIndex(0));
  }
}

TEST_F(UIKavroImagePickerControllerTest, AResumePhotoGoesThroughTheCropEditor) {
  platform::Device::currentDevice().setHasCamera(false);
  std::weak_ptr<UIKavroImagePickerController> weak =
      UIKavroImagePickerController::resumePhotoPickerWithDelegate(screen, false);
  auto picker = weak.lock();
  ASSERT_TRUE(picker);
  EXPECT_EQ(picker->actionSheet()->destructiveButtonIndex(), -1);
  picker->actionSheet()->tapButtonAtIndex(picker->actionSheet()->firstOtherButtonIndex() + 1);  // camera
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(picker->sourceType(), platform::ImagePickerControllerSourceType::PhotoLibrary);
  // Taken in portrait: stored sideways, seen upright.
  picker->pickImage(test::solidImage(400, 300, 1.0, platform::ImageOrientation::Right));
  platform::ViewController::finishPendingTransitions();
  auto editor = std::dynamic_pointer_cast<UIKavroImageEditorController>(picker->topViewController());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->imageView()->image()->size(), (platform::Size{300, 400}));
  EXPECT_EQ(editor->imageView()->image()->imageOrientation(), platform::ImageOrientation::Up);
  EXPECT_EQ(editor->cutBoxHeight(), 354.4);
  platform::Device::currentDevice().setHasCamera(true);
}

TEST_F(UIKavroImagePickerControllerTest, DeleteAsksTheDelegateAndShowsNoPicker) {
  std::weak_ptr<UIKavroImagePickerController> weak =
      UIKavroImagePickerController::resumePhotoPickerWithDelegate(screen, true);
  auto picker = weak.lock();
  ASSERT_TRUE(picker);
  picker->actionSheet()->tapButtonAtIndex(picker->actionSheet()->destructiveButtonIndex());
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(screen->deletes, 1);
  EXPECT_EQ(screen->presentedViewController(), nullptr);
  picker.reset();
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace kavro
