#include "app/jobmap/JobMapSearchController.h"

#include <cstdio>

#include "app/api/ApiJob.h"
#include "app/jobmap/JobMapSearchCell.h"
#include "app/jobmap/JobMapSearchResultController.h"
#include "app/jobmap/JobSearchMapFilterController.h"
#include "app/jobmap/MapSkin.h"
#include "app/jobmap/MapStatusTimer.h"
#include "app/jobmap/RewardView.h"
#include "app/jobsearch/JobDetailView.h"
#include "app/jobsearch/JobText.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/LocationUtil.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/http/Reachability.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/MultiDictPickController.h"
#include "kit/ui/PageTurnController.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewSibling.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace kavro {

using platform::Rect;

namespace {
platform::ClassPtr& standInPageClass() {
  static platform::ClassPtr cls;
  return cls;
}
platform::ClassPtr detailPageClass() {
  return standInPageClass() ? standInPageClass() : platform::classFor<JobDetailView>();
}
using jobtext::text;
double screenWidth() { return platform::Screen::mainScreen().bounds().size.width; }

// The place in a status text made of word, place, "around", distance and "km": the longest place
// that leaves a distance between it and the last "km". The localised pieces match as plain text.
std::string placeInStatus(const std::string& status, const std::string& word, const std::string& around,
                          const std::string& km) {
  if (word.empty() || around.empty() || km.empty()) return "";
  auto start = status.find(word);
  if (start == std::string::npos) return "";
  std::string rest = status.substr(start + word.size());
  auto kmAt = rest.rfind(km);
  if (kmAt == std::string::npos || kmAt < 2) return "";
  auto aroundAt = rest.rfind(around, kmAt - around.size() - 1);
  if (aroundAt == std::string::npos || aroundAt == 0 || aroundAt + around.size() >= kmAt) return "";
  return rest.substr(0, aroundAt);
}
}  // namespace

void JobMapSearchController::setDetailPageClass(platform::ClassPtr pageClass) {
  standInPageClass() = std::move(pageClass);
}

JobMapSearchController::JobMapSearchController()
    : mapQueryParam_(MapQueryParam::create()),
      appMapType_(UserCoreInfo::sharedUserCoreInfo().appMapType()),
      jobListData_(MapViewData::create()) {}

JobMapSearchController::~JobMapSearchController() {
  if (jobListData_) {
    jobListData_->stopLoading();
    jobListData_->setDelegate({});
  }
  platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(&observerOwner_);
}

double JobMapSearchController::statusLineBottom() const { return 44 + StatusLineHeight; }

double JobMapSearchController::expandedMapHeight() const {
  return const_cast<JobMapSearchController*>(this)->view()->bounds().size.height - 88 - StatusLineHeight;
}

// --- Building -----------------------------------------------------------------------------------

std::shared_ptr<platform::Button> JobMapSearchController::toolBarButton(
    double x, void (JobMapSearchController::*action)()) {
  auto button = platform::Button::buttonWithType(platform::ButtonType::Custom, Rect(x, 0, 52, ToolBarHeight));
  std::weak_ptr<JobMapSearchController> weak = sharedAs<JobMapSearchController>();
  button->addTarget(this, platform::ControlEvent::TouchUpInside, [weak, action](platform::Control&) {
    if (auto self = weak.lock()) ((*self).*action)();
  });
  mapBottomToolBar_->addSubview(button);
  return button;
}

