#pragma once
#include <memory>

#include "mapsdk/display/PaopaoBaseView.h"

namespace mapsdk {

// A bubble with a view on each side of its body (the annotation view's call-out accessory views),
// the background spanning all. The side views are kept alive as subviews and leave with the
// bubble. Make with create(). Main thread only.
class ActionPaopaoView : public PaopaoBaseView {
 public:
  static std::shared_ptr<ActionPaopaoView> create(std::shared_ptr<platform::View> leftView,
                                                  std::shared_ptr<platform::View> rightView);
  ~ActionPaopaoView() override;

  // The body's maximum width is 300 less the side views' widths and allowances.
  void setText(const std::optional<std::string>& text, const std::optional<std::string>& detailText) override;
  // Sizes the bubble to body + allowances and places the side views in them.
  void adjustLeftRightPaopaos(double leftWidth, double rightWidth);
  void onClickLeftButton() {}
  void onClickRightButton() {}
  int leftViewRightViewWidth() const { return sideWidths_; }

  std::string middlePaopaoLeftImage() const override { return "icon_action_paopao_middle_left"; }
  std::string middlePaopaoLeftHighlightedImage() const override {
    return "icon_action_paopao_middle_left_highlighted";
  }
  platform::Rect middlePaopaoLeftImageStretchRect() const override { return {1, 0, 0, 0}; }
  std::string middlePaopaoRightImage() const override { return "icon_action_paopao_middle_right"; }
  std::string middlePaopaoRightHighlightedImage() const override {
    return "icon_action_paopao_middle_right_highlighted";
  }
  platform::Rect middlePaopaoRightImageStretchRect() const override { return {8, 0, 0, 0}; }
  std::string leftPaopaoImage() const { return "icon_action_paopao_left_nearby"; }
  std::string leftPaopaoHighlightedImage() const { return "icon_action_paopao_left_nearby_highlighted"; }
  platform::Rect leftPaopaoImageStretchRect() const { return {0, 0, 0, 0}; }
  std::string rightPaopaoImage() const { return "icon_action_paopao_right_route"; }
  std::string rightPaopaoHighlightedImage() const { return "icon_action_paopao_right_route_highlighted"; }
  platform::Rect rightPaopaoImageStretchRect() const { return {0, 0, 0, 0}; }

 private:
  ActionPaopaoView(std::shared_ptr<platform::View> leftView, std::shared_ptr<platform::View> rightView);
  std::weak_ptr<platform::View> leftView_;
  std::weak_ptr<platform::View> rightView_;
  int sideWidths_ = 0;
};

}  // namespace mapsdk
