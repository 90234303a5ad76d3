#include "app/jobsearch/JobSearchResultController.h"

#include <cstdio>

#include "app/account/UserLoginController.h"
#include "app/api/ApiJob.h"
#include "app/jobsearch/JobDetailView.h"
#include "app/jobsearch/JobListSearchResultCell.h"
#include "app/jobsearch/JobSearchResultEmptyCell.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/ButtonExt.h"
#include "kit/ui/PageTurnController.h"
#include "kit/ui/UITipsImageView.h"
#include "platform/foundation/Format.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

namespace kavro {

namespace {
// The newest result screen, for the filter screen's confirmation.
std::weak_ptr<JobSearchResultController>& newestScreen() {
  static std::weak_ptr<JobSearchResultController> screen;
  return screen;
}
platform::ClassPtr& standInPageClass() {
  static platform::ClassPtr cls;
  return cls;
}
platform::ClassPtr detailPageClass() {
  return standInPageClass() ? standInPageClass() : platform::classFor<JobDetailView>();
}
}  // namespace

std::shared_ptr<JobSearchResultController> JobSearchResultController::initWithParam(
    std::shared_ptr<JobSearchParam> param) {
  return initWithParam<JobSearchResultController>(std::move(param));
}

void JobSearchResultController::setDetailPageClass(platform::ClassPtr pageClass) {
  standInPageClass() = std::move(pageClass);
}

void JobSearchResultController::setupWithParam(std::shared_ptr<JobSearchParam> param) {
  searchParam_ = std::move(param);
  navTitleView_ = UIKavroTitleView::create();
  listViewResult_ = ListView::plainListViewForDelegate(sharedAs<JobSearchResultController>());
  bottomToolBar_ = std::make_shared<platform::Toolbar>();
  listDataSearchResult_ = ListViewData::newData();
  newestScreen() = sharedAs<JobSearchResultController>();
}

JobSearchResultController::~JobSearchResultController() {
  // Any result screen going away ends the filter marking, as its opener expects.
  newestScreen().reset();
  if (listViewResult_) listViewResult_->stopLoading();
}

void JobSearchResultController::customView() {
  UIBasicController::customView();
  initNavBar();
  initListView();
  loadListView();
  initBottomToolBar();
  if (platform::classOf(*this) == platform::classFor<JobSearchResultController>())
    UITipsImageView::showImageOnceForever("@user_tips@tips-jobsearch-list-568h");
}

void JobSearchResultController::viewWillAppear(bool animated) {
  UIBasicController::viewWillAppear(animated);
  if (listViewResult_) listViewResult_->reloadData();
}

void JobSearchResultController::viewDidAppear(bool animated) {
  UIBasicController::viewDidAppear(animated);
  if (listViewResult_) listViewResult_->reloadData();
}

void JobSearchResultController::initNavBar() {
  std::weak_ptr<JobSearchResultController> weak = sharedAs<JobSearchResultController>();
  filterButton_ = barbutton::setCustomRightItem(AppCoreInfo::getLocalizedString("jobsearch_result_filter"),
                                                *this, [weak](platform::BarButtonItem&) {
                                                  if (auto self = weak.lock()) self->filterClicked();
                                                });
  filterButton_->setEnabled(false);
  navigationItem()->setTitleView(navTitleView_);
  showTitle(0);
}

void JobSearchResultController::initListView() {
  double width = platform::Screen::mainScreen().bounds().size.width;
  listViewResult_->setFrame(platform::Rect(0, 44, width, view()->bounds().size.height - 88));
  view()->addSubview(listViewResult_);
}

void JobSearchResultController::loadListView() {
  listDataSearchResult_->setMDataCellClass(platform::classFor<JobListSearchResultCell>());
  listDataSearchResult_->setMEmtpyCellClass(platform::classFor<JobSearchResultEmptyCell>());
  listDataSearchResult_->listData()->setItemUniqueKeyName("jobid");
  listViewResult_->addSectionWithData(listDataSearchResult_);
  listDataSearchResult_->loadData();
}

std::shared_ptr<UIKavroBarButton> JobSearchResultController::customBarButton(const std::string& title,
                                                                             std::function<void()> action) {
  auto item = UIKavroBarButton::barButtonWithFrame(platform::Rect(0, 0, 80, 44), title, std::move(action));
  item->setEnabled(false);
  return item;
}

void JobSearchResultController::initBottomToolBar() {
  std::weak_ptr<JobSearchResultController> weak = sharedAs<JobSearchResultController>();
  auto on = [weak](void (JobSearchResultController::*method)()) {
    return [weak, method] {
      if (auto self = weak.lock()) ((*self).*method)();
    };
  };
  auto favorite = customBarButton(AppCoreInfo::getLocalizedString("jobsearch_favorite_jobs"),
                                  on(&JobSearchResultController::addFavSelectedJobsClicked));
  auto apply = customBarButton(AppCoreInfo::getLocalizedString("jobsearch_apply_jobs"),
                               on(&JobSearchResultController::applySelectedJobsClicked));
  auto detail = customBarButton(AppCoreInfo::getLocalizedString("jobsearch_result_more_detail"),
                                on(&JobSearchResultController::detailClick));
  AppSkin::apply(favorite->customButton(), "jobsearch_result_bottom_favorite_button", "job_related");
  AppSkin::apply(apply->customButton(), "jobsearch_result_bottom_apply_button", "job_related");
  AppSkin::apply(detail->customButton(), "jobsearch_result_bottom_detail_button", "job_related");
  // The title goes under the icon that the skin gave.
  for (const auto& item : {favorite, apply, detail})
    if (auto button = item->customButton()) button::setTitleUnderIcon(*button);
  bottomToolBar_->setItems(
      {favorite, UIKavroBarButton::flexItem(), apply, UIKavroBarButton::flexItem(), detail});
  auto list = listViewResult_->frame();
  bottomToolBar_->setFrame(platform::Rect(0, list.origin.y + list.size.height, list.size.width, 44));
  AppSkin::apply(bottomToolBar_);
  view()->addSubview(bottomToolBar_);
}

std::shared_ptr<UIKavroBarButton> JobSearchResultController::toolbarButton(ToolbarItem index) const {
  const auto& items = bottomToolBar_->items();
  auto i = static_cast<std::size_t>(index);
  return i < items.size() ? std::dynamic_pointer_cast<UIKavroBarButton>(items[i]) : nullptr;
}

// --- Pages --------------------------------------------------------------------------------------

std::optional<std::shared_ptr<DataLoadAndParser>> JobSearchResultController::listViewData(
    ListViewData& section) {
  searchParam_->setPageAt(static_cast<std::int32_t>(section.pageAt()));
  searchParam_->setPageSize(static_cast<std::int32_t>(section.pageSize()));
  return ApiJob::search_job_list(*searchParam_, section.loaderDelegate());
}

bool JobSearchResultController::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  // A page that never arrived (network or parse failure) is the list's: its error row offers the
  // retry, and what was shown stays. A server's answer, its refusals included, is taken and filed.
  if (result.localError()) return false;
  auto info = result.detailInfo();
  enablelandmark_ = info->getBool("enablelandmarks");
  std::string suggestion = info->getString("searchsuggestions");

