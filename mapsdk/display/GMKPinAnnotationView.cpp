#include "mapsdk/display/GMKPinAnnotationView.h"

#include "mapsdk/display/StretchImageUtil.h"

namespace mapsdk {

GMKPinAnnotationView::GMKPinAnnotationView(std::shared_ptr<GMKAnnotation> annotation,
                                           std::string reuseIdentifier)
    : GMKAnnotationView(std::move(annotation), std::move(reuseIdentifier)) {
  setImage(StretchImageUtil::mapImageNamed("pin_red"));
  setCenterOffset({0, -(frame().height() * 0.5)});
}

void GMKPinAnnotationView::setPinColor(GMKPinAnnotationColor color) {
  static constexpr const char* kImages[] = {"pin_red", "pin_green", "pin_purple"};
  auto index = static_cast<unsigned>(color);
  if (color == pinColor_ || index > 2) return;
  pinColor_ = color;
  setImage(StretchImageUtil::mapImageNamed(kImages[index]));
  setNeedsDisplay();
}

}  // namespace mapsdk
