#pragma once

namespace platform {
class View;
}

// Placing a view next to another (in the same superview's coordinates). Nothing happens without
// the other view.
namespace kavro::view {

void bottomOfView(platform::View& v, const platform::View* reference, double margin = 0);
void rightOfView(platform::View& v, const platform::View* reference, double margin = 0,
                 bool sameVertical = false);
void leftOfView(platform::View& v, const platform::View* reference, double margin = 0,
                bool sameVertical = false);
void sameHorizontalMidLineOfView(platform::View& v, const platform::View* reference);

}  // namespace kavro::view
