#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "mapsdk/display/GMKAnnotation.h"
#include "mapsdk/display/GMKAnnotationView.h"
#include "mapsdk/display/GMKGeometry.h"
#include "mapsdk/display/GMKOverlayView.h"
#include "mapsdk/display/GMKUserLocation.h"
#include "mapsdk/display/LocationView.h"
#include "mapsdk/display/PaopaoBaseView.h"
#include "mapsdk/display/PointerTable.h"
#include "mapsdk/display/TapDetectingView.h"
#include "mapsdk/engine/GMKTypes.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"

namespace gmengine {
class CAppLocation;
class CMapControlBlock;
}  // namespace gmengine

namespace mapsdk {

class CMapStatus;
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
  virtual bool mapViewDidUpdateUserLocation(GMKMapView&, GMKUserLocation&) { return false; }
  // Every failure to locate the user, whether the user location is shown or not.
  virtual bool mapViewDidFailToLocateUserWithError(GMKMapView&, const platform::Error&) { return false; }
  // Null: the map stands a red pin for the annotation.
  virtual std::shared_ptr<GMKAnnotationView> mapViewViewForAnnotation(GMKMapView&,
                                                                      const std::shared_ptr<GMKAnnotation>&) {
    return nullptr;
  }
  virtual bool mapViewDidAddAnnotationViews(GMKMapView&,
                                            const std::vector<std::shared_ptr<GMKAnnotationView>>&) {
    return false;
  }
  virtual bool mapViewDidSelectAnnotationView(GMKMapView&, GMKAnnotationView&) { return false; }
  virtual bool mapViewDidDeselectAnnotationView(GMKMapView&, GMKAnnotationView&) { return false; }
  // The body of a selected view's bubble was tapped (the bubble has closed).
  virtual bool mapViewAnnotationViewForBubble(GMKMapView&, GMKAnnotationView&) { return false; }
  virtual bool mapViewAnnotationViewDidChangeDragState(GMKMapView&, GMKAnnotationView&,
                                                       GMKAnnotationViewDragState,
                                                       GMKAnnotationViewDragState) {
    return false;
  }
  // Null: the overlay is not drawn.
  virtual std::shared_ptr<GMKOverlayView> mapViewViewForOverlay(GMKMapView&,
                                                                const std::shared_ptr<GMKOverlay>&) {
    return nullptr;
  }
  virtual bool mapViewDidAddOverlayViews(GMKMapView&, const std::vector<std::shared_ptr<GMKOverlayView>>&) {
    return false;
  }
};

// The common part of two map rects; the null rect when they do not meet.
GMKMapRect GMKMapRectIntersection(const GMKMapRect& a, const GMKMapRect& b);

// Shows the engine's map image.
class GeoMapView : public platform::ImageView {
 public:
  using platform::ImageView::ImageView;
  void setMapImage(std::shared_ptr<platform::Image> image) { setImage(std::move(image)); }
  const std::shared_ptr<platform::Image>& getMapImage() const { return image(); }
};

// The annotations of a map in the order they came (one may come twice), kept so that one leaves
// in a time that does not grow with the list, and touches few memory lines on a map of thousands:
// a removal leaves a hole that the next reading closes. Main thread.
class GMKAnnotationList {
 public:
  const std::vector<std::shared_ptr<GMKAnnotation>>& items() const;
  void add(std::shared_ptr<GMKAnnotation> annotation);
  // Takes every entry of the annotation out; false when it had none.
  bool remove(const GMKAnnotation* annotation);
  std::size_t count(const GMKAnnotation* annotation) const;
  bool hasDuplicates() const { return duplicates_ > 0; }

 private:
  struct Entry {
    std::size_t count = 0;
    std::size_t at = 0;  // where the only entry stands (for one entry)
  };
  void compact() const;
  void clear(std::size_t at);
  mutable std::vector<std::shared_ptr<GMKAnnotation>> items_;
  mutable PointerTable<GMKAnnotation, Entry> entries_;
  mutable std::size_t holes_ = 0;
  std::size_t duplicates_ = 0;  // entries beyond the first of their annotation
};

// Insets from the edges of the map view, in points.
struct GMKEdgePadding {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;
};

