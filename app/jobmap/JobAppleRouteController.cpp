#include "app/jobmap/JobAppleRouteController.h"

#include "app/jobmap/MapSkin.h"
#include "platform/mapview/MapViewUtil.h"

namespace kavro {

JobAppleRouteController::~JobAppleRouteController() {
  if (aMapView_) {
    aMapView_->setShowsUserLocation(false);
    aMapView_->setDelegate({});
  }
}

void JobAppleRouteController::buildMapView() {
  auto root = view();
  platform::Size size = root->bounds().size;
  aMapView_ = std::make_shared<platform::MapView>(platform::Rect(0, 44, size.width, size.height - 44));
  root->insertSubviewBelow(aMapView_, bubbleView_.get());
  aMapView_->setDelegate(sharedAs<JobAppleRouteController>());
  aMapView_->setShowsUserLocation(true);
}

bool JobAppleRouteController::showLocation() {
  if (!JobMapController::showLocation() || !aMapView_) return false;
  auto pin = std::make_shared<platform::PointAnnotation>(coordinate_);
  pin->setTitle(detail_->get_coname());
  aMapView_->selectAnnotation(pin, false);
  aMapView_->addAnnotation(pin);
  platform::mapview::setCenterCoordinate(*aMapView_, coordinate_, static_cast<float>(RouteRadius), true);
  return true;
}

std::optional<std::shared_ptr<platform::AnnotationView>> JobAppleRouteController::viewForAnnotation(
    platform::MapView&, const std::shared_ptr<platform::Annotation>& annotation) {
  if (!std::dynamic_pointer_cast<platform::PointAnnotation>(annotation)) return std::nullopt;
  return mapskin::pinView(annotation);
}

void JobAppleRouteController::didSelectAnnotationView(platform::MapView& map, platform::AnnotationView& pin) {
  map.setCenterCoordinate(pin.annotation()->coordinate(), true);
  bubbleView_->setHidden(false);
  mapskin::setImage(pin, "map_location_focus");
  installTapToHide(map);
}

void JobAppleRouteController::didDeselectAnnotationView(platform::MapView&, platform::AnnotationView& pin) {
  mapskin::setImage(pin, "map_location_normal");
}

void JobAppleRouteController::hideBubbleView() {
  if (bubbleView_->isHidden()) return;
  bubbleView_->setHidden(true);
  for (const auto& a : aMapView_->annotations())
    if (std::dynamic_pointer_cast<platform::PointAnnotation>(a)) aMapView_->deselectAnnotation(a, true);
  removeTapToHide(*aMapView_);
}

void JobAppleRouteController::regionWillChangeAnimated(platform::MapView&, bool) { hideBubbleView(); }

}  // namespace kavro
