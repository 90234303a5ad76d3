#include "app/jobsearch/CompanyAllJobsController.h"

#include "app/api/ApiJob.h"
#include "app/community/FansEmptyCell.h"
#include "app/jobsearch/AreaPickerController.h"
#include "app/jobsearch/JobDetailView.h"
#include "app/jobsearch/JobListCoAllJobsCell.h"
#include "app/jobsearch/JobText.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/PageTurnController.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
using jobtext::text;
}  // namespace

std::shared_ptr<CompanyAllJobsController> CompanyAllJobsController::companyJobsWithParent(
    const std::shared_ptr<platform::ViewController>& parent, std::string_view coid,
    std::string_view companyName) {
  auto screen = create<CompanyAllJobsController>();
  screen->setIdForAllJobs(coid);
  screen->setTitleCompanyName(companyName);
  if (parent) screen->ShowUIBasicController(parent);
  return screen;
}

void CompanyAllJobsController::init() {
  UIBasicController::init();
  titleView_ = UIKavroTitleView::create();
  listViewAllJobs_ = ListView::create(false);
  listViewAllJobs_->setSeparatorStyle(platform::TableViewCellSeparatorStyle::None);
}

std::string CompanyAllJobsController::listTitle() const { return text("coalljobs_list_title"); }

std::string CompanyAllJobsController::baseTitle() const {
  if (platform::utf16Length(titleCompanyName_) >= 2)
    return platform::format("%@%@", titleCompanyName_, text("fans_company_all_jobs"));
  return listTitle();
}

void CompanyAllJobsController::customView() {
  UIBasicController::customView();
  showTitle(baseTitle());
  navigationItem()->setTitleView(titleView_);
  auto weak = weakAs<CompanyAllJobsController>();
  barbutton::setCustomRightBorderedItem(text("jobsearch_result_filter"), *this,
                                        [weak](platform::BarButtonItem& b) {
                                          if (auto self = weak.lock()) self->filterJob(b);
                                        });
  setFilterEnabled(false);

  platform::Rect bounds = view()->bounds();
  listViewAllJobs_->setFrame(platform::Rect(0, 44, bounds.width(), bounds.height() - 44));
  listViewAllJobs_->setCtrl(weakAs<CompanyAllJobsController>());
  view()->addSubview(listViewAllJobs_);
  auto section =
      ListViewData::newDataOnListView(*listViewAllJobs_, platform::classFor<JobListCoAllJobsCell>());
  prepareSection(*section);
  section->loadData();
}

void CompanyAllJobsController::showTitle(const std::string& title, const std::string& subtitle) {
  // The item's own title as well, for whoever reads the bar; the title view does not hold the
  // item (that would keep both alive).
  setTitle(title);
  if (subtitle.empty())
    titleView_->onlyMainTitle(title);
  else
    titleView_->bothTitle(title, subtitle);
}

void CompanyAllJobsController::prepareSection(ListViewData& section) {
  titleView_->setTitleViewMaxWidth(175);
  section.setMEmtpyCellClass(platform::classFor<FansEmptyCell>());
}

void CompanyAllJobsController::viewWillAppear(bool animated) {
  UIBasicController::viewWillAppear(animated);
  // Read marks set on the detail pages show on return.
  listViewAllJobs_->reloadData();
}

void CompanyAllJobsController::setFilterEnabled(bool enabled) {
  if (auto& item = navigationItem()->rightBarButtonItem()) item->setEnabled(enabled);
}

std::shared_ptr<DataLoadAndParser> CompanyAllJobsController::loadPage(ListViewData& section) {
  return ApiJob::get_co_alljob(areaCode(), idForAllJobs_, static_cast<std::int32_t>(section.pageAt()),
                               static_cast<std::int32_t>(section.pageSize()), section.loaderDelegate());
}

std::optional<std::shared_ptr<DataLoadAndParser>> CompanyAllJobsController::listViewData(
    ListViewData& section) {
  return loadPage(section);
}

bool CompanyAllJobsController::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  bool valid = result.isValidListData();
  setFilterEnabled(valid);
  auto& rows = *section.listData();
  if (valid) {
    listViewAllJobs_->setSeparatorStyle(platform::TableViewCellSeparatorStyle::SingleLine);
    rows.setMaxCount(std::max<std::uint32_t>(result.maxCount(), static_cast<std::uint32_t>(rows.count())));
    rows.appendItems(&result);
    std::string title = baseTitle();
    if (!areaCode().empty() && jobareaDetail_)
      title = platform::format("%@ %@", jobareaDetail_->getDictValue(), listTitle());
    showTitle(title, platform::format(text("common_text_total_num_format__int"),
                                      static_cast<std::int64_t>(result.maxCount())));
  } else {
    showTitle(baseTitle());
    if (!result.hasError()) FansEmptyCell::setEmptyCellShowStr(section, text("fans_cell_empty_company_jobs"));
  }
  rows.setAllItemsKeyWithBool(DataItemDetail::keyNeedShowCompanyInfo(), rowsShowCompany());
  return true;
}

bool CompanyAllJobsController::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto section = list.dataOfSection(ip.section);
  if (!section || ip.row < 0 || static_cast<std::size_t>(ip.row) >= section->count()) return true;
  auto pager = PageTurnController::create(section, ip.row, platform::classFor<JobDetailView>());
  if (auto nav = navigationController()) nav->pushViewController(pager, true);
  AppTracking::record(openDetailTrackingPoint());
  return true;
}

void CompanyAllJobsController::filterJob(platform::Object&) { openAreaPicker(); }

void CompanyAllJobsController::openAreaPicker() {
  AreaPickerController::areaPickerController(idForAllJobs_, weakAs<CompanyAllJobsController>());
  AppTracking::record("TRACKING_JOBSEARCH_OTHER_FILTER");
}

bool CompanyAllJobsController::finishPicker(PickerController&, const std::shared_ptr<DataItemDetail>& data) {
  jobareaDetail_ = data;
  listViewAllJobs_->setContentInset(platform::EdgeInsets{0, 0, 0, 0});
  listViewAllJobs_->setContentOffset(platform::Point{0, 0}, false);
  std::weak_ptr<CompanyAllJobsController> weak = weakAs<CompanyAllJobsController>();
  platform::RunLoop::main().performAfter(0.1, this, [weak] {
    if (auto self = weak.lock())
      if (auto section = self->listViewAllJobs_->dataOfSection(0)) section->refreshData();
  });
  return true;
}

void CompanyAllJobsController::backToParent() { vc::closeViewController(*this); }

}  // namespace kavro
