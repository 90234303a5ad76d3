#include "kit/ui/PageTurnController.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

using platform::Rect;
using platform::View;

PageTurnController::PageTurnController(std::shared_ptr<ListViewData> section, std::int32_t index,
                                       platform::ClassPtr pageClass)
    : pagesClass_(std::move(pageClass)), pagesData_(std::move(section)) {
  std::uint32_t total = sectionTotal();
  maxScrollPage_ = std::min(total, MaxWindowPages);
  // A section without records gives an empty window; the opener must not open the container then.
  currentPageIndex_ = maxScrollPage_ > 0 ? index % static_cast<std::int32_t>(maxScrollPage_) : 0;
  scrollStartPosition_ = index - currentPageIndex_;
  needCheckPagePosition_ = maxScrollPage_ < total;
}

PageTurnController::~PageTurnController() {
  pageCheckStop();
  if (pagesScrollView_) pagesScrollView_->setDelegate({});
}

std::shared_ptr<PageTurnController> PageTurnController::create(std::shared_ptr<ListViewData> section,
                                                               std::int32_t index,
                                                               platform::ClassPtr pageClass) {
  std::shared_ptr<PageTurnController> screen(
      new PageTurnController(std::move(section), index, std::move(pageClass)));
  screen->init();
  return screen;
}

std::uint32_t PageTurnController::sectionTotal() const {
  return pagesData_ ? pagesData_->listData()->maxCount() : 0;
}

void PageTurnController::customView() {
  UIBasicController::customView();
  if (pagesClass_) {
    if (auto title = pagesClass_->callClassFunction(&PageClassFunctions::getTitle)) setTitle(*title);
  }
  Rect bounds = view()->bounds();
  pagesScrollView_ =
      std::make_shared<platform::ScrollView>(Rect(0, 44, bounds.size.width, bounds.size.height - 44));
  pagesScrollView_->setPagingEnabled(true);
  pagesScrollView_->setShowsHorizontalScrollIndicator(false);
  pagesScrollView_->setShowsVerticalScrollIndicator(false);
  pagesScrollView_->setScrollsToTop(false);
  pagesScrollView_->setDelegate(std::static_pointer_cast<PageTurnController>(shared_from_this()));
  scrollPageSize_ = pagesScrollView_->bounds().size;
  view()->addSubview(pagesScrollView_);
  initCurrentPage();
  on_page_acvtive();
}

void PageTurnController::initCurrentPage() {
  pagesScrollView_->setContentSize(
      platform::Size{maxScrollPage_ * scrollPageSize_.width, scrollPageSize_.height});
  pageViewAtIndex(currentPageIndex_);
  setPageVisible(currentPageIndex_);
  checkPosition();
  checkPageViewForIndex(currentPageIndex_);
}

Rect PageTurnController::frameAtIndex(std::int32_t index) const {
  return Rect(index * scrollPageSize_.width, 0, scrollPageSize_.width, scrollPageSize_.height);
}

std::shared_ptr<View> PageTurnController::visibleWithTag(std::int32_t tag) const {
  std::shared_ptr<View> found;
  for (const auto& v : visiblePages_)
    if (v->tag() == tag) found = v;  // the last one, when several match
  return found;
}

bool PageTurnController::pageIsDisplaying(std::int32_t index) const {
  return visibleWithTag(scrollStartPosition_ + index) != nullptr;
}

std::shared_ptr<View> PageTurnController::pageViewAtIndex(std::int32_t index) {
  std::int32_t tag = scrollStartPosition_ + index;
  if (auto v = visibleWithTag(tag)) return v;
  for (auto it = recycledPages_.begin(); it != recycledPages_.end(); ++it) {
    if ((*it)->tag() == tag) {
      auto v = *it;
      recycledPages_.erase(it);
      return v;
    }
  }
  auto spinner =
      std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorViewStyle::Gray);
  spinner->setBackgroundColor(platform::Color::clear());
  spinner->setContentMode(platform::ContentMode::Center);
  spinner->startAnimating();
  spinner->setFrame(frameAtIndex(index));
  spinner->setTag(tag);
  visiblePages_.push_back(spinner);
  if (pagesScrollView_) pagesScrollView_->addSubview(spinner);
  return spinner;
}

