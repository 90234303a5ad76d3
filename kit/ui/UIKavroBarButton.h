#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"

namespace kavro {

// A bar item whose content is a custom, skinned button (customButton, held by the item's custom
// view). Main thread only.
class UIKavroBarButton : public platform::BarButtonItem {
 public:
  using Action = std::function<void()>;

  // A flexible space item.
  static std::shared_ptr<platform::BarButtonItem> flexItem();
  // A plain item with the custom view.
  static std::shared_ptr<platform::BarButtonItem> itemWithView(std::shared_ptr<platform::View> view);
  // A custom-type button with the frame, title and touch-up-inside action, wrapped in an item.
  static std::shared_ptr<UIKavroBarButton> barButtonWithFrame(platform::Rect frame, const std::string& title,
                                                              Action action);
  // A skinned button (system font 15, black title shadow offset (0, -0.5), the image with 5
  // points of room at its right when given) wrapped in an item.
  static std::shared_ptr<UIKavroBarButton> create(platform::Rect frame, const std::string& title,
                                                  std::shared_ptr<platform::Image> image, Action action);

  // Null when the custom view is not a button.
  std::shared_ptr<platform::Button> customButton() const { return customButton_.lock(); }
  // The item and its button together: a bar does not pass the item's state on to a custom view,
  // and a tap reaches the button, not the item.
  void setEnabled(bool enabled);

 private:
  std::weak_ptr<platform::Button> customButton_;

 protected:
  explicit UIKavroBarButton(std::shared_ptr<platform::View> customView);
};

}  // namespace kavro
