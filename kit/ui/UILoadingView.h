#pragma once
#include <memory>
#include <string>

#include "kit/skin/AppSkinTargets.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"

namespace kavro {

// A spinner with a text, shown while something loads. Hidden until its first setText; at least
// 50 x 20 points. Main thread only.
class UILoadingView : public platform::View, public AppSkinLoadingView {
 public:
  explicit UILoadingView(platform::Rect frame = {});
  ~UILoadingView() override;

  void setFrame(platform::Rect frame) override;
  void setText(std::string text);
  std::string getText() const { return label_->text(); }
  void setTextColor(std::optional<platform::Color> color);
  platform::Color getTextColor() const { return label_->textColor(); }
  void setActivityStyle(platform::ActivityIndicatorViewStyle style);
  platform::ActivityIndicatorViewStyle getActivityStyle() const {
    return activityView_->activityIndicatorViewStyle();
  }
  bool hiddenActivity() const { return hiddenActivity_; }
  void setHiddenActivity(bool hidden);
  bool centerAlign() const { return centerAlign_; }
  void setCenterAlign(bool center);
  void autoResizing() override;
  std::shared_ptr<platform::ActivityIndicatorView> activityIndicator() const override {
    return activityView_;
  }
  std::shared_ptr<platform::Label> textLabel() const override { return label_; }

  const std::shared_ptr<platform::Label>& label() const { return label_; }
  const std::shared_ptr<platform::ActivityIndicatorView>& activityView() const { return activityView_; }

 private:
  std::shared_ptr<platform::Label> label_;
  std::shared_ptr<platform::ActivityIndicatorView> activityView_;
  std::string text_;
  platform::Color textColor_ = platform::Color::black();
  bool centerAlign_ = true;
  bool hiddenActivity_ = false;
  platform::ActivityIndicatorViewStyle activityStyle_ = platform::ActivityIndicatorViewStyle::Gray;
  bool ready_ = false;
};

}  // namespace kavro
