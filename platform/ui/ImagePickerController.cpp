#include "platform/ui/ImagePickerController.h"

#include "platform/ui/Device.h"

namespace platform {

namespace {

std::string titleFor(ImagePickerControllerSourceType t) {
  return t == ImagePickerControllerSourceType::Camera ? "Camera" : "Photos";
}

}  // namespace

std::shared_ptr<ImagePickerController> ImagePickerController::create() {
  std::shared_ptr<ImagePickerController> picker(new ImagePickerController());
  auto root = std::make_shared<ViewController>();
  root->setTitle(titleFor(picker->sourceType_));
  picker->setViewControllers({root}, false);
  return picker;
}

bool ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType type) {
  return type != ImagePickerControllerSourceType::Camera || Device::currentDevice().hasCamera();
}

void ImagePickerController::setSourceType(ImagePickerControllerSourceType t) {
  sourceType_ = t;
  if (!viewControllers().empty()) viewControllers().front()->setTitle(titleFor(t));
}

void ImagePickerController::pickImage(std::shared_ptr<Image> image) {
  auto self = sharedAs<ImagePickerController>();
  auto info = MutableDictionary::create();
  if (image) info->setObject(std::move(image), ImagePickerControllerOriginalImage);
  info->setObject("public.image", ImagePickerControllerMediaType);
  if (auto d = pickerDelegate_.lock()) d->didFinishPickingMediaWithInfo(*this, *info);
}

void ImagePickerController::cancel() {
  auto self = sharedAs<ImagePickerController>();
  auto d = pickerDelegate_.lock();
  if (!d || !d->imagePickerControllerDidCancel(*this)) dismissViewControllerAnimated(true);
}

}  // namespace platform
