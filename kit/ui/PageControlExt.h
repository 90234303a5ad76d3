#pragma once
#include <memory>

#include "platform/graphics/Image.h"
#include "platform/ui/PageControl.h"

namespace kavro::pagecontrol {

// Custom page dots: every image-view subview shows the highlight picture at the current page's
// index and the normal one elsewhere, sized to the picture; other subviews still count.
void changeHighLightImage(platform::PageControl& control, const std::shared_ptr<platform::Image>& highlight,
                          const std::shared_ptr<platform::Image>& normal);

}  // namespace kavro::pagecontrol
