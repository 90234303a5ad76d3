#pragma once
#include "platform/graphics/Geometry.h"

namespace platform {
class View;
}

// Resizing a view by frame; the origin stays.
namespace kavro::view {

void setWidth(platform::View& v, double width);
void setHeight(platform::View& v, double height);
void setSize(platform::View& v, platform::Size size);
void addHeight(platform::View& v, double delta);
void reduceHeight(platform::View& v, double delta);
// Height := the lowest bottom edge of the shown, not zero-sized direct subviews, plus the margin.
void heightFromSubViews(platform::View& v);
void heightFromSubViewsWithBottomMargin(platform::View& v, double margin);
// Both views take the smaller top and the larger height; x and width stay.
void sameTopAndHeightOfView(platform::View& v, platform::View* reference);

}  // namespace kavro::view
