#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/location/LocationManager.h"
#include "platform/location/MapGeometry.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

namespace platform {

class MapView;

// Something with a place on the map.
class Annotation : public Object {
 public:
  virtual Coordinate coordinate() const = 0;
  virtual std::string title() const { return ""; }
};

// A plain pin record.
class PointAnnotation : public Annotation {
 public:
  PointAnnotation() = default;
  explicit PointAnnotation(Coordinate c) : coordinate_(c) {}
  Coordinate coordinate() const override { return coordinate_; }
  void setCoordinate(Coordinate c) { coordinate_ = c; }
  std::string title() const override { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }

 private:
  Coordinate coordinate_;
  std::string title_;
};

// The device's position as the map shows it; its coordinate is invalid until the first fix.
class UserLocation : public Annotation {
 public:
  Coordinate coordinate() const override;
  const std::optional<Location>& location() const { return location_; }
  bool isUpdating() const { return updating_; }

 private:
  friend class MapView;
  std::optional<Location> location_;
  bool updating_ = false;
};

// The view of one annotation: a picture centred on its point (a default pin when none is set).
class AnnotationView : public ImageView {
 public:
  AnnotationView(std::shared_ptr<Annotation> annotation, std::string reuseIdentifier);
  const std::shared_ptr<Annotation>& annotation() const { return annotation_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  bool canShowCallout() const { return canShowCallout_; }
  void setCanShowCallout(bool on) { canShowCallout_ = on; }
  bool isSelected() const { return selected_; }
  void setSelected(bool on) { selected_ = on; }
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  std::shared_ptr<Annotation> annotation_;
  std::string reuseIdentifier_;
  bool canShowCallout_ = true;
  bool selected_ = false;
};

// A circle overlay of a radius in true metres around its centre.
class Circle : public Object {
 public:
  Circle(Coordinate center, double radius) : center_(center), radius_(radius) {}
  Coordinate coordinate() const { return center_; }
  double radius() const { return radius_; }

 private:
  Coordinate center_;
  double radius_;
};

// Told what the map view does. Every method is optional.
class MapViewDelegate {
 public:
  virtual ~MapViewDelegate() = default;
  // The view for an annotation; empty or null: the map's own (a pin, or the position dot).
  virtual std::optional<std::shared_ptr<AnnotationView>> viewForAnnotation(
      MapView& map, const std::shared_ptr<Annotation>& annotation) {
    return std::nullopt;
  }
  virtual void regionWillChangeAnimated(MapView& map, bool animated) {}
  virtual void regionDidChangeAnimated(MapView& map, bool animated) {}
  virtual void didSelectAnnotationView(MapView& map, AnnotationView& view) {}
  virtual void didDeselectAnnotationView(MapView& map, AnnotationView& view) {}
  virtual void willStartLocatingUser(MapView& map) {}
  virtual void didStopLocatingUser(MapView& map) {}
  virtual void didUpdateUserLocation(MapView& map, UserLocation& userLocation) {}
  virtual void didFailToLocateUserWithError(MapView& map, const Error& error) {}
};

// The platform's map view, headless: a spherical-Mercator map at a centre and a scale (metres of
// Mercator per point), with annotations and their views, selection, circle overlays and the
// user's position. Nothing is drawn but the annotation and overlay views, which the snapshot
// renderer shows over a plain background.
//
// Regions: setRegion() shows at least the region, fitted to the view's aspect, and applies at
// once (animations end at once, as every headless animation does). A change tells the delegate
// regionWillChangeAnimated at once and regionDidChangeAnimated on a later turn of the run loop
// (after 0.3 s when animated); changes that come before that are folded into one pair.
// Drags and pinches (UIDriver) move and zoom the map through recognizers on an inner content
// view, so the map view's own recognizer list holds only what the application adds. A tap on an
// annotation view selects it and a tap elsewhere deselects; both recognize along with the
// application's taps.
//
// The user's position: with showsUserLocation on, the map runs a LocationManager session and
// tells the delegate when it starts, on every fix and on failure. Main thread only.
class MapView : public View {
 public:
  static constexpr double AnimationSeconds = 0.3;

  explicit MapView(Rect frame = {});
  ~MapView() override;

  std::weak_ptr<MapViewDelegate> delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<MapViewDelegate> d) { delegate_ = std::move(d); }

