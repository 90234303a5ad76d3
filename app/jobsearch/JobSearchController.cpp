#include "app/jobsearch/JobSearchController.h"

#include "app/jobsearch/EmptyTipsCell.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/jobsearch/JobSearchResultController.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StringMisc.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/MultiDictPickController.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/TitleValueCell.h"
#include "kit/ui/UIKavroBarButton.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
using screen::screenWidth;

std::shared_ptr<DataItemDetail> conditionRow(std::string_view title) {
  auto row = DataItemDetail::newDetail();
  row->setItemTitle(title);
  row->setTitleSkin("@job_related@jobsearch_param_title");
  row->setValueSkin("@job_related@jobsearch_param_value");
  row->setCellAccessoryType(1);
  return row;
}

std::shared_ptr<JobSearchController> screenOf(ListView& list) {
  return std::dynamic_pointer_cast<JobSearchController>(list.ctrl());
}

// The map search of the user's map type, as the program provides it (empty when it has none).
const std::function<std::shared_ptr<platform::ViewController>()>& mapSearchMaker() {
  const auto& screens = FeatureScreens::shared();
  return UserCoreInfo::sharedUserCoreInfo().appMapType() == UserCoreInfo::MapTypeGeoMap
             ? screens.newGeoMapSearch
             : screens.newPlatformMapSearch;
}
}  // namespace

std::shared_ptr<JobSearchController> JobSearchController::create() {
  return initWithPostchannel<JobSearchController>(JobSearchParam::OrdinaryChannel);
}

void JobSearchController::setupWithPostchannel(std::string_view channel) {
  queryParam_ = JobSearchParam::create();
  queryParam_->setPostchannel(channel);
  queryParam_->restoreFormData();
  initJobAreaData();
  initIndTypeData();
  initFuncTypeData();
  initIssueDateData();
}

void JobSearchController::initJobAreaData() {
  jobareaData_ = conditionRow(AppCoreInfo::getLocalizedString("jobsearch_work_area"));
  jobareaData_->setItemValue(queryParam_->getText_jobarea());
}
void JobSearchController::initIndTypeData() {
  indtypeData_ = conditionRow(AppCoreInfo::getLocalizedString("jobsearch_industry_type"));
  indtypeData_->setItemValue(queryParam_->getText_indtype());
}
void JobSearchController::initFuncTypeData() {
  functypeData_ = conditionRow(AppCoreInfo::getLocalizedString("jobsearch_job_type"));
  functypeData_->setItemValue(queryParam_->getText_functype());
}
void JobSearchController::initIssueDateData() {
  issueDate_ = conditionRow(AppCoreInfo::getLocalizedString("jobsearch_issue_date"));
  issueDate_->setItemValue(queryParam_->getText_issuedate());
}

void JobSearchController::customView() {
  UIBasicController::customView();
  setTitle(AppCoreInfo::getLocalizedString("jobsearch_title"));
  auto me = sharedAs<JobSearchController>();
  double width = screenWidth();
  double height = view()->bounds().size.height;

  associateView_ =
      KeyAssociateJobSearch::initWithFrame(platform::Rect(0, 88, width, height - 44), queryParam_);
  associateView_->setDelegate(me);

  searchBar_ = UIKavroSearchBar::barWithCtrl(me, platform::Rect(0, 44, width, 44), associateView_);
  searchBar_->setPlaceholder(AppCoreInfo::getLocalizedString("common_text_input_keyword"));
  setBarText(queryParam_->keywords());
  view()->addSubview(searchBar_);

  listSearch_ = ListView::groupedListViewForDelegate(me);
  listSearch_->setFrame(platform::Rect(0, 88, width, height - 88));
  auto conditions = ListViewData::newDataOnListView(*listSearch_, platform::classFor<TitleValueCell>());
  conditions->setTag(ConditionsTag);
  conditions->setMFooterViewClass(platform::classFor<JobSearchController>());
  conditions->setShowFooter(true);
  for (const auto& row : {jobareaData_, indtypeData_, functypeData_, issueDate_})
    conditions->listData()->addItem(row);
  addSearchHistoryRecordsSection();
  view()->addSubview(listSearch_);

  // The map search joins the form once the program has one.
  if (mapSearchMaker()) {
    std::weak_ptr<JobSearchController> weak = me;
    mapButton_ = platform::Button::buttonWithType(platform::ButtonType::Custom, platform::Rect(0, 0, 60, 30));
    mapButton_->setTitle(AppCoreInfo::getLocalizedString("jobmap_mapsearch"));
    AppSkin::apply(mapButton_, "nav_myfav_button", "campus");
    mapButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
      if (auto self = weak.lock()) self->mapSearch();
    });
    navigationItem()->setRightBarButtonItem(UIKavroBarButton::itemWithView(mapButton_));
  }
}