void JobMapSearchController::customView() {
  UIBasicController::customView();
  auto root = view();
  double width = screenWidth();
  double height = root->bounds().size.height;
  std::weak_ptr<JobMapSearchController> weak = sharedAs<JobMapSearchController>();
  root->setBackgroundColor(platform::Color::white());

  setTitle(AppCoreInfo::getLocalizedString("jobmap_mapsearch"));
  auto listButton = platform::Button::buttonWithType(platform::ButtonType::Custom, Rect(0, 0, 50, 30));
  listButton->setTitle(AppCoreInfo::getLocalizedString("jobmap_list"));
  AppSkin::apply(listButton, "nav_list_button", mapskin::Group);
  listButton->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->listClick();
  });
  listItem_ = std::make_shared<platform::BarButtonItem>(listButton);

  mapStatusBar_ = std::make_shared<UILoadingView>(Rect(0, 44, width, StatusLineHeight));
  mapStatusBar_->setText("");
  mapStatusBar_->setTextColor(platform::Color::white());
  mapStatusBar_->setHiddenActivity(true);
  mapStatusBar_->setActivityStyle(platform::ActivityIndicatorViewStyle::White);
  auto statusBg = mapskin::imageView("jobmap_loading", {width, StatusLineHeight});
  statusBg->setFrame(Rect(0, 0, width, statusBg->frame().size.height));
  statusBg->setBackgroundColor(platform::Color::rgba(0, 0, 0, 0.6));
  mapStatusBar_->insertSubview(statusBg, 0);
  root->addSubview(mapStatusBar_);

  mapErrorBoard_ = std::make_shared<MapErrorBoard>();
  view::setTop(*mapErrorBoard_, statusLineBottom());
  root->insertSubviewBelow(mapErrorBoard_, mapStatusBar_.get());

  mapBubbleView_ = CustomMapMultiBubbleView::create(Rect({0, 0}, CustomMapMultiBubbleView::DefaultSize));
  mapBubbleView_->setHidden(true);
  mapBubbleView_->setDelegate(sharedAs<JobMapSearchController>());

  mapCenterCircle_ = std::make_shared<platform::ImageView>(Rect(0, 0, 24, 24));
  mapskin::setImage(*mapCenterCircle_, "map_circle_center");
  mapCenterCircle_->setUserInteractionEnabled(false);
  mapCenterCircle_->setCenter(mapErrorBoard_->center());
  root->insertSubviewAbove(mapCenterCircle_, mapErrorBoard_.get());

  shadowView_ = mapskin::imageView("map_shadow", {width, 6});
  view::bottomOfView(*shadowView_, mapErrorBoard_.get());
  root->addSubview(shadowView_);

  listViewJobMapSearch_ = ListView::create(false);
  listViewJobMapSearch_->setCtrl(sharedAs<JobMapSearchController>());
  listViewJobMapSearch_->setFrame(Rect(0, 0, width, height - 44));
  view::bottomOfView(*listViewJobMapSearch_, mapErrorBoard_.get(), 2);
  listViewJobMapSearch_->setScrollEnabled(false);
  auto footer = std::make_shared<platform::View>(Rect(0, 0, width, 56));
  searchButton_ = platform::Button::buttonWithType(platform::ButtonType::Custom, Rect(0, 6, 296, 44));
  searchButton_->setTitle(AppCoreInfo::getLocalizedString("jobsearch_search"));
  AppSkin::apply(searchButton_);
  // The skin gives no disabled look; until the first fix the button must not look tappable.
  searchButton_->setTitleColor(platform::Color::lightGray(), platform::ControlState::Disabled);
  searchButton_->setEnabled(false);
  view::horizontalCenterInView(*searchButton_, footer.get());
  searchButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control& sender) {
    if (auto self = weak.lock()) self->searchJobs(sender);
  });
  footer->addSubview(searchButton_);
  listViewJobMapSearch_->setTableFooterView(footer);
  root->insertSubviewBelow(listViewJobMapSearch_, shadowView_.get());
  mapQueryParam_->restoreFormData();
  formData_ = ListViewData::newData();
  formData_->setMDataCellClass(platform::classFor<JobMapSearchCell>());
  for (int i = 0; i < 4; ++i)
    formData_->listData()->addItem(JobSearchFilterController::rowDataWithTitle("", "", i));
  listViewJobMapSearch_->addSectionWithData(formData_);
  refreshList();

  root->addSubview(mapBubbleView_);

  mapBottomToolBar_ = std::make_shared<platform::ImageView>(Rect(0, height, width, ToolBarHeight));
  mapskin::setImage(static_cast<platform::ImageView&>(*mapBottomToolBar_), "toolbar_background");
  mapBottomToolBar_->setBackgroundColor(platform::Color::rgba(0.16, 0.18, 0.2, 1));
  mapBottomToolBar_->setUserInteractionEnabled(true);
  refreshButton_ = toolBarButton(0, &JobMapSearchController::refreshClick);
  refreshButton_->setAccessibilityLabel(AppCoreInfo::getLocalizedString("jobmap_refresh"));
  auto divider = mapskin::imageView("map_icons_divider", {2, ToolBarHeight});
  divider->setFrame(Rect(49, 0, 2, ToolBarHeight));
  mapBottomToolBar_->addSubview(divider);
  preButton_ = toolBarButton(52, &JobMapSearchController::prePageClick);
  preButton_->setAccessibilityLabel(AppCoreInfo::getLocalizedString("jobmap_prepage"));
  currentPageNum_ = std::make_shared<platform::Label>(Rect(0, 0, 120, ToolBarHeight));
  currentPageNum_->setTextAlignment(platform::TextAlignment::Center);
  currentPageNum_->setBackgroundColor(platform::Color::clear());
  AppSkin::apply(currentPageNum_, "toolbar_pagecount_loading", mapskin::Group);
  currentPageNum_->setText(platform::format(AppCoreInfo::getLocalizedString("jobmap_jobnum_format__"), 0, 0));
  view::horizontalCenterInView(*currentPageNum_, mapBottomToolBar_.get());
  mapBottomToolBar_->addSubview(currentPageNum_);
  auto divider2 = mapskin::imageView("map_icons_divider", {2, ToolBarHeight});
  divider2->setFrame(Rect(269, 0, 2, ToolBarHeight));
  mapBottomToolBar_->addSubview(divider2);
  locationButton_ =
      platform::Button::buttonWithType(platform::ButtonType::Custom, Rect(width - 52, 0, 52, ToolBarHeight));
  AppSkin::apply(locationButton_, "toolbar_backtomylocation", mapskin::Group);
  locationButton_->setAccessibilityLabel(AppCoreInfo::getLocalizedString("jobmap_mylocation"));
  locationButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control& sender) {
    if (auto self = weak.lock()) self->userLocation(sender);
  });
  mapBottomToolBar_->addSubview(locationButton_);
  nextButton_ = toolBarButton(width - 104, &JobMapSearchController::nextPageClick);
  nextButton_->setAccessibilityLabel(AppCoreInfo::getLocalizedString("jobmap_nextpage"));
  root->addSubview(mapBottomToolBar_);

  mapLocationButton_ = platform::Button::buttonWithType(
      platform::ButtonType::Custom,
      Rect(width - 16 - 34, statusLineBottom() + (MapErrorBoard::isTallScreen() ? 195 : 107), 34, 34));
  mapskin::setImage(*mapLocationButton_, "map_location_button");
  mapLocationButton_->setAccessibilityLabel(AppCoreInfo::getLocalizedString("jobmap_mylocation"));
  mapLocationButton_->addTarget(this, platform::ControlEvent::TouchUpInside,
                                [weak](platform::Control& sender) {
                                  if (auto self = weak.lock()) self->userLocation(sender);
                                });
  root->addSubview(mapLocationButton_);

  packUpMapView();
  loadMapViewState();

  auto& center = platform::NotificationCenter::defaultCenter();
  center.addObserver(
      platform::ApplicationDidBecomeActiveNotification, nullptr,
      [weak](const platform::Notification&) {
        if (auto self = weak.lock()) self->loadMapViewState();
      },
      &observerOwner_);
  center.addObserver(
      MapStatusTimer::MapStatusNotification, nullptr,
      [weak](const platform::Notification&) {
        if (auto self = weak.lock()) self->reverseCurrentLocation();
      },
      &observerOwner_);
}

