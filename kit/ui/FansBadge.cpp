#include "kit/ui/FansBadge.h"

#include "kit/core/StringMisc.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/SmallerBadge.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "platform/foundation/Text.h"

namespace kavro {

namespace {
constexpr std::string_view BadgeSkinType = "badge_icon";
constexpr std::string_view BadgeSkinGroup = "app_home";
}  // namespace

FansBadge::FansBadge() : FansBadge(31, 26, 27, "fans_badge_label") {}

FansBadge::FansBadge(double widerWidth, double thinnerWidth, double badgeHeight,
                     std::string_view labelSkinType)
    : ImageView(platform::Rect(0, 0, widerWidth, badgeHeight)),
      lblNumber_(std::make_shared<platform::Label>()),
      widerWidth_(widerWidth),
      thinnerWidth_(thinnerWidth),
      badgeHeight_(badgeHeight) {
  addSubview(lblNumber_);
  AppSkin::apply(lblNumber_.get(), labelSkinType, BadgeSkinGroup);
  AppSkin::apply(this, BadgeSkinType, BadgeSkinGroup);
}

void FansBadge::setBadgeValue(std::string_view value) {
  badgeValue_ = str::trim(value);
  lblNumber_->setText(badgeValue_);
  std::size_t length = platform::utf16Length(badgeValue_);
  double width = 0;
  if (badgeValue_.empty() || badgeValue_ == "0") {
    width = 0;
  } else if (length == 1) {
    width = thinnerWidth_;
  } else if (length == 2) {
    width = widerWidth_;
  } else {
    width = thinnerWidth_;
    lblNumber_->setText("N");
  }
  view::setWidth(*this, width);
  label::autoFitHeight(*lblNumber_);
  view::setWidth(*lblNumber_, width);
  view::verticalCenterInView(*lblNumber_, this);
}

SmallerBadge::SmallerBadge() : FansBadge(24, 20, 20, "campus_badge_label") {}

}  // namespace kavro
