#include "app/jobsearch/CompanyDetailController.h"

#include "app/api/ApiJob.h"
#include "app/community/FansCompanyHomeController.h"
#include "app/community/ViewControllerFans.h"
#include "app/jobsearch/CompanyAllJobsController.h"
#include "app/jobsearch/CompanyDetailHeaderView.h"
#include "app/jobsearch/JobDetailCellUtil.h"
#include "app/jobsearch/JobText.h"
#include "app/jobsearch/ShortTitleValueCell.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataKavroDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
using jobtext::text;
}  // namespace

std::shared_ptr<CompanyDetailController> CompanyDetailController::companyWithParent(
    const std::shared_ptr<platform::ViewController>& parent, std::string_view coid) {
  auto screen = create<CompanyDetailController>();
  screen->setCoid(coid);
  if (parent) screen->ShowUIBasicController(parent);
  return screen;
}

void CompanyDetailController::init() {
  UIBasicController::init();
  listViewCoDetail_ = ListView::create(true);
}

void CompanyDetailController::customView() {
  UIBasicController::customView();
  setTitle(text("codetail_title"));
  auto weak = weakAs<CompanyDetailController>();
  fans::bindFansNewTopicItem(*this, [weak] {
    if (auto self = weak.lock()) self->createNews(*self);
  });
  setBarButtonEnabled(false);

  platform::Rect bounds = view()->bounds();
  listViewCoDetail_->setFrame(platform::Rect(0, 44, bounds.width(), bounds.height() - 44));
  listViewCoDetail_->setCtrl(weakAs<CompanyDetailController>());
  view()->addSubview(listViewCoDetail_);
  loadListView();
}

void CompanyDetailController::setBarButtonEnabled(bool enabled) {
  if (auto& item = navigationItem()->rightBarButtonItem()) item->setEnabled(enabled);
}

void CompanyDetailController::loadListView() {
  auto section =
      ListViewData::newDataOnListView(*listViewCoDetail_, platform::classFor<ShortTitleValueCell>());
  auto cache = AppCoreInfo::getCacheDB();
  std::shared_ptr<DataItemResult> cached;
  if (cache) {
    cache->clearItemsDataType(STORE_CACHE_COMPANY_DETAIL, "", CacheLifetimeSeconds);
    cached = cache->getItemsCache(STORE_CACHE_COMPANY_DETAIL, coid_);
  }
  if (cached && cached->isValidDetailData()) {
    section->setListViewDataStatus(ListViewDataStatus::Loaded);
    listData(*section, *cached);
    return;
  }
  section->loadData();
}

std::optional<std::shared_ptr<DataLoadAndParser>> CompanyDetailController::listViewData(
    ListViewData& section) {
  return ApiJob::get_co_info(coid_, section.loaderDelegate());
}

bool CompanyDetailController::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  setBarButtonEnabled(!result.hasError());
  if (result.isValidDetailData()) {
    listData(section, result);
    return true;
  }
  return false;
}

void CompanyDetailController::listData(ListViewData& section, const DataItemResult& result) {
  setBarButtonEnabled(!result.hasError());
  auto answer = DataItemResult::create();
  answer->appendItems(&result);
  if (auto cache = AppCoreInfo::getCacheDB())
    cache->saveItemsCache(STORE_CACHE_COMPANY_DETAIL, coid_, *answer);
  companyDetail_ = answer->detailInfo();
  const auto& co = *companyDetail_;

  JobDetailCellUtil::addTitleRow(section, text("codetail_title_all_jobs"), TagAllJobs);
  auto info = ListViewData::newDataOnListView(*listViewCoDetail_, platform::classFor<ShortTitleValueCell>());
  JobDetailCellUtil::addTwoColumnRow(*info, text("codetail_title_cotype"), co.get_cotype(),
                                     text("codetail_title_cosize"), co.get_cosize(), TagTypeAndSize);
  JobDetailCellUtil::addNormalRow(*info, text("codetail_title_coindustry"), co.get_indtype(), TagIndustry);
  JobDetailCellUtil::addAddressRow(*info, text("codetail_title_coaddress"), co.get_caddr(), TagAddress);
  JobDetailCellUtil::addDescriptionRow(*info, text("codetail_title_coinfo"), co.get_coinfo(), TagInfo);
  listViewCoDetail_->setTableHeaderView(
      CompanyDetailHeaderView::viewForCoid(coid_, co.get_coname(), weakAs<CompanyDetailController>()));
  listViewCoDetail_->reloadData();
}

bool CompanyDetailController::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  switch (list.tagOfIndexPath(ip)) {
    case TagAllJobs: {
      auto screen = create<CompanyAllJobsController>();
      screen->setIdForAllJobs(coid_);
      if (auto nav = navigationController()) nav->pushViewController(screen, true);
      AppTracking::record("TRACKING_JOBSEARCH_COMPANYINFO_OTHERJOBS");
      break;
    }
    case TagAddress:
      JobDetailCellUtil::openRouteController(companyDetail_);
      AppTracking::record("TRACKING_JOBSEARCH_COMPANYINFO_ADDRESS");
      break;
    default:
      break;
  }
  return true;
}

void CompanyDetailController::createNews(platform::Object&) {
  AppTracking::record("TRACKING_JOBSEARCH_COMPANYINFO_DISCUSS");
  createNews();
}

void CompanyDetailController::createNews() {
  FansUgcForGroupController::openWithCoID(coid_, companyDetail_ ? companyDetail_->get_coname() : "",
                                          weakAs<CompanyDetailController>());
}

void CompanyDetailController::onSubmitSuccessForUgcController(FansUgcForGroupController&) {
  // The form's target is the company.
  FansCompanyHomeController::openWithCoID(coid_);
}

void CompanyDetailController::backToParent() { vc::closeViewController(*this); }

}  // namespace kavro
