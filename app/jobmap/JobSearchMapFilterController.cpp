#include "app/jobmap/JobSearchMapFilterController.h"

#include <algorithm>
#include <array>

#include "app/jobsearch/JobSearchFilterCell.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
struct MapFilterRow {
  std::string_view title;
  std::int64_t tag;
  std::string_view tracking;
  DictType dictType;
};
constexpr std::array<MapFilterRow, JobSearchMapFilterController::MapRowCount> Rows{{
    {"searchfilter_work_year", 1, "TRACKING_JOBSEARCH_MAPSEARCHFILTERS_WORK_YEAR", DictType::WorkExperience},
    {"searchfilter_degree", 3, "TRACKING_JOBSEARCH_MAPSEARCHFILTERS_DEGREE", DictType::Education},
    {"searchfilter_salary", 4, "TRACKING_JOBSEARCH_MAPSEARCHFILTERS_SALARY", DictType::SalaryRange},
    {"searchfilter_company_scale", 5, "TRACKING_JOBSEARCH_SEARCHFILTERS_COMPANY_SCALE",
     DictType::CompanySize},
    {"searchfilter_company_type", 6, "TRACKING_JOBSEARCH_MAPSEARCH_CO_TYPE", DictType::CompanyType},
    {"searchfilter_term", 7, "TRACKING_JOBSEARCH_MAPSEARCHFILTERS_TERM", DictType::JobTerm},
}};

// The codes and texts of the six filters, as they stand (no "no limit" text put in).
void copyFilters(const JobSearchParam& from, JobSearchParam& to) {
  auto d = from.toDetail();
  to.setWorkyear(d->getString("workyear")), to.setText_workyear(d->getString("text_workyear"));
  to.setDegree(d->getString("degree")), to.setText_degree(d->getString("text_degree"));
  to.setSalary(d->getString("salary")), to.setText_salary(d->getString("text_salary"));
  to.setTerm(d->getString("term")), to.setText_term(d->getString("text_term"));
  to.setCotype(d->getString("cotype")), to.setText_cotype(d->getString("text_cotype"));
  to.setCosize(d->getString("cosize")), to.setText_cosize(d->getString("text_cosize"));
}
}  // namespace

std::shared_ptr<JobSearchMapFilterController> JobSearchMapFilterController::initWithParam(
    std::shared_ptr<MapQueryParam> param) {
  auto screen = JobSearchFilterController::initWithParam<JobSearchMapFilterController>(param);
  screen->mapQueryTempParam_ = MapQueryParam::create();
  copyFilters(*param, *screen->mapQueryTempParam_);
  return screen;
}

void JobSearchMapFilterController::loadListView() {
  listViewData_ = ListViewData::newData();
  listViewData_->setMDataCellClass(platform::classFor<JobSearchFilterCell>());
  for (const auto& row : Rows)
    listViewData_->listData()->addItem(
        rowDataWithTitle(AppCoreInfo::getLocalizedString(row.title), "", row.tag));
  listView_->addSectionWithData(listViewData_);
  refreshList();
}

void JobSearchMapFilterController::refreshList() {
  if (!listViewData_) return;
  const auto& q = *mapQueryTempParam_;
  const std::array<std::string, MapRowCount> values{q.getText_workyear(), q.getText_degree(),
                                                    q.getText_salary(),   q.getText_cosize(),
                                                    q.getText_cotype(),   q.getText_term()};
  const auto& rows = listViewData_->listData()->dataList();
  for (std::size_t i = 0; i < rows.size() && i < values.size(); ++i) rows[i]->setItemValue(values[i]);
  listView_->reloadData();
}

bool JobSearchMapFilterController::listViewSelectedIndexPath(ListView&, const platform::IndexPath& ip) {
  if (ip.row < 0 || ip.row >= MapRowCount) return true;
  const auto& row = Rows[static_cast<std::size_t>(ip.row)];
  AppTracking::record(row.tracking);
  DictPickerController::pickerWidthType(row.dictType, sharedAs<JobSearchMapFilterController>());
  return true;
}

void JobSearchMapFilterController::dictPicker(DictPickerController& picker,
                                              const std::shared_ptr<DataItemDetail>& data) {
  auto type = picker.dictType();
  bool ours =
      std::any_of(Rows.begin(), Rows.end(), [type](const MapFilterRow& r) { return r.dictType == type; });
  if (!ours) return;
  MapQueryParam::takeDictPick(*mapQueryTempParam_, type, data ? data->getDictCode() : std::string(),
                              data ? data->getDictValue() : std::string());
  refreshList();
}

void JobSearchMapFilterController::saveFromData() {
  copyFilters(*mapQueryTempParam_, *curParam_);
  curParam_->saveFormData();
}

void JobSearchMapFilterController::filterDone() {
  auto keep = sharedAs<JobSearchMapFilterController>();
  saveFromData();
  if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
  if (auto d = delegate_.lock()) d->jobSearchFilterDone(*this);
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCHFILTERS_DONE");
}

}  // namespace kavro
