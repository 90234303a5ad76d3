#pragma once
#include <memory>
#include <vector>

#include "platform/ui/PageControl.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"

namespace kavro {

// A row of page views in a horizontally paging scroll view with the page dots under it. Page views
// join the scroll view lazily: only the current page and its neighbours are ever added, and once
// added they stay. Made with create(); main thread only.
class UIKavroScrollPageView : public platform::View, public platform::ScrollViewDelegate {
 public:
  static constexpr double PageControlHeight = 18;

  // initWithFrame:views:
  static std::shared_ptr<UIKavroScrollPageView> create(platform::Rect frame,
                                                       std::vector<std::shared_ptr<platform::View>> views);

  void setViews(std::vector<std::shared_ptr<platform::View>> views);
  void loadScrollViewWithPage(int page);
  void changePage();

  const std::shared_ptr<platform::ScrollView>& scrollView() const { return scrollView_; }
  const std::shared_ptr<platform::PageControl>& pageControl() const { return pageControl_; }
  const std::vector<std::shared_ptr<platform::View>>& views() const { return views_; }
  int pageCount() const { return pageCount_; }
  bool pageControlUsed() const { return pageControlUsed_; }

  void scrollViewDidScroll(platform::ScrollView& sv) override;
  void scrollViewDidEndDecelerating(platform::ScrollView& sv) override;

 private:
  int pageAtOffset() const;

  std::shared_ptr<platform::ScrollView> scrollView_;
  std::shared_ptr<platform::PageControl> pageControl_;
  std::vector<std::shared_ptr<platform::View>> views_;
  bool hasViews_ = false;
  bool pageControlUsed_ = false;
  int pageCount_ = 0;

 protected:
  explicit UIKavroScrollPageView(platform::Rect frame);
};

}  // namespace kavro