// The map widget: shows the bitmap the engine's map controller draws. The bitmap lies in the
// middle of a canvas five view sizes wide and high that a scroll view pans and pinches, annotation
// views riding on it; when a gesture comes to rest the engine moves or zooms and the canvas goes
// back home under the new bitmap. The first map view of the process creates the engine window,
// the map controller and the location object; later ones share them. Made with create(); none
// without a map engine (GMKMapManager). Main thread.
class GMKMapView : public platform::View, public platform::Coding, public gmengine::CVWndView {
 public:
  static std::shared_ptr<GMKMapView> create(platform::Rect frame);
  // A map view restored from what encodeWithCoder wrote: its visible rect, map type and
  // user-location switch; keys that are absent (or a rect of another length) keep the defaults.
  static std::shared_ptr<GMKMapView> create(platform::Rect frame, const platform::KeyedUnarchiver& coder);
  ~GMKMapView() override;

  std::string classForCoder() const override { return "GMKMapView"; }
  void encodeWithCoder(platform::KeyedArchiver& coder) const override;

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
  // Animated: the canvas zooms to the rect first and the engine follows when that ends.
  void setVisibleMapRect(const GMKMapRect& rect, bool animated = false);
  void setVisibleMapRect(const GMKMapRect& rect, const GMKEdgePadding& padding, bool animated);
  GMKMapRect visibleMapRect() const;
  GMKMapRect mapRectThatFits(const GMKMapRect& rect) const;
  // The view-sized rect, at the first level whose scale holds the rect within the insets,
  // centred on the rect.
  GMKMapRect mapRectThatFits(const GMKMapRect& rect, const GMKEdgePadding& padding) const;
  // A region is shown as the map rect of its corners, centred on its centre's map point.
  void setRegion(const GMKCoordinateRegion& region, bool animated = false);
  GMKCoordinateRegion region() const;
  GMKCoordinateRegion regionThatFits(const GMKCoordinateRegion& region) const;
  // Pinching and the zoom taps stay blocked until the next repaint, which brings the setting in.
  void setZoomEnabled(bool enabled);
  bool isZoomEnabled() const;
  void setScrollEnabled(bool enabled);
  bool isScrollEnabled() const;

  // View points of this view to coordinates and back.
  platform::Point convertCoordinateToPoint(CLLocationCoordinate2D coordinate) const;
  CLLocationCoordinate2D convertPointToCoordinate(platform::Point point) const;
  // The same in the coordinates of another view (null: the window).
  platform::Point convertCoordinate(CLLocationCoordinate2D coordinate, const platform::View* toView) const;
  CLLocationCoordinate2D convertPoint(platform::Point point, const platform::View* fromView) const;
  // A map rect of zero width or height keeps its zero extent.
  platform::Rect convertMapRect(const GMKMapRect& rect, const platform::View* toView) const;
  platform::Rect convertRegion(const GMKCoordinateRegion& region, const platform::View* toView) const;
  GMKMapRect convertRectToMapRect(const platform::Rect& rect, const platform::View* fromView) const;
  GMKCoordinateRegion convertRectToRegion(const platform::Rect& rect, const platform::View* fromView) const;

  void setShowsUserLocation(bool shows);
  bool showsUserLocation() const;

  // The user's position, titled "我的位置", from the view's creation to its end (whether shown or
  // not); it has no location until a fix comes.
  std::shared_ptr<GMKUserLocation> userLocation() const;
  // The user's settled position lies on the visible map.
  bool isUserLocationVisible() const;

  // Annotations stand on the map as views the delegate gives (a red pin by default), laid out
  // on every repaint while their point lies within two view sizes of the visible map. Adding or
  // removing annotations lays them out within the call: the delegate is asked for the views and
  // told of them, and a dropping pin falls, before it returns (nothing while a gesture runs: the
  // repaint after it does that). The map's picture is drawn again once, when the run loop's turn
  // ends, however many changes came in it. A coordinate changed behind the map's back shows at
  // the next repaint.
  const std::vector<std::shared_ptr<GMKAnnotation>>& annotations() const;
  void addAnnotation(std::shared_ptr<GMKAnnotation> annotation);
  void addAnnotations(const std::vector<std::shared_ptr<GMKAnnotation>>& annotations);
  void removeAnnotation(const std::shared_ptr<GMKAnnotation>& annotation);
  void removeAnnotations(const std::vector<std::shared_ptr<GMKAnnotation>>& annotations);
  // The laid-out view of an annotation; null when it has none.
  std::shared_ptr<GMKAnnotationView> viewForAnnotation(
      const std::shared_ptr<GMKAnnotation>& annotation) const;
  std::shared_ptr<GMKAnnotationView> dequeueReusableAnnotationViewWithIdentifier(
      const std::string& identifier);
  // Selection opens the view's bubble (when its annotation has a title) and tells the delegate.
  void selectAnnotation(const std::shared_ptr<GMKAnnotation>& annotation, bool animated = false);
  void deselectAnnotation(const std::shared_ptr<GMKAnnotation>& annotation, bool animated = false);

