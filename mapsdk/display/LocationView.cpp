#include "mapsdk/display/LocationView.h"

#include <cmath>

#include "mapsdk/display/GMKCircle.h"
#include "mapsdk/display/GMKUserLocation.h"
#include "mapsdk/raster/VImageDecode.h"

namespace mapsdk {

using platform::Rect;

LocationView::LocationView(std::shared_ptr<GMKAnnotation> annotation, std::string reuseIdentifier)
    : GMKAnnotationView(std::move(annotation), std::move(reuseIdentifier)) {
  setEnabled(true);
  // The same picture on every screen.
  if (auto file = gmengine::GetMapApiResourcePath("images/icon_center_point.png"))
    setImage(platform::Image::imageWithContentsOfFile(*file));
  setCanShowCallout(true);
}

double LocationView::imageWidth() const {
  const auto& img = image();
  return img && img->bitmap() ? img->bitmap()->width() : 0;
}

void LocationView::buildPath(double diameter) {
  path_ = std::make_shared<platform::Path>();
  path_->addEllipseInRect(Rect(2, 2, diameter - 4, diameter - 4));
}

void LocationView::needRect() {
  double iw = imageWidth(), accuracy = 0, latitude = 0;
  if (auto* user = dynamic_cast<const GMKUserLocation*>(annotation().get()); user && user->location()) {
    accuracy = user->location()->horizontalAccuracy;
    latitude = user->location()->coordinate.latitude;
  }
  auto map = mapView();
  int level = map ? map->zoomLevel() : 18;
  double d = 2 * accuracy * GMKCircle::mapUnitsPerMetre(latitude) / std::pow(2.0, 18 - level);
  if (!(d > iw)) {
    setFrame(Rect(0, 0, iw, iw));
    setCalloutOffset({0, 0});
    return;
  }
  if (std::abs(frame().width() - d) < 0.00001) return;
  setFrame(Rect(0, 0, d, d));
  buildPath(d);
  setCalloutOffset({0, (d - iw) * 0.5});
}

void LocationView::drawRect(platform::BitmapContext& context, const Rect& rect) {
  double w = frame().width(), iw = imageWidth();
  if (w <= iw) {
    GMKAnnotationView::drawRect(context, rect);
    return;
  }
  if (!path_) buildPath(w);
  context.setFillColor(platform::Color::rgba(0.73, 0.9, 1.0, 0.47));
  context.fillPath(*path_);
  context.setStrokeColor(platform::Color::rgba(0.463, 0.635, 0.86, 1.0));
  context.setLineWidth(1.6);
  context.strokePath(*path_);
  if (image()) context.drawImage(*image(), Rect((w - iw) * 0.5, (w - iw) * 0.5, iw, iw));
}

void LocationView::touchesBegan(const platform::Touch&) {
  if (isEnabled()) mutableInternal().singleTap = true;
}

void LocationView::touchesEnded(const platform::Touch& touch) {
  if (!isEnabled() || !internal().singleTap) return;
  double iw = imageWidth(), inset = (frame().width() - iw) * 0.5;
  if (inset <= 0 || Rect(inset, inset, iw, iw).containsPoint(touch.locationInView(this))) handleSingleTap();
  mutableInternal().singleTap = false;
}

}  // namespace mapsdk