  section.listData()->appendItems(&result);
  std::int64_t count = section.listData()->maxCount();
  searchParam_->saveToSearchHistory(count);

  showTitle(count);

  buttonsStatesBySelectJobs(anyRowSelected());
  if (auto detail = toolbarButton(DetailItem)) detail->setEnabled(true);

  if (searchParam_->pageAt() == 1 && result.isValidListData() && !suggestion.empty())
    alert::showTips(suggestion, SuggestionTipSeconds);
  if (count == 0 && !result.hasError()) {
    if (!suggestion.empty()) suggestMessege_ = suggestion;
    if (auto detail = toolbarButton(DetailItem)) detail->setEnabled(false);
  }
  return true;
}

void JobSearchResultController::showTitle(std::int64_t count) {
  // The title view names the navigation item only while it writes, so neither keeps the other.
  navTitleView_->setNavItem(navigationItem());
  if (count > 0)
    navTitleView_->bothTitle(
        searchParam_->searchTitle(),
        platform::format(AppCoreInfo::getLocalizedString("jobsearch_subtitle_text"), count));
  else
    navTitleView_->onlyMainTitle(searchParam_->searchTitle());
  navTitleView_->setNavItem(nullptr);
}

bool JobSearchResultController::listViewSelectedIndexPath(ListView&, const platform::IndexPath& ip) {
  auto pageClass = detailPageClass();
  if (!pageClass || !pageClass->respondsToClassFunction(&PageClassFunctions::customPartViewWithDetail))
    return true;
  auto pager = PageTurnController::create(listDataSearchResult_, ip.row, pageClass);
  if (auto nav = navigationController()) nav->pushViewController(pager, true);
  AppTracking::record("TRACKING_JOBSEARCH_RESULTS_OPENJOBDETAIL");
  return true;
}

// --- Buttons ------------------------------------------------------------------------------------

bool JobSearchResultController::anyRowSelected() const {
  return listDataSearchResult_->listData()->countItemsWithBoolKey(DataItemDetail::keyTableCellIsSelected(),
                                                                  true) > 0;
}

void JobSearchResultController::buttonsStatesBySelectJobs(bool anySelected) {
  toolBarButtonStates(anySelected);
}

void JobSearchResultController::toolBarButtonStates(bool anySelected) {
  for (auto index : {FavoriteItem, ApplyItem})
    if (auto item = toolbarButton(index)) item->setEnabled(anySelected);
  fliterButtonState();
}

void JobSearchResultController::fliterButtonState() {
  if (!filterButton_) return;
  if (!searchParam_->enableFilters() && listDataSearchResult_->count() == 0)
    filterButton_->setEnabled(false);
  else
    filterButton_->setEnabled(!anyRowSelected());
}