  // Overlays are drawn by the views the delegate gives, over the map and under the annotations,
  // in the order of the list (the last on top).
  const std::vector<std::shared_ptr<GMKOverlay>>& overlays() const;
  void addOverlay(std::shared_ptr<GMKOverlay> overlay);
  void addOverlays(const std::vector<std::shared_ptr<GMKOverlay>>& overlays);
  void removeOverlay(const std::shared_ptr<GMKOverlay>& overlay);
  void removeOverlays(const std::vector<std::shared_ptr<GMKOverlay>>& overlays);
  // An index past the end appends.
  void insertOverlay(std::shared_ptr<GMKOverlay> overlay, std::size_t index);
  // Nothing unless both indexes are in the list.
  void exchangeOverlayAtIndex(std::size_t index1, std::size_t index2);
  // Nothing is inserted when the sibling is not in the list.
  void insertOverlayAboveOverlay(std::shared_ptr<GMKOverlay> overlay,
                                 const std::shared_ptr<GMKOverlay>& sibling);
  void insertOverlayBelowOverlay(std::shared_ptr<GMKOverlay> overlay,
                                 const std::shared_ptr<GMKOverlay>& sibling);
  std::shared_ptr<GMKOverlayView> viewForOverlay(const std::shared_ptr<GMKOverlay>& overlay) const;

  // Lays out the overlays and annotations, shows the engine's back buffer and puts the canvas back
  // home.
  void updateMap();
  // A map view asked to redisplay repaints from the engine's picture at once.
  void setNeedsDisplay();
  // The engine window drew a new picture (this view shows the window while it is on screen).
  void OnWindowUpdate(const gmengine::CVWnd&) override { updateMap(); }
  // Whether the engine window already has this frame's size in engine pixels.
  bool isEngineWindowEqualsFrame(platform::Rect frame) const;
  bool adjustMapWindowWithFrame(platform::Rect frame);

  // The parts a test or a host drives.
  GeoMapView& mapImageView() const { return *mapView_; }
  // The canvas: the scroll view's content, which classifies taps.
  TapDetectingView& contentView() const { return *content_; }
  // Pans and pinches the canvas; annotation views and their bubbles ride on it.
  platform::ScrollView& scrollView() const { return *scrollView_; }
  // The map's logo in the bottom left corner.
  platform::ImageView& logoView() const { return *logo_; }
  GMKMapViewInternal& internal() const { return *internal_; }

  static int liveCount();

 private:
  friend class GMKMapViewInternal;
  explicit GMKMapView(platform::Rect frame);
  void build();
  // The engine's map controller and its window (null once the engine is gone), and its map status
  // (an empty one then): every conversion goes through it.
  gmengine::CMapControlBlock* control() const;
  gmengine::CVWnd* engineWindow() const;
  const CMapStatus& mapStatus() const;
  // The engine's screen record (the default one once the engine is gone) and a point of this view
  // in engine pixels by it.
  const gmengine::CVScreenRecord& screen() const;
  GMKPixelPoint toPixel(double x, double y) const;
  void layoutParts();
  // Shows the engine's back buffer as the map's picture.
  void showPicture();
  void registerNotification();
  void registerAnnotationNotifications();
  void unRegisterNotification();
  void notifyRegionWillChange(bool animated);

