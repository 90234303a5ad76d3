#pragma once
#include <memory>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace platform {
class View;
}

// Moving a view by frame: each operation reads the frame, replaces the named parts and sets it
// again. A null reference view counts as a zero frame.
namespace kavro::view {

void setTop(platform::View& v, double top);
void setLeft(platform::View& v, double left);
void setX(platform::View& v, double x, double y);
void setXY(platform::View& v, platform::Point p);
void addTop(platform::View& v, double delta);
void reduceTop(platform::View& v, double delta);
// Only the reference's size counts: this centres a subview inside its parent.
void horizontalCenterInView(platform::View& v, const platform::View* reference);
void verticalCenterInView(platform::View& v, const platform::View* reference);

// Spreads the listed subviews of v over its height (or width): the subviews that are v's own,
// shown, at least 0.1 point in each size, at least 0.05 opaque, and for labels with text and
// image views with an image. False when none qualifies or they do not fit with the padding.
bool verticalCenterWithSubviews(platform::View& v, const std::vector<std::shared_ptr<platform::View>>& views,
                                double padding);
bool verticalCenterWithSubviews(platform::View& v, const std::vector<std::shared_ptr<platform::View>>& views,
                                double padding, double maxHeight);
bool horizontalCenterWithSubviews(platform::View& v,
                                  const std::vector<std::shared_ptr<platform::View>>& views, double padding);
bool horizontalCenterWithSubviews(platform::View& v,
                                  const std::vector<std::shared_ptr<platform::View>>& views, double padding,
                                  double maxWidth);

}  // namespace kavro::view
