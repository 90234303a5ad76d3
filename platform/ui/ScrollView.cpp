#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

ScrollView::ScrollView(Rect frame) : View(frame) { setClipsToBounds(true); }

ScrollView::~ScrollView() { RunLoop::main().cancelPerforms(this); }

Point ScrollView::minimumContentOffset() const { return {-contentInset_.left, -contentInset_.top}; }

Point ScrollView::maximumContentOffset() const {
  Point lo = minimumContentOffset();
  Size b = bounds().size;
  return {std::max(lo.x, contentSize_.width - b.width + contentInset_.right),
          std::max(lo.y, contentSize_.height - b.height + contentInset_.bottom)};
}

void ScrollView::setContentOffset(Point offset, bool animated) {
  Rect b = bounds();
  if (b.origin == offset) return;
  setBounds(Rect(offset, b.size));
  if (auto d = scrollDelegate()) d->scrollViewDidScroll(*this);
  if (animated) {
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(weak_from_this().lock());
    RunLoop::main().performAfter(ScrollAnimationDuration, this, [weak] {
      if (auto sv = weak.lock())
        if (auto d = sv->scrollDelegate()) d->scrollViewDidEndScrollingAnimation(*sv);
    });
  }
}

Point ScrollView::pageTarget(Point p, Point velocity) const {
  if (!paging_) return p;
  Size b = bounds().size;
  auto page = [](double pos, double size, double v) {
    if (size <= 0) return pos;
    double current = std::floor(pos / size + 0.5);
    if (v > 0) current = std::floor(pos / size) + 1;
    if (v < 0) current = std::ceil(pos / size) - 1;
    return current * size;
  };
  return {page(p.x, b.width, velocity.x), page(p.y, b.height, velocity.y)};
}

Point ScrollView::restingOffset(Point p, Point velocity) const {
  Point lo = minimumContentOffset(), hi = maximumContentOffset();
  p = pageTarget(p, velocity);
  return {std::clamp(p.x, lo.x, hi.x), std::clamp(p.y, lo.y, hi.y)};
}

bool ScrollView::beginDragging() {
  if (!scrollEnabled_) return false;
  dragging_ = true;
  if (auto d = scrollDelegate()) d->scrollViewWillBeginDragging(*this);
  return true;
}

void ScrollView::dragTo(Point offset) {
  if (!dragging_) return;
  setContentOffset(offset);
}

void ScrollView::endDragging(Point velocity) {
  if (!dragging_) return;
  auto self = weak_from_this().lock();
  dragging_ = false;
  Point goal = pageTarget(contentOffset(), velocity);
  bool decelerate = !(restingOffset(contentOffset(), velocity) == contentOffset());
  if (auto d = scrollDelegate()) d->scrollViewDidEndDragging(*this, decelerate);
  if (!decelerate) return;
  decelerating_ = true;
  if (auto d = scrollDelegate()) d->scrollViewWillBeginDecelerating(*this);
  // Outside the valid range the view springs back one point per step, so that a delegate that
  // moves the insets on the way (a pull-down header) is heard; inside it goes straight on.
  for (int guard = 0; guard < 100000; ++guard) {
    Point lo = minimumContentOffset(), hi = maximumContentOffset();
    Point dest{std::clamp(goal.x, lo.x, hi.x), std::clamp(goal.y, lo.y, hi.y)};
    Point cur = contentOffset();
    if (cur == dest) break;
    auto step = [](double c, double d, double l, double h) {
      if (c >= l && c <= h) return d;
      double delta = d - c;
      return std::abs(delta) <= 1 ? d : c + (delta > 0 ? 1 : -1);
    };
    setContentOffset({step(cur.x, dest.x, lo.x, hi.x), step(cur.y, dest.y, lo.y, hi.y)});
  }
  decelerating_ = false;
  if (auto d = scrollDelegate()) d->scrollViewDidEndDecelerating(*this);
}

