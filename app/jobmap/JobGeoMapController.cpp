#include "app/jobmap/JobGeoMapController.h"

#include <cmath>

#include "app/jobmap/CoordinateText.h"
#include "app/jobmap/MapSkin.h"
#include "app/jobmap/MapStatusTimer.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "mapsdk/search/GMKAddrInfo.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

namespace {

// The screen that +refreshDisplay reaches; null while none lives.
JobGeoMapController* g_living = nullptr;
// Radii in metres as measured on the map.
constexpr double ShownSearchRadius = JobMapSearchController::StartSearchRadius;
constexpr double LogoLift = 28;
constexpr double MeasureOffset = 145;

std::shared_ptr<mapsdk::GMKAnnotationView> PinFor(const std::shared_ptr<GMKCustomerPointAnnotation>& pin) {
  auto view = std::make_shared<mapsdk::GMKAnnotationView>(pin, "CustomAnnotation");
  view->setCanShowCallout(false);
  view->setImage(mapskin::image(pin->isSelected() ? "map_location_focus" : "map_location_normal"));
  // The pin's foot on its point.
  view->setCenterOffset({0, -view->frame().height() / 2});
  view->setAccessibilityLabel(pin->title().value_or(""));
  return view;
}

// The screen's map tap sits on the map's tap-detecting view beside the map's own taps, which
// would otherwise take every single tap first.
class AlongsideTheMapsTaps : public platform::GestureRecognizerDelegate {
 public:
  std::optional<bool> shouldRecognizeSimultaneouslyWithGestureRecognizer(
      platform::GestureRecognizer&, platform::GestureRecognizer&) override {
    return true;
  }
};

void TapAlongsideTheMap(const std::shared_ptr<platform::TapGestureRecognizer>& tap) {
  static const auto shared = std::make_shared<AlongsideTheMapsTaps>();
  if (tap) tap->setDelegate(shared);
}

}  // namespace

// --- The radius arithmetic ------------------------------------------------------------------------

namespace geomapview {

double countRadiusByGeoSdk(const mapsdk::GMKMapView& map) {
  const platform::Size size = map.bounds().size;
  const platform::Point c{size.width / 2, size.height / 2};
  const mapsdk::GMKMapPoint a = mapsdk::GMKMapPointFromCoordinate(map.convertPointToCoordinate(c));
  const mapsdk::GMKMapPoint b =
      mapsdk::GMKMapPointFromCoordinate(map.convertPointToCoordinate({c.x + MeasureOffset, c.y}));
  return mapsdk::GMKMapPointsDistance(a, b);
}

double countRadiusByZoomLevel(const mapsdk::GMKMapView& map, int level) {
  return countRadiusByGeoSdk(map) / std::pow(2.0, level - map.zoomLevel());
}

int zoomLevelByRadius(const mapsdk::GMKMapView& map, double radius) {
  for (int level = 18; level >= 4; --level) {
    const double here = countRadiusByZoomLevel(map, level);
    if (here <= radius) continue;
    if (level == 18) return 18;
    // The nearer of the two, a tie to L. Comparing with the midpoint keeps a radius at the midpoint
    // a tie: the two distances to it can differ in their last bit.
    const double above = countRadiusByZoomLevel(map, level + 1);
    return radius < (here + above) / 2 ? level + 1 : level;
  }
  return 3;
}

void setCenterCoordinate(mapsdk::GMKMapView& map, const mapsdk::CLLocationCoordinate2D& centre, float radius,
                         bool animated) {
  map.setCenterCoordinate(centre, animated);
  map.setZoomLevel(zoomLevelByRadius(map, radius));
  platform::RunLoop::main().performAfter(JobGeoMapController::RefreshDelay, &g_living,
                                         [] { JobGeoMapController::refreshDisplayOfLiving(); });
}

}  // namespace geomapview

namespace gv = geomapview;

// --- The screen ------------------------------------------------------------------------------------

JobGeoMapController::JobGeoMapController() {
  g_living = this;
  gmkSearch_ = std::make_shared<mapsdk::GMKSearch>();
  radiusForSearch_ = StartSearchRadius;
}

JobGeoMapController::~JobGeoMapController() {
  platform::RunLoop::main().cancelPerforms(this);
  if (gmkMapView_) {
    gmkMapView_->setShowsUserLocation(false);
    gmkMapView_->setDelegate(nullptr);
  }
  gmkSearch_.reset();
  if (g_living == this) g_living = nullptr;
}

