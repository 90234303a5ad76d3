#pragma once
#include <cstdint>
#include <memory>

#include "kit/ui/UIBasicController.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"

namespace kavro {

// Hears the cut picture.
class UIKavroImageEditorDelegate {
 public:
  virtual ~UIKavroImageEditorDelegate() = default;
  virtual void pickedImage(const std::shared_ptr<platform::Image>& image) = 0;
};

// Follows the image picker: the photo lies under a fixed cut box, the person moves and zooms it,
// and use() cuts the boxed part out of the screen as a picture of at most 270 × 330 points and
// hands it to the delegate, closing the modal picker. Occasion 1 (community card) cuts a square
// box, every other occasion the resume photo's 180 : 220 box. Main thread only.
class UIKavroImageEditorController : public UIBasicController, public platform::ScrollViewDelegate {
 public:
  static constexpr double UseDelay = 0.2;
  static constexpr double MaxOutputWidth = 270;
  static constexpr double MaxOutputHeight = 330;

  static std::shared_ptr<UIKavroImageEditorController> initWithImage(std::shared_ptr<platform::Image> image,
                                                                     std::int32_t occasion);

  std::int32_t sourceType() const { return sourceType_; }
  void setSourceType(std::int32_t t) { sourceType_ = t; }
  std::shared_ptr<UIKavroImageEditorDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<UIKavroImageEditorDelegate> d) { delegate_ = std::move(d); }
  const std::shared_ptr<platform::ScrollView>& scrollView() const { return scrollView_; }
  const std::shared_ptr<platform::ImageView>& imageView() const { return imageView_; }
  const std::shared_ptr<platform::View>& whiteCutBox() const { return whiteCutBox_; }
  const std::shared_ptr<platform::View>& blueCutBox() const { return blueCutBox_; }
  double cutBoxWidth() const { return cutBoxWidth_; }
  double cutBoxHeight() const { return cutBoxHeight_; }

  void customView() override;
  std::shared_ptr<platform::View> viewForZoomingInScrollView(platform::ScrollView& sv) override;
  void giveUp();
  void use();
  void cutImageAndSend();
  std::shared_ptr<platform::Image> getCutImage();

 private:
  void initCutViewWithImage(const std::shared_ptr<platform::Image>& image);

  std::int32_t sourceType_ = 0;
  std::shared_ptr<platform::ScrollView> scrollView_;
  std::shared_ptr<platform::ImageView> imageView_;
  std::shared_ptr<platform::View> whiteCutBox_;
  std::shared_ptr<platform::View> blueCutBox_;
  std::weak_ptr<UIKavroImageEditorDelegate> delegate_;
  double cutBoxWidth_ = 290;
  double cutBoxHeight_ = 354.4;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  UIKavroImageEditorController() = default;
};

KAVRO_CLASS(UIKavroImageEditorController, UIBasicController);

}  // namespace kavro
