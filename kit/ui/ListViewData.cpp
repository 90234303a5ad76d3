#include "kit/ui/ListViewData.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/EmptyTableCell.h"
#include "kit/ui/ErrorTableCell.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewPullDown.h"
#include "kit/ui/LoadingTableCell.h"
#include "kit/ui/MoreTableCell.h"

namespace kavro {

ListViewData::ListViewData()
    : listData_(DataItemResult::create()),
      emptyCellClass_(platform::classFor<EmptyTableCell>()),
      errorCellClass_(platform::classFor<ErrorTableCell>()),
      loadingCellClass_(platform::classFor<LoadingTableCell>()),
      moreCellClass_(platform::classFor<MoreTableCell>()) {}

ListViewData::~ListViewData() { stopLoader(); }

std::shared_ptr<ListViewData> ListViewData::newDataOnListView(ListView& list, platform::ClassPtr cellClass) {
  auto section = create();
  section->setMDataCellClass(std::move(cellClass));
  list.addSectionWithData(section);
  return section;
}

std::weak_ptr<DataLoadAndParserDelegate> ListViewData::loaderDelegate() {
  return std::static_pointer_cast<ListViewData>(shared_from_this());
}

bool ListViewData::onPullDownList() const {
  return dynamic_cast<ListViewPullDown*>(listView().get()) != nullptr;
}

void ListViewData::stopLoader() {
  if (!loader_) return;
  auto loader = std::move(loader_);
  loader_.reset();
  loader->stopLoading();
}

void ListViewData::loadData() {
  auto list = listView();
  if (!list) return;
  auto keep = shared_from_this();
  status_ = ListViewDataStatus::Loading;
  lastPageAddedNothing_ = false;
  stopLoader();
  auto ctrl = list->ctrl();
  if (ctrl) {
    if (auto cached = ctrl->dataCacheForSection(*this); cached && *cached) {
      std::shared_ptr<DataItemResult> answer = *cached;
      onDataLoaded(*answer, true);
      return;
    }
    std::shared_ptr<DataLoadAndParser> loader;
    if (auto l = ctrl->dataLoaderForSection(*this))
      loader = *l;
    else if (auto l2 = ctrl->listViewData(*this))
      loader = *l2;
    loader_ = std::move(loader);
    if (loader_) loader_->setDelegate(loaderDelegate());
  }
  // Only the state row changes: the rows held keep their places.
  if (auto l = listView()) l->reloadSectionRowsFrom(*this, count());
}

void ListViewData::loadDataforNextPage() {
  if (!hasNextPage()) return;
  if (onPullDownList()) isRefreshData_ = false;
  ++pageAt_;
  loadData();
}

void ListViewData::refreshData() {
  if (status_ == ListViewDataStatus::Loading) return;
  pageAt_ = 1;
  if (onPullDownList())
    isRefreshData_ = true;
  else
    listData_->clear();
  loadData();
}

void ListViewData::clearData() {
  pageAt_ = 1;
  isLoadDataOK_ = true;
  listData_->clear();
  status_ = ListViewDataStatus::Idle;
  lastPageAddedNothing_ = false;
  if (auto list = listView()) list->reloadData();
}

void ListViewData::stopLoading() {
  listView_.reset();
  stopLoader();
}

void ListViewData::dataLoader(DataLoadAndParser& loader, const DataItemResult& result) {
  // The result belongs to the loader, which the section may let go of while it takes the answer.
  auto keepLoader = loader.shared_from_this();
  onDataLoaded(result, false);
}

void ListViewData::onDataLoaded(const DataItemResult& result, bool isCachedData) {
  auto keep = shared_from_this();
  status_ = ListViewDataStatus::Loaded;
  isLoadDataOK_ = !result.hasError();
  const std::uint64_t editsBefore = listData_->edits();
  if (isLoadDataOK_ && isRefreshData_ && onPullDownList()) listData_->dataList().clear();
  const std::size_t rowsBefore = count();
  if (&result != listData_.get()) {
    listData_->setMessage(result.message());
    listData_->setHasError(result.hasError());
    listData_->setLocalError(result.localError());
    listData_->detailInfo()->append(result.detailInfo().get());
  }
  auto list = listView();
  auto ctrl = list ? list->ctrl() : nullptr;
  bool taken = ctrl && ctrl->dataLoadedForSection(*this, result, isCachedData);
  if (!taken) taken = ctrl && ctrl->listViewDataOnReceived(*this, result);
  if (!taken) {
    if (isLoadDataOK_)
      listData_->setMaxCount(std::max<std::uint32_t>(result.maxCount(), static_cast<std::uint32_t>(count())));
    listData_->appendItems(&result);
  }
  lastPageAddedNothing_ = isLoadDataOK_ && count() <= rowsBefore;
  if (auto l = listView()) {
    // A page taken at the end is laid out alone; rows removed, replaced or changed in place
    // reload the list whole.
    if (listData_->edits() == editsBefore && count() >= rowsBefore)
      l->reloadSectionRowsFrom(*this, rowsBefore);
    else
      l->reloadData();
    l->autoCheckAndLoadNextPageAfterAnswer(*this);
  }
}

bool ListViewData::hasNextPage() const {
  if (!listView() || status_ != ListViewDataStatus::Loaded || lastPageAddedNothing_) return false;
  return std::uint64_t{pageSize_} * pageAt_ < listData_->maxCount();
}

bool ListViewData::loadFinished() const {
  if (status_ != ListViewDataStatus::Loaded) return false;
  if (listData_->maxCount() == count() || lastPageAddedNothing_) return true;
  if (!isLoadDataOK_) return false;
  return std::uint64_t{pageSize_} * pageAt_ >= listData_->maxCount();
}

void ListViewData::scrollToIndex(int row, bool animated) {
  auto list = listView();
  if (!list || row < 0 || static_cast<std::size_t>(row) >= count()) return;
  int section = list->indexOfSectionData(this);
  if (section < 0) return;
  list->scrollToRowAtIndexPath(platform::IndexPath::forRow(row, section),
                               platform::TableViewScrollPosition::Middle, animated);
}

int ListViewData::indexOfData(const DataItemDetail* item) const {
  const auto& rows = std::as_const(*listData_).dataList();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].get() == item) return static_cast<int>(i);
  return -1;
}

void ListViewData::setErrorTipsMessage(std::string_view text) {
  listData_->detailInfo()->setString(text, ErrorTipsMessageKey);
}

std::string ListViewData::getErrorTipsMessageWithDefault(std::string_view text) const {
  if (!listData_->message().empty()) return listData_->message();
  std::string chosen = listData_->detailInfo()->getString(ErrorTipsMessageKey);
  if (!chosen.empty()) return chosen;
  return std::string(text);
}

std::string ListViewData::getErrorTipsMessage() const {
  return getErrorTipsMessageWithDefault(AppCoreInfo::getLocalizedString("common_text_load_failed_retry"));
}

}  // namespace kavro