void JobMapSearchController::viewWillAppear(bool animated) {
  UIBasicController::viewWillAppear(animated);
  if (isCustomed()) backRegionWhenSearchJobs();
}

void JobMapSearchController::refreshList() {
  if (!formData_) return;
  const auto& rows = formData_->listData()->dataList();
  const std::string titles[] = {AppCoreInfo::getLocalizedString("jobmap_select_industry"),
                                AppCoreInfo::getLocalizedString("jobmap_select_function"),
                                AppCoreInfo::getLocalizedString("jobmap_select_issuedate"),
                                AppCoreInfo::getLocalizedString("jobmap_more_filter")};
  const std::string values[] = {mapQueryParam_->getText_indtype(), mapQueryParam_->getText_functype(),
                                mapQueryParam_->getText_issuedate(), mapQueryParam_->searchTitleForMap()};
  for (std::size_t i = 0; i < rows.size() && i < 4; ++i) {
    rows[i]->setItemTitle(titles[i]);
    rows[i]->setItemValue(values[i]);
  }
  listViewJobMapSearch_->reloadData();
}

// --- Map states ---------------------------------------------------------------------------------

void JobMapSearchController::initMapView() { jobListData_->setDelegate(sharedAs<JobMapSearchController>()); }

void JobMapSearchController::installMapTap(std::function<void(JobMapSearchController&)> action,
                                           platform::View* on) {
  if (!on) on = mapViewPin_.get();
  if (!on) return;
  removeCurrentGesture();
  std::weak_ptr<JobMapSearchController> weak = sharedAs<JobMapSearchController>();
  tapMapGesture_ = std::make_shared<platform::TapGestureRecognizer>(
      [weak, action = std::move(action)](platform::GestureRecognizer&) {
        if (auto self = weak.lock()) action(*self);
      });
  on->addGestureRecognizer(tapMapGesture_);
}

