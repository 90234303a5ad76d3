#pragma once
#include <cstdint>
#include <memory>

#include "kit/ui/UIKavroImageEditorController.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/ImagePickerController.h"

namespace kavro {

// Hears the photo, or that the person wants the current one deleted.
class UIKavroImagePickerDelegate : public UIKavroImageEditorDelegate {
 public:
  // Optional: false means "not implemented".
  virtual bool deleteImage() { return false; }
};

// Gets a photo from the camera or the photo library for the resume photo (occasion 0), the
// community card photo (1) or a post picture (2): an action sheet asks where from, the platform's
// picker shows, the photo is turned upright and refused below 180 × 220 pixels, and occasions 0
// and 1 pass it through the crop editor before the delegate hears it. Main thread only.
class UIKavroImagePickerController : public platform::ImagePickerController,
                                     public platform::ImagePickerControllerDelegate,
                                     public platform::ActionSheetDelegate {
 public:
  static constexpr double MinPixelWidth = 180;
  static constexpr double MinPixelHeight = 220;

  static std::shared_ptr<UIKavroImagePickerController> fansImagePickerWithParent(
      std::weak_ptr<UIKavroImagePickerDelegate> delegate, std::int32_t occasion);
  static std::shared_ptr<UIKavroImagePickerController> resumePhotoPickerWithDelegate(
      std::weak_ptr<UIKavroImagePickerDelegate> delegate, bool hasPickedPhoto);
  // The picture as seen (orientation applied), at scale 1; an upright picture comes back as is.
  static std::shared_ptr<platform::Image> fixImageOrientation(const std::shared_ptr<platform::Image>& image);

  std::int32_t imageOccasion() const { return occasion_; }
  void setImageOccasion(std::int32_t o) { occasion_ = o; }
  std::shared_ptr<platform::ViewController> parentController() const { return parent_.lock(); }
  void setParentController(std::weak_ptr<platform::ViewController> p) { parent_ = std::move(p); }
  std::shared_ptr<UIKavroImagePickerDelegate> imagePickerDelegate() const { return delegate_.lock(); }
  void setImagePickerDelegate(std::weak_ptr<UIKavroImagePickerDelegate> d) { delegate_ = std::move(d); }
  const std::shared_ptr<platform::ActionSheet>& actionSheet() const { return sheet_; }

  void pickPicture(bool fromAlbum);
  void viewWillAppear(bool animated) override;
  void clickedButtonAtIndex(platform::ActionSheet& sheet, int buttonIndex) override;
  void didFinishPickingMediaWithInfo(platform::ImagePickerController& picker,
                                     const platform::Dictionary& info) override;

 private:
  static std::shared_ptr<UIKavroImagePickerController> make(
      std::weak_ptr<UIKavroImagePickerDelegate> delegate, std::int32_t occasion, bool withDelete);

  std::int32_t occasion_ = 0;
  std::weak_ptr<platform::ViewController> parent_;
  std::weak_ptr<UIKavroImagePickerDelegate> delegate_;
  std::shared_ptr<platform::ActionSheet> sheet_;
  // Kept until the action sheet is answered.
  std::shared_ptr<UIKavroImagePickerController> selfRetain_;

 protected:
  UIKavroImagePickerController() = default;
};

}  // namespace kavro
