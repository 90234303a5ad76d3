#include "kit/ui/UIKavroScrollPageView.h"

#include <cmath>

#include "platform/ui/Control.h"

namespace kavro {

using platform::Rect;

UIKavroScrollPageView::UIKavroScrollPageView(Rect frame) : View(frame) {
  double w = frame.size.width;
  double h = frame.size.height;
  scrollView_ = std::make_shared<platform::ScrollView>(Rect(0, 0, w, h - PageControlHeight));
  scrollView_->setPagingEnabled(true);
  scrollView_->setShowsHorizontalScrollIndicator(false);
  scrollView_->setShowsVerticalScrollIndicator(false);
  scrollView_->setScrollsToTop(false);
  scrollView_->setBounces(false);
  pageControl_ = std::make_shared<platform::PageControl>(Rect(0, h - PageControlHeight, w, 10));
  pageControl_->setBackgroundColor(platform::Color::clear());
  pageControl_->setCurrentPage(0);
  addSubview(scrollView_);
  addSubview(pageControl_);
}

std::shared_ptr<UIKavroScrollPageView> UIKavroScrollPageView::create(
    Rect frame, std::vector<std::shared_ptr<platform::View>> views) {
  std::shared_ptr<UIKavroScrollPageView> view(new UIKavroScrollPageView(frame));
  std::weak_ptr<UIKavroScrollPageView> weak = view;
  view->scrollView_->setDelegate(weak);
  view->pageControl_->addTarget(view.get(), platform::ControlEvent::ValueChanged, [weak](platform::Control&) {
    if (auto v = weak.lock()) v->changePage();
  });
  view->setViews(std::move(views));
  return view;
}

void UIKavroScrollPageView::setViews(std::vector<std::shared_ptr<platform::View>> views) {
  if (hasViews_ && views == views_) return;
  hasViews_ = true;
  views_ = std::move(views);
  pageCount_ = static_cast<int>(views_.size());
  platform::Size size = scrollView_->bounds().size;
  scrollView_->setContentSize(platform::Size{size.width * pageCount_, size.height});
  pageControl_->setNumberOfPages(pageCount_);
  pageControl_->setCurrentPage(0);
  changePage();
}

void UIKavroScrollPageView::loadScrollViewWithPage(int page) {
  if (page < 0 || page >= pageCount_) return;
  const auto& view = views_[static_cast<std::size_t>(page)];
  if (!view || view->superview()) return;
  platform::Rect f = view->frame();
  f.origin = platform::Point{scrollView_->bounds().size.width * page, 0};
  view->setFrame(f);
  scrollView_->addSubview(view);
}

void UIKavroScrollPageView::changePage() {
  int p = pageControl_->currentPage();
  loadScrollViewWithPage(p - 1);
  loadScrollViewWithPage(p);
  loadScrollViewWithPage(p + 1);
  // Set before the scroll, so the steps of the animation do not move the dots.
  pageControlUsed_ = true;
  platform::Size size = scrollView_->bounds().size;
  scrollView_->scrollRectToVisible(Rect(p * size.width, 0, size.width, size.height), true);
}

int UIKavroScrollPageView::pageAtOffset() const {
  double w = scrollView_->bounds().size.width;
  if (w <= 0) return 0;
  return static_cast<int>(std::floor((scrollView_->contentOffset().x - w / 2) / w)) + 1;
}

void UIKavroScrollPageView::scrollViewDidScroll(platform::ScrollView&) {
  if (pageControlUsed_) return;
  int p = pageAtOffset();
  pageControl_->setCurrentPage(p);
  loadScrollViewWithPage(p - 1);
  loadScrollViewWithPage(p);
  loadScrollViewWithPage(p + 1);
}

void UIKavroScrollPageView::scrollViewDidEndDecelerating(platform::ScrollView&) {
  pageControl_->setCurrentPage(pageAtOffset());
  pageControlUsed_ = false;
}

}  // namespace kavro
