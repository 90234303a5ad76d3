#pragma once
#include <memory>

#include "kit/skin/AppSkinTargets.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace kavro {

// A check box: the picture of its state and a text label beside it. The owner sets the state and
// calls refreshUI. Main thread only.
class UICheckBoxView : public platform::View, public AppSkinCheckBoxView {
 public:
  explicit UICheckBoxView(platform::Rect frame = {});

  std::shared_ptr<platform::Label> textLabel() const override { return textLabel_; }
  const std::shared_ptr<platform::ImageView>& imageView() const { return imageView_; }
  const std::shared_ptr<platform::Image>& imageChecked() const { return imageChecked_; }
  void setImageChecked(std::shared_ptr<platform::Image> i) override { imageChecked_ = std::move(i); }
  const std::shared_ptr<platform::Image>& imageNotChecked() const { return imageNotChecked_; }
  void setImageNotChecked(std::shared_ptr<platform::Image> i) override { imageNotChecked_ = std::move(i); }
  bool checked() const { return checked_; }
  void setChecked(bool c) { checked_ = c; }
  // Shows the state's picture, scaled down to the view's size when larger, and the label right of it.
  void refreshUI() override;

  static constexpr double Gap = 5;

 private:
  std::shared_ptr<platform::ImageView> imageView_;
  std::shared_ptr<platform::Label> textLabel_;
  std::shared_ptr<platform::Image> imageChecked_;
  std::shared_ptr<platform::Image> imageNotChecked_;
  bool checked_ = false;
};

}  // namespace kavro
