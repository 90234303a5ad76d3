#pragma once
#include <memory>

#include "mapsdk/display/GMKAnnotation.h"
#include "mapsdk/display/GMKAnnotationHost.h"
#include "platform/ui/DrawingView.h"

namespace mapsdk {

// The overlay view's link to the map view that placed it (its companion).
struct GMKOverlayViewInternal {
  int zoomLevel = 0;
  std::weak_ptr<GMKAnnotationHost> mapView;
};

// The view that draws one overlay over the map. The map view gives it its companion once
// (initDelegate) and places it; the view converts between map points and its own coordinates
// through the map view, and draws the part of the overlay that its rectangle shows. Without a
// companion, map units are taken as the view's points. Make with std::make_shared. Main thread.
class GMKOverlayView : public platform::DrawingView {
 public:
  explicit GMKOverlayView(std::shared_ptr<GMKOverlay> overlay);

  const std::shared_ptr<GMKOverlay>& overlay() const { return overlay_; }
  const GMKMapRect& boundingMapRect() const { return boundingMapRect_; }
  // Null until the map view supplied it.
  const GMKOverlayViewInternal* delegate() const { return internal_.get(); }
  void initDelegate(std::weak_ptr<GMKAnnotationHost> mapView);

  platform::Point pointForMapPoint(const GMKMapPoint& mapPoint) const;
  GMKMapPoint mapPointForPoint(platform::Point point) const;
  // A map rect that is neither null nor empty never comes out thinner than one point.
  platform::Rect rectForMapRect(const GMKMapRect& mapRect) const;
  GMKMapRect mapRectForRect(const platform::Rect& rect) const;

  virtual bool canDrawMapRect(const GMKMapRect& mapRect, double zoomScale) const { return true; }
  // The base draws nothing.
  virtual void drawMapRect(const GMKMapRect& mapRect, double zoomScale, platform::BitmapContext& context) {}
  // The map rect of the rectangle, at zoom scale 1 / 2^(18 - the map's level).
  void drawRect(platform::BitmapContext& context, const platform::Rect& rect) override;
  // Asks for a redraw of (0, 0) and the size of the map rect in the view.
  virtual void setNeedsDisplayInMapRect(const GMKMapRect& mapRect);
  // The rectangle the last setNeedsDisplayInMapRect asked to redraw.
  const platform::Rect& lastInvalidRect() const { return lastInvalid_; }

 protected:
  void invalidate(const platform::Rect& rect);
  std::shared_ptr<GMKAnnotationHost> host() const { return internal_ ? internal_->mapView.lock() : nullptr; }

 private:
  std::shared_ptr<GMKOverlay> overlay_;
  GMKMapRect boundingMapRect_;
  std::unique_ptr<GMKOverlayViewInternal> internal_;
  platform::Rect lastInvalid_;
};

}  // namespace mapsdk
