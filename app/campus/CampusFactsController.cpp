#include "app/campus/CampusFactsController.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/TitleFullValueCell.h"
#include "kit/ui/ViewControllerExt.h"

namespace kavro {

void CampusFactsController::init() {
  UIBasicController::init();
  factList_ = ListView::create(true);
}

CampusFactsController::~CampusFactsController() {
  if (factList_) factList_->stopLoading();
}

void CampusFactsController::customView() {
  UIBasicController::customView();
  setTitle(AppCoreInfo::getLocalizedString(titleKey()));
  factList_->setCtrl(weakAs<CampusFactsController>());
  vc::addFullSubview(*this, factList_);
  ListViewData::newDataOnListView(*factList_, platform::classFor<TitleFullValueCell>())->loadData();
}

std::optional<std::shared_ptr<DataLoadAndParser>> CampusFactsController::listViewData(ListViewData& section) {
  return startCall(section.loaderDelegate());
}

bool CampusFactsController::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  if (result.hasError()) return true;
  detailInfo_ = DataItemDetail::newDetail();
  detailInfo_->append(result.detailInfo().get());
  std::string title = detailInfo_->getString(titleField());
  if (!title.empty()) setTitle(title);
  auto& rows = *section.listData();
  rows.clear();
  for (const Fact& fact : factRows()) {
    std::string value = detailInfo_->getString(fact.field);
    if (value.empty()) continue;
    auto row = DataItemDetail::newDetail();
    row->setItemTitle(AppCoreInfo::getLocalizedString(fact.titleKey));
    row->setItemValue(value);
    rows.addItem(row);
  }
  rows.setMaxCount(static_cast<std::uint32_t>(rows.count()));
  return true;
}

}  // namespace kavro