void JobSearchController::addSearchHistoryRecordsSection() {
  historySection_ = ListViewData::newDataOnListView(*listSearch_, platform::classFor<TitleValueCell>());
  historySection_->setTag(HistoryTag);
  historySection_->setMHeaderViewClass(platform::classFor<JobSearchController>());
  historySection_->setMFooterViewClass(platform::classFor<JobSearchController>());
  historySection_->setShowHeader(true);
  updateSearchHistoryRecords();
}

void JobSearchController::changeSkin() {
  UIBasicController::changeSkin();
  if (associateView_) associateView_->changeSkin();
  if (searchBar_) AppSkin::apply(searchBar_);
}

void JobSearchController::viewWillAppear(bool animated) {
  alert::hiddenTips();
  UIBasicController::viewWillAppear(animated);
  updateSearchHistoryRecords();
  refreshList();
}

void JobSearchController::refreshList() {
  jobareaData_->setItemValue(queryParam_->getText_jobarea());
  indtypeData_->setItemValue(queryParam_->getText_indtype());
  functypeData_->setItemValue(queryParam_->getText_functype());
  issueDate_->setItemValue(queryParam_->getText_issuedate());
  if (listSearch_) listSearch_->reloadData();
}

void JobSearchController::updateSearchHistoryRecords() {
  if (!historySection_) return;
  auto history = queryParam_->getSearchHistory();
  auto first = history->getItem(0);
  historySection_->setShowFooter(first && !first->getTableCellIsEmpty());
  auto& rows = *historySection_->listData();
  rows.clear();
  for (const auto& row : history->dataList()) rows.addItem(row);
  listSearch_->reloadData();
}

void JobSearchController::setBarText(const std::string& text) {
  settingBarText_ = true;
  searchBar_->setText(text);
  settingBarText_ = false;
}

// --- Searching ----------------------------------------------------------------------------------

void JobSearchController::doSearch() {
  std::string typed = searchBar_ ? searchBar_->text() : queryParam_->keywords();
  queryParam_->setKeywords(typed);
  if (queryParam_->countMajorTerms() < 1) {
    alert::showAlert(AppCoreInfo::getLocalizedString("jobsearch_too_less_terms"));
    return;
  }
  queryParam_->setEnableFilters(false);
  queryParam_->saveFormData();
  if (auto nav = navigationController())
    nav->pushViewController(JobSearchResultController::initWithParam(queryParam_), true);
}

void JobSearchController::searchButtonClick() {
  AppTracking::record("TRACKING_JOBSEARCH_HOMEPAGE_SEARCHBUTTON");
  doSearch();
}

void JobSearchController::mapSearch() {
  AppTracking::record("TRACKING_JOBSEARCH_HOMEPAGE_MAPSEARCH");
  const auto& make = mapSearchMaker();
  auto map = make ? make() : nullptr;
  if (!map) return;
  if (auto nav = navigationController()) nav->pushViewController(map, true);
}

// --- The form -----------------------------------------------------------------------------------

bool JobSearchController::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto section = list.dataOfSection(ip.section);
  auto record = list.dataOfIndexPath(ip);
  if (!section || !record || record->getTableCellIsEmpty()) return true;
  auto me = sharedAs<JobSearchController>();
  if (section->tag() == ConditionsTag) {
    if (record == jobareaData_) {
      DictPickerController::pickerWidthType(DictType::JobArea, me);
      AppTracking::record("TRACKING_JOBSEARCH_HOMEPAGE_AREA");
    } else if (record == indtypeData_ || record == functypeData_) {
      bool industry = record == indtypeData_;
      auto seed = DataItemDetail::newDetail();
      seed->setDictCode(industry ? queryParam_->indtype() : queryParam_->functype());
      seed->setDictValue(industry ? queryParam_->getText_indtype() : queryParam_->getText_functype());
      MultiDictPickController::pickerWidthType(industry ? DictType::Industry : DictType::JobFunction, seed,
                                               me);
      AppTracking::record(industry ? "TRACKING_JOBSEARCH_HOMEPAGE_INDUSTRY_TYPE"
                                   : "TRACKING_JOBSEARCH_HOMEPAGE_JOB_TYPE");
    } else if (record == issueDate_) {
      DictPickerController::pickerWidthType(DictType::PublicationDate, me);
    }
    return true;
  }
  if (section->tag() == HistoryTag) {
    queryParam_->fromDetail(record.get());
    setBarText(queryParam_->keywords());
    if (associateView_) associateView_->showKeywordType(queryParam_->keywordtype());
    doSearch();
    refreshList();
    AppTracking::record("TRACKING_JOBSEARCH_HOMEPAGE_RECENT");
  }
  return true;
}