  // Held from creation; they empty when the engine tears the controller and location down.
  std::weak_ptr<gmengine::CMapControlBlock> control_;
  std::weak_ptr<gmengine::CAppLocation> location_;
  std::shared_ptr<GMKMapViewInternal> internal_;
  std::shared_ptr<platform::ScrollView> scrollView_;
  std::shared_ptr<TapDetectingView> content_;
  std::shared_ptr<GeoMapView> mapView_;
  std::shared_ptr<platform::ImageView> logo_;
  bool registered_ = false;
};

// The working half of a map view: gestures to engine moves and zooms, the annotation, overlay
// and user-location views with their bubbles, and the delegate's callbacks. It is the host the
// placed views convert through (in the map view's coordinates) and the delegate of the bubbles.
// Main thread.
class GMKMapViewInternal : public TapDetectingViewDelegate,
                           public platform::ScrollViewDelegate,
                           public GMKAnnotationHost,
                           public PaopaoBaseViewDelegate,
                           public std::enable_shared_from_this<GMKMapViewInternal> {
 public:
  explicit GMKMapViewInternal(GMKMapView& view) : view_(view) {}

  platform::Point convertCoordinate(const CLLocationCoordinate2D& coordinate,
                                    const platform::View* toView) const override;
  CLLocationCoordinate2D convertPoint(platform::Point point, const platform::View* fromView) const override;
  platform::Rect convertMapRect(const GMKMapRect& mapRect, const platform::View* toView) const override;
  GMKMapRect convertRect(const platform::Rect& rect, const platform::View* fromView) const override;
  int zoomLevel() const override;
  void onMoreButtonClicked() override;

  // The repaint's passes: overlays over the map picture, then annotations and the user location.
  void checkOverlayViews();
  void checkAnnotationViews();
  // Places the user location's view when its point is on the canvas (and answers so); the layout
  // puts it on the canvas.
  bool showLocation();
  void removeAnnotationView(const GMKAnnotation* annotation);
  void removeOverlayView(const GMKOverlay* overlay);
  // What a repaint does after a change of the annotations or overlays (added: the annotations
  // just appended), within the call; only the picture waits for the end of the run loop's turn.
  // While the views stand as the last layout left them, only the annotations that came are laid
  // out, to the same outcome.
  void layOutChange(const std::vector<std::shared_ptr<GMKAnnotation>>& added);
  // Every change lays out everything and draws the picture at once, as a repaint does (the
  // reference the quicker way is checked against).
  void setPlainLayout(bool plain) { plainLayout_ = plain; }
  // The picture is drawn again when the turn of the run loop ends.
  void pictureAfterThisTurn();
  // Keeps a view taken off the map for reuse, up to the queue's limit.
  void enqueueForReuse(const std::shared_ptr<GMKAnnotationView>& view);
  // A pin view that animates its drop falls from the top of the map onto its place.
  void dropPin(const GMKAnnotation* annotation);
  void selectAnnotationView(const std::shared_ptr<GMKAnnotationView>& view, bool needClear, bool needNotify);
  void deselectAnnotationView(GMKAnnotationView& view);
  // Deselects the first selected view and answers it (null when none was).
  std::shared_ptr<GMKAnnotationView> clearPaopao();
  void updateAnnotationCoordinate(GMKAnnotationView& view);
  // The view of one of this map's annotations (or its user location) that a notification names.
  std::shared_ptr<GMKAnnotationView> ownView(const platform::Notification& note) const;

  // A gesture came to rest: the engine takes the canvas's move or zoom.
  void handleScrollViewPositionChange();
  void handleMapMove();
  void handleMapZoom();
  // The level step of a pinch ending at scale s and its factor (0 when the map only moves).
  static int levelStepForScale(double s, double& factor);
  void forbiddenScrollViewFunction();
  void restoreScrollViewFunction();
  void restoreScrollViewStatus();
  void forbiddenUserInputForMap();
  void restoreUserInputForMap();
  // Views keep their place on the map and their size while the canvas moves or zooms.
  void transformAnnotationViewInScrolling();
  void placeInScrolling(GMKAnnotationView& view);
  // Whether restoreScrollViewStatus would change nothing but the places of the views.
  bool scrollViewRestored() const;
  // A map-view point, taken at home, in the scroll view's content under the current zoom.
  platform::Point transformScreenPoint2ScrollViewPoint(platform::Point p) const;
  platform::Point transformScrollViewPoint2SelfViewPoint(platform::Point p) const;
  // Where a coordinate lies on the canvas while it is home; views are placed there, so that they
  // travel with the canvas while it is dragged.
  platform::Point canvasPoint(const CLLocationCoordinate2D& coordinate) const;
  void setAnnotationViewFrame(GMKAnnotationView& view, platform::Point center) const;
  void setVisibleMapRect(const GMKMapRect& rect, bool animated);
  platform::Rect zoomRectForScale(double scale, platform::Point center) const;
  // A zoom of the canvas came to its end: the engine takes the stored rect or the zoom itself.
  void finishAnimatedZoom();

  void scrollViewDidScroll(platform::ScrollView& sv) override;
  void scrollViewWillBeginDragging(platform::ScrollView& sv) override;
  void scrollViewDidEndDragging(platform::ScrollView& sv, bool willDecelerate) override;
  void scrollViewDidEndDecelerating(platform::ScrollView& sv) override;
  void scrollViewDidEndScrollingAnimation(platform::ScrollView& sv) override;
  std::shared_ptr<platform::View> viewForZoomingInScrollView(platform::ScrollView& sv) override;
  void scrollViewWillBeginZooming(platform::ScrollView& sv, platform::View* view) override;
  void scrollViewDidZoom(platform::ScrollView& sv) override;
  void scrollViewDidEndZooming(platform::ScrollView& sv, platform::View* view, double scale) override;

  bool zoomIn();
  bool zoomOut();

  bool tapDetectingViewGotSingleTap(TapDetectingView& view, platform::Point p) override;
  bool tapDetectingViewGotDoubleTap(TapDetectingView& view, platform::Point p) override;
  bool tapDetectingViewGotTwoFingerTap(TapDetectingView& view, platform::Point p) override;
  bool tapDetectingViewEndTouch(TapDetectingView& view, platform::Point p) override;

  void delegateRegionWillChangeAnimated(bool animated);
  void delegateRegionDidChangeAnimated(bool animated);

  GMKMapViewDelegate* delegate = nullptr;
  GMKAnnotationList annotations;
  // Looked up once for every pin added, moved or taken off: no order is needed.
  PointerTable<GMKAnnotation, std::shared_ptr<GMKAnnotationView>> annotationViews;
  std::vector<std::shared_ptr<GMKAnnotationView>> reuseQueue;
  std::vector<std::shared_ptr<GMKOverlay>> overlays;
  std::map<const GMKOverlay*, std::shared_ptr<GMKOverlayView>> overlayViews;
  std::shared_ptr<GMKUserLocation> userLocation;
  std::shared_ptr<LocationView> locationView;
  bool showsUserLocation = false;
  bool scrollEnabled = true;
  bool zoomEnabled = true;
  unsigned mapType = GMKMapTypeStandard;
  // Home offset and size of the canvas.
  platform::Point homeOffset;
  platform::Size contentSize;
  // The rect an animated visible-rect change shows once the canvas has zoomed.
  std::optional<GMKMapRect> animatedMapRect;

  void setShowsUserLocation(bool shows);

 private:
  // What the canvas points of the annotations depend on: the views stand where a layout put them
  // while it stays the same.
  struct LayoutBasis {
    std::int64_t values[7] = {};
    platform::Point home;
    platform::Size canvas;
    bool operator==(const LayoutBasis&) const = default;
  };
  LayoutBasis currentBasis() const;
  // One entry of the list: its view laid out and answered (null when its point is off the
  // canvas, its view then recycled); a view made is collected in added.
  std::shared_ptr<GMKAnnotationView> layOutAnnotation(const std::shared_ptr<GMKAnnotation>& annotation,
                                                      std::vector<std::shared_ptr<GMKAnnotationView>>& added);
  // A selected view seen later in the list than the shown one takes its bubble.
  void noteSelected(const std::shared_ptr<GMKAnnotationView>& view);
  void showPictureNow();

  GMKMapView& view_;
  bool plainLayout_ = false;
  bool picturePosted_ = false;
  // The basis of the layout the views stand in; none when a full layout is due.
  std::optional<LayoutBasis> laidOutFor_;
  // The selected annotation view whose bubble the last layout showed.
  std::shared_ptr<GMKAnnotationView> shownSelection_;
};

}  // namespace mapsdk
