#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "kit/ui/ListViewData.h"
#include "kit/ui/PageTurnDelegate.h"
#include "kit/ui/UIBasicController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/ScrollView.h"

namespace kavro {

// Shows the records of a paged section one per page in a horizontally paging scroll view, so a
// detail screen can swipe to the previous or next record of the list it came from. Page views
// exist for the pages in view and their right neighbour; a spinner stands in for a record not yet
// loaded while the section fetches its next page. At most 51 pages are laid out; for longer lists
// the window follows the current record. Every page view carries its record index as its tag.
class PageTurnController : public UIBasicController, public platform::ScrollViewDelegate {
 public:
  static constexpr std::uint32_t MaxWindowPages = 51;
  static constexpr double PageCheckInterval = 0.5;

  ~PageTurnController() override;
  // initWithListData:atIndex:withClass:; registered as a screen like every UIBasicController.
  static std::shared_ptr<PageTurnController> create(std::shared_ptr<ListViewData> section, std::int32_t index,
                                                    platform::ClassPtr pageClass);

  void customView() override;
  void initCurrentPage();
  platform::Rect frameAtIndex(std::int32_t index) const;
  bool pageIsDisplaying(std::int32_t index) const;
  std::shared_ptr<platform::View> pageViewAtIndex(std::int32_t index);
  void checkPageViewForIndex(std::int32_t index);
  void checkCurrentPageView() { checkPageViewForIndex(currentPageIndex_); }
  std::shared_ptr<DataItemDetail> get_current_item() const;
  std::shared_ptr<platform::View> get_current_view() const;
  void on_page_acvtive();
  void setPageVisible(std::int32_t index);
  void pageCheckStart();
  void pageCheckStop();
  void pageOnScrolling();
  void checkPosition();

  const std::shared_ptr<platform::ScrollView>& pagesScrollView() const { return pagesScrollView_; }
  const platform::ClassPtr& pagesClass() const { return pagesClass_; }
  std::int32_t currentPageIndex() const { return currentPageIndex_; }
  bool needCheckPagePosition() const { return needCheckPagePosition_; }
  std::uint32_t maxScrollPage() const { return maxScrollPage_; }
  platform::Size scrollPageSize() const { return scrollPageSize_; }
  const std::vector<std::shared_ptr<platform::View>>& visiblePages() const { return visiblePages_; }
  const std::vector<std::shared_ptr<platform::View>>& recycledPages() const { return recycledPages_; }
  const std::shared_ptr<platform::Timer>& pageCheckTimer() const { return pageCheckTimer_; }
  std::int32_t scrollStartPosition() const { return scrollStartPosition_; }
  const std::shared_ptr<ListViewData>& pagesData() const { return pagesData_; }

  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void viewWillDisappear(bool animated) override;

  void scrollViewDidScroll(platform::ScrollView& sv) override;
  void scrollViewWillBeginDragging(platform::ScrollView& sv) override;
  void scrollViewDidEndDragging(platform::ScrollView& sv, bool willDecelerate) override;
  void scrollViewWillBeginDecelerating(platform::ScrollView& sv) override;
  void scrollViewDidEndDecelerating(platform::ScrollView& sv) override;
  void scrollViewDidEndScrollingAnimation(platform::ScrollView& sv) override;

 private:
  std::shared_ptr<platform::View> visibleWithTag(std::int32_t tag) const;
  std::uint32_t sectionTotal() const;
  void restAndActivate();

  std::shared_ptr<platform::ScrollView> pagesScrollView_;
  platform::ClassPtr pagesClass_;
  std::int32_t currentPageIndex_ = 0;
  bool needCheckPagePosition_ = false;
  std::uint32_t maxScrollPage_ = 0;
  platform::Size scrollPageSize_{1, 1};
  std::vector<std::shared_ptr<platform::View>> visiblePages_;
  std::vector<std::shared_ptr<platform::View>> recycledPages_;
  std::shared_ptr<platform::Timer> pageCheckTimer_;
  std::int32_t scrollStartPosition_ = 0;
  std::shared_ptr<ListViewData> pagesData_;

 protected:
  PageTurnController(std::shared_ptr<ListViewData> section, std::int32_t index, platform::ClassPtr pageClass);
};

KAVRO_CLASS(PageTurnController, UIBasicController);

}  // namespace kavro