void JobGeoMapController::refreshDisplayOfLiving() {
  if (g_living) g_living->refreshDisplay();
}

void JobGeoMapController::customView() {
  JobMapSearchController::customView();
  if (!isLocationed_) userLocation();
}

void JobGeoMapController::initMapView() {
  JobMapSearchController::initMapView();
  const double width = platform::Screen::mainScreen().bounds().size.width;
  gmkMapView_ = mapsdk::GMKMapView::create(platform::Rect(0, 0, width, expandedMapHeight()));
  if (!gmkMapView_) return;
  view::setHeight(*gmkMapView_, packedMapHeight());
  view::setTop(*gmkMapView_, statusLineBottom());
  gmkMapView_->setDelegate(this);
  gmkMapView_->setClipsToBounds(true);
  gmkMapView_->setZoomLevel(5);
  view()->insertSubviewBelow(gmkMapView_, mapErrorBoard_.get());
  gmkSearch_->setDelegate(sharedAs<JobGeoMapController>());
  mapViewPin_ = gmkMapView_;
  tapView_ = &gmkMapView_->contentView();
}

void JobGeoMapController::userLocation() {
  if (!gmkMapView_) return;
  gmkMapView_->setShowsUserLocation(false);
  gmkMapView_->setShowsUserLocation(true);
}

void JobGeoMapController::userLocation(platform::Control& sender) {
  JobMapSearchController::userLocation(sender);
  userLocation();
}

// --- Locating and geocoding ---------------------------------------------------------------------

bool JobGeoMapController::mapViewWillStartLocatingUser(mapsdk::GMKMapView&) {
  if (!isLocationed_) statusBarStartLocation();
  return true;
}

bool JobGeoMapController::mapViewDidUpdateUserLocation(mapsdk::GMKMapView& map,
                                                       mapsdk::GMKUserLocation& user) {
  if (isLocationed_) return true;
  loadLocateFinish();
  statusBarStartReverse();
  mapViewText_ = MapViewText::Centre;
  isLocationed_ = true;
  latlonForLast_ = gv::fromGeo(user.coordinate());
  gv::setCenterCoordinate(map, user.coordinate(), static_cast<float>(ShownSearchRadius), true);
  startedReverseGeoderWithCoordinate(user.coordinate());
  return true;
}

bool JobGeoMapController::mapViewDidFailToLocateUserWithError(mapsdk::GMKMapView& map,
                                                              const platform::Error&) {
  statusBarStopLoading();
  mapStatusBar_->setText(AppCoreInfo::getLocalizedString("jobmap_location_fail"));
  map.setShowsUserLocation(false);
  return true;
}

void JobGeoMapController::startedReverseGeoderWithCoordinate(const mapsdk::CLLocationCoordinate2D& c) {
  if (!gmkSearch_) return;
  const std::uint64_t asked = ++reverseAsked_;
  // The search answers nothing when the map service does not: the status line must not say
  // "finding the place" for ever.
  std::weak_ptr<JobGeoMapController> weak = sharedAs<JobGeoMapController>();
  platform::RunLoop::main().performAfter(ReverseGeocodePatience, this, [weak, asked] {
    auto self = weak.lock();
    if (self && self->reverseAsked_ == asked)
      self->onGetAddrResult(nullptr, gmengine::DelegateError::Network);
  });
  if (!gmkSearch_->reverseGeocode(c)) onGetAddrResult(nullptr, gmengine::DelegateError::Network);
}

bool JobGeoMapController::onGetAddrResult(const std::shared_ptr<mapsdk::GMKAddrInfo>& result,
                                          gmengine::DelegateError errorCode) {
  ++reverseAsked_;
  statusBarStopLoading();
  if (errorCode == gmengine::DelegateError::None && result && result->addressComponent()) {
    statusBarPlaceFound(getCurrentLocationText(*result->addressComponent()));
  } else {
    statusBarPlaceNotFound(gmkMapView_ ? gv::fromGeo(gmkMapView_->centerCoordinate()) : latlonForLast_);
  }
  return true;
}

void JobGeoMapController::reverseCurrentLocation() {
  if (isMapUseForApp() && gmkMapView_) startedReverseGeoderWithCoordinate(gv::toGeo(latlonForLast_));
}

