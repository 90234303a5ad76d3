#include "app/jobmap/JobAppleMapController.h"

#include "app/jobmap/CoordinateText.h"
#include "app/jobmap/MapSkin.h"
#include "app/jobmap/MapStatusTimer.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/mapview/MapViewUtil.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

namespace mv = platform::mapview;

JobAppleMapController::JobAppleMapController() {
  radiusForSearch_ = StartSearchRadius;
  radiusLast_ = StartSearchRadius;
}

JobAppleMapController::~JobAppleMapController() {
  platform::RunLoop::main().cancelPerforms(this);
  if (mkMapView_) {
    mkMapView_->setShowsUserLocation(false);
    mkMapView_->setDelegate({});
  }
  if (geoCoder_) geoCoder_->cancel();
}

void JobAppleMapController::customView() {
  JobMapSearchController::customView();
  if (!isLocationed_) userLocation();
}

void JobAppleMapController::initMapView() {
  JobMapSearchController::initMapView();
  double width = platform::Screen::mainScreen().bounds().size.width;
  mkMapView_ = std::make_shared<platform::MapView>(platform::Rect(0, 0, width, expandedMapHeight()));
  view::setHeight(*mkMapView_, packedMapHeight());
  view::setTop(*mkMapView_, statusLineBottom());
  view()->insertSubviewBelow(mkMapView_, mapErrorBoard_.get());
  mkMapView_->setDelegate(sharedAs<JobAppleMapController>());
  mapViewPin_ = mkMapView_;
  // A long press would drop the platform's own pin.
  for (const auto& sub : mkMapView_->subviews())
    for (const auto& g : sub->gestureRecognizers())
      if (dynamic_cast<platform::LongPressGestureRecognizer*>(g.get())) g->setEnabled(false);
}

void JobAppleMapController::userLocation() {
  if (!mkMapView_) return;
  mkMapView_->setShowsUserLocation(false);
  mkMapView_->setShowsUserLocation(true);
}

void JobAppleMapController::userLocation(platform::Control& sender) {
  JobMapSearchController::userLocation(sender);
  userLocation();
}

// --- Locating and geocoding ---------------------------------------------------------------------

void JobAppleMapController::willStartLocatingUser(platform::MapView&) {
  if (!isLocationed_) statusBarStartLocation();
}

void JobAppleMapController::didUpdateUserLocation(platform::MapView& map, platform::UserLocation& user) {
  if (isLocationed_) return;
  loadLocateFinish();
  isBackRegionHandle_ = false;
  isLocationed_ = true;
  latlonForLast_ = user.coordinate();
  mv::setCenterCoordinate(map, latlonForLast_, static_cast<float>(StartSearchRadius), true);
  statusBarStartReverse();
  mapViewText_ = MapViewText::Centre;
  startedReverseGeoderWithCoordinate(latlonForLast_);
}

void JobAppleMapController::didFailToLocateUserWithError(platform::MapView&, const platform::Error&) {
  statusBarStopLoading();
  mapStatusBar_->setText(AppCoreInfo::getLocalizedString("jobmap_location_fail"));
}

void JobAppleMapController::startedReverseGeoderWithCoordinate(const platform::Coordinate& c) {
  if (geoCoder_) geoCoder_->cancel();
  geoCoder_ = platform::ReverseGeocoder::create(c);
  geoCoder_->setDelegate(sharedAs<JobAppleMapController>());
  geoCoder_->start();
}

void JobAppleMapController::reverseGeocoderDidFindPlacemark(platform::ReverseGeocoder&,
                                                            const platform::Placemark& placemark) {
  statusBarStopLoading();
  statusBarPlaceFound(getCurrentLocationText(placemark));
}

void JobAppleMapController::reverseGeocoderDidFailWithError(platform::ReverseGeocoder& geocoder,
                                                            const platform::Error&) {
  statusBarStopLoading();
  statusBarPlaceNotFound(mkMapView_ ? mkMapView_->centerCoordinate() : latlonForLast_);
  geocoder.cancel();
}

void JobAppleMapController::reverseCurrentLocation() {
  if (isMapUseForApp() && mkMapView_) startedReverseGeoderWithCoordinate(latlonForLast_);
}

std::string JobAppleMapController::getCurrentLocationText(const platform::Placemark& p) {
  std::string text = p.administrativeArea;
  for (const std::string* part : {&p.subLocality, &p.locality, &p.thoroughfare, &p.subThoroughfare, &p.name})
    if (!part->empty() && platform::utf16Length(text + *part) < 12) text += *part;
  return text;
}

