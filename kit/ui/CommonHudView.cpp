#include "kit/ui/CommonHudView.h"

#include <algorithm>
#include <cmath>

#include "kit/ui/CommonHud.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextMetrics.h"

namespace kavro {

using platform::Rect;
using platform::Size;

namespace {
constexpr double CaptionWidthLimit = 160;
constexpr double CaptionHeightLimit = 200;

double cut(double v) { return std::trunc(v); }
}  // namespace

Rect CommonProgressLayer::outlineRect() const {
  if (theProgress <= 0) return {};
  double b = progressBorderWidth;
  return {b, b, frame.width() - 2 * b, frame.height() - 2 * b};
}

Rect CommonProgressLayer::fillRect() const {
  Rect outline = outlineRect();
  if (outline.isEmpty()) return {};
  double i = progressBarInset;
  double p = std::min(theProgress, 1.0);
  return {outline.x() + i, outline.y() + i, (outline.width() - 2 * i) * p, outline.height() - 2 * i};
}

CommonHudView::CommonHudView(Rect frame, CommonHud* controller)
    : View(frame),
      activity_(std::make_shared<platform::ActivityIndicatorView>()),
      p_(controller),
      captionLabel_(std::make_shared<platform::Label>()),
      imageView_(std::make_shared<platform::ImageView>()),
      backgroundView_(std::make_shared<platform::View>()) {
  backgroundView_->setUserInteractionEnabled(false);
  addSubview(backgroundView_);
  activity_->setHidesWhenStopped(true);
  addSubview(activity_);
  captionLabel_->setFont(platform::Font::boldSystemFontOfSize(14));
  captionLabel_->setTextColor(platform::Color::white());
  captionLabel_->setShadowColor(platform::Color::black());
  captionLabel_->setShadowOffset({0, 1});
  captionLabel_->setTextAlignment(platform::TextAlignment::Center);
  captionLabel_->setNumberOfLines(0);
  captionLabel_->setLineBreakMode(platform::LineBreakMode::WordWrap);
  captionLabel_->setBackgroundColor(std::nullopt);
  addSubview(captionLabel_);
  addSubview(imageView_);
  setAlpha(0);
  // The box's own backing: the background layer's translucent black lies on it, so the tip reads
  // the same over any page and nothing of the page shows through.
  setBackgroundColor(platform::Color::white());
  setCornerRadius(backgroundLayer_.cornerRadius);
  setOpaque(false);
  setShadowColor(platform::Color::black());
  setShadowRadius(8);
  setShadowOffset({0, 3});
  setShadowOpacity(0.4);
  backgroundLayer_.color = platform::Color::grey(0, controller ? controller->alpha() : 0.7);
}

Size CommonHudView::sizeForActivityStyle(int style) { return style == 0 ? Size{37, 37} : Size{20, 20}; }

Rect CommonHudView::sharpRect(Rect r) { return {cut(r.x()), cut(r.y()), r.width(), r.height()}; }

platform::Point CommonHudView::sharpPoint(platform::Point p) { return {cut(p.x), cut(p.y)}; }

void CommonHudView::setProgress(double p) {
  double v = std::clamp(p, 0.0, 1.0);
  if (v > 0 && v < 0.08) v = 0.08;
  if (v != progress_) progress_ = v;
}

Size CommonHudView::measureCaption(double widthLimit) const {
  if (caption_.empty()) return {};
  return platform::TextMetrics::sizeWithFont(caption_, platform::Font::boldSystemFontOfSize(14),
                                             Size{widthLimit, CaptionHeightLimit},
                                             platform::LineBreakMode::WordWrap);
}

double CommonHudView::accessoryExtent(bool horizontal) const {
  double padding = p_ ? p_->padding() : 10;
  if (horizontal) {
    if (image_) return padding + image_->size().width;
    if (showActivity_) return padding + activitySize_.width;
    return 0;
  }
  if (progress_ > 0) return padding + progressRect_.height();
  if (image_) return padding + image_->size().height;
  if (showActivity_) return padding + activitySize_.height;
  return 0;
}

void CommonHudView::calculate() {
  if (!p_) return;
  const double m = p_->margin();
  const double padding = p_->padding();
  const int position = p_->accessoryPosition();
  const bool horizontal = position == 1 || position == 3;

  if (caption_.empty()) {
    activityRect_ = {m, m, activitySize_.width, activitySize_.height};
    targetBounds_ = {0, 0, activitySize_.width + 2 * m, activitySize_.height + 2 * m};
    return;
  }
  captionSize_ = measureCaption(CaptionWidthLimit);
  const double extent = accessoryExtent(horizontal);
  const double barWidth = progressRect_.width();
  double x0 = m, y0 = m, W = 0, H = 0;

  if (fixedSize_.width > 0 && fixedSize_.height > 0) {
    double fw = fixedSize_.width;
    if (progress_ > 0 && fw < barWidth + 2 * m) fw = barWidth + 2 * m;
    captionSize_ = measureCaption(fw - 2 * m);
    W = fw;
    H = fixedSize_.height;
    if (horizontal) {
      x0 = cut(W - extent - captionSize_.width) / 2;
      if (x0 < m) {
        captionSize_ = measureCaption(CaptionWidthLimit);
        W = extent + captionSize_.width + 2 * m;
        x0 = m;
      }
      y0 = cut(H - captionSize_.height) / 2;
      if (y0 < m) {
        H = captionSize_.height + 2 * m;
        y0 = m;
      }
    } else {
      x0 = (W - captionSize_.width) / 2;
      if (x0 < m) {
        captionSize_ = measureCaption(CaptionWidthLimit);
        W = captionSize_.width + 2 * m;
        x0 = m;
      }
      y0 = (H - extent - captionSize_.height) / 2;
      if (y0 < m) {
        H = extent + captionSize_.height + 2 * m;
        y0 = m;
      }
    }
  } else if (horizontal) {
    W = extent + captionSize_.width + 2 * m;
    H = captionSize_.height + 2 * m;
  } else if (progress_ > 0) {
    double contentWidth = captionSize_.width;
    if (captionSize_.width + 2 * m < barWidth) {
      captionSize_ = measureCaption(barWidth);
      contentWidth = barWidth;
    }
    W = contentWidth + 2 * m;
    H = extent + captionSize_.height + 2 * m;
  } else {
    W = captionSize_.width + 2 * m;
    H = extent + captionSize_.height + 2 * m;
  }
  targetBounds_ = {0, 0, W, H};

  const Size a = activitySize_;
  const Size img = image_ ? image_->size() : Size{};
  const Size bar = progressRect_.size;
  const Size cap = captionSize_;
  auto cx = [W](double w) { return (W - w) / 2; };
  auto cy = [H](double h) { return (H - h) / 2; };
  switch (position) {
    case 0:
      activityRect_ = {cx(a.width), y0, a.width, a.height};
      imageRect_ = {cx(img.width), y0, img.width, img.height};
      progressRect_ = {cx(bar.width), y0, bar.width, bar.height};
      captionRect_ = {cx(cap.width), y0 + extent, cap.width, cap.height};
      break;
    case 1:
      activityRect_ = {x0 + padding + cap.width, cy(a.height), a.width, a.height};
      imageRect_ = {x0 + padding + cap.width, cy(img.height), img.width, img.height};
      captionRect_ = {x0, y0, cap.width, cap.height};
      break;
    case 2:
      activityRect_ = {cx(a.width), y0 + cap.height + padding, a.width, a.height};
      imageRect_ = {cx(img.width), y0 + cap.height + padding, img.width, img.height};
      progressRect_ = {cx(bar.width), y0 + cap.height + padding, bar.width, bar.height};
      captionRect_ = {cx(cap.width), y0, cap.width, cap.height};
      break;
    case 3:
      activityRect_ = {x0, cy(a.height), a.width, a.height};
      imageRect_ = {x0, cy(img.height), img.width, img.height};
      captionRect_ = {x0 + extent, y0, cap.width, cap.height};
      break;
    default:
      break;
  }
}

Size CommonHudView::calculateSizeForQueueItem(const CommonHudQueueItem& item) const {
  const double m = p_ ? p_->margin() : 10;
  const double padding = p_ ? p_->padding() : 10;
  const Size indicator = sizeForActivityStyle(item.activityStyle);
  if (item.caption.empty()) return {indicator.width + 2 * m, indicator.height + 2 * m};
  Size cap = platform::TextMetrics::sizeWithFont(item.caption, platform::Font::boldSystemFontOfSize(14),
                                                 Size{CaptionWidthLimit, CaptionHeightLimit},
                                                 platform::LineBreakMode::WordWrap);
  const bool horizontal = item.accessoryPosition == 1 || item.accessoryPosition == 3;
  double extent = 0;
  if (item.image)
    extent = padding + (horizontal ? item.image->size().width : item.image->size().height);
  else if (item.showActivity)
    extent = padding + (horizontal ? indicator.width : indicator.height);
  if (horizontal) return {extent + cap.width + 2 * m, cap.height + 2 * m};
  if (item.accessoryPosition == 0 || item.accessoryPosition == 2)
    return {cap.width + 2 * m, extent + cap.height + 2 * m};
  return {};
}

void CommonHudView::show() {
  calculate();
  applyWithMode(0);
}

void CommonHudView::update() {
  calculate();
  applyWithMode(1);
}

void CommonHudView::hide() { applyWithMode(2); }

void CommonHudView::placeBox() {
  if (!p_) return;
  const Size box = targetBounds_.size;
  if (p_->center() == platform::Point{}) {
    Size outer = superviewPointer() ? superviewPointer()->bounds().size : Size{};
    setFrame({(outer.width - box.width) / 2, (outer.height - box.height) / 2, box.width, box.height});
  } else {
    setBounds({0, 0, box.width, box.height});
    setCenter(p_->center());
  }
}

void CommonHudView::copyBarMeasures() {
  if (!p_) return;
  progressLayer_.progressBorderWidth = p_->progressBorderWidth();
  progressLayer_.progressBorderRadius = p_->progressBorderRadius();
  progressLayer_.progressBarRadius = p_->progressBarRadius();
  progressLayer_.progressBarInset = p_->progressBarInset();
}

void CommonHudView::placeIndicator() {
  if (!showActivity_) return;
  activity_->setActivityIndicatorViewStyle(platform::ActivityIndicatorViewStyle(activityStyle_));
  activity_->setFrame(sharpRect(activityRect_));
}

void CommonHudView::applyWithMode(int mode) {
  if (!p_) return;
  std::weak_ptr<platform::Object> weakSelf = weak_from_this();
  auto self = [weakSelf]() { return std::static_pointer_cast<CommonHudView>(weakSelf.lock()); };
  auto delegate = p_->delegate();
  const Size box = targetBounds_.size;
  const platform::Point middle{box.width / 2, box.height / 2};

  if (mode == 0) {
    placeBox();
    backgroundLayer_.position = middle;
    backgroundLayer_.bounds = targetBounds_;
    captionLayer_.frame = sharpRect({captionRect_.origin, captionSize_});
    captionLayer_.caption = caption_;
    imageLayer_.contents = image_;
    imageLayer_.frame = sharpRect(imageRect_);
    progressLayer_.frame = sharpRect(progressRect_);
    copyBarMeasures();
    progressLayer_.theProgress = progress_;
    ++progressLayer_.displayCount;

    placeIndicator();
    showLayers();
    setFrame(sharpRect(frame()));
    if (delegate) delegate->hudWillAppear(*p_);
    const double scale = p_->appearScaleFactor();
    setTransform(platform::AffineTransform::makeScale(scale, scale));
    View::animate(
        0.1,
        [this] {
          setTransform(platform::AffineTransform::identity());
          setAlpha(1);
        },
        [self](bool finished) {
          auto v = self();
          if (!finished || !v || !v->p_) return;
          if (!v->p_->allowSuperviewInteraction()) {
            if (auto overlay = v->superview()) overlay->setUserInteractionEnabled(true);
          }
          if (auto d = v->p_->delegate()) d->hudDidAppear(*v->p_);
        });
  } else if (mode == 1) {
    if (delegate) delegate->hudWillUpdate(*p_);
    placeBox();
    captionLayer_.caption.clear();
    backgroundLayer_.position = middle;
    imageLayer_.frame = sharpRect(imageRect_);
    progressLayer_.frame = sharpRect(progressRect_);
    copyBarMeasures();
    captionLayer_.frame = sharpRect({captionRect_.origin, captionSize_});
    imageLayer_.contents = image_;

    backgroundLayer_.bounds = targetBounds_;
    progressLayer_.theProgress = progress_;
    ++progressLayer_.displayCount;
    captionLayer_.caption = caption_;
    placeIndicator();
    showLayers();
    setFrame(sharpRect(frame()));
    if (delegate) delegate->hudDidUpdate(*p_);
  } else if (mode == 2) {
    if (delegate) delegate->hudWillDisappear(*p_);
    const double scale = p_->disappearScaleFactor();
    View::animate(
        0.1,
        [this, scale] {
          setAlpha(0);
          setTransform(platform::AffineTransform::makeScale(scale, scale));
        },
        [self](bool finished) {
          auto v = self();
          if (!finished || !v || !v->p_) return;
          if (auto overlay = v->superview()) overlay->setUserInteractionEnabled(false);
          v->setTransform(platform::AffineTransform::identity());
          v->reset();
          if (auto d = v->p_->delegate()) d->hudDidDisappear(*v->p_);
        });
  }
}

void CommonHudView::reset() {
  if (!p_) return;
  caption_.clear();
  image_.reset();
  progress_ = 0;
  showActivity_ = false;
  activity_->stopAnimating();
  activityStyle_ = 1;
  activitySize_ = sizeForActivityStyle(1);
  p_->setAccessoryPosition(2);
  p_->setBlockTouches(false);
  p_->setAllowSuperviewInteraction(false);
  fixedSize_ = {};
  p_->setCenter({});
  imageLayer_.contents.reset();
  captionLayer_.caption.clear();
  showLayers();
}

void CommonHudView::showLayers() {
  setCornerRadius(backgroundLayer_.cornerRadius);
  backgroundView_->setBackgroundColor(backgroundLayer_.color);
  backgroundView_->setCornerRadius(backgroundLayer_.cornerRadius);
  backgroundView_->setFrame(backgroundLayer_.bounds);
  captionLabel_->setText(captionLayer_.caption);
  captionLabel_->setFrame(captionLayer_.frame);
  captionLabel_->setHidden(captionLayer_.caption.empty());
  imageView_->setImage(imageLayer_.contents);
  imageView_->setFrame(imageLayer_.frame);
  imageView_->setHidden(!imageLayer_.contents);
}

}  // namespace kavro
