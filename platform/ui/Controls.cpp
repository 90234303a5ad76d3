// The small controls and indicators: Switch, ActivityIndicatorView, ProgressView, PageControl,
// SegmentedControl.
#include <algorithm>
#include <cmath>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

// --- Switch ------------------------------------------------------------------------------------

Switch::Switch(Rect frame) : Control(Rect(frame.origin, Size{79, 27})) {}

void Switch::touchUpInside(const Touch&) {
  on_ = !on_;
  sendActionsForControlEvents(ControlEvent::ValueChanged);
}

void Switch::describeProperties(std::vector<std::string>& out) const {
  out.push_back(on_ ? "on" : "off");
  Control::describeProperties(out);
}

// --- ActivityIndicatorView ---------------------------------------------------------------------

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style)
    : View(Rect(Point{}, sizeForStyle(style))), style_(style) {
  setUserInteractionEnabled(false);
  initHidden(true);
}

void ActivityIndicatorView::setActivityIndicatorViewStyle(ActivityIndicatorViewStyle s) {
  style_ = s;
  Point c = center();
  Size sz = sizeForStyle(s);
  setFrame(Rect(c.x - sz.width / 2, c.y - sz.height / 2, sz.width, sz.height));
}

void ActivityIndicatorView::setHidesWhenStopped(bool h) {
  hidesWhenStopped_ = h;
  if (!animating_) setHidden(h);
}

