#include "app/jobsearch/JobSearchFilterController.h"

#include <array>

#include "app/jobsearch/JobSearchFilterCell.h"
#include "app/jobsearch/JobSearchResultController.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/UITipsImageView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

namespace kavro {

namespace {
// Per row: the dictionary of its picker and its tracking point.
struct FilterRow {
  DictType dictType;
  std::string_view tracking;
};
constexpr std::array<FilterRow, JobSearchFilterController::RowCount> Rows{{
    {DictType::Landmark, "TRACKING_JOBSEARCH_SEARCHFILTERS_LANDMARK"},
    {DictType::WorkExperience, "TRACKING_JOBSEARCH_SEARCHFILTERS_WORK_YEAR"},
    {DictType::PublicationDate, "TRACKING_JOBSEARCH_SEARCHFILTERS_ISSUEDATE"},
    {DictType::Education, "TRACKING_JOBSEARCH_SEARCHFILTERS_DEGREE"},
    {DictType::SalaryRange, "TRACKING_JOBSEARCH_SEARCHFILTERS_SALARY"},
    {DictType::CompanySize, "TRACKING_JOBSEARCH_SEARCHFILTERS_COMPANY_SCALE"},
    {DictType::CompanyType, ""},
    {DictType::JobTerm, "TRACKING_JOBSEARCH_SEARCHFILTERS_TERM"},
}};
}  // namespace

std::shared_ptr<JobSearchFilterController> JobSearchFilterController::initWithParam(
    std::shared_ptr<JobSearchParam> param) {
  return initWithParam<JobSearchFilterController>(std::move(param));
}

void JobSearchFilterController::customView() {
  UIBasicController::customView();
  initNavBar();
  initListView();
  loadListView();
  if (platform::classOf(*this) == platform::classFor<JobSearchFilterController>())
    UITipsImageView::showImageOnceForever("@user_tips@tips-jobsearch-filter-568h");
}

void JobSearchFilterController::initNavBar() {
  setTitle(AppCoreInfo::getLocalizedString("searchfilter_title"));
  std::weak_ptr<JobSearchFilterController> weak = sharedAs<JobSearchFilterController>();
  // The platform's own "done" item speaks the platform's language; ours comes from the tables.
  navigationItem()->setRightBarButtonItem(std::make_shared<platform::BarButtonItem>(
      AppCoreInfo::getLocalizedString("common_text_done"), platform::BarButtonItemStyle::Done,
      [weak](platform::BarButtonItem&) {
        if (auto self = weak.lock()) self->filterDone();
      }));
}

void JobSearchFilterController::initListView() {
  double width = platform::Screen::mainScreen().bounds().size.width;
  listView_ = ListView::groupedListViewForDelegate(sharedAs<JobSearchFilterController>());
  listView_->setFrame(platform::Rect(0, 44, width, view()->bounds().size.height - 44));
  view()->addSubview(listView_);
}

std::vector<std::string> JobSearchFilterController::rowValues() const {
  const auto& q = *curParam_;
  return {q.getText_landmark(), q.getText_workyear(), q.getText_issuedate(), q.getText_degree(),
          q.getText_salary(),   q.getText_cosize(),   q.getText_cotype(),    q.getText_term()};
}

void JobSearchFilterController::loadListView() {
  listViewData_ = ListViewData::newData();
  listViewData_->setMDataCellClass(platform::classFor<JobSearchFilterCell>());
  const std::array<std::string, RowCount> titles{
      AppCoreInfo::getLocalizedString("searchfilter_place"),
      AppCoreInfo::getLocalizedString("searchfilter_work_year"),
      AppCoreInfo::getLocalizedString("searchfilter_issuedate"),
      AppCoreInfo::getLocalizedString("searchfilter_degree"),
      AppCoreInfo::getLocalizedString("searchfilter_salary"),
      AppCoreInfo::getLocalizedString("searchfilter_company_scale"),
      AppCoreInfo::getLocalizedString("searchfilter_company_type"),
      AppCoreInfo::getLocalizedString("searchfilter_term"),
  };
  auto values = rowValues();
  for (int i = 0; i < RowCount; ++i)
    listViewData_->listData()->addItem(rowDataWithTitle(titles[i], values[i], i));
  listView_->addSectionWithData(listViewData_);
  listView_->reloadData();
}

std::shared_ptr<DataItemDetail> JobSearchFilterController::rowDataWithTitle(std::string_view title,
                                                                            std::string_view value,
                                                                            std::int64_t cellTag) {
  auto row = DataItemDetail::newDetail();
  row->setItemTitle(title);
  row->setItemValue(value);
  row->setTableCellTag(cellTag);
  return row;
}

void JobSearchFilterController::refreshList() {
  if (!listViewData_) return;
  auto values = rowValues();
  const auto& rows = listViewData_->listData()->dataList();
  for (std::size_t i = 0; i < rows.size() && i < values.size(); ++i) rows[i]->setItemValue(values[i]);
  listView_->reloadData();
}

bool JobSearchFilterController::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto me = sharedAs<JobSearchFilterController>();
  int row = std::min(ip.row, RowCount - 1);
  if (row == 0) {
    AppTracking::record(Rows[0].tracking);
    if (!enablelandmarks_) {
      alert::showTipsAutoHidden(AppCoreInfo::getLocalizedString("searchfilter_not_landmark"));
      return true;
    }
    auto area = DataItemDetail::newDetail();
    area->setDictCode(curParam_->getJobArea());
    area->setDictValue(curParam_->getText_jobarea());
    DictPickerController::pickerWidthType(Rows[0].dictType, area, me);
    return true;
  }
  AppTracking::record(Rows[static_cast<std::size_t>(row)].tracking);
  DictPickerController::pickerWidthType(Rows[static_cast<std::size_t>(row)].dictType, me);
  return true;
}

void JobSearchFilterController::dictPicker(DictPickerController& picker,
                                           const std::shared_ptr<DataItemDetail>& data) {
  std::string code = data ? data->getDictCode() : std::string();
  std::string value = data ? data->getDictValue() : std::string();
  auto& q = *curParam_;
  switch (picker.dictType()) {
    case DictType::PublicationDate:
      q.setIssuedate(code), q.setText_issuedate(value);
      break;
    case DictType::SalaryRange:
      q.setSalary(code), q.setText_salary(value);
      break;
    case DictType::Education:
      q.setDegree(code), q.setText_degree(value);
      break;
    case DictType::JobTerm:
      q.setTerm(code), q.setText_term(value);
      break;
    case DictType::WorkExperience:
      q.setWorkyear(code), q.setText_workyear(value);
      break;
    case DictType::CompanyType:
      q.setCotype(code), q.setText_cotype(value);
      break;
    case DictType::Landmark:
      q.setLandmark(code), q.setText_landmark(value);
      break;
    case DictType::CompanySize:
      q.setCosize(code), q.setText_cosize(value);
      break;
    default:
      break;
  }
  q.saveFormData();
  refreshList();
}

void JobSearchFilterController::filterDone() {
  auto keep = sharedAs<JobSearchFilterController>();
  curParam_->setEnableFilters(true);
  JobSearchResultController::change_filter_style();
  if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
  if (auto d = delegate_.lock()) d->jobSearchFilterDone(*this);
  AppTracking::record("TRACKING_JOBSEARCH_SEARCHFILTERS_DONE");
}

}  // namespace kavro
