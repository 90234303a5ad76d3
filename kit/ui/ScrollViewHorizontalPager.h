#pragma once

namespace platform {
class ScrollView;
}

// Pages as wide as the scroll view's frame.
namespace kavro::scrollview {

void scrollToHorizontalPageIndex(platform::ScrollView& s, int page, bool animated = true);
// floor((offset x + 1) / frame width): an offset a fraction below a boundary counts as that page.
int getHorizontalPageIndex(const platform::ScrollView& s);

}  // namespace kavro::scrollview
