#include "app/jobmap/MapSkin.h"

namespace kavro::mapskin {

std::shared_ptr<platform::AnnotationView> pinView(const std::shared_ptr<platform::Annotation>& annotation) {
  auto pin = std::make_shared<platform::AnnotationView>(annotation, "CustomAnnotation");
  pin->setCanShowCallout(false);
  setImage(*pin, "map_location_normal");
  return pin;
}

std::shared_ptr<platform::ImageView> imageView(std::string_view type, platform::Size fallback) {
  auto view = std::make_shared<platform::ImageView>(platform::Rect({0, 0}, fallback));
  view->setImage(image(type));
  platform::Size s = view->sizeThatFits({});
  if (s.width > 0 && s.height > 0) view->setFrame(platform::Rect({0, 0}, s));
  return view;
}

}  // namespace kavro::mapskin