std::string JobGeoMapController::getCurrentLocationText(const mapsdk::GMKGeocoderAddressComponent& a) {
  const std::string province = a.province().value_or("");
  const std::string city = a.city().value_or("");
  std::string text = !province.empty() && province != city ? province : "";
  text += city;
  for (const auto* part : {&a.district(), &a.streetName(), &a.streetNumber()}) {
    if (part->has_value() && !(*part)->empty() && platform::utf16Length(text + **part) < 12) text += **part;
  }
  return text;
}

// --- Searching ----------------------------------------------------------------------------------

void JobGeoMapController::searchJobs() {
  JobMapSearchController::searchJobs();
  if (!gmkMapView_) return;
  radiusForSearch_ = gv::countRadiusByGeoSdk(*gmkMapView_);
  latlonForSearch_ = gv::fromGeo(gmkMapView_->centerCoordinate());
  if (radiusForSearch_ > MaxSearchRadius + RadiusTolerance) {
    gv::setCenterCoordinate(*gmkMapView_, gv::toGeo(latlonForSearch_), static_cast<float>(MaxSearchRadius),
                            true);
    radiusForSearch_ = gv::countRadiusByZoomLevel(*gmkMapView_, gmkMapView_->zoomLevel());
    radiusLast_ = radiusForSearch_;
  }
  mapViewText_ = MapViewText::Region;
  statusBarChangeRadius();
  std::weak_ptr<JobGeoMapController> weak = sharedAs<JobGeoMapController>();
  platform::RunLoop::main().performAfter(SearchDelay, this, [weak] {
    if (auto self = weak.lock()) self->jobListData_->refreshData();
  });
}

void JobGeoMapController::refreshClick() {
  JobMapSearchController::refreshClick();
  removeAnnotations();
  searchJobs();
}

void JobGeoMapController::prePageClick() {
  JobMapSearchController::prePageClick();
  backRegionWhenSearchJobs();
}

void JobGeoMapController::nextPageClick() {
  JobMapSearchController::nextPageClick();
  backRegionWhenSearchJobs();
}

void JobGeoMapController::expandMapViewForShowJobs() {
  JobMapSearchController::expandMapViewForShowJobs();
  adjustGeoLogo();
}

void JobGeoMapController::packUpMapView() {
  JobMapSearchController::packUpMapView();
  adjustGeoLogo();
  if (!gmkMapView_) return;
  removeAnnotations();
  gmkMapView_->setShowsUserLocation(true);
  gmkMapView_->setCenterCoordinate(gv::toGeo(latlonForLast_), true);
}

void JobGeoMapController::adjustGeoLogo() {
  if (!gmkMapView_) return;
  for (const auto& sub : gmkMapView_->subviews()) {
    if (dynamic_cast<platform::ImageView*>(sub.get())) {
      view::setTop(*sub, gmkMapView_->bounds().size.height - LogoLift);
      return;
    }
  }
}

void JobGeoMapController::backRegionWhenSearchJobs() {
  if (mapViewStatus_ == MapViewStatus::Expanded && gmkMapView_) {
    isBackLastLocation_ = true;
    mapViewText_ = MapViewText::Region;
    gv::setCenterCoordinate(*gmkMapView_, gv::toGeo(latlonForSearch_), static_cast<float>(radiusForSearch_),
                            true);
  }
  std::weak_ptr<JobGeoMapController> weak = sharedAs<JobGeoMapController>();
  platform::RunLoop::main().performAfter(BackRegionSeconds, this, [weak] {
    if (auto self = weak.lock()) self->isBackLastLocation_ = false;
  });
}

// --- Region changes -----------------------------------------------------------------------------

bool JobGeoMapController::mapViewRegionWillChangeAnimated(mapsdk::GMKMapView&, bool) {
  hideJobInfo();
  return true;
}

bool JobGeoMapController::mapViewRegionDidChangeAnimated(mapsdk::GMKMapView&, bool) {
  if (mapViewStatus_ == MapViewStatus::Expanded && mapBubbleView_->isHidden() && !isBackLastLocation_) {
    highlightRefreshButton(true);
    mapViewText_ = MapViewText::Centre;
  }
  isBackLastLocation_ = false;
  if (!mapBubbleView_->isHidden()) mapViewText_ = MapViewText::Centre;
  refreshDisplay();
  if (isLocationed_) {
    auto& timer = MapStatusTimer::sharedMapStatusTimer();
    timer.timerInvalidate();
    timer.scheduledTimer(0);
  }
  return true;
}