void JobSearchResultController::onCheckBoxChanged() { buttonsStatesBySelectJobs(anyRowSelected()); }

void JobSearchResultController::detailClick() {
  showDetail_ = !showDetail_;
  if (auto item = toolbarButton(DetailItem)) {
    auto button = item->customButton();
    if (showDetail_) {
      AppSkin::apply(button, "jobsearch_result_bottom_list_button", "job_related");
      if (button) button->setTitle(AppCoreInfo::getLocalizedString("jobsearch_result_style_list"));
    } else {
      AppSkin::apply(button, "jobsearch_result_bottom_detail_button", "job_related");
      if (button) button->setTitle(AppCoreInfo::getLocalizedString("jobsearch_result_more_detail"));
    }
    if (button) button::setTitleUnderIcon(*button);
  }
  AppTracking::record(showDetail_ ? "TRACKING_JOBSEARCH_RESULTS_DETAIL" : "TRACKING_JOBSEARCH_RESULTS_LIST");
  listViewResult_->reloadData();
}

// --- Filters ------------------------------------------------------------------------------------

void JobSearchResultController::filterClicked() {
  auto filter = JobSearchFilterController::initWithParam(searchParam_);
  filter->setDelegate(sharedAs<JobSearchResultController>());
  filter->setEnablelandmarks(enablelandmark_);
  if (auto nav = navigationController()) nav->pushViewController(filter, true);
  AppTracking::record("TRACKING_JOBSEARCH_RESULTS_FILTER");
}

void JobSearchResultController::jobSearchFilterDone(JobSearchFilterController&) {
  listDataSearchResult_->refreshData();
}

void JobSearchResultController::change_filter_style() {
  if (auto screen = newestScreen().lock()) screen->change_style();
}

void JobSearchResultController::change_style() {
  if (!filterButton_) return;
  filterButton_->setTitle(AppCoreInfo::getLocalizedString("jobsearch_result_filter_success"));
  filterButton_->setStyle(platform::BarButtonItemStyle::Done);
}

// --- Apply and favorites ------------------------------------------------------------------------

void JobSearchResultController::applySelectedJobsClicked() {
  applySelectedJobs();
  AppTracking::record("TRACKING_JOBSEARCH_RESULTS_APPLY_JOBS");
}

void JobSearchResultController::applySelectedJobs() {
  if (!UserCoreInfo::hasLogined()) {
    UserLoginController::loginWithParent(sharedAs<JobSearchResultController>(), "applySelectedJobs");
    return;
  }
  if (!JobOperateUtil::getConfirmWhileApply()) {
    applyJobs();
    return;
  }
  auto confirm = std::make_shared<platform::AlertView>(
      AppCoreInfo::getLocalizedString("jobapply_show_tip_title"),
      AppCoreInfo::getLocalizedString("jobapply_show_tip_content"), sharedAs<JobSearchResultController>(),
      AppCoreInfo::getLocalizedString("common_text_cancel"),
      std::vector<std::string>{AppCoreInfo::getLocalizedString("jobapply_show_tip_apply")});
  confirm->setTag(ApplyAlertTag);
  confirm->show();
}

void JobSearchResultController::clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) {
  if (alert.tag() == ApplyAlertTag && buttonIndex == 1) applyJobs();
}

void JobSearchResultController::applyJobs() { operateOnTickedJobs(&JobOperateUtil::jobApply); }

void JobSearchResultController::operateOnTickedJobs(
    std::shared_ptr<JobOperateUtil> (*operation)(std::string_view, std::weak_ptr<JobOperateUtilDelegate>)) {
  std::string ids = listDataSearchResult_->listData()->getItemsIDWithBoolKey(
      DataItemDetail::keyTableCellIsSelected(), true);
  if (ids.empty()) {
    buttonsStatesBySelectJobs(false);
    return;
  }
  auto me = sharedAs<JobSearchResultController>();
  if (auto op = operation(ids, me)) op->setParentCtrl(me);
}

void JobSearchResultController::addFavSelectedJobsClicked() {
  addFavSelectedJobs();
  AppTracking::record("TRACKING_JOBSEARCH_RESULTS_FAVORITE_JOBS");
}

void JobSearchResultController::addFavSelectedJobs() {
  if (!UserCoreInfo::hasLogined()) {
    UserLoginController::loginWithParent(sharedAs<JobSearchResultController>(), "addFavSelectedJobs");
    return;
  }
  operateOnTickedJobs(&JobOperateUtil::jobAddToFavorites);
}

void JobSearchResultController::jobOperate(JobOperateUtil& util) {
  // A failed operation keeps the ticks for another try; its message was shown by the operation.
  if (util.operateResult() && util.operateResult()->hasError()) return;
  listDataSearchResult_->listData()->setAllItemsKeyWithBool(DataItemDetail::keyTableCellIsSelected(), false);
  listViewResult_->reloadData();
  buttonsStatesBySelectJobs(false);
}

}  // namespace kavro