void JobSearchController::dictPicker(DictPickerController& picker,
                                     const std::shared_ptr<DataItemDetail>& data) {
  std::string code = data ? data->getDictCode() : std::string();
  std::string value = data ? data->getDictValue() : std::string();
  switch (picker.dictType()) {
    case DictType::JobArea:
      queryParam_->setJobarea(code);
      queryParam_->setText_jobarea(value);
      // A landmark belongs to the area it was picked in.
      queryParam_->setLandmark("");
      queryParam_->setText_landmark("");
      break;
    case DictType::JobFunction:
      queryParam_->setFunctype(code);
      queryParam_->setText_functype(value);
      break;
    case DictType::Industry:
      queryParam_->setIndtype(code);
      queryParam_->setText_indtype(value);
      break;
    case DictType::PublicationDate:
      queryParam_->setIssuedate(code);
      queryParam_->setText_issuedate(value);
      break;
    default:
      break;
  }
  queryParam_->saveFormData();
  refreshList();
}

std::shared_ptr<platform::View> JobSearchController::viewForHeaderInSection(ListView&, int) {
  auto header = std::make_shared<platform::View>(platform::Rect(0, 0, screenWidth(), 40));
  auto caption = std::make_shared<platform::ImageView>(platform::Rect(30, 14, 133, 23));
  AppSkin::apply(caption, "jobsearch_history_title", "job_related");
  header->addSubview(caption);
  return header;
}

std::shared_ptr<platform::View> JobSearchController::viewForFooterInSection(ListView& list, int index) {
  double width = screenWidth();
  auto footer = std::make_shared<platform::View>(platform::Rect(0, 0, width, 50));
  auto section = list.dataOfSection(index);
  std::weak_ptr<JobSearchController> weak = screenOf(list);
  if (index == 0) {
    auto search = platform::Button::buttonWithType(platform::ButtonType::Custom,
                                                   platform::Rect(10, 10, width - 20, 44));
    search->setTitle(AppCoreInfo::getLocalizedString("jobsearch_search"));
    AppSkin::apply(search);
    search->addTarget(footer.get(), platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
      if (auto self = weak.lock()) self->searchButtonClick();
    });
    footer->addSubview(search);
  } else if (index == 1) {
    auto first = section ? section->listData()->getItem(0) : nullptr;
    if (!first || first->getTableCellIsEmpty()) {
      footer->setFrame(platform::Rect(0, 0, width, 0));
      return footer;
    }
    auto clear =
        platform::Button::buttonWithType(platform::ButtonType::Custom, platform::Rect(0, 0, width, 50));
    clear->setTitle(AppCoreInfo::getLocalizedString("job_associate_clear"));
    AppSkin::apply(clear, "jobsearch_close_button", "job_related");
    clear->addTarget(footer.get(), platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
      if (auto self = weak.lock()) self->makeSureToClearHistory();
    });
    footer->addSubview(clear);
  }
  return footer;
}

void JobSearchController::makeSureToClearHistory() {
  KeyAssociateJobSearch::clearHistorySheet(sharedAs<JobSearchController>())->showInView(*view());
}

void JobSearchController::clickedButtonAtIndex(platform::ActionSheet&, int buttonIndex) {
  if (buttonIndex != 0) return;
  queryParam_->removeSearchHistory();
  updateSearchHistoryRecords();
  AppTracking::record("TRACKING_JOBSEARCH_HOMEPAGE_CLEAR_HISTORY");
}

// --- Search bar and drop-down -------------------------------------------------------------------

void JobSearchController::enableCancelButton() {
  if (!searchBar_) return;
  for (const auto& sub : searchBar_->subviews())
    if (auto button = std::dynamic_pointer_cast<platform::Button>(sub)) button->setEnabled(true);
}

void JobSearchController::searchBarClickBegin(UIKavroSearchBar& bar) {
  AppTracking::record("TRACKING_JOBSEARCH_HOMEPAGE_SEARCH");
  if (associateView_) associateView_->changeKeywords(str::trim(bar.text()));
}

void JobSearchController::searchBarTextDidChange(UIKavroSearchBar&, std::string_view text) {
  if (settingBarText_ || !associateView_) return;
  associateView_->changeKeywords(std::string(text));
}

void JobSearchController::searchBarClickDone(UIKavroSearchBar& bar) {
  AppTracking::record("TRACKING_JOBSEARCH_PROMPT_SEARCH");
  queryParam_->setKeywords(str::trim(bar.text()));
  doSearch();
}

void JobSearchController::searchBarClickCancel(UIKavroSearchBar&) {
  AppTracking::record("TRACKING_JOBSEARCH_PROMPT_CANCEL");
}

void JobSearchController::associateViewPicked(UIKeywordsAssociateView&, const DataItemDetail& picked) {
  std::string keyword = picked.getString("keyword");
  setBarText(keyword);
  queryParam_->setKeywords(keyword);
  searchBar_->callSearchBarEndEditing();
  doSearch();
}

void JobSearchController::onFocusAssociateView(UIKeywordsAssociateView&) {
  searchBar_->resignFirstResponder();
  enableCancelButton();
}

void JobSearchController::onCloseAssociateView(UIKeywordsAssociateView&) {
  searchBar_->resignFirstResponder();
  searchBar_->callSearchBarEndEditing();
}

}  // namespace kavro
