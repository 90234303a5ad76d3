#pragma once
#include <memory>
#include <string_view>

#include "platform/ui/Button.h"

namespace kavro {
class FansBadge;
}

// Buttons: the navigation-bar button, title and icon layouts by edge insets, and badges. A button
// shows at most one badge, found again by its tag.
namespace kavro::button {

inline constexpr int BadgeTag = 1929;

// 180 x 44, a dark title shadow, showing touches.
std::shared_ptr<platform::Button> buttonForNavigationBar();

void setTitleLeftOfIcon(platform::Button& b);
void setTitleLeftOfIconHorizontalCenter(platform::Button& b);
void setTitleLeftOfIconHorizontalLeft(platform::Button& b);
void setTitleRightOfIconHorizontalLeft(platform::Button& b);
void setTitleUnderIcon(platform::Button& b);
void setTitleUnderIconWithTextPadding(platform::Button& b, double padding);

// Replace any earlier badge (tag 1929) with this one, showing the value, at the title's right top.
void badge(platform::Button& b, const std::shared_ptr<FansBadge>& badge, std::string_view value);
void fansBadge(platform::Button& b, std::string_view value);
void smallerBadge(platform::Button& b, std::string_view value);
// As smallerBadge, then 2 points from the screen's right edge and top in the superview.
void smallerNavbarBadge(platform::Button& b, std::string_view value);

// Placement helpers: bring the subview to the front and move it. Nothing for a null subview.
void bringSubViewToRightTop(platform::Button& b, const std::shared_ptr<platform::View>& sub);
void bringBubbleToRightTop(platform::Button& b, const std::shared_ptr<platform::View>& sub);
void bringBubbleToRighttopOppositeNavbar(platform::Button& b, const std::shared_ptr<platform::View>& sub);

}  // namespace kavro::button
