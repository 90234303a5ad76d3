#pragma once
#include <memory>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/graphics/Image.h"
#include "platform/ui/NavigationController.h"

namespace platform {

class ImagePickerController;

// The platform's values.
enum class ImagePickerControllerSourceType { PhotoLibrary = 0, Camera = 1, SavedPhotosAlbum = 2 };

// Keys of the info handed to the delegate.
inline constexpr std::string_view ImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
inline constexpr std::string_view ImagePickerControllerMediaType = "UIImagePickerControllerMediaType";

// Hears what the person picked; both optional.
class ImagePickerControllerDelegate {
 public:
  virtual ~ImagePickerControllerDelegate() = default;
  virtual void didFinishPickingMediaWithInfo(ImagePickerController& picker, const Dictionary& info) {}
  // False (not implemented): the picker dismisses itself.
  virtual bool imagePickerControllerDidCancel(ImagePickerController& picker) { return false; }
};

// The system's photo picker: a navigation controller whose root screen stands for the library or
// the camera. There are no photos here: tests and the runner hand in the picture the person
// chose (pickImage) or cancel; the delegate then hears it with the info keys above (the media
// type "public.image"). The camera is available when the device has one.
class ImagePickerController : public NavigationController {
 public:
  static std::shared_ptr<ImagePickerController> create();
  static bool isSourceTypeAvailable(ImagePickerControllerSourceType type);

  ImagePickerControllerSourceType sourceType() const { return sourceType_; }
  void setSourceType(ImagePickerControllerSourceType t);
  bool allowsEditing() const { return allowsEditing_; }
  void setAllowsEditing(bool a) { allowsEditing_ = a; }
  const std::weak_ptr<ImagePickerControllerDelegate>& pickerDelegate() const { return pickerDelegate_; }
  void setPickerDelegate(std::weak_ptr<ImagePickerControllerDelegate> d) { pickerDelegate_ = std::move(d); }

  // The person's side.
  void pickImage(std::shared_ptr<Image> image);
  void cancel();

 private:
  ImagePickerControllerSourceType sourceType_ = ImagePickerControllerSourceType::PhotoLibrary;
  bool allowsEditing_ = false;
  std::weak_ptr<ImagePickerControllerDelegate> pickerDelegate_;

 protected:
  ImagePickerController() = default;
};

}  // namespace platform