void JobGeoMapController::refreshDisplay() {
  if (!gmkMapView_) return;
  radiusLast_ = gv::countRadiusByGeoSdk(*gmkMapView_);
  latlonForLast_ = gv::fromGeo(gmkMapView_->centerCoordinate());
  // A radius a little below the smallest (down to two thirds of it) stands; a smaller one springs
  // back to the smallest circle.
  const double m = MinSearchRadius;
  if (radiusLast_ < m && (m - radiusLast_) > std::fabs(2 * radiusLast_ - m))
    gv::setCenterCoordinate(*gmkMapView_, gv::toGeo(latlonForLast_), static_cast<float>(m), true);
  statusBarChangeRadius();
}

// --- Pins and bubble ----------------------------------------------------------------------------

std::shared_ptr<mapsdk::GMKAnnotationView> JobGeoMapController::mapViewViewForAnnotation(
    mapsdk::GMKMapView&, const std::shared_ptr<mapsdk::GMKAnnotation>& annotation) {
  auto pin = std::dynamic_pointer_cast<GMKCustomerPointAnnotation>(annotation);
  return pin ? PinFor(pin) : nullptr;
}

bool JobGeoMapController::mapViewDidSelectAnnotationView(mapsdk::GMKMapView&,
                                                         mapsdk::GMKAnnotationView& view) {
  auto pin = std::dynamic_pointer_cast<GMKCustomerPointAnnotation>(view.annotation());
  if (!pin) return true;
  curAnnotation_ = pin;
  showCurrentJobInfo();
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_MAPPIN");
  return true;
}

void JobGeoMapController::addAnAnnotation(const DataItemDetail& job) {
  auto pin = std::make_shared<GMKCustomerPointAnnotation>();
  pin->setCoordinate(gv::toGeo(coordtext::ofRecord(job)));
  pin->setTitle(job.get_jobname());
  gmkMapView_->addAnnotation(pin);
  annotationArray_.push_back(pin);
}

void JobGeoMapController::removeAnnotations() {
  if (gmkMapView_) gmkMapView_->removeAnnotations(std::vector(gmkMapView_->annotations()));
  annotationArray_.clear();
}

void JobGeoMapController::mapViewDataCurrentPageData(
    MapViewData& pager, const std::vector<std::shared_ptr<DataItemDetail>>& currentPageData,
    const DataItemResult& result) {
  JobMapSearchController::mapViewDataCurrentPageData(pager, currentPageData, result);
  if (!result.isValidListData() || !gmkMapView_) return;
  gmkMapView_->removeAnnotations(std::vector(gmkMapView_->annotations()));
  annotationArray_.clear();
  for (const auto& job : currentPageData) addAnAnnotation(*job);
}

void JobGeoMapController::showCurrentJobInfo() {
  if (!curAnnotation_ || !gmkMapView_) return;
  gmkMapView_->setCenterCoordinate(curAnnotation_->coordinate(), true);
  gmkMapView_->removeAnnotations(std::vector(gmkMapView_->annotations()));
  std::vector<std::shared_ptr<mapsdk::GMKAnnotation>> pins;
  for (std::size_t i = 0; i < annotationArray_.size(); ++i) {
    auto pin = std::dynamic_pointer_cast<GMKCustomerPointAnnotation>(annotationArray_[i]);
    if (!pin) continue;
    pin->setIsSelected(pin == curAnnotation_);
    if (pin == curAnnotation_) mapBubbleView_->showJobInfo(static_cast<std::uint32_t>(i));
    pins.push_back(pin);
  }
  gmkMapView_->setShowsUserLocation(false);
  mapCenterCircle_->setHidden(true);
  gmkMapView_->addAnnotations(pins);
  // Added last, the focused pin stands over the others.
  gmkMapView_->removeAnnotation(curAnnotation_);
  curAnnotation_->setIsSelected(true);
  gmkMapView_->addAnnotation(curAnnotation_);
  mapBubbleView_->setHidden(false);
  installMapTap([](JobMapSearchController& s) { static_cast<JobGeoMapController&>(s).clickMapGesture(); },
                tapView_);
  TapAlongsideTheMap(tapMapGesture_);
}

void JobGeoMapController::focusCurrentAnnotation() {
  auto index = mapBubbleView_->currentJobIndex();
  if (index >= annotationArray_.size()) return;
  curAnnotation_ = std::dynamic_pointer_cast<GMKCustomerPointAnnotation>(annotationArray_[index]);
  showCurrentJobInfo();
}