void ScrollView::setZoomScale(double scale, bool animated) {
  auto d = scrollDelegate();
  auto zv = d ? d->viewForZoomingInScrollView(*this) : nullptr;
  if (!zv) return;
  scale = std::clamp(scale, minZoom_, std::max(minZoom_, maxZoom_));
  zoomScale_ = scale;
  Size s = zv->bounds().size;
  zv->setTransform(AffineTransform::makeScale(scale, scale));
  zv->setCenter({s.width * scale / 2, s.height * scale / 2});
  setContentSize({s.width * scale, s.height * scale});
  Point hi = maximumContentOffset(), lo = minimumContentOffset();
  Point o = contentOffset();
  Point clamped{std::clamp(o.x, lo.x, hi.x), std::clamp(o.y, lo.y, hi.y)};
  if (!(clamped == o)) setContentOffset(clamped);
  if (auto d2 = scrollDelegate()) d2->scrollViewDidZoom(*this);
}

void ScrollView::zoomToRect(const Rect& r, bool animated) {
  if (r.size.width <= 0 || r.size.height <= 0) return;
  Size b = bounds().size;
  double s = std::min(b.width / r.size.width, b.height / r.size.height);
  setZoomScale(s, animated);
  s = zoomScale_;
  Point lo = minimumContentOffset(), hi = maximumContentOffset();
  Point o{r.midX() * s - b.width / 2, r.midY() * s - b.height / 2};
  setContentOffset({std::clamp(o.x, lo.x, hi.x), std::clamp(o.y, lo.y, hi.y)}, animated);
}

void ScrollView::scrollRectToVisible(const Rect& r, bool animated) {
  Rect b = bounds();
  Point o = b.origin;
  if (r.maxX() > b.maxX()) o.x = r.maxX() - b.size.width;
  if (r.minX() < o.x) o.x = r.minX();
  if (r.maxY() > b.maxY()) o.y = r.maxY() - b.size.height;
  if (r.minY() < o.y) o.y = r.minY();
  Point lo = minimumContentOffset(), hi = maximumContentOffset();
  setContentOffset({std::clamp(o.x, lo.x, hi.x), std::clamp(o.y, lo.y, hi.y)}, animated);
}

bool ScrollView::pinch(double factor, std::optional<Point> around) {
  auto d = scrollDelegate();
  auto zv = d ? d->viewForZoomingInScrollView(*this) : nullptr;
  if (!zv || maxZoom_ <= minZoom_) return false;
  auto self = weak_from_this().lock();
  zooming_ = true;
  d->scrollViewWillBeginZooming(*this, zv.get());
  const double before = zoomScale_;
  const Point origin = zv->frame().origin;
  const Point o = contentOffset();
  setZoomScale(zoomScale_ * factor);
  if (around && before > 0 && std::isfinite(around->x) && std::isfinite(around->y)) {
    // The point of the zooming view under the fingers, and where it lies now.
    const Point own{(around->x - origin.x) / before, (around->y - origin.y) / before};
    const Point moved{zv->frame().x() + own.x * zoomScale_, zv->frame().y() + own.y * zoomScale_};
    const Point lo = minimumContentOffset(), hi = maximumContentOffset();
    setContentOffset({std::clamp(o.x + moved.x - around->x, lo.x, hi.x),
                      std::clamp(o.y + moved.y - around->y, lo.y, hi.y)});
  }
  zooming_ = false;
  if (auto d2 = scrollDelegate()) d2->scrollViewDidEndZooming(*this, zv.get(), zoomScale_);
  return true;
}

bool ScrollView::scrollToTop() {
  if (!scrollsToTop_) return false;
  if (auto d = scrollDelegate(); d && !d->scrollViewShouldScrollToTop(*this).value_or(true)) return false;
  setContentOffset({contentOffset().x, minimumContentOffset().y}, true);
  if (auto d = scrollDelegate()) d->scrollViewDidScrollToTop(*this);
  return true;
}

void ScrollView::describeProperties(std::vector<std::string>& out) const {
  Point o = contentOffset();
  out.push_back("offset=(" + formatNumber(o.x) + ", " + formatNumber(o.y) + ")");
  out.push_back("content=" + formatNumber(contentSize_.width) + "x" + formatNumber(contentSize_.height));
  if (zoomScale_ != 1) out.push_back("zoom=" + formatNumber(zoomScale_));
  View::describeProperties(out);
}

}  // namespace platform