void PageTurnController::checkPageViewForIndex(std::int32_t index) {
  std::int32_t record = scrollStartPosition_ + index;
  auto v = visibleWithTag(record);
  if (!v || !pagesData_) return;
  Rect frame = frameAtIndex(index);
  if (pagesClass_ && pagesClass_->isInstance(*v)) {
    if (v->frame() != frame) v->setFrame(frame);
    return;
  }
  auto keep = shared_from_this();
  if (record >= 0 && static_cast<std::size_t>(record) < pagesData_->count()) {
    auto item = pagesData_->listData()->getItem(static_cast<std::size_t>(record));
    auto made = pagesClass_ ? pagesClass_->callClassFunction(&PageClassFunctions::customPartViewWithDetail,
                                                             item, frame, *this)
                            : std::nullopt;
    if (!made || !*made) return;
    std::shared_ptr<View> page = *made;
    visiblePages_.erase(std::remove(visiblePages_.begin(), visiblePages_.end(), v), visiblePages_.end());
    page->setTag(record);
    if (auto* delegate = dynamic_cast<PageTurnDelegate*>(page.get()); delegate && !delegate->pageTurnCtrl())
      delegate->setPageTurnCtrl(std::static_pointer_cast<PageTurnController>(shared_from_this()));
    visiblePages_.push_back(page);
    pagesScrollView_->addSubview(page);
    v->removeFromSuperview();
    return;
  }
  if (pagesData_->listViewDataStatus() == ListViewDataStatus::Loading) return;
  if (pagesData_->loadFinished()) {
    if (auto nav = navigationController()) {
      if (nav->topViewController().get() == this) nav->popViewControllerAnimated(false);
    }
    return;
  }
  if (pagesData_->listViewDataStatus() == ListViewDataStatus::Idle)
    pagesData_->loadData();
  else if (pagesData_->isLoadDataOK())
    pagesData_->loadDataforNextPage();
  else
    pagesData_->loadData();
}

std::shared_ptr<DataItemDetail> PageTurnController::get_current_item() const {
  std::int32_t record = currentPageIndex_ + scrollStartPosition_;
  if (!pagesData_ || record < 0) return nullptr;
  return pagesData_->listData()->getItem(static_cast<std::size_t>(record));
}

std::shared_ptr<View> PageTurnController::get_current_view() const {
  return visibleWithTag(currentPageIndex_ + scrollStartPosition_);
}

void PageTurnController::on_page_acvtive() {
  auto v = get_current_view();
  if (auto* page = dynamic_cast<PageTurnDelegate*>(v.get())) page->on_view_active();
}

void PageTurnController::setPageVisible(std::int32_t index) {
  if (pagesScrollView_) pagesScrollView_->setContentOffset(frameAtIndex(index).origin, false);
}

void PageTurnController::pageCheckStart() {
  pageCheckStop();
  std::weak_ptr<PageTurnController> weak = std::static_pointer_cast<PageTurnController>(shared_from_this());
  pageCheckTimer_ =
      platform::RunLoop::main().scheduleTimer(PageCheckInterval, true, [weak](platform::Timer&) {
        if (auto ctrl = weak.lock()) ctrl->checkCurrentPageView();
      });
}

void PageTurnController::pageCheckStop() {
  if (pageCheckTimer_) pageCheckTimer_->invalidate();
  pageCheckTimer_.reset();
}

