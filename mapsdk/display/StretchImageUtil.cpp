#include "mapsdk/display/StretchImageUtil.h"

#include <cmath>

#include "mapsdk/display/DeviceInfo.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"

namespace mapsdk {

using platform::Rect;

namespace {

int clampedInt(double v) { return std::isfinite(v) ? static_cast<int>(std::clamp(v, -1e9, 1e9)) : 0; }

}  // namespace

std::shared_ptr<platform::Image> StretchImageUtil::mapImageNamed(std::string_view name) {
  if (name.empty()) return nullptr;
  // Decoded once and shared, as named pictures are: a map of ten thousand pins holds one pin
  // picture, not one each.
  return platform::Image::imageNamed("mapsdk.bundle/images/" + std::string(name),
                                     DeviceInfo::isRetinaScreen() ? 2 : 1);
}

std::shared_ptr<platform::Image> StretchImageUtil::getStretchImage(std::string_view name,
                                                                   platform::Point point) {
  auto image = mapImageNamed(name);
  if (!image) return nullptr;
  return image->stretchableImageWithLeftCapWidth(clampedInt(point.x), clampedInt(point.y));
}

std::shared_ptr<platform::ImageView> StretchImageUtil::getStretchImageViewWithImageName(
    std::string_view name, std::string_view highlightedName, const Rect& stretchRect) {
  auto view = std::make_shared<platform::ImageView>(getStretchImage(name, stretchRect.origin));
  view->setHighlightedImage(getStretchImage(highlightedName, stretchRect.origin));
  view->sizeToFit();
  Rect f = view->frame();
  if (stretchRect.width() > 0) f.size.width = stretchRect.width();
  if (stretchRect.height() > 0) f.size.height = stretchRect.height();
  view->setFrame(f);
  return view;
}

std::shared_ptr<platform::Button> StretchImageUtil::getStretchButtonWithImageName(
    std::string_view name, std::string_view highlightedName, std::string_view disabledName,
    const Rect& stretchRect) {
  auto button = platform::Button::buttonWithType(platform::ButtonType::Custom);
  auto normal = getStretchImage(name, stretchRect.origin);
  auto highlighted = getStretchImage(highlightedName, stretchRect.origin);
  button->setBackgroundImage(normal, platform::ControlState::Normal);
  button->setBackgroundImage(highlighted, platform::ControlState::Highlighted);
  button->setBackgroundImage(getStretchImage(disabledName, stretchRect.origin),
                             platform::ControlState::Disabled);
  platform::Size own = normal ? normal->size() : highlighted ? highlighted->size() : platform::Size{};
  button->setFrame(Rect(0, 0, stretchRect.width() > 0 ? stretchRect.width() : own.width,
                        stretchRect.height() > 0 ? stretchRect.height() : own.height));
  return button;
}

}  // namespace mapsdk