// --- Searching ----------------------------------------------------------------------------------

void JobAppleMapController::searchJobs() {
  JobMapSearchController::searchJobs();
  if (!mkMapView_) return;
  radiusForSearch_ = mv::countRadiusByIosSdk(*mkMapView_);
  latlonForSearch_ = mkMapView_->centerCoordinate();
  isSearchLastLocation_ = mapViewStatus_ != MapViewStatus::Expanded;
  if (radiusForSearch_ >= MaxSearchRadius - RadiusTolerance) {
    mv::setCenterCoordinate(*mkMapView_, latlonForSearch_, static_cast<float>(MaxSearchRadius), true);
    isSearchLastLocation_ = true;
    radiusForSearch_ = MaxSearchRadius;
    radiusLast_ = mv::countRadiusByIosSdk(*mkMapView_);
  }
  mapViewText_ = MapViewText::Region;
  statusBarChangeRadius();
  std::weak_ptr<JobAppleMapController> weak = sharedAs<JobAppleMapController>();
  platform::RunLoop::main().performAfter(SearchDelay, this, [weak] {
    if (auto self = weak.lock()) self->jobListData_->refreshData();
  });
}

void JobAppleMapController::refreshClick() {
  JobMapSearchController::refreshClick();
  removeAnnotations();
  searchJobs();
}

void JobAppleMapController::prePageClick() {
  JobMapSearchController::prePageClick();
  isBackRegionHandle_ = true;
  backRegionWhenSearchJobs();
}

void JobAppleMapController::nextPageClick() {
  JobMapSearchController::nextPageClick();
  isBackRegionHandle_ = true;
  backRegionWhenSearchJobs();
}

void JobAppleMapController::packUpMapView() {
  JobMapSearchController::packUpMapView();
  if (!mkMapView_) return;
  removeAnnotations();
  setSearchCircle(false);
  mkMapView_->setShowsUserLocation(true);
  mkMapView_->setCenterCoordinate(latlonForLast_, true);
}

void JobAppleMapController::backRegionWhenSearchJobs() {
  if (mapViewStatus_ == MapViewStatus::Expanded && mkMapView_) {
    isSearchLastLocation_ = true;
    mapViewText_ = MapViewText::Region;
    mv::setCenterCoordinate(*mkMapView_, latlonForSearch_, static_cast<float>(radiusForSearch_), true);
  }
  std::weak_ptr<JobAppleMapController> weak = sharedAs<JobAppleMapController>();
  platform::RunLoop::main().performAfter(BackRegionSeconds, this, [weak] {
    if (auto self = weak.lock()) self->isSearchLastLocation_ = false;
  });
}

void JobAppleMapController::setSearchCircle(bool shown) {
  if (searchCircle_) mkMapView_->removeOverlay(searchCircle_);
  searchCircle_.reset();
  if (!shown) return;
  // The circle the server searches: what the user is told, 0.7 of the measured radius.
  searchCircle_ = std::make_shared<platform::Circle>(latlonForSearch_,
                                                     radiusForSearch_ * MapQueryParam::ShownRadiusFactor);
  mkMapView_->addOverlay(searchCircle_);
}

// --- Region changes -----------------------------------------------------------------------------

void JobAppleMapController::regionWillChangeAnimated(platform::MapView&, bool) { hideJobInfo(); }

void JobAppleMapController::regionDidChangeAnimated(platform::MapView& map, bool) {
  if (mapViewStatus_ == MapViewStatus::Expanded && mapBubbleView_->isHidden() && !isSearchLastLocation_) {
    highlightRefreshButton(true);
    mapViewText_ = MapViewText::Centre;
  }
  isSearchLastLocation_ = false;
  if (!mapBubbleView_->isHidden()) mapViewText_ = MapViewText::Centre;
  radiusLast_ = isBackRegionHandle_ ? radiusForSearch_ : mv::countRadiusByIosSdk(map);
  isBackRegionHandle_ = false;
  latlonForLast_ = map.centerCoordinate();
  if (radiusLast_ <= MinSearchRadius - RadiusTolerance)
    mv::setCenterCoordinate(map, latlonForLast_, static_cast<float>(MinSearchRadius), true);
  if (isLocationed_) {
    statusBarChangeRadius();
    auto& timer = MapStatusTimer::sharedMapStatusTimer();
    timer.timerInvalidate();
    timer.scheduledTimer(0);
  }
}

// --- Pins and bubble ----------------------------------------------------------------------------

