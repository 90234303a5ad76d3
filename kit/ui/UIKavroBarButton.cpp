#include "kit/ui/UIKavroBarButton.h"

#include "kit/skin/AppSkin.h"
#include "platform/ui/Font.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<platform::BarButtonItem> UIKavroBarButton::flexItem() {
  return std::make_shared<platform::BarButtonItem>(platform::BarButtonSystemItem::FlexibleSpace);
}

std::shared_ptr<platform::BarButtonItem> UIKavroBarButton::itemWithView(
    std::shared_ptr<platform::View> view) {
  auto item = std::make_shared<platform::BarButtonItem>(std::move(view));
  item->setStyle(platform::BarButtonItemStyle::Plain);
  return item;
}

namespace {
std::shared_ptr<platform::Button> makeButton(Rect frame, const std::string& title,
                                             UIKavroBarButton::Action action) {
  auto button = platform::Button::buttonWithType(platform::ButtonType::Custom, frame);
  button->setTitle(title);
  if (action) {
    button->addTarget(nullptr, platform::ControlEvent::TouchUpInside,
                      [action = std::move(action)](platform::Control&) { action(); });
  }
  return button;
}
}  // namespace

std::shared_ptr<UIKavroBarButton> UIKavroBarButton::barButtonWithFrame(Rect frame, const std::string& title,
                                                                       Action action) {
  return std::shared_ptr<UIKavroBarButton>(new UIKavroBarButton(makeButton(frame, title, std::move(action))));
}

std::shared_ptr<UIKavroBarButton> UIKavroBarButton::create(Rect frame, const std::string& title,
                                                           std::shared_ptr<platform::Image> image,
                                                           Action action) {
  auto button = makeButton(frame, title, std::move(action));
  AppSkin::apply(button.get(), "", "");
  button->titleLabel()->setFont(platform::Font::systemFontOfSize(15));
  button->setTitleShadowColor(platform::Color::black());
  button->titleLabel()->setShadowOffset({0, -0.5});
  if (image) {
    button->setImage(std::move(image));
    button->setImageEdgeInsets(platform::EdgeInsets{0, 0, 0, 5});
  }
  return std::shared_ptr<UIKavroBarButton>(new UIKavroBarButton(button));
}

UIKavroBarButton::UIKavroBarButton(std::shared_ptr<platform::View> customView)
    : platform::BarButtonItem(customView) {
  if (auto button = std::dynamic_pointer_cast<platform::Button>(customView)) customButton_ = button;
}

void UIKavroBarButton::setEnabled(bool enabled) {
  platform::BarButtonItem::setEnabled(enabled);
  if (auto button = customButton()) button->setEnabled(enabled);
}

}  // namespace kavro
