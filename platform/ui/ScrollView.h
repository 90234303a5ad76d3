#pragma once
#include <memory>
#include <optional>

#include "platform/ui/View.h"

namespace platform {

class ScrollView;

// Told about scrolling, dragging and zooming; every method optional.
class ScrollViewDelegate {
 public:
  virtual ~ScrollViewDelegate() = default;
  virtual void scrollViewDidScroll(ScrollView& sv) {}
  virtual void scrollViewWillBeginDragging(ScrollView& sv) {}
  virtual void scrollViewDidEndDragging(ScrollView& sv, bool willDecelerate) {}
  virtual void scrollViewWillBeginDecelerating(ScrollView& sv) {}
  virtual void scrollViewDidEndDecelerating(ScrollView& sv) {}
  virtual void scrollViewDidEndScrollingAnimation(ScrollView& sv) {}
  // The view that zooms; null (the default) means the scroll view does not zoom.
  virtual std::shared_ptr<View> viewForZoomingInScrollView(ScrollView& sv) { return nullptr; }
  virtual void scrollViewWillBeginZooming(ScrollView& sv, View* view) {}
  virtual void scrollViewDidZoom(ScrollView& sv) {}
  virtual void scrollViewDidEndZooming(ScrollView& sv, View* view, double scale) {}
  virtual std::optional<bool> scrollViewShouldScrollToTop(ScrollView& sv) { return std::nullopt; }
  virtual void scrollViewDidScrollToTop(ScrollView& sv) {}
};

// A view whose bounds origin is the content offset, so its subviews scroll. The offset moves by
// setContentOffset (didScroll on every change) or by a drag that the event source drives:
// beginDragging (willBeginDragging), dragTo (didScroll; beyond the edges too, as a rubber band),
// endDragging: the resting offset is the nearest valid one (between -insets and the content size
// less the bounds plus the insets) or, with paging, the nearest page (the next one in the
// direction of a non-zero velocity); when that differs the view "decelerates" there at once:
// didEndDragging(true), willBeginDecelerating, didScroll (one step per point while springing back
// from beyond an edge, one step otherwise), didEndDecelerating; otherwise didEndDragging(false). An animated
// setContentOffset moves at once and reports didEndScrollingAnimation 0.3 s later through the main run loop.
// Zooming scales the delegate's zooming view by a transform between the minimum and maximum zoom
// scales; the content size becomes that view's scaled size and the view's frame starts at 0, 0.
class ScrollView : public View {
 public:
  static constexpr double ScrollAnimationDuration = 0.3;

  explicit ScrollView(Rect frame = {});
  ~ScrollView() override;

  Size contentSize() const { return contentSize_; }
  virtual void setContentSize(Size s) { contentSize_ = s; }
  Point contentOffset() const { return bounds().origin; }
  void setContentOffset(Point offset, bool animated = false);
  EdgeInsets contentInset() const { return contentInset_; }
  void setContentInset(EdgeInsets e) { contentInset_ = e; }
  EdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
  void setScrollIndicatorInsets(EdgeInsets e) { indicatorInsets_ = e; }
  // The valid range of offsets.
  Point minimumContentOffset() const;
  Point maximumContentOffset() const;

  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool e) { scrollEnabled_ = e; }
  bool isPagingEnabled() const { return paging_; }
  void setPagingEnabled(bool p) { paging_ = p; }
  bool bounces() const { return bounces_; }
  void setBounces(bool b) { bounces_ = b; }
  bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
  void setAlwaysBounceVertical(bool b) { alwaysBounceVertical_ = b; }
  bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
  void setAlwaysBounceHorizontal(bool b) { alwaysBounceHorizontal_ = b; }
  bool showsHorizontalScrollIndicator() const { return showsH_; }
  void setShowsHorizontalScrollIndicator(bool s) { showsH_ = s; }
  bool showsVerticalScrollIndicator() const { return showsV_; }
  void setShowsVerticalScrollIndicator(bool s) { showsV_ = s; }
  bool scrollsToTop() const { return scrollsToTop_; }
  void setScrollsToTop(bool s) { scrollsToTop_ = s; }
  bool isDirectionalLockEnabled() const { return directionalLock_; }
  void setDirectionalLockEnabled(bool d) { directionalLock_ = d; }
  bool delaysContentTouches() const { return delaysContentTouches_; }
  void setDelaysContentTouches(bool d) { delaysContentTouches_ = d; }
  bool isDragging() const { return dragging_; }
  bool isTracking() const { return dragging_; }
  bool isDecelerating() const { return decelerating_; }

  double zoomScale() const { return zoomScale_; }
  void setZoomScale(double scale, bool animated = false);
  double minimumZoomScale() const { return minZoom_; }
  void setMinimumZoomScale(double s) { minZoom_ = s; }
  double maximumZoomScale() const { return maxZoom_; }
  void setMaximumZoomScale(double s) { maxZoom_ = s; }
  bool bouncesZoom() const { return bouncesZoom_; }
  void setBouncesZoom(bool b) { bouncesZoom_ = b; }
  bool isZooming() const { return zooming_; }
  // Zooms so that the rectangle (in the zooming view's own coordinates) fills the bounds.
  void zoomToRect(const Rect& rect, bool animated);
  // Scrolls the least distance that brings the rectangle (content coordinates) into view.
  void scrollRectToVisible(const Rect& rect, bool animated);

  const std::weak_ptr<ScrollViewDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<ScrollViewDelegate> d) { delegate_ = std::move(d); }

  // --- Driven by the event source (UIDriver) --------------------------------------------------
  // Refused (false) when scrolling is off.
  bool beginDragging();
  void dragTo(Point offset);
  void endDragging(Point velocity = {});
  // A pinch by the factor around the gesture: willBeginZooming, the new scale, didEndZooming.
  // With the fingers' midpoint (in this view's coordinates) the content under it stays under it,
  // as far as the offsets allow. False when the scroll view does not zoom.
  bool pinch(double factor, std::optional<Point> around = std::nullopt);
  // The status bar was tapped: scrolls to the top when allowed.
  bool scrollToTop();

  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  std::shared_ptr<ScrollViewDelegate> scrollDelegate() const { return delegate_.lock(); }
  Point restingOffset(Point from, Point velocity) const;
  // The page a drag ending at p with the velocity settles on (p itself without paging).
  Point pageTarget(Point p, Point velocity) const;

 private:
  Size contentSize_;
  EdgeInsets contentInset_;
  EdgeInsets indicatorInsets_;
  bool scrollEnabled_ = true;
  bool paging_ = false;
  bool bounces_ = true;
  bool alwaysBounceVertical_ = false;
  bool alwaysBounceHorizontal_ = false;
  bool showsH_ = true;
  bool showsV_ = true;
  bool scrollsToTop_ = true;
  bool directionalLock_ = false;
  bool delaysContentTouches_ = true;
  bool dragging_ = false;
  bool decelerating_ = false;
  bool zooming_ = false;
  double zoomScale_ = 1;
  double minZoom_ = 1;
  double maxZoom_ = 1;
  bool bouncesZoom_ = true;
  std::weak_ptr<ScrollViewDelegate> delegate_;
};

}  // namespace platform
