#include "kit/ui/UIKavroImagePickerController.h"

#include <cmath>

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/AppControllers.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Window.h"

namespace kavro {

using platform::ImagePickerControllerSourceType;

std::shared_ptr<UIKavroImagePickerController> UIKavroImagePickerController::make(
    std::weak_ptr<UIKavroImagePickerDelegate> delegate, std::int32_t occasion, bool withDelete) {
  std::shared_ptr<UIKavroImagePickerController> picker(new UIKavroImagePickerController());
  picker->setViewControllers({std::make_shared<platform::ViewController>()}, false);
  picker->setSourceType(ImagePickerControllerSourceType::PhotoLibrary);
  picker->setPickerDelegate(picker);
  picker->parent_ = AppControllers::mostRecentController();
  picker->occasion_ = occasion;
  picker->delegate_ = std::move(delegate);

  std::optional<std::string> destructive;
  if (withDelete) destructive = AppCoreInfo::getLocalizedString("photo_delete");
  picker->sheet_ = std::make_shared<platform::ActionSheet>(
      "", picker, AppCoreInfo::getLocalizedString("photo_cancel"), destructive,
      std::vector<std::string>{AppCoreInfo::getLocalizedString("photo_from_album"),
                               AppCoreInfo::getLocalizedString("photo_from_carema")});
  picker->selfRetain_ = picker;
  auto parent = picker->parent_.lock();
  auto window = parent && parent->isViewLoaded() ? parent->view()->window() : nullptr;
  if (window)
    picker->sheet_->showInView(*window);
  else if (parent)
    picker->sheet_->showInView(*parent->view());
  return picker;
}

std::shared_ptr<UIKavroImagePickerController> UIKavroImagePickerController::fansImagePickerWithParent(
    std::weak_ptr<UIKavroImagePickerDelegate> delegate, std::int32_t occasion) {
  return make(std::move(delegate), occasion, false);
}

std::shared_ptr<UIKavroImagePickerController> UIKavroImagePickerController::resumePhotoPickerWithDelegate(
    std::weak_ptr<UIKavroImagePickerDelegate> delegate, bool hasPickedPhoto) {
  return make(std::move(delegate), 0, hasPickedPhoto);
}

void UIKavroImagePickerController::clickedButtonAtIndex(platform::ActionSheet& sheet, int buttonIndex) {
  auto keep = std::move(selfRetain_);
  selfRetain_.reset();
  if (buttonIndex == sheet.cancelButtonIndex()) return;
  if (buttonIndex == sheet.destructiveButtonIndex()) {
    if (auto d = delegate_.lock()) d->deleteImage();
    return;
  }
  int first = sheet.firstOtherButtonIndex();
  if (buttonIndex == first)
    pickPicture(true);
  else if (buttonIndex == first + 1)
    pickPicture(false);
}

void UIKavroImagePickerController::pickPicture(bool fromAlbum) {
  setModalTransitionStyle(platform::ModalTransitionStyle::CoverVertical);
  if (fromAlbum)
    setSourceType(ImagePickerControllerSourceType::PhotoLibrary);
  else if (isSourceTypeAvailable(ImagePickerControllerSourceType::Camera))
    setSourceType(ImagePickerControllerSourceType::Camera);
  if (auto parent = parent_.lock())
    parent->presentViewController(sharedAs<UIKavroImagePickerController>(), true);
}

void UIKavroImagePickerController::viewWillAppear(bool animated) {
  platform::ImagePickerController::viewWillAppear(animated);
  AppSkin::apply(this);
}

std::shared_ptr<platform::Image> UIKavroImagePickerController::fixImageOrientation(
    const std::shared_ptr<platform::Image>& image) {
  if (!image || image->imageOrientation() == platform::ImageOrientation::Up) return image;
  platform::Size size = image->size();
  platform::Size whole{std::trunc(size.width), std::trunc(size.height)};
  if (whole.width <= 0 || whole.height <= 0) return nullptr;
  // The context draws a picture as it is seen, its orientation applied.
  platform::BitmapContext context(whole, image->bitmap() && !image->bitmap()->hasAlpha(), 1.0);
  if (!context.isValid()) return nullptr;
  context.drawImage(*image, platform::Rect(0, 0, whole.width, whole.height));
  return context.makeImage();
}

void UIKavroImagePickerController::didFinishPickingMediaWithInfo(platform::ImagePickerController&,
                                                                 const platform::Dictionary& info) {
  auto keep = sharedAs<UIKavroImagePickerController>();
  std::shared_ptr<platform::Image> original;
  if (const auto* v = info.objectForKey(platform::ImagePickerControllerOriginalImage))
    original = v->as<platform::Image>();
  auto image = fixImageOrientation(original);
  if (!image) {
    alert::showAlert(AppCoreInfo::getLocalizedString("imagepicker_image_invalid"));
    return;
  }
  platform::Size size = image->size();
  if (image->scale() * size.width < MinPixelWidth || image->scale() * size.height < MinPixelHeight) {
    alert::showAlert(AppCoreInfo::getLocalizedString("imagepicker_image_size_to_small"));
    return;
  }
  if (occasion_ == 0 || occasion_ == 1) {
    auto editor = UIKavroImageEditorController::initWithImage(image, occasion_);
    editor->setDelegate(delegate_);
    editor->setSourceType(static_cast<std::int32_t>(sourceType()));
    pushViewController(editor, true);
    return;
  }
  if (auto d = delegate_.lock()) d->pickedImage(image);
  dismissViewControllerAnimated(true);
}

}  // namespace kavro