void JobMapSearchController::installSearchTap() {
  installMapTap([](JobMapSearchController& s) { s.tapMap(); });
}

void JobMapSearchController::removeCurrentGesture() {
  if (!tapMapGesture_ || !mapViewPin_) return;
  const auto& list = mapViewPin_->gestureRecognizers();
  if (std::find(list.begin(), list.end(), tapMapGesture_) != list.end())
    mapViewPin_->removeGestureRecognizer(tapMapGesture_.get());
}

void JobMapSearchController::layoutPackedUp() {
  double top = statusLineBottom();
  if (mapViewPin_) mapViewPin_->setFrame(Rect(0, top, screenWidth(), packedMapHeight()));
  auto* map = mapViewPin_ ? mapViewPin_.get() : static_cast<platform::View*>(mapErrorBoard_.get());
  view::bottomOfView(*shadowView_, map);
  view::bottomOfView(*listViewJobMapSearch_, map, 2);
  view::setTop(*mapBottomToolBar_, view()->bounds().size.height);
}

void JobMapSearchController::layoutExpanded() {
  double top = statusLineBottom();
  if (mapViewPin_) mapViewPin_->setFrame(Rect(0, top, screenWidth(), expandedMapHeight()));
  auto* map = mapViewPin_ ? mapViewPin_.get() : static_cast<platform::View*>(mapErrorBoard_.get());
  view::bottomOfView(*shadowView_, map);
  view::bottomOfView(*mapBottomToolBar_, map);
  view::bottomOfView(*listViewJobMapSearch_, mapBottomToolBar_.get());
}

void JobMapSearchController::packUpMapView() {
  navigationItem()->setRightBarButtonItem(nullptr);
  mapLocationButton_->setHidden(false);
  mapViewStatus_ = MapViewStatus::PackedUp;
  mapViewText_ = MapViewText::Centre;
  removeCurrentGesture();
  mapBubbleView_->setHidden(true);
  setTitle(AppCoreInfo::getLocalizedString("jobmap_mapsearch"));
  jobListData_->clearData();
  loadBottomBarStatues();
  statusBarChangeRadius();
  if (mapViewPin_ && isFirstLocate_) installSearchTap();
  std::weak_ptr<JobMapSearchController> weak = sharedAs<JobMapSearchController>();
  platform::View::animate(
      AnimationSeconds, [this] { layoutPackedUp(); },
      [weak](bool) {
        if (auto self = weak.lock()) self->navigationItem()->setLeftBarButtonItem(self->closeButton());
      });
  mapCenterCircle_->setCenter(mapErrorBoard_->center());
}

