#pragma once
#include <memory>
#include <string>

#include "kit/skin/AppSkinTargets.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

class UICheckBoxView;

// Told after each tap on a check box.
class UICheckBoxViewDelegate {
 public:
  virtual ~UICheckBoxViewDelegate() = default;
  virtual void checkBox(UICheckBoxView& box) = 0;
};

// An image and a caption that toggle between a checked and an unchecked image when tapped; a tap
// tells the delegate (not retained), setChecked does not. Main thread only.
class UICheckBoxView : public platform::View, public AppSkinCheckBoxView {
 public:
  static std::shared_ptr<UICheckBoxView> create(platform::Rect frame = {});

  void setFrame(platform::Rect frame) override;
  bool checked() const { return checked_; }
  void setChecked(bool checked);
  void buttonClicked();
  void refreshUI() override;

  void setImageChecked(std::shared_ptr<platform::Image> image) override { imageChecked_ = std::move(image); }
  void setImageNotChecked(std::shared_ptr<platform::Image> image) override {
    imageNotChecked_ = std::move(image);
  }
  const std::shared_ptr<platform::Image>& imageChecked() const { return imageChecked_; }
  const std::shared_ptr<platform::Image>& imageNotChecked() const { return imageNotChecked_; }
  void setDelegate(std::weak_ptr<UICheckBoxViewDelegate> d) { delegate_ = std::move(d); }

  const std::shared_ptr<platform::ImageView>& imageView() const { return imageView_; }
  std::shared_ptr<platform::Label> textLabel() const override { return textLabel_; }
  const std::shared_ptr<platform::Button>& clickButton() const { return clickButton_; }

 private:
  std::shared_ptr<platform::ImageView> imageView_;
  std::shared_ptr<platform::Label> textLabel_;
  std::shared_ptr<platform::Button> clickButton_;
  bool checked_ = false;
  std::weak_ptr<UICheckBoxViewDelegate> delegate_;
  std::shared_ptr<platform::Image> imageChecked_;
  std::shared_ptr<platform::Image> imageNotChecked_;
  bool ready_ = false;
  // What the parts were last laid out for: rows set the same state and height on every bind.
  struct Shown {
    double width = -1, height = -1;
    const platform::Image* image = nullptr;
    platform::Size imageSize;
    bool operator==(const Shown&) const = default;
  };
  Shown shown_;

 protected:
  explicit UICheckBoxView(platform::Rect frame = {});
};

}  // namespace kavro
