#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "kit/core/DataItemResult.h"
#include "kit/core/DataLoadAndParser.h"

namespace kavro {

class MapViewData;

// The map screen as the pager sees it.
class MapViewDelegate {
 public:
  virtual ~MapViewDelegate() = default;
  // The started server call for the pager's current page.
  virtual std::shared_ptr<DataLoadAndParser> mapViewData(MapViewData& pager) = 0;
  // A page: after a server answer with that answer, after a local page with the accumulated
  // result.
  virtual void mapViewDataCurrentPageData(MapViewData& pager,
                                          const std::vector<std::shared_ptr<DataItemDetail>>& currentPageData,
                                          const DataItemResult& result) = 0;
};

// Where the pager's fetching stands.
enum class MapViewDataStatus : std::int32_t { Cleared = 0, Loading = 1, Answered = 2 };

// The pager behind the map search: it fetches the answer page by page, appends every page fetched
// to one accumulated result and serves the pages fetched once from it. Page n holds the rows of
// the accumulated result from pageSize x (n - 1); it is served locally exactly when
// n <= maxPageAt. The delegate is not retained: a local page still due when the pager goes is
// dropped, and setting a new delegate (or none) drops what was due for the old one.
// Main thread only.
class MapViewData : public DataLoadAndParserDelegate, public std::enable_shared_from_this<MapViewData> {
 public:
  static constexpr double LocalPageDelay = 0.1;

  static std::shared_ptr<MapViewData> create() { return std::shared_ptr<MapViewData>(new MapViewData()); }
  ~MapViewData() override;

  void refreshData();
  void clearData();
  void loadData();
  void stopLoading();
  bool hasNextPage() const;
  bool loadFinished() const;
  void loadDataforNextPage();
  void loadDataforPrePage();
  // Serves the page pageAt names from the accumulated result.
  void loadDataForPage();
  const std::vector<std::shared_ptr<DataItemDetail>>& callBackCurrentPageData() const { return mapDataList_; }

  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;

  MapViewDataStatus mapViewDataStatus() const { return status_; }
  void setMapViewDataStatus(MapViewDataStatus s) { status_ = s; }
  std::uint32_t pageAt() const { return pageAt_; }
  void setPageAt(std::uint32_t p) { pageAt_ = p; }
  std::uint32_t pageSize() const { return pageSize_; }
  std::uint32_t maxCount() const { return maxCount_; }
  void setMaxCount(std::uint32_t c) { maxCount_ = c; }
  std::uint32_t maxPageAt() const { return maxPageAt_; }
  void setMaxPageAt(std::uint32_t p) { maxPageAt_ = p; }
  std::uint32_t totalPageNum() const { return totalPageNum_; }
  const std::shared_ptr<DataItemResult>& mapDataResult() const { return mapDataResult_; }
  bool isLoadDataOK() const { return isLoadDataOK_; }
  const std::shared_ptr<DataLoadAndParser>& dataLoaderObject() const { return dataLoader_; }
  std::shared_ptr<MapViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<MapViewDelegate> d);

 private:
  void collectCurrentPageData();
  void serveLocally();

  MapViewDataStatus status_ = MapViewDataStatus::Cleared;
  std::uint32_t pageAt_ = 0;
  std::uint32_t pageSize_ = 10;
  std::uint32_t maxCount_ = 0;
  std::uint32_t maxPageAt_ = 0;
  std::uint32_t totalPageNum_ = 0;
  std::shared_ptr<DataItemResult> mapDataResult_;
  std::vector<std::shared_ptr<DataItemDetail>> mapDataList_;
  bool isLoadDataOK_ = true;
  std::shared_ptr<DataLoadAndParser> dataLoader_;
  std::weak_ptr<MapViewDelegate> delegate_;

 protected:
  MapViewData();
};

}  // namespace kavro