void JobMapSearchController::expandMapViewForShowJobs() {
  navigationItem()->setRightBarButtonItem(listItem_);
  mapLocationButton_->setHidden(true);
  mapViewStatus_ = MapViewStatus::Expanded;
  mapViewText_ = MapViewText::Region;
  statusBarChangeRadius();
  if (mapViewPin_) {
    auto recognizers = mapViewPin_->gestureRecognizers();
    for (const auto& g : recognizers) mapViewPin_->removeGestureRecognizer(g.get());
  }
  setTitle(AppCoreInfo::getLocalizedString("jobmap_mapsearch_result"));
  std::weak_ptr<JobMapSearchController> weak = sharedAs<JobMapSearchController>();
  platform::View::animate(
      AnimationSeconds, [this] { layoutExpanded(); },
      [weak](bool) {
        auto self = weak.lock();
        if (!self) return;
        self->navigationItem()->setLeftBarButtonItem(std::make_shared<platform::BarButtonItem>(
            AppCoreInfo::getLocalizedString("jobmap_packup"), platform::BarButtonItemStyle::Bordered,
            [weak](platform::BarButtonItem&) {
              if (auto s = weak.lock()) s->navItemPackUpMap();
            }));
        double mapHeight = self->mapViewPin_ ? self->mapViewPin_->bounds().size.height : 0;
        view::setTop(*self->mapBubbleView_, mapHeight / 2 - 67.5 - 17);
        view::horizontalCenterInView(*self->mapBubbleView_, self->view().get());
      });
  if (mapViewPin_) mapCenterCircle_->setCenter(mapViewPin_->center());
}

void JobMapSearchController::mapNotUse() {
  packUpMapView();
  mapLocationButton_->setHidden(true);
  mapStatusBar_->setHiddenActivity(true);
  mapStatusBar_->activityView()->stopAnimating();
}

bool JobMapSearchController::isMapUseForApp() {
  if (!Reachability::connectedToNetWork()) {
    mapNotUse();
    mapStatusBar_->setText(AppCoreInfo::getLocalizedString("location_error_msg_no_network"));
    mapErrorBoard_->mapBoardFunctionError(AppCoreInfo::getLocalizedString("jobmap_function_error"));
    return false;
  }
  if (!LocationUtil::getGPSEnabledStatus()) {
    mapNotUse();
    mapStatusBar_->setText(AppCoreInfo::getLocalizedString("jobmap_location_fail"));
    mapErrorBoard_->mapBoardLocationFailed(AppCoreInfo::getLocalizedString("jobmap_gprs_error"));
    return false;
  }
  if (UserCoreInfo::sharedUserCoreInfo().appMapType() == UserCoreInfo::MapTypeNoMap) {
    mapNotUse();
    mapStatusBar_->setText(AppCoreInfo::getLocalizedString("jobmap_mapservice_fail"));
    mapErrorBoard_->mapBoardFunctionError(AppCoreInfo::getLocalizedString("jobmap_function_error"));
    return false;
  }
  return true;
}

void JobMapSearchController::loadMapViewState() {
  bool usable = isMapUseForApp();
  mapErrorBoard_->setHidden(usable);
  searchButton_->setEnabled(usable && isFirstLocate_);
  if (mapViewStatus_ == MapViewStatus::PackedUp) {
    mapLocationButton_->setEnabled(usable);
    mapLocationButton_->setHidden(!usable);
  }
  mapCenterCircle_->setHidden(!usable);
  if (usable && !mapViewPin_) {
    isLocationed_ = false;
    initMapView();
    view()->bringSubviewToFront(mapLocationButton_.get());
    userLocation(*mapLocationButton_);
    return;
  }
  auto& timer = MapStatusTimer::sharedMapStatusTimer();
  timer.timerInvalidate();
  timer.scheduledTimer(0);
}

void JobMapSearchController::loadLocateFinish() {
  if (isFirstLocate_) return;
  isFirstLocate_ = true;
  searchButton_->setEnabled(true);
  if (mapViewStatus_ == MapViewStatus::PackedUp) installSearchTap();
}

// --- Searching and paging -----------------------------------------------------------------------

