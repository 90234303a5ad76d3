#pragma once
#include <memory>

#include "platform/ui/ImageView.h"

// Image views the kit makes ready to use.
namespace kavro::imageview {

// A new image view showing the kit's disclosure arrow (a grey chevron pointing right), sized to
// the arrow: 9 x 13 points at the origin.
std::shared_ptr<platform::ImageView> arrowView();

}  // namespace kavro::imageview
