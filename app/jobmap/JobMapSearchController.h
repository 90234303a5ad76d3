#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/jobmap/CustomMapMultiBubbleView.h"
#include "app/jobmap/JobMapSearchResultDelegate.h"
#include "app/jobmap/MapErrorBoard.h"
#include "app/jobmap/MapQueryParam.h"
#include "app/jobmap/MapViewData.h"
#include "app/jobsearch/JobSearchFilterController.h"
#include "kit/ui/DictPickerController.h"
#include "kit/ui/ListView.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/UILoadingView.h"
#include "platform/location/MapGeometry.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

// The map search screen, common to its map back ends: the layout, the search form (industry,
// function, issue date, further filters), the pager, the status line, the error board, the job
// bubble and the page tool bar; it opens the result list, the filter screen and the job detail.
//
// A back end derives from it, owns the map view (mapViewPin) and fills in the hooks below: it
// builds the map (initMapView), locates the user (userLocation), measures centre and radius for a
// search (searchJobs), places the pins of a page (mapViewDataCurrentPageData), links pins and
// bubble (hideJobInfo, focusCurrentAnnotation), returns to the search region
// (backRegionWhenSearchJobs), reverse-geocodes the map centre (reverseCurrentLocation) and adds
// to the page buttons. Every hook's base part is the common behaviour; an override calls it
// first. A back end that puts its map tap elsewhere than on the map view overrides
// removeCurrentGesture. Main thread only.
// Whether the map is packed up above the search form or expanded over it, showing jobs.
enum class MapViewStatus { PackedUp = 0, Expanded = 1 };
// The wording of the status line: the region searched, or the map's centre.
enum class MapViewText { Region = 0, Centre = 1 };

