#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/Control.h"

namespace platform {
class ImageView;
class Label;
}  // namespace platform

namespace mapsdk {

// The body of a bubble: a background of two stretchable halves, a title line and an optional
// detail line, sized to its texts between a minimum and a maximum width. Main thread only.
class PaopaoButton : public platform::Control {
 public:
  PaopaoButton(std::string_view leftImage, std::string_view highlightedLeftImage,
               const platform::Rect& leftStretchRect, std::string_view rightImage,
               std::string_view highlightedRightImage, const platform::Rect& rightStretchRect);

  const std::shared_ptr<platform::Label>& label() const { return label_; }
  const std::shared_ptr<platform::Label>& detailLabel() const { return detailLabel_; }
  const std::shared_ptr<platform::ImageView>& leftImage() const { return leftImage_; }
  const std::shared_ptr<platform::ImageView>& rightImage() const { return rightImage_; }
  double minWidth() const { return minWidth_; }
  void setMinWidth(double w) { minWidth_ = w; }
  double maxWidth() const { return maxWidth_; }
  void setMaxWidth(double w) { maxWidth_ = w; }
  double paopaoHeight() const { return paopaoHeight_; }
  void setPaopaoHeight(double h) { paopaoHeight_ = h; }

  // Lays the texts out and sizes the body to them; an empty detail hides the detail line.
  void setText(const std::optional<std::string>& text, const std::optional<std::string>& detailText);
  // Width W, the halves split at floor(W / 2); the labels move right by leftOffset when it is > 0.
  void adjustPaopaoForWidth(double width, double leftOffset);
  // Shows the halves' highlighted pictures.
  void setHighlighted(bool highlighted) override;

 private:
  std::shared_ptr<platform::ImageView> leftImage_;
  std::shared_ptr<platform::ImageView> rightImage_;
  std::shared_ptr<platform::Label> label_;
  std::shared_ptr<platform::Label> detailLabel_;
  double minWidth_ = 86;
  double maxWidth_ = 300;
  double textPadding_ = 5;
  double paopaoHeight_ = 41;
};

}  // namespace mapsdk