void PageTurnController::pageOnScrolling() {
  if (!pagesScrollView_ || scrollPageSize_.width <= 0 || maxScrollPage_ == 0) return;
  double w = scrollPageSize_.width;
  Rect b = pagesScrollView_->bounds();
  auto last0 = static_cast<std::int32_t>(maxScrollPage_) - 1;
  std::int32_t first = std::max(0, static_cast<std::int32_t>(std::floor(b.origin.x / w)));
  currentPageIndex_ = first;
  std::int32_t last =
      std::min(last0, static_cast<std::int32_t>(std::floor((b.origin.x + b.size.width + 1) / w)));

  std::vector<std::shared_ptr<View>> keep;
  for (auto& v : visiblePages_) {
    std::int32_t i = v->tag() - scrollStartPosition_;
    if (i < first || i > last) {
      recycledPages_.push_back(v);
      v->removeFromSuperview();
    } else {
      keep.push_back(v);
    }
  }
  visiblePages_ = std::move(keep);
  std::int32_t lo = std::max(0, first - 2);
  std::int32_t hi = std::min(last0, last + 2);
  std::erase_if(recycledPages_, [&](const std::shared_ptr<View>& v) {
    std::int32_t i = v->tag() - scrollStartPosition_;
    return i < lo || i > hi;
  });

  for (std::int32_t i = first; i <= last; ++i) {
    auto v = pageViewAtIndex(i);
    if (std::find(visiblePages_.begin(), visiblePages_.end(), v) == visiblePages_.end()) {
      pagesScrollView_->addSubview(v);
      visiblePages_.push_back(v);
    }
    v->setFrame(frameAtIndex(i));
    checkPageViewForIndex(i);
  }
}

void PageTurnController::checkPosition() {
  if (!needCheckPagePosition_) return;
  std::int32_t a = currentPageIndex_ + scrollStartPosition_;
  std::uint32_t total = sectionTotal();
  std::uint32_t n = maxScrollPage_;
  std::int32_t lastStart = static_cast<std::int32_t>(total - n);
  std::int32_t start = scrollStartPosition_;
  if (a <= 1) {
    start = 0;
  } else if (static_cast<std::uint32_t>(a) + 2 >= total) {
    start = lastStart;
  } else if (static_cast<std::uint32_t>(currentPageIndex_) + 2 >= n || currentPageIndex_ <= 1) {
    // Never past the last window, so no page stands for a record beyond the total.
    start = std::min(std::max(0, a - 25), lastStart);
  }
  if (start == scrollStartPosition_) return;
  currentPageIndex_ = a - start;
  scrollStartPosition_ = start;
  for (auto& v : visiblePages_) v->setFrame(frameAtIndex(v->tag() - start));
  setPageVisible(currentPageIndex_);
}

void PageTurnController::viewDidAppear(bool animated) {
  pageCheckStart();
  UIBasicController::viewDidAppear(animated);
}

void PageTurnController::viewDidDisappear(bool animated) {
  pageCheckStop();
  UIBasicController::viewDidDisappear(animated);
}

void PageTurnController::viewWillDisappear(bool animated) {
  UIBasicController::viewWillDisappear(animated);
  if (pagesData_) pagesData_->scrollToIndex(currentPageIndex_ + scrollStartPosition_, true);
}

void PageTurnController::restAndActivate() {
  checkPosition();
  pageCheckStart();
  on_page_acvtive();
}

void PageTurnController::scrollViewDidScroll(platform::ScrollView&) { pageOnScrolling(); }

void PageTurnController::scrollViewWillBeginDragging(platform::ScrollView&) {
  pageCheckStop();
  checkPosition();
}

void PageTurnController::scrollViewDidEndDragging(platform::ScrollView&, bool) {
  checkPosition();
  on_page_acvtive();
}

void PageTurnController::scrollViewWillBeginDecelerating(platform::ScrollView&) {
  pageCheckStop();
  checkPosition();
}

void PageTurnController::scrollViewDidEndDecelerating(platform::ScrollView&) { restAndActivate(); }

void PageTurnController::scrollViewDidEndScrollingAnimation(platform::ScrollView&) { restAndActivate(); }

}  // namespace kavro