class JobMapSearchController : public UIBasicController,
                               public ListViewDelegate,
                               public DictPickerControllerDelegate,
                               public MapViewDelegate,
                               public CustomMapMultiBubbleDelegate,
                               public JobSearchFilterDelegate,
                               public JobMapSearchResultDelegate {
 public:
  // Search radii in metres, as measured on the map; the user sees 0.7 of them.
  static constexpr double MinSearchRadius = 500 / 0.7;
  static constexpr double MaxSearchRadius = 5000 / 0.7;
  static constexpr double StartSearchRadius = 2500 / 0.7;
  // A measured radius counts as the limit within this many metres: a map set to a limit measures
  // back a hair off it, and must not take that for a move past it.
  static constexpr double RadiusTolerance = 0.01;
  static constexpr double StatusLineHeight = 25;
  static constexpr double ToolBarHeight = 44;
  static constexpr double AnimationSeconds = 0.25;

  ~JobMapSearchController() override;

  void customView() override;
  void viewWillAppear(bool animated) override;

  // --- Back-end hooks ---------------------------------------------------------------------------
  virtual void initMapView();
  // Restarts locating.
  virtual void userLocation() {}
  // The common part of a search: the pager loads, the tool bar shows it, the place is to be noted.
  virtual void searchJobs();
  virtual void packUpMapView();
  virtual void expandMapViewForShowJobs();
  virtual void hideJobInfo() {}
  void focusCurrentAnnotation() override {}
  virtual void backRegionWhenSearchJobs() {}
  virtual void reverseCurrentLocation() {}
  virtual void removeCurrentGesture();

  // --- Actions ----------------------------------------------------------------------------------
  void searchJobs(platform::Control& sender);
  void tapMap();
  virtual void refreshClick();
  virtual void prePageClick();
  virtual void nextPageClick();
  virtual void userLocation(platform::Control& sender);
  void listClick();
  void navItemPackUpMap();
  void showJobDetail() override;
  void loadLocateFinish();
  void loadMapViewState();
  bool isMapUseForApp();
  void loadBottomBarStatues();

  // --- Status line ------------------------------------------------------------------------------
  void statusBarStartLocation();
  void statusBarStopLoading();
  void statusBarStartReverse();
  void statusBarPlaceFound(const std::string& place);
  void statusBarPlaceNotFound(const platform::Coordinate& centre);
  void statusBarChangeRadius();

  // --- Delegates --------------------------------------------------------------------------------
  std::shared_ptr<DataLoadAndParser> mapViewData(MapViewData& pager) override;
  void mapViewDataCurrentPageData(MapViewData& pager,
                                  const std::vector<std::shared_ptr<DataItemDetail>>& currentPageData,
                                  const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  void dictPicker(DictPickerController& picker, const std::shared_ptr<DataItemDetail>& data) override;
  void jobSearchFilterDone(JobSearchFilterController& filter) override;
  void jobMapSearchClickDone() override;

  // --- State ------------------------------------------------------------------------------------
  const std::shared_ptr<MapQueryParam>& mapQueryParam() const { return mapQueryParam_; }
  const std::shared_ptr<platform::View>& mapViewPin() const { return mapViewPin_; }
  const std::shared_ptr<MapViewData>& jobListData() const { return jobListData_; }
  const std::shared_ptr<CustomMapMultiBubbleView>& mapBubbleView() const { return mapBubbleView_; }
  const std::shared_ptr<MapErrorBoard>& mapErrorBoard() const { return mapErrorBoard_; }
  const std::shared_ptr<UILoadingView>& mapStatusBar() const { return mapStatusBar_; }
  const std::shared_ptr<platform::ImageView>& mapCenterCircle() const { return mapCenterCircle_; }
  const std::shared_ptr<platform::Button>& searchButton() const { return searchButton_; }
  const std::shared_ptr<platform::Button>& refreshButton() const { return refreshButton_; }
  const std::shared_ptr<platform::Button>& preButton() const { return preButton_; }
  const std::shared_ptr<platform::Button>& nextButton() const { return nextButton_; }
  const std::shared_ptr<platform::Button>& locationButton() const { return locationButton_; }
  const std::shared_ptr<platform::Button>& mapLocationButton() const { return mapLocationButton_; }
  const std::shared_ptr<platform::Label>& currentPageNum() const { return currentPageNum_; }
  const std::shared_ptr<platform::View>& mapBottomToolBar() const { return mapBottomToolBar_; }
  const std::shared_ptr<ListView>& listViewJobMapSearch() const { return listViewJobMapSearch_; }
  const std::shared_ptr<platform::TapGestureRecognizer>& tapMapGesture() const { return tapMapGesture_; }
  const std::vector<std::shared_ptr<platform::Object>>& annotationArray() const { return annotationArray_; }
  MapViewStatus mapViewStatus() const { return mapViewStatus_; }
  MapViewText mapViewText() const { return mapViewText_; }
  bool isLocationed() const { return isLocationed_; }
  bool isFirstLocate() const { return isFirstLocate_; }
  const std::string& searchAddr() const { return searchAddr_; }
  const platform::Coordinate& latlonForSearch() const { return latlonForSearch_; }
  double radiusForSearch() const { return radiusForSearch_; }
  double radiusLast() const { return radiusLast_; }
  const platform::Coordinate& latlonForLast() const { return latlonForLast_; }
  bool refreshHighlighted() const { return refreshHighlighted_; }

  // Tests and tools stand in another detail page class; nullptr brings back the job detail page.
  static void setDetailPageClass(platform::ClassPtr pageClass);

 protected:
  // Layout helpers for back ends.
  double packedMapHeight() const { return MapErrorBoard::boardHeight(); }
  double expandedMapHeight() const;
  double statusLineBottom() const;
  void highlightRefreshButton(bool on);
  // Replaces the current map tap with one that runs the action on this screen, on the given view
  // (the map view when none is given), and keeps it in tapMapGesture.
  void installMapTap(std::function<void(JobMapSearchController&)> action, platform::View* on = nullptr);
  void refreshList();
  std::shared_ptr<platform::Button> toolBarButton(double x, void (JobMapSearchController::*action)());

  std::shared_ptr<MapQueryParam> mapQueryParam_;
  std::shared_ptr<platform::View> mapViewPin_;
  std::shared_ptr<platform::ImageView> mapCenterCircle_;
  std::shared_ptr<MapErrorBoard> mapErrorBoard_;
  std::shared_ptr<UILoadingView> mapStatusBar_;
  platform::Coordinate latlonForSearch_;
  double radiusForSearch_ = 0;
  double radiusLast_ = 0;
  platform::Coordinate latlonForLast_;
  bool isLocationed_ = true;
  MapViewStatus mapViewStatus_ = MapViewStatus::PackedUp;
  std::shared_ptr<platform::Button> searchButton_;
  std::shared_ptr<CustomMapMultiBubbleView> mapBubbleView_;
  std::int32_t appMapType_ = 0;
  std::vector<std::shared_ptr<platform::Object>> annotationArray_;
  std::shared_ptr<platform::TapGestureRecognizer> tapMapGesture_;
  std::shared_ptr<platform::Button> refreshButton_, preButton_, nextButton_, locationButton_;
  std::shared_ptr<platform::Label> currentPageNum_;
  std::shared_ptr<platform::View> mapBottomToolBar_;
  std::shared_ptr<platform::Button> mapLocationButton_;
  bool isFirstLocate_ = false;
  MapViewText mapViewText_ = MapViewText::Centre;
  std::shared_ptr<platform::BarButtonItem> listItem_;
  std::string searchAddr_;
  bool isSearch_ = false;
  std::shared_ptr<platform::ImageView> shadowView_;
  std::shared_ptr<ListView> listViewJobMapSearch_;
  std::shared_ptr<ListViewData> formData_;
  std::shared_ptr<MapViewData> jobListData_;
  bool refreshHighlighted_ = false;

 private:
  // Owns this screen's own observers: the base screen drops whatever `this` owns each time its
  // view loads.
  char observerOwner_ = 0;
  void layoutPackedUp();
  void layoutExpanded();
  void mapNotUse();
  void installSearchTap();
  void noteSearchAddr();
  std::string currentWord() const;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobMapSearchController();
};

}  // namespace kavro