void JobMapSearchController::searchJobs() {
  jobListData_->setMapViewDataStatus(MapViewDataStatus::Loading);
  loadBottomBarStatues();
  isSearch_ = true;
}

void JobMapSearchController::searchJobs(platform::Control&) {
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_SEARCHBUTTON");
  if (!isFirstLocate_) return;
  searchJobs();
  expandMapViewForShowJobs();
}

void JobMapSearchController::tapMap() {
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_SEARCHCLICK");
  if (mapViewStatus_ == MapViewStatus::Expanded || !isFirstLocate_) return;
  searchJobs();
  expandMapViewForShowJobs();
}

void JobMapSearchController::refreshClick() {
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_REFRESH");
  removeCurrentGesture();
  mapBubbleView_->setHidden(true);
}

void JobMapSearchController::prePageClick() {
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_PRE_TEN_JOBS");
  removeCurrentGesture();
  hideJobInfo();
  mapBubbleView_->setHidden(true);
  jobListData_->loadDataforPrePage();
  loadBottomBarStatues();
}

void JobMapSearchController::nextPageClick() {
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_NEXT_TEN_JOBS");
  removeCurrentGesture();
  hideJobInfo();
  mapBubbleView_->setHidden(true);
  jobListData_->loadDataforNextPage();
  loadBottomBarStatues();
}

void JobMapSearchController::userLocation(platform::Control&) {
  isLocationed_ = false;
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_CURRENT_LOCATION");
}

void JobMapSearchController::navItemPackUpMap() {
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_NAV_PACKUP");
  jobListData_->stopLoading();
  packUpMapView();
}

std::shared_ptr<DataLoadAndParser> JobMapSearchController::mapViewData(MapViewData& pager) {
  auto& q = *mapQueryParam_;
  q.setPageAt(static_cast<std::int32_t>(pager.pageAt()));
  q.setPageSize(static_cast<std::int32_t>(pager.pageSize()));
  q.setLonlat(latlonForSearch_);
  q.setRadius(static_cast<float>(radiusForSearch_));
  q.setEnableFilters(true);
  q.setAppMapType(appMapType_);
  q.saveFormData();
  alert::showTips(AppCoreInfo::getLocalizedString("common_text_loading"));
  return ApiJob::map_search(q, std::weak_ptr<DataLoadAndParserDelegate>(pager.shared_from_this()));
}

void JobMapSearchController::mapViewDataCurrentPageData(
    MapViewData& pager, const std::vector<std::shared_ptr<DataItemDetail>>& currentPageData,
    const DataItemResult& result) {
  alert::hiddenTips();
  loadBottomBarStatues();
  if (!result.isValidListData()) {
    std::string message = result.message();
    alert::showTipsAutoHidden(message.empty() ? AppCoreInfo::getLocalizedString("jobmap_search_no_result")
                                              : message);
    return;
  }
  if (result.detailInfo()->getBool("isreward")) {
    if (auto window = platform::Application::sharedApplication().keyWindow())
      window->addSubview(RewardView::create());
    pager.mapDataResult()->detailInfo()->setBool(false, "isreward");
  }
  mapBubbleView_->loadJobInfoes(currentPageData);
}

void JobMapSearchController::jobMapSearchClickDone() {
  if (jobListData_->mapDataResult()->count() == 0) return;
  removeCurrentGesture();
  hideJobInfo();
  mapBubbleView_->setHidden(true);
  jobListData_->loadDataForPage();
  loadBottomBarStatues();
}

void JobMapSearchController::highlightRefreshButton(bool on) {
  refreshHighlighted_ = on;
  refreshButton_->setHighlighted(on);
}

