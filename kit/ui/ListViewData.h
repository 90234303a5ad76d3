#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kit/core/DataItemResult.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/foundation/Object.h"
#include "platform/runtime/ClassRef.h"

namespace kavro {

class ListView;

// Where a section's loading stands; the numbers are the stored and compared values.
enum class ListViewDataStatus : std::int32_t {
  Idle = 0,
  Loading = 1,
  Loaded = 2,  // with or without error
};

// One section of a ListView: its rows, fetched page by page (pages from 1) through the list's
// controller, its load status and the cell classes of its rows. Made with create(); main thread
// only.
class ListViewData : public platform::Object, public DataLoadAndParserDelegate {
 public:
  static constexpr std::string_view ErrorTipsMessageKey = "<&ErrorTableCellTipsMessageKey&>";
  static constexpr std::string_view RemovedSectionItemCountKey = "<&removedSectionItemCountKey&>";

  ~ListViewData() override;
  static std::shared_ptr<ListViewData> create() { return std::shared_ptr<ListViewData>(new ListViewData()); }
  static std::shared_ptr<ListViewData> newData() { return create(); }
  // A section drawing its records with cellClass, appended to the list.
  static std::shared_ptr<ListViewData> newDataOnListView(ListView& list, platform::ClassPtr cellClass);

  void loadData();
  void loadDataforNextPage();
  void refreshData();
  void clearData();
  // Detaches the section from its list for good and stops its loader.
  void stopLoading();
  void onDataLoaded(const DataItemResult& result, bool isCachedData);
  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  // What a controller hands its loaders as their delegate.
  std::weak_ptr<DataLoadAndParserDelegate> loaderDelegate();

  // A page that added no row ends the paging, whatever total the server claims: a total it never
  // fills would otherwise have the list ask for page after page.
  bool hasNextPage() const;
  bool loadFinished() const;
  void scrollToIndex(int row, bool animated);
  // Position of this very record; -1 when absent.
  int indexOfData(const DataItemDetail* item) const;
  void setErrorTipsMessage(std::string_view text);
  std::string getErrorTipsMessageWithDefault(std::string_view text) const;
  std::string getErrorTipsMessage() const;

  const std::shared_ptr<DataItemResult>& listData() const { return listData_; }
  std::size_t count() const { return listData_->count(); }

  const platform::ClassPtr& mHeaderViewClass() const { return headerViewClass_; }
  void setMHeaderViewClass(platform::ClassPtr c) { headerViewClass_ = std::move(c); }
  const platform::ClassPtr& mFooterViewClass() const { return footerViewClass_; }
  void setMFooterViewClass(platform::ClassPtr c) { footerViewClass_ = std::move(c); }
  const platform::ClassPtr& mDataCellClass() const { return dataCellClass_; }
  void setMDataCellClass(platform::ClassPtr c) { dataCellClass_ = std::move(c); }
  const platform::ClassPtr& mEmtpyCellClass() const { return emptyCellClass_; }
  void setMEmtpyCellClass(platform::ClassPtr c) { emptyCellClass_ = std::move(c); }
  const platform::ClassPtr& mErrorCellClass() const { return errorCellClass_; }
  void setMErrorCellClass(platform::ClassPtr c) { errorCellClass_ = std::move(c); }
  const platform::ClassPtr& mLoadingCellClass() const { return loadingCellClass_; }
  void setMLoadingCellClass(platform::ClassPtr c) { loadingCellClass_ = std::move(c); }
  const platform::ClassPtr& mMoreCellClass() const { return moreCellClass_; }
  void setMMoreCellClass(platform::ClassPtr c) { moreCellClass_ = std::move(c); }

  ListViewDataStatus listViewDataStatus() const { return status_; }
  void setListViewDataStatus(ListViewDataStatus s) { status_ = s; }
  std::uint32_t pageAt() const { return pageAt_; }
  void setPageAt(std::uint32_t p) { pageAt_ = p; }
  std::uint32_t pageSize() const { return pageSize_; }
  void setPageSize(std::uint32_t s) { pageSize_ = s; }
  std::uint32_t sectionHeight() const { return sectionHeight_; }
  void setSectionHeight(std::uint32_t h) { sectionHeight_ = h; }
  bool showHeader() const { return showHeader_; }
  void setShowHeader(bool s) { showHeader_ = s; }
  bool showFooter() const { return showFooter_; }
  void setShowFooter(bool s) { showFooter_ = s; }
  const std::string& title() const { return title_; }
  void setTitle(std::string_view t) { title_ = t; }
  bool isCellCustomHeight() const { return isCellCustomHeight_; }
  void setIsCellCustomHeight(bool b) { isCellCustomHeight_ = b; }
  bool isLoadDataOK() const { return isLoadDataOK_; }
  void setIsLoadDataOK(bool b) { isLoadDataOK_ = b; }
  bool isRefreshData() const { return isRefreshData_; }
  void setIsRefreshData(bool b) { isRefreshData_ = b; }
  const std::shared_ptr<DataLoadAndParser>& dataLoaderObject() const { return loader_; }
  void setDataLoader(std::shared_ptr<DataLoadAndParser> l) { loader_ = std::move(l); }
  std::shared_ptr<ListView> listView() const { return listView_.lock(); }
  void setListView(std::weak_ptr<ListView> l) { listView_ = std::move(l); }
  std::int32_t tag() const { return tag_; }
  void setTag(std::int32_t t) { tag_ = t; }

 private:
  void stopLoader();
  bool onPullDownList() const;

  std::shared_ptr<DataItemResult> listData_;
  platform::ClassPtr headerViewClass_;
  platform::ClassPtr footerViewClass_;
  platform::ClassPtr dataCellClass_;
  platform::ClassPtr emptyCellClass_;
  platform::ClassPtr errorCellClass_;
  platform::ClassPtr loadingCellClass_;
  platform::ClassPtr moreCellClass_;
  ListViewDataStatus status_ = ListViewDataStatus::Idle;
  std::uint32_t pageAt_ = 1;
  std::uint32_t pageSize_ = 10;
  std::uint32_t sectionHeight_ = 0;
  bool showHeader_ = false;
  bool showFooter_ = false;
  std::string title_;
  bool isCellCustomHeight_ = true;
  bool isLoadDataOK_ = true;
  bool isRefreshData_ = false;
  bool lastPageAddedNothing_ = false;
  std::shared_ptr<DataLoadAndParser> loader_;
  std::weak_ptr<ListView> listView_;
  std::int32_t tag_ = 0;

 protected:
  ListViewData();
};

}  // namespace kavro
