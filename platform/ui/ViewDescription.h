#pragma once
#include <string>
#include <string_view>

#include "platform/graphics/Geometry.h"

namespace platform {

class View;

// The view tree as indented text, one view per line, for the runner and for tests:
//   ClassName (x, y, w, h) <Controller> fact fact ...
// two spaces of indent per level, subviews back to front. Facts come from
// View::describeProperties ("text=...", "title=...", "selected", ...). A hidden view is printed
// with "hidden" and without its subviews. Lays the tree out first (layoutIfNeeded).
std::string describeTree(View& root);

// Helpers of the format: numbers in shortest form with at most two decimals ("12", "12.5"),
// texts in double quotes with \" \\ \n escaped, rectangles as "(x, y, w, h)".
std::string formatNumber(double v);
std::string quoted(std::string_view text);
std::string formatRect(const Rect& r);

}  // namespace platform