void JobMapSearchController::loadBottomBarStatues() {
  auto skin = [](const std::shared_ptr<platform::Button>& b, std::string_view type) {
    AppSkin::apply(b, type, mapskin::Group);
  };
  const auto& pager = *jobListData_;
  switch (pager.mapViewDataStatus()) {
    case MapViewDataStatus::Cleared:
      refreshButton_->setEnabled(true);
      skin(refreshButton_, "toolbar_refresh_disable");
      preButton_->setEnabled(false);
      nextButton_->setEnabled(false);
      skin(preButton_, "toolbar_prepage_disable");
      skin(nextButton_, "toolbar_nextpage_disable");
      break;
    case MapViewDataStatus::Loading:
      refreshButton_->setEnabled(false);
      highlightRefreshButton(false);
      skin(refreshButton_, "toolbar_refresh");
      preButton_->setEnabled(false);
      nextButton_->setEnabled(false);
      skin(preButton_, "toolbar_prepage_disable");
      skin(nextButton_, "toolbar_nextpage_disable");
      currentPageNum_->setText(AppCoreInfo::getLocalizedString("common_text_loading"));
      AppSkin::apply(currentPageNum_, "toolbar_pagecount_loading", mapskin::Group);
      break;
    case MapViewDataStatus::Answered: {
      refreshButton_->setEnabled(true);
      highlightRefreshButton(false);
      skin(refreshButton_, "toolbar_refresh");
      bool pre = pager.pageAt() > 1;
      preButton_->setEnabled(pre);
      skin(preButton_, pre ? "toolbar_prepage" : "toolbar_prepage_disable");
      if (pager.pageAt() == 0) {
        currentPageNum_->setText(
            text(pager.maxCount() != 0 ? "common_text_data_is_error" : "common_text_data_is_empty"));
        AppSkin::apply(currentPageNum_, "toolbar_pagecount_loading", mapskin::Group);
      } else {
        currentPageNum_->setText(platform::format(AppCoreInfo::getLocalizedString("jobmap_jobnum_format__"),
                                                  pager.pageAt(), pager.totalPageNum()));
        AppSkin::apply(currentPageNum_, "toolbar_pagecount", mapskin::Group);
      }
      bool next = pager.hasNextPage();
      nextButton_->setEnabled(next);
      skin(nextButton_, next ? "toolbar_nextpage" : "toolbar_nextpage_disable");
      break;
    }
  }
}

// --- Status line --------------------------------------------------------------------------------

std::string JobMapSearchController::currentWord() const {
  return text(mapViewText_ == MapViewText::Centre ? "jobmap_current_center" : "jobmap_current_region");
}

void JobMapSearchController::noteSearchAddr() {
  if (mapViewText_ != MapViewText::Region || !isSearch_) return;
  searchAddr_ = mapStatusBar_->getText();
  isSearch_ = false;
}

void JobMapSearchController::statusBarStartLocation() {
  mapStatusBar_->setHiddenActivity(false);
  mapStatusBar_->activityView()->startAnimating();
  mapStatusBar_->setText(AppCoreInfo::getLocalizedString("jobmap_locationing"));
  mapLocationButton_->setEnabled(false);
  locationButton_->setEnabled(false);
  AppSkin::apply(locationButton_, "toolbar_backtomylocation_disable", mapskin::Group);
  listItem_->setEnabled(false);
}

void JobMapSearchController::statusBarStopLoading() {
  mapStatusBar_->setText("");
  mapStatusBar_->setHiddenActivity(true);
  mapStatusBar_->activityView()->stopAnimating();
  bool on = Reachability::connectedToNetWork() && LocationUtil::getGPSEnabledStatus();
  mapLocationButton_->setEnabled(on);
  locationButton_->setEnabled(on);
  AppSkin::apply(locationButton_, on ? "toolbar_backtomylocation" : "toolbar_backtomylocation_disable",
                 mapskin::Group);
  listItem_->setEnabled(true);
}

void JobMapSearchController::statusBarStartReverse() {
  mapStatusBar_->setHiddenActivity(false);
  mapStatusBar_->activityView()->startAnimating();
  mapStatusBar_->setText(AppCoreInfo::getLocalizedString("jobmap_reverse"));
}

void JobMapSearchController::statusBarPlaceFound(const std::string& place) {
  mapStatusBar_->setText(platform::format(AppCoreInfo::getLocalizedString("jobmap_current__radius__"),
                                          currentWord(), place,
                                          MapQueryParam::ShownRadiusFactor * radiusLast_ / 1000.0));
  noteSearchAddr();
}

