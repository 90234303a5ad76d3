#pragma once
#include <memory>
#include <optional>

#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"

namespace platform {
class ActivityIndicatorView;
class Label;
}  // namespace platform

namespace kavro {

// The kit's own controls that the skin engine styles without depending on the screen library: the
// list cells, the loading view and the check box implement these next to their platform base
// class, and AppSkin finds them with dynamic_cast.

// "DataTableCell": the cell's background, a colour or a pattern made from an image.
class AppSkinTableCell {
 public:
  virtual ~AppSkinTableCell() = default;
  virtual void setBgColor(std::optional<platform::Color> color, std::shared_ptr<platform::Image> pattern) = 0;
};

// "UILoadingView": an activity indicator beside a label.
class AppSkinLoadingView {
 public:
  virtual ~AppSkinLoadingView() = default;
  virtual std::shared_ptr<platform::ActivityIndicatorView> activityIndicator() const = 0;
  virtual std::shared_ptr<platform::Label> textLabel() const = 0;
  // Lays the indicator and the label out again after a change of look.
  virtual void autoResizing() = 0;
};

// "UICheckBoxView": a label with a checked and an unchecked image.
class AppSkinCheckBoxView {
 public:
  virtual ~AppSkinCheckBoxView() = default;
  virtual std::shared_ptr<platform::Label> textLabel() const = 0;
  virtual void setImageChecked(std::shared_ptr<platform::Image> image) = 0;
  virtual void setImageNotChecked(std::shared_ptr<platform::Image> image) = 0;
  virtual void refreshUI() = 0;
};

}  // namespace kavro