std::optional<std::shared_ptr<platform::AnnotationView>> JobAppleMapController::viewForAnnotation(
    platform::MapView&, const std::shared_ptr<platform::Annotation>& annotation) {
  if (!std::dynamic_pointer_cast<platform::PointAnnotation>(annotation)) return std::nullopt;
  auto pin = mapskin::pinView(annotation);
  std::weak_ptr<JobAppleMapController> weak = sharedAs<JobAppleMapController>();
  std::weak_ptr<platform::AnnotationView> weakPin = pin;
  pin->addGestureRecognizer(
      std::make_shared<platform::TapGestureRecognizer>([weak, weakPin](platform::GestureRecognizer&) {
        auto self = weak.lock();
        auto view = weakPin.lock();
        if (self && view) self->focusSelectAnnotation(*view);
      }));
  return pin;
}

void JobAppleMapController::addAnAnnotation(const DataItemDetail& job) {
  auto pin = std::make_shared<platform::PointAnnotation>(coordtext::ofRecord(job));
  pin->setTitle(job.get_jobname());
  mkMapView_->addAnnotation(pin);
  annotationArray_.push_back(pin);
}

void JobAppleMapController::removeAnnotations() {
  if (mkMapView_) mkMapView_->removeAnnotations(mkMapView_->annotations());
  annotationArray_.clear();
}

void JobAppleMapController::mapViewDataCurrentPageData(
    MapViewData& pager, const std::vector<std::shared_ptr<DataItemDetail>>& currentPageData,
    const DataItemResult& result) {
  JobMapSearchController::mapViewDataCurrentPageData(pager, currentPageData, result);
  if (!result.isValidListData() || !mkMapView_) return;
  mkMapView_->setShowsUserLocation(true);
  removeAnnotations();
  for (const auto& job : currentPageData) addAnAnnotation(*job);
  setSearchCircle(true);
}

void JobAppleMapController::focusSelectAnnotation(platform::AnnotationView& view) {
  curAnnotation_ = std::dynamic_pointer_cast<platform::PointAnnotation>(view.annotation());
  std::weak_ptr<JobAppleMapController> weak = sharedAs<JobAppleMapController>();
  platform::RunLoop::main().performAfter(PinFocusDelay, this, [weak] {
    if (auto self = weak.lock()) self->showCurrentJobInfo();
  });
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_MAPPIN");
}

void JobAppleMapController::showCurrentJobInfo() {
  if (!curAnnotation_ || !mkMapView_) return;
  mkMapView_->setCenterCoordinate(curAnnotation_->coordinate(), true);
  for (std::size_t i = 0; i < annotationArray_.size(); ++i) {
    auto pin = std::dynamic_pointer_cast<platform::Annotation>(annotationArray_[i]);
    if (auto v = mkMapView_->viewForAnnotation(pin.get())) mapskin::setImage(*v, "map_location_normal");
    if (pin == curAnnotation_) mapBubbleView_->showJobInfo(static_cast<std::uint32_t>(i));
  }
  if (auto v = mkMapView_->viewForAnnotation(curAnnotation_.get()))
    mapskin::setImage(*v, "map_location_focus");
  mkMapView_->selectAnnotation(curAnnotation_, true);
  mkMapView_->setShowsUserLocation(false);
  mapCenterCircle_->setHidden(true);
  mapBubbleView_->setHidden(false);
  installMapTap([](JobMapSearchController& s) { static_cast<JobAppleMapController&>(s).clickMapview(); });
}

void JobAppleMapController::focusCurrentAnnotation() {
  auto index = mapBubbleView_->currentJobIndex();
  if (index >= annotationArray_.size()) return;
  curAnnotation_ = std::dynamic_pointer_cast<platform::PointAnnotation>(annotationArray_[index]);
  showCurrentJobInfo();
}

void JobAppleMapController::hideJobInfo() {
  if (mapBubbleView_->isHidden() || !mkMapView_) return;
  mapBubbleView_->setHidden(true);
  for (const auto& pin : annotationArray_)
    if (auto v = mkMapView_->viewForAnnotation(dynamic_cast<platform::Annotation*>(pin.get())))
      mapskin::setImage(*v, "map_location_normal");
  removeCurrentGesture();
  for (const auto& a : mkMapView_->selectedAnnotations()) mkMapView_->deselectAnnotation(a, true);
  mkMapView_->setShowsUserLocation(true);
  mapCenterCircle_->setHidden(false);
}

void JobAppleMapController::clickMapview() {
  hideJobInfo();
  backRegionWhenSearchJobs();
}

}  // namespace kavro