void JobGeoMapController::hideJobInfo() {
  if (mapBubbleView_->isHidden() || !gmkMapView_) return;
  mapBubbleView_->setHidden(true);
  if (curAnnotation_) {
    // A plain pin covers the focused one; it is the map's only, not the page's.
    auto cover = std::make_shared<GMKCustomerPointAnnotation>();
    cover->setCoordinate(curAnnotation_->coordinate());
    gmkMapView_->addAnnotation(cover);
  }
  removeCurrentGesture();
  gmkMapView_->setShowsUserLocation(true);
  mapCenterCircle_->setHidden(false);
}

void JobGeoMapController::clickMapGesture() {
  hideJobInfo();
  backRegionWhenSearchJobs();
}

void JobGeoMapController::removeCurrentGesture() {
  JobMapSearchController::removeCurrentGesture();
  if (!tapMapGesture_ || !tapView_) return;
  const auto& list = tapView_->gestureRecognizers();
  if (std::find(list.begin(), list.end(), tapMapGesture_) != list.end())
    tapView_->removeGestureRecognizer(tapMapGesture_.get());
}

// --- The location map ---------------------------------------------------------------------------

JobGeoRouteController::~JobGeoRouteController() {
  if (gmkMapView_) {
    gmkMapView_->setShowsUserLocation(false);
    gmkMapView_->setDelegate(nullptr);
  }
}

void JobGeoRouteController::buildMapView() {
  auto root = view();
  const platform::Size size = root->bounds().size;
  gmkMapView_ = mapsdk::GMKMapView::create(platform::Rect(0, 44, size.width, size.height - 44));
  if (!gmkMapView_) return;
  root->insertSubviewBelow(gmkMapView_, bubbleView_.get());
  gmkMapView_->setDelegate(this);
  gmkMapView_->setShowsUserLocation(true);
}

bool JobGeoRouteController::showLocation() {
  if (!JobMapController::showLocation() || !gmkMapView_) return false;
  pin_ = std::make_shared<GMKCustomerPointAnnotation>();
  pin_->setCoordinate(gv::toGeo(coordinate_));
  pin_->setTitle(detail_->get_coname());
  pin_->setIsSelected(true);
  gmkMapView_->addAnnotation(pin_);
  gv::setCenterCoordinate(*gmkMapView_, gv::toGeo(coordinate_), static_cast<float>(RouteRadius), true);
  bubbleView_->setHidden(false);
  installTapToHide(gmkMapView_->contentView());
  TapAlongsideTheMap(tapMapGesture_);
  return true;
}

std::shared_ptr<mapsdk::GMKAnnotationView> JobGeoRouteController::mapViewViewForAnnotation(
    mapsdk::GMKMapView&, const std::shared_ptr<mapsdk::GMKAnnotation>& annotation) {
  auto pin = std::dynamic_pointer_cast<GMKCustomerPointAnnotation>(annotation);
  return pin ? PinFor(pin) : nullptr;
}

bool JobGeoRouteController::mapViewDidSelectAnnotationView(mapsdk::GMKMapView& map,
                                                           mapsdk::GMKAnnotationView& view) {
  auto pin = std::dynamic_pointer_cast<GMKCustomerPointAnnotation>(view.annotation());
  if (!pin) return true;
  map.setCenterCoordinate(pin->coordinate(), true);
  bubbleView_->setHidden(false);
  pin->setIsSelected(true);
  view.setImage(mapskin::image("map_location_focus"));
  installTapToHide(map.contentView());
  TapAlongsideTheMap(tapMapGesture_);
  return true;
}

bool JobGeoRouteController::mapViewDidDeselectAnnotationView(mapsdk::GMKMapView&,
                                                             mapsdk::GMKAnnotationView& view) {
  if (auto pin = std::dynamic_pointer_cast<GMKCustomerPointAnnotation>(view.annotation()))
    pin->setIsSelected(false);
  view.setImage(mapskin::image("map_location_normal"));
  return true;
}

void JobGeoRouteController::hideBubbleView() {
  if (bubbleView_->isHidden() || !gmkMapView_) return;
  bubbleView_->setHidden(true);
  if (pin_) {
    pin_->setIsSelected(false);
    if (auto v = gmkMapView_->viewForAnnotation(pin_)) v->setImage(mapskin::image("map_location_normal"));
  }
  removeTapToHide(gmkMapView_->contentView());
}

bool JobGeoRouteController::mapViewRegionWillChangeAnimated(mapsdk::GMKMapView&, bool) {
  hideBubbleView();
  return true;
}

}  // namespace kavro
