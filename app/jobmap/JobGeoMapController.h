#pragma once
#include <memory>
#include <string>

#include "app/jobmap/GMKMapViewUtil.h"
#include "app/jobmap/JobMapController.h"
#include "app/jobmap/JobMapSearchController.h"
#include "mapsdk/search/GMKGeocoderAddressComponent.h"
#include "mapsdk/search/GMKSearch.h"

namespace kavro {

// The map search on the map SDK's view: whole zoom levels set the radius, pins are redrawn by
// adding them again, the tap that closes the job bubble sits on the map's tap-detecting view, and
// the map centre is reverse-geocoded through the SDK's search. Built when the user's map type is
// 0. Main thread only.
class JobGeoMapController : public JobMapSearchController,
                            public mapsdk::GMKMapViewDelegate,
                            public mapsdk::GMKSearchDelegate {
 public:
  static constexpr double SearchDelay = 0.2;
  static constexpr double BackRegionSeconds = 1.0;
  static constexpr double RefreshDelay = 0.1;
  // A place asked of the map service that has not come by then is taken as not found.
  static constexpr double ReverseGeocodePatience = 5.0;

  ~JobGeoMapController() override;
  // Re-measures the living map search screen, if any.
  static void refreshDisplayOfLiving();

  void customView() override;
  void initMapView() override;
  void userLocation() override;
  void userLocation(platform::Control& sender) override;
  void searchJobs() override;
  using JobMapSearchController::searchJobs;
  void packUpMapView() override;
  void expandMapViewForShowJobs() override;
  void hideJobInfo() override;
  void focusCurrentAnnotation() override;
  void backRegionWhenSearchJobs() override;
  void reverseCurrentLocation() override;
  void removeCurrentGesture() override;
  void refreshClick() override;
  void prePageClick() override;
  void nextPageClick() override;
  void mapViewDataCurrentPageData(MapViewData& pager,
                                  const std::vector<std::shared_ptr<DataItemDetail>>& currentPageData,
                                  const DataItemResult& result) override;

  void refreshDisplay();
  void addAnAnnotation(const DataItemDetail& job);
  void removeAnnotations();
  void showCurrentJobInfo();
  void clickMapGesture();
  void startedReverseGeoderWithCoordinate(const mapsdk::CLLocationCoordinate2D& c);
  // Province (unless it is the city), city, then district, street and number while the text stays
  // under 12 characters.
  static std::string getCurrentLocationText(const mapsdk::GMKGeocoderAddressComponent& address);

  // mapsdk::GMKMapViewDelegate
  bool mapViewRegionWillChangeAnimated(mapsdk::GMKMapView& map, bool animated) override;
  bool mapViewRegionDidChangeAnimated(mapsdk::GMKMapView& map, bool animated) override;
  bool mapViewWillStartLocatingUser(mapsdk::GMKMapView& map) override;
  bool mapViewDidUpdateUserLocation(mapsdk::GMKMapView& map, mapsdk::GMKUserLocation& user) override;
  bool mapViewDidFailToLocateUserWithError(mapsdk::GMKMapView& map, const platform::Error& error) override;
  std::shared_ptr<mapsdk::GMKAnnotationView> mapViewViewForAnnotation(
      mapsdk::GMKMapView& map, const std::shared_ptr<mapsdk::GMKAnnotation>& annotation) override;
  bool mapViewDidSelectAnnotationView(mapsdk::GMKMapView& map, mapsdk::GMKAnnotationView& view) override;
  // mapsdk::GMKSearchDelegate
  bool onGetAddrResult(const std::shared_ptr<mapsdk::GMKAddrInfo>& result,
                       gmengine::DelegateError errorCode) override;

  const std::shared_ptr<mapsdk::GMKMapView>& gmkMapView() const { return gmkMapView_; }
  const std::shared_ptr<GMKCustomerPointAnnotation>& curAnnotation() const { return curAnnotation_; }
  bool isBackLastLocation() const { return isBackLastLocation_; }

 private:
  void adjustGeoLogo();

  std::shared_ptr<mapsdk::GMKMapView> gmkMapView_;
  // Counts the places asked for; the patience of an older one ends nothing.
  std::uint64_t reverseAsked_ = 0;
  std::shared_ptr<mapsdk::GMKSearch> gmkSearch_;
  std::shared_ptr<GMKCustomerPointAnnotation> curAnnotation_;
  platform::View* tapView_ = nullptr;
  bool isBackLastLocation_ = false;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobGeoMapController();
};

KAVRO_CLASS(JobGeoMapController, UIBasicController);

// The location map on the map SDK's view: the company's pin and its bubble while it is selected.
// Main thread only.
class JobGeoRouteController : public JobMapController, public mapsdk::GMKMapViewDelegate {
 public:
  static std::shared_ptr<JobGeoRouteController> initWithDetail(std::shared_ptr<DataItemDetail> detail) {
    return JobMapController::initWithDetail<JobGeoRouteController>(std::move(detail));
  }
  ~JobGeoRouteController() override;

  void buildMapView() override;
  bool showLocation() override;
  void hideBubbleView() override;

  std::shared_ptr<mapsdk::GMKAnnotationView> mapViewViewForAnnotation(
      mapsdk::GMKMapView& map, const std::shared_ptr<mapsdk::GMKAnnotation>& annotation) override;
  bool mapViewDidSelectAnnotationView(mapsdk::GMKMapView& map, mapsdk::GMKAnnotationView& view) override;
  bool mapViewDidDeselectAnnotationView(mapsdk::GMKMapView& map, mapsdk::GMKAnnotationView& view) override;
  bool mapViewRegionWillChangeAnimated(mapsdk::GMKMapView& map, bool animated) override;

  const std::shared_ptr<mapsdk::GMKMapView>& gmkMapView() const { return gmkMapView_; }
  const std::shared_ptr<GMKCustomerPointAnnotation>& companyPin() const { return pin_; }

 private:
  std::shared_ptr<mapsdk::GMKMapView> gmkMapView_;
  std::shared_ptr<GMKCustomerPointAnnotation> pin_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobGeoRouteController() = default;
};

KAVRO_CLASS(JobGeoRouteController, UIBasicController);

}  // namespace kavro
