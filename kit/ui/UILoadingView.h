#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "kit/skin/AppSkinTargets.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace kavro {

// A loading line: an activity indicator and a text side by side, centred or from the left. The
// owner hides the whole view with its hidden flag. Main thread only.
class UILoadingView : public platform::View, public AppSkinLoadingView {
 public:
  explicit UILoadingView(platform::Rect frame = {});

  const std::shared_ptr<platform::ActivityIndicatorView>& activityView() const { return activityView_; }
  const std::shared_ptr<platform::Label>& label() const { return label_; }
  // What the skin engine styles.
  std::shared_ptr<platform::ActivityIndicatorView> activityIndicator() const override {
    return activityView_;
  }
  std::shared_ptr<platform::Label> textLabel() const override { return label_; }
  const std::string& text() const { return text_; }
  // Shows the text, un-hides the view and lays it out again.
  void setText(std::string_view text);
  bool hiddenActivity() const { return hiddenActivity_; }
  void setHiddenActivity(bool hidden);
  bool centerAlign() const { return centerAlign_; }
  void setCenterAlign(bool center);
  // Lays the indicator (unless hidden) and the label out after their contents changed.
  void autoResizing() override;

  static constexpr double Gap = 5;

 private:
  std::shared_ptr<platform::ActivityIndicatorView> activityView_;
  std::shared_ptr<platform::Label> label_;
  std::string text_;
  bool hiddenActivity_ = false;
  bool centerAlign_ = true;
};

}  // namespace kavro