void ActivityIndicatorView::startAnimating() {
  animating_ = true;
  setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
  animating_ = false;
  if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::describeProperties(std::vector<std::string>& out) const {
  if (animating_) out.push_back("animating");
  View::describeProperties(out);
}

// --- ProgressView ------------------------------------------------------------------------------

ProgressView::ProgressView(ProgressViewStyle style) : View(Rect(0, 0, 150, 9)), style_(style) {}

void ProgressView::setProgress(double p, bool) { progress_ = std::clamp(std::isnan(p) ? 0.0 : p, 0.0, 1.0); }

void ProgressView::describeProperties(std::vector<std::string>& out) const {
  out.push_back("progress=" + formatNumber(progress_));
  View::describeProperties(out);
}

// --- PageControl -------------------------------------------------------------------------------

PageControl::PageControl(Rect frame) : Control(frame) {}

void PageControl::setNumberOfPages(int n) {
  pages_ = std::max(0, n);
  current_ = std::clamp(current_, 0, std::max(0, pages_ - 1));
  shown_ = current_;
  rebuild();
}

void PageControl::setCurrentPage(int page) {
  current_ = std::clamp(page, 0, std::max(0, pages_ - 1));
  shown_ = current_;
  rebuild();
}

void PageControl::setHidesForSinglePage(bool h) {
  hidesForSinglePage_ = h;
  rebuild();
}

void PageControl::updateCurrentPageDisplay() {
  shown_ = current_;
  rebuild();
}

void PageControl::rebuild() {
  std::size_t n = std::size_t(pages_);
  while (subviews().size() > n) subviews().back()->removeFromSuperview();
  while (subviews().size() < n) addSubview(std::make_shared<ImageView>(Rect(0, 0, 7, 7)));
  for (std::size_t i = 0; i < n; ++i)
    subviews()[i]->setBackgroundColor(int(i) == shown_ ? Color::white() : Color::grey(0.5));
  setHidden(hidesForSinglePage_ && pages_ <= 1);
  setNeedsLayout();
}

void PageControl::layoutSubviews() {
  Rect b = bounds();
  double total = 16.0 * pages_;
  double x0 = (b.size.width - total) / 2 + 4.5;
  for (std::size_t i = 0; i < subviews().size(); ++i) {
    Rect f = subviews()[i]->frame();
    subviews()[i]->setFrame(
        Rect(x0 + 16.0 * double(i), (b.size.height - f.size.height) / 2, f.size.width, f.size.height));
  }
}

void PageControl::touchUpInside(const Touch& t) {
  if (pages_ == 0) return;
  Point p = t.locationInView(this);
  int next = p.x >= bounds().midX() ? current_ + 1 : current_ - 1;
  next = std::clamp(next, 0, pages_ - 1);
  if (next == current_) return;
  current_ = next;
  if (!defers_) shown_ = current_;
  rebuild();
  sendActionsForControlEvents(ControlEvent::ValueChanged);
}

void PageControl::describeProperties(std::vector<std::string>& out) const {
  out.push_back("page=" + std::to_string(current_) + "/" + std::to_string(pages_));
  Control::describeProperties(out);
}

// --- SegmentedControl --------------------------------------------------------------------------

SegmentedControl::SegmentedControl(std::vector<std::string> titles) : Control(Rect()) {
  for (auto& t : titles) segments_.push_back(Segment{std::move(t), nullptr, true, 0});
  Size s = sizeThatFits(Size{});
  setFrame(Rect(Point{}, s));
  setNeedsLayout();
}

void SegmentedControl::setSelectedSegmentIndex(int index) {
  selected_ = index >= 0 && index < numberOfSegments() ? index : NoSegment;
  setNeedsLayout();
}

void SegmentedControl::insertSegmentWithTitle(std::string title, int index, bool) {
  index = std::clamp(index, 0, numberOfSegments());
  segments_.insert(segments_.begin() + index, Segment{std::move(title), nullptr, true, 0});
  if (selected_ >= index) ++selected_;
  setNeedsLayout();
}

void SegmentedControl::insertSegmentWithImage(std::shared_ptr<Image> image, int index, bool) {
  index = std::clamp(index, 0, numberOfSegments());
  segments_.insert(segments_.begin() + index, Segment{"", std::move(image), true, 0});
  if (selected_ >= index) ++selected_;
  setNeedsLayout();
}

void SegmentedControl::removeSegmentAtIndex(int index, bool) {
  if (index < 0 || index >= numberOfSegments()) return;
  segments_.erase(segments_.begin() + index);
  if (selected_ == index)
    selected_ = NoSegment;
  else if (selected_ > index)
    --selected_;
  setNeedsLayout();
}

void SegmentedControl::removeAllSegments() {
  segments_.clear();
  selected_ = NoSegment;
  setNeedsLayout();
}

void SegmentedControl::setTitle(std::string title, int segment) {
  if (segment < 0 || segment >= numberOfSegments()) return;
  segments_[std::size_t(segment)].title = std::move(title);
  segments_[std::size_t(segment)].image.reset();
  setNeedsLayout();
}

std::string SegmentedControl::titleForSegmentAtIndex(int segment) const {
  return segment >= 0 && segment < numberOfSegments() ? segments_[std::size_t(segment)].title : "";
}

void SegmentedControl::setImage(std::shared_ptr<Image> image, int segment) {
  if (segment < 0 || segment >= numberOfSegments()) return;
  segments_[std::size_t(segment)].image = std::move(image);
  setNeedsLayout();
}

std::shared_ptr<Image> SegmentedControl::imageForSegmentAtIndex(int segment) const {
  return segment >= 0 && segment < numberOfSegments() ? segments_[std::size_t(segment)].image : nullptr;
}

void SegmentedControl::setEnabled(bool enabled, int segment) {
  if (segment < 0 || segment >= numberOfSegments()) return;
  segments_[std::size_t(segment)].enabled = enabled;
  setNeedsLayout();
}

bool SegmentedControl::isEnabledForSegmentAtIndex(int segment) const {
  return segment >= 0 && segment < numberOfSegments() && segments_[std::size_t(segment)].enabled;
}

void SegmentedControl::setWidth(double width, int segment) {
  if (segment < 0 || segment >= numberOfSegments()) return;
  segments_[std::size_t(segment)].width = std::max(0.0, width);
  setNeedsLayout();
}

double SegmentedControl::widthForSegmentAtIndex(int segment) const {
  return segment >= 0 && segment < numberOfSegments() ? segments_[std::size_t(segment)].width : 0;
}

bool SegmentedControl::tapSegment(int segment) {
  if (!isEnabled() || !isEnabledForSegmentAtIndex(segment)) return false;
  auto self = weak_from_this().lock();
  selected_ = segment;
  sendActionsForControlEvents(ControlEvent::ValueChanged);
  if (momentary_) selected_ = NoSegment;
  setNeedsLayout();
  return true;
}

Size SegmentedControl::sizeThatFits(Size) const {
  double w = 0;
  Font f = Font::boldSystemFontOfSize(13);
  for (auto& s : segments_) {
    double sw =
        s.width > 0 ? s.width : (s.image ? s.image->size().width : TextMetrics::widthOfText(s.title, f)) + 20;
    w += std::ceil(sw);
  }
  return Size{w, style_ == SegmentedControlStyle::Bar ? 30.0 : 44.0};
}

void SegmentedControl::layoutSubviews() {
  for (auto sub : std::vector<std::shared_ptr<View>>(subviews())) sub->removeFromSuperview();
  if (segments_.empty()) return;
  Rect b = bounds();
  double fixed = 0;
  int flexible = 0;
  for (auto& s : segments_) {
    fixed += s.width;
    if (s.width <= 0) ++flexible;
  }
  double share = flexible > 0 ? std::max(0.0, b.size.width - fixed) / flexible : 0;
  double x = 0;
  std::weak_ptr<SegmentedControl> weak = std::static_pointer_cast<SegmentedControl>(weak_from_this().lock());
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const auto& s = segments_[i];
    double w = s.width > 0 ? s.width : share;
    auto button = Button::buttonWithType(ButtonType::Custom, Rect(x, 0, w, b.size.height));
    button->titleLabel()->setFont(Font::boldSystemFontOfSize(13));
    if (s.image)
      button->setImage(s.image);
    else
      button->setTitle(s.title);
    button->setSelected(int(i) == selected_);
    button->setEnabled(isEnabled() && s.enabled);
    button->setBorderWidth(1);
    button->setBorderColor(Color::grey(0.4));
    if (int(i) == selected_) button->setBackgroundColor(tint_ ? *tint_ : Color::rgba(0.2, 0.4, 0.8));
    int index = int(i);
    button->addTarget(this, ControlEvent::TouchUpInside, [weak, index](Control&) {
      if (auto sc = weak.lock()) sc->tapSegment(index);
    });
    addSubview(button);
    x += w;
  }
}

void SegmentedControl::describeProperties(std::vector<std::string>& out) const {
  out.push_back("selected=" + std::to_string(selected_));
  Control::describeProperties(out);
}

}  // namespace platform
