#pragma once
#include <memory>
#include <string>

#include "app/jobmap/JobMapSearchController.h"
#include "platform/location/Geocoder.h"
#include "platform/mapview/MapView.h"

namespace kavro {

// The map search on the platform's map view: it locates the user, measures the search radius on
// the map, places one pin per job of the current page, links pins and bubble, draws the circle
// the server searches, and reverse-geocodes the map centre. Built when the user's map type is
// not 0. Main thread only.
class JobAppleMapController : public JobMapSearchController,
                              public platform::MapViewDelegate,
                              public platform::ReverseGeocoderDelegate {
 public:
  static constexpr double SearchDelay = 0.1;
  static constexpr double PinFocusDelay = 0.4;
  static constexpr double BackRegionSeconds = 1.0;

  ~JobAppleMapController() override;

  void customView() override;
  void initMapView() override;
  void userLocation() override;
  void userLocation(platform::Control& sender) override;
  void searchJobs() override;
  using JobMapSearchController::searchJobs;
  void packUpMapView() override;
  void hideJobInfo() override;
  void focusCurrentAnnotation() override;
  void backRegionWhenSearchJobs() override;
  void reverseCurrentLocation() override;
  void refreshClick() override;
  void prePageClick() override;
  void nextPageClick() override;
  void mapViewDataCurrentPageData(MapViewData& pager,
                                  const std::vector<std::shared_ptr<DataItemDetail>>& currentPageData,
                                  const DataItemResult& result) override;

  void startedReverseGeoderWithCoordinate(const platform::Coordinate& c);
  void addAnAnnotation(const DataItemDetail& job);
  void removeAnnotations();
  void focusSelectAnnotation(platform::AnnotationView& view);
  void showCurrentJobInfo();
  void clickMapview();
  // The administrative area, then sub-locality, locality, thoroughfare, sub-thoroughfare and name
  // while the text stays under 12 characters.
  static std::string getCurrentLocationText(const platform::Placemark& placemark);

  // platform::MapViewDelegate
  std::optional<std::shared_ptr<platform::AnnotationView>> viewForAnnotation(
      platform::MapView& map, const std::shared_ptr<platform::Annotation>& annotation) override;
  void regionWillChangeAnimated(platform::MapView& map, bool animated) override;
  void regionDidChangeAnimated(platform::MapView& map, bool animated) override;
  void willStartLocatingUser(platform::MapView& map) override;
  void didUpdateUserLocation(platform::MapView& map, platform::UserLocation& userLocation) override;
  void didFailToLocateUserWithError(platform::MapView& map, const platform::Error& error) override;
  // platform::ReverseGeocoderDelegate
  void reverseGeocoderDidFindPlacemark(platform::ReverseGeocoder& geocoder,
                                       const platform::Placemark& placemark) override;
  void reverseGeocoderDidFailWithError(platform::ReverseGeocoder& geocoder,
                                       const platform::Error& error) override;

  const std::shared_ptr<platform::MapView>& mkMapView() const { return mkMapView_; }
  const std::shared_ptr<platform::PointAnnotation>& curAnnotation() const { return curAnnotation_; }
  const std::shared_ptr<platform::Circle>& searchCircle() const { return searchCircle_; }
  bool isSearchLastLocation() const { return isSearchLastLocation_; }

 private:
  void setSearchCircle(bool shown);

  std::shared_ptr<platform::MapView> mkMapView_;
  std::shared_ptr<platform::PointAnnotation> curAnnotation_;
  std::shared_ptr<platform::ReverseGeocoder> geoCoder_;
  std::shared_ptr<platform::Circle> searchCircle_;
  bool isSearchLastLocation_ = false;
  bool isBackRegionHandle_ = false;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobAppleMapController();
};

// Registered by name: the job search form offers its map button once this class exists.
KAVRO_CLASS(JobAppleMapController, UIBasicController);

}  // namespace kavro