  // --- Region ---------------------------------------------------------------------------------
  CoordinateRegion region() const;
  void setRegion(const CoordinateRegion& region, bool animated);
  // What setRegion would show for the region.
  CoordinateRegion regionThatFits(const CoordinateRegion& region) const;
  Coordinate centerCoordinate() const;
  void setCenterCoordinate(const Coordinate& c, bool animated);
  // Mercator metres per point at the centre.
  double metresPerPoint() const { return scale_; }

  Coordinate convertPointToCoordinate(Point p, const View* fromView) const;
  Point convertCoordinateToPoint(const Coordinate& c, const View* toView) const;

  // --- Annotations ----------------------------------------------------------------------------
  const std::vector<std::shared_ptr<Annotation>>& annotations() const { return annotations_; }
  void addAnnotation(const std::shared_ptr<Annotation>& a);
  void addAnnotations(const std::vector<std::shared_ptr<Annotation>>& list);
  void removeAnnotation(const std::shared_ptr<Annotation>& a);
  void removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& list);
  // The view shown for the annotation (the user's position included), or null.
  std::shared_ptr<AnnotationView> viewForAnnotation(const Annotation* a) const;
  // An annotation not yet added is selected when it is added.
  void selectAnnotation(const std::shared_ptr<Annotation>& a, bool animated);
  void deselectAnnotation(const std::shared_ptr<Annotation>& a, bool animated);
  std::vector<std::shared_ptr<Annotation>> selectedAnnotations() const;

  // --- Overlays -------------------------------------------------------------------------------
  void addOverlay(const std::shared_ptr<Circle>& c);
  void removeOverlay(const std::shared_ptr<Circle>& c);
  const std::vector<std::shared_ptr<Circle>>& overlays() const { return overlays_; }
  // The circle's box in the map view's coordinates: its radius in points is the radius in metres
  // scaled by the Mercator factor (1 / cos latitude) at the circle's own latitude.
  Rect rectForCircle(const Circle& c) const;

  // --- The user's position --------------------------------------------------------------------
  bool showsUserLocation() const { return showsUserLocation_; }
  void setShowsUserLocation(bool on);
  const std::shared_ptr<UserLocation>& userLocation() const { return userLocation_; }
  bool isUserLocationVisible() const;

  // The inner view that carries the map's own recognizers, annotation and overlay views.
  const std::shared_ptr<View>& contentView() const { return content_; }

  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  void boundsDidChange(const Rect& oldBounds) override;

 private:
  class Bridge;
  friend class Bridge;

  void applyCenterAndScale(Point center, double scale, bool animated);
  void regionWillChange(bool animated);
  void scheduleDidChange(bool animated);
  void placeAnnotationView(AnnotationView& v) const;
  void placeOverlayView(std::size_t index) const;
  std::shared_ptr<AnnotationView> makeView(const std::shared_ptr<Annotation>& a);
  void select(const std::shared_ptr<AnnotationView>& v);
  void deselect(const std::shared_ptr<AnnotationView>& v);
  void tapAt(Point inContent);
  void updateUserLocationView();
  void locationUpdated(const Location& fix);
  void locationFailed(const Error& error);
  double fittedScale(const CoordinateRegion& region) const;

  std::weak_ptr<MapViewDelegate> delegate_;
  std::shared_ptr<Bridge> bridge_;
  std::shared_ptr<View> content_;
  Point center_;       // Mercator metres
  double scale_ = 20;  // Mercator metres per point
  bool changePending_ = false;
  bool pendingAnimated_ = false;
  Point gestureStartCenter_;
  double gestureStartScale_ = 0;

  std::vector<std::shared_ptr<Annotation>> annotations_;
  std::vector<std::shared_ptr<AnnotationView>> annotationViews_;  // parallel to annotations_
  std::vector<std::weak_ptr<Annotation>> selectOnAdd_;
  std::vector<std::shared_ptr<Circle>> overlays_;
  std::vector<std::shared_ptr<View>> overlayViews_;

  bool showsUserLocation_ = false;
  std::shared_ptr<UserLocation> userLocation_;
  std::shared_ptr<AnnotationView> userLocationView_;
  std::shared_ptr<LocationManager> locationManager_;
};

}  // namespace platform
