#include "app/community/FansCompanyHomeController.h"

#include "app/api/ApiFans.h"
#include "app/community/FansEmptyCell.h"
#include "app/community/ViewControllerFans.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ViewControllerExt.h"

namespace kavro {

void FansTopicCell::initCellView() { setSelectionStyle(platform::TableViewCellSelectionStyle::None); }

void FansTopicCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  textLabel()->setText(record->getString("content"));
  detailTextLabel()->setText(record->getString("username") + "  " + record->getString("createtime"));
}

std::shared_ptr<FansCompanyHomeController> FansCompanyHomeController::openWithCoID(std::string_view coID) {
  auto parent = AppControllers::mostRecentController();
  auto screen = create<FansCompanyHomeController>();
  screen->setCoID(coID);
  screen->ShowUIBasicController(parent);
  return screen;
}

void FansCompanyHomeController::init() {
  UIBasicController::init();
  topicList_ = ListView::create(false);
}

FansCompanyHomeController::~FansCompanyHomeController() {
  if (infoLoader_) infoLoader_->stopLoading();
  if (topicList_) topicList_->stopLoading();
}

void FansCompanyHomeController::customView() {
  UIBasicController::customView();
  setTitle(AppCoreInfo::getLocalizedString("fans_company_home_title"));
  auto weak = weakAs<FansCompanyHomeController>();
  fans::bindFansNewTopicItem(*this, [weak] {
    if (auto self = weak.lock()) self->createNews();
  });

  topicList_->setCtrl(weak);
  vc::addFullSubview(*this, topicList_);
  auto section = ListViewData::newDataOnListView(*topicList_, platform::classFor<FansTopicCell>());
  section->setMEmtpyCellClass(platform::classFor<FansEmptyCell>());
  section->listData()->setItemUniqueKeyName("noticeid");
  section->loadData();

  infoLoader_ = ApiFans::get_company_info(
      coID_, std::static_pointer_cast<FansCompanyHomeController>(shared_from_this()));
}

void FansCompanyHomeController::createNews() {
  FansUgcForGroupController::openWithCoID(
      coID_, companyInfo_ ? companyInfo_->getString("coname") : "",
      std::static_pointer_cast<FansCompanyHomeController>(shared_from_this()));
}

void FansCompanyHomeController::dataLoader(DataLoadAndParser&, const DataItemResult& result) {
  infoLoader_.reset();
  if (!result.isValidDetailData()) return;
  companyInfo_ = result.detailInfo();
  std::string name = companyInfo_->getString("coname");
  if (!name.empty()) setTitle(name);
}

std::optional<std::shared_ptr<DataLoadAndParser>> FansCompanyHomeController::listViewData(
    ListViewData& section) {
  return ApiFans::get_co_topics(coID_, static_cast<std::int32_t>(section.pageAt()),
                                static_cast<std::int32_t>(section.pageSize()), section.loaderDelegate());
}

bool FansCompanyHomeController::dataLoadedForSection(ListViewData& section, const DataItemResult& result,
                                                     bool) {
  if (!result.hasError() && result.count() == 0)
    FansEmptyCell::setEmptyCellShowStr(section,
                                       AppCoreInfo::getLocalizedString("fans_cell_empty_company_topics"));
  return false;
}

void FansCompanyHomeController::onSubmitSuccessForUgcController(FansUgcForGroupController&) {
  if (auto section = topics()) section->refreshData();
}

}  // namespace kavro