void JobMapSearchController::statusBarPlaceNotFound(const platform::Coordinate& centre) {
  mapStatusBar_->setText(platform::format(AppCoreInfo::getLocalizedString("jobmap_current_coordinate__"),
                                          currentWord(), centre.latitude, centre.longitude));
  noteSearchAddr();
}

void JobMapSearchController::statusBarChangeRadius() {
  std::string status = mapStatusBar_->getText();
  if (status.empty()) return;
  std::string word = currentWord();
  std::string other =
      text(mapViewText_ == MapViewText::Centre ? "jobmap_current_region" : "jobmap_current_center");
  if (auto at = status.find(other); !other.empty() && at != std::string::npos)
    status.replace(at, other.size(), word);
  mapStatusBar_->setText(status);
  std::string place = placeInStatus(status, word, AppCoreInfo::getLocalizedString("jobmap_around"),
                                    AppCoreInfo::getLocalizedString("jobmap_km"));
  if (!place.empty()) statusBarPlaceFound(place);
}

// --- Form, list and detail ----------------------------------------------------------------------

bool JobMapSearchController::listViewSelectedIndexPath(ListView&, const platform::IndexPath& ip) {
  auto me = sharedAs<JobMapSearchController>();
  auto preset = [](const std::string& code, const std::string& value) {
    auto d = DataItemDetail::newDetail();
    d->setDictCode(code);
    d->setDictValue(value);
    return d;
  };
  auto& q = *mapQueryParam_;
  switch (ip.row) {
    case 0:
      AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_INDUSTRY_TYPE");
      MultiDictPickController::pickerWidthType(DictType::Industry, preset(q.indtype(), q.getText_indtype()),
                                               me);
      break;
    case 1:
      AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_JOB_TYPE");
      MultiDictPickController::pickerWidthType(DictType::JobFunction,
                                               preset(q.functype(), q.getText_functype()), me);
      break;
    case 2:
      DictPickerController::pickerWidthType(DictType::PublicationDate, me);
      break;
    case 3: {
      AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_MORE");
      auto filter = JobSearchMapFilterController::initWithParam(mapQueryParam_);
      filter->setDelegate(me);
      if (auto nav = navigationController()) nav->pushViewController(filter, true);
      break;
    }
    default:
      break;
  }
  return true;
}

void JobMapSearchController::dictPicker(DictPickerController& picker,
                                        const std::shared_ptr<DataItemDetail>& data) {
  // The form's own rows: function, industry, issue date (and the company size of the filters).
  auto type = picker.dictType();
  if (type != DictType::JobFunction && type != DictType::Industry && type != DictType::PublicationDate &&
      type != DictType::CompanySize)
    return;
  MapQueryParam::takeDictPick(*mapQueryParam_, type, data ? data->getDictCode() : std::string(),
                              data ? data->getDictValue() : std::string());
  mapQueryParam_->saveFormData();
  refreshList();
}

void JobMapSearchController::jobSearchFilterDone(JobSearchFilterController&) { refreshList(); }

void JobMapSearchController::listClick() {
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_LIST");
  auto list = JobMapSearchResultController::initWithParam(mapQueryParam_, jobListData_->mapDataResult());
  list->setDelegate(sharedAs<JobMapSearchController>());
  list->setCurrentTitle(mapViewText_ == MapViewText::Region ? mapStatusBar_->getText() : searchAddr_);
  list->setMapViewDataForList(jobListData_);
  if (auto nav = navigationController()) nav->pushViewController(list, true);
}

void JobMapSearchController::showJobDetail() {
  auto pageClass = detailPageClass();
  auto rows = ListViewData::newData();
  for (const auto& job : mapBubbleView_->arrJobDetails()) rows->listData()->addItem(job);
  rows->setListViewDataStatus(ListViewDataStatus::Loaded);
  auto pager = PageTurnController::create(rows, static_cast<std::int32_t>(mapBubbleView_->currentJobIndex()),
                                          pageClass);
  if (auto nav = navigationController()) nav->pushViewController(pager, true);
}

}  // namespace kavro
