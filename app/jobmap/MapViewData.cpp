#include "app/jobmap/MapViewData.h"

#include "kit/ui/AlertViewExt.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

MapViewData::MapViewData() : mapDataResult_(DataItemResult::create()) {}

MapViewData::~MapViewData() {
  platform::RunLoop::main().cancelPerforms(this);
  stopLoading();
}

void MapViewData::setDelegate(std::weak_ptr<MapViewDelegate> d) {
  platform::RunLoop::main().cancelPerforms(this);
  delegate_ = std::move(d);
}

void MapViewData::refreshData() {
  clearData();
  loadData();
}

void MapViewData::clearData() {
  maxCount_ = pageAt_ = maxPageAt_ = totalPageNum_ = 0;
  status_ = MapViewDataStatus::Cleared;
  mapDataResult_->clear();
  mapDataList_.clear();
}

void MapViewData::loadData() {
  if (status_ == MapViewDataStatus::Cleared) pageAt_ = 1;
  status_ = MapViewDataStatus::Loading;
  stopLoading();
  auto d = delegate_.lock();
  dataLoader_ = d ? d->mapViewData(*this) : nullptr;
}

void MapViewData::stopLoading() {
  if (dataLoader_) dataLoader_->stopLoading();
}

bool MapViewData::hasNextPage() const {
  return status_ == MapViewDataStatus::Answered && pageAt_ < totalPageNum_;
}

bool MapViewData::loadFinished() const {
  return status_ == MapViewDataStatus::Answered && mapDataResult_->maxCount() == mapDataResult_->count();
}

void MapViewData::loadDataforNextPage() {
  if (!hasNextPage()) return;
  ++pageAt_;
  if (pageAt_ <= maxPageAt_)
    serveLocally();
  else
    loadData();
}

void MapViewData::loadDataforPrePage() {
  if (pageAt_ <= 1) return;
  --pageAt_;
  serveLocally();
}

void MapViewData::loadDataForPage() { serveLocally(); }

void MapViewData::collectCurrentPageData() {
  mapDataList_.clear();
  if (pageAt_ == 0) return;
  const auto& rows = mapDataResult_->dataList();
  std::size_t from = static_cast<std::size_t>(pageSize_) * (pageAt_ - 1);
  for (std::size_t i = from; i < rows.size() && i < from + pageSize_; ++i) mapDataList_.push_back(rows[i]);
}

void MapViewData::serveLocally() {
  collectCurrentPageData();
  mapDataResult_->setHasError(false);
  platform::RunLoop::main().cancelPerforms(this);
  std::weak_ptr<MapViewData> weak = weak_from_this();
  platform::RunLoop::main().performAfter(LocalPageDelay, this, [weak] {
    auto self = weak.lock();
    if (!self) return;
    if (auto d = self->delegate_.lock())
      d->mapViewDataCurrentPageData(*self, self->mapDataList_, *self->mapDataResult_);
  });
}

void MapViewData::dataLoader(DataLoadAndParser&, const DataItemResult& result) {
  alert::hiddenTips();
  isLoadDataOK_ = !result.hasError();
  if (result.isValidListData()) {
    maxCount_ = result.maxCount();
    totalPageNum_ = (maxCount_ + pageSize_ - 1) / pageSize_;
    if (totalPageNum_ < pageAt_) totalPageNum_ = pageAt_;
    ++maxPageAt_;
    mapDataResult_->appendItems(&result);
    collectCurrentPageData();
  } else if (pageAt_ > 0) {
    --pageAt_;
  }
  status_ = MapViewDataStatus::Answered;
  auto keep = shared_from_this();
  if (auto d = delegate_.lock()) d->mapViewDataCurrentPageData(*this, mapDataList_, result);
}

}  // namespace kavro
