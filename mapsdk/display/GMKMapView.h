#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "mapsdk/display/GMKAnnotation.h"
#include "mapsdk/display/GMKGeometry.h"
#include "mapsdk/display/GMKTypes.h"
#include "mapsdk/display/TapDetectingView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"

namespace mapsdk {

class GMKMapView;
class GMKMapViewInternal;

// Map types (a bit set).
enum GMKMapType : unsigned { GMKMapTypeStandard = 1, GMKMapTypeTrafficOn = 2, GMKMapTypeSatellite = 4 };

// What a map view tells its delegate; every method optional (not implemented by default).
class GMKMapViewDelegate {
 public:
  virtual ~GMKMapViewDelegate() = default;
  virtual bool mapViewRegionWillChangeAnimated(GMKMapView&, bool) { return false; }
  virtual bool mapViewRegionDidChangeAnimated(GMKMapView&, bool) { return false; }
  virtual bool mapViewWillStartLocatingUser(GMKMapView&) { return false; }
  virtual bool mapViewDidStopLocatingUser(GMKMapView&) { return false; }
};

// Shows the engine's map image.
class GeoMapView : public platform::ImageView {
 public:
  using platform::ImageView::ImageView;
  void setMapImage(std::shared_ptr<platform::Image> image) { setImage(std::move(image)); }
  const std::shared_ptr<platform::Image>& getMapImage() const { return image(); }
};

// The map widget: shows the bitmap the engine's map controller draws and turns pans, pinches and
// taps into moves and zooms of the engine. The first map view of the process creates the engine
// window, the map controller and the location object; later ones share them. Made with create();
// none without a map engine (GMKMapManager). Main thread.
class GMKMapView : public platform::View {
 public:
  static std::shared_ptr<GMKMapView> create(platform::Rect frame);
  explicit GMKMapView(platform::Rect frame);
  ~GMKMapView() override;

  void setFrame(platform::Rect frame) override;
  void willMoveToWindow(platform::Window* window) override;
  void setDelegate(GMKMapViewDelegate* delegate);
  GMKMapViewDelegate* delegate() const;

  void setMapType(unsigned type);
  unsigned mapType() const;
  void setZoomLevel(int level);
  int zoomLevel() const;
  bool zoomIn();
  bool zoomOut();
  void setCenterCoordinate(CLLocationCoordinate2D coordinate, bool animated = false);
  CLLocationCoordinate2D centerCoordinate() const;
  void setVisibleMapRect(const GMKMapRect& rect, bool animated = false);
  GMKMapRect visibleMapRect() const;
  GMKMapRect mapRectThatFits(const GMKMapRect& rect) const;
  // A region is shown as the map rect of its corners, centred on its centre's map point.
  void setRegion(const GMKCoordinateRegion& region, bool animated = false);
  GMKCoordinateRegion region() const;
  GMKCoordinateRegion regionThatFits(const GMKCoordinateRegion& region) const;
  void setZoomEnabled(bool enabled);
  bool isZoomEnabled() const;
  void setScrollEnabled(bool enabled);
  bool isScrollEnabled() const;

  // View points of this view to coordinates and back.
  platform::Point convertCoordinateToPoint(CLLocationCoordinate2D coordinate) const;
  CLLocationCoordinate2D convertPointToCoordinate(platform::Point point) const;

  void setShowsUserLocation(bool shows);
  bool showsUserLocation() const;

  // Annotations are kept (drawn by their views, another part's).
  const std::vector<std::shared_ptr<GMKAnnotation>>& annotations() const;
  void addAnnotation(std::shared_ptr<GMKAnnotation> annotation);
  void removeAnnotation(const std::shared_ptr<GMKAnnotation>& annotation);

  // Shows the engine's back buffer; puts the content back home.
  void updateMap();
  // Whether the engine window already has this frame's size in engine pixels.
  bool isEngineWindowEqualsFrame(platform::Rect frame) const;
  bool adjustMapWindowWithFrame(platform::Rect frame);

  // The parts a test or a host drives.
  GeoMapView& mapImageView() const { return *mapView_; }
  TapDetectingView& contentView() const { return *content_; }
  platform::PanGestureRecognizer& panRecognizer() const { return *pan_; }
  platform::PinchGestureRecognizer& pinchRecognizer() const { return *pinch_; }
  GMKMapViewInternal& internal() const { return *internal_; }

  static int liveCount();

 private:
  friend class GMKMapViewInternal;
  void build();
  void layoutParts();
  void registerNotification();
  void unRegisterNotification();

  std::unique_ptr<GMKMapViewInternal> internal_;
  std::shared_ptr<TapDetectingView> content_;
  std::shared_ptr<GeoMapView> mapView_;
  std::shared_ptr<platform::PanGestureRecognizer> pan_;
  std::shared_ptr<platform::PinchGestureRecognizer> pinch_;
  bool registered_ = false;
};

// The working half of a map view: gestures to engine moves and zooms, the annotation list, the
// user-location switch and the delegate's region callbacks. Main thread.
class GMKMapViewInternal : public TapDetectingViewDelegate {
 public:
  explicit GMKMapViewInternal(GMKMapView& view) : view_(view) {}

  // A pan that came to rest, dragged by translation (view points).
  void handleMapMove(platform::Point translation);
  // A pinch that came to rest at scale s, its centre off the view's centre by (ox, oy) points.
  void handleMapZoom(double scale, double ox, double oy);
  // The level step of a pinch ending at scale s and its factor (0 when the map only moves).
  static int levelStepForScale(double s, double& factor);
  void restoreScrollViewStatus();
  void forbiddenUserInputForMap();
  void restoreUserInputForMap();

  bool zoomIn();
  bool zoomOut();

  bool tapDetectingViewGotSingleTap(TapDetectingView& view, platform::Point p) override;
  bool tapDetectingViewGotDoubleTap(TapDetectingView& view, platform::Point p) override;
  bool tapDetectingViewGotTwoFingerTap(TapDetectingView& view, platform::Point p) override;
  bool tapDetectingViewEndTouch(TapDetectingView& view, platform::Point p) override;

  void delegateRegionWillChangeAnimated(bool animated);
  void delegateRegionDidChangeAnimated(bool animated);

  GMKMapViewDelegate* delegate = nullptr;
  std::vector<std::shared_ptr<GMKAnnotation>> annotations;
  bool showsUserLocation = false;
  bool scrollEnabled = true;
  bool zoomEnabled = true;
  unsigned mapType = GMKMapTypeStandard;
  bool gestureActive = false;

  void setShowsUserLocation(bool shows);

 private:
  GMKMapView& view_;
};

}  // namespace mapsdk
