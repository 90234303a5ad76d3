#include "kit/ui/UILoadingView.h"

#include <algorithm>

#include "platform/ui/Font.h"

namespace kavro {

using platform::Rect;

UILoadingView::UILoadingView(Rect frame)
    : platform::View(Rect()),
      label_(std::make_shared<platform::Label>()),
      activityView_(
          std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorViewStyle::Gray)) {
  label_->setBackgroundColor(platform::Color::clear());
  label_->setLineBreakMode(platform::LineBreakMode::TailTruncation);
  label_->setNumberOfLines(0);
  label_->setFont(platform::Font::systemFontOfSize(platform::Font::systemFontSize()));
  activityView_->setBackgroundColor(platform::Color::clear());
  activityView_->startAnimating();
  addSubview(label_);
  addSubview(activityView_);
  initHidden(true);
  ready_ = true;
  setFrame(frame);
  setBackgroundColor(platform::Color::clear());
}

UILoadingView::~UILoadingView() { activityView_->stopAnimating(); }

void UILoadingView::setFrame(Rect frame) {
  frame.size.width = std::max(frame.size.width, 50.0);
  frame.size.height = std::max(frame.size.height, 20.0);
  platform::View::setFrame(frame);
  if (ready_) autoResizing();
}

void UILoadingView::setText(std::string text) {
  text_ = std::move(text);
  label_->setText(text_);
  setHidden(false);
  autoResizing();
}

void UILoadingView::setTextColor(std::optional<platform::Color> color) {
  platform::Color c = color.value_or(platform::Color::black());
  if (c == textColor_) return;
  textColor_ = c;
  label_->setTextColor(c);
}

void UILoadingView::setActivityStyle(platform::ActivityIndicatorViewStyle style) {
  activityView_->setActivityIndicatorViewStyle(style);
  activityStyle_ = style;
}

void UILoadingView::setHiddenActivity(bool hidden) {
  hiddenActivity_ = hidden;
  autoResizing();
}

void UILoadingView::setCenterAlign(bool center) {
  if (center == centerAlign_) return;
  centerAlign_ = center;
  autoResizing();
}

void UILoadingView::autoResizing() {
  double W = frame().size.width, H = frame().size.height;
  label_->setTextAlignment(centerAlign_ ? platform::TextAlignment::Center : platform::TextAlignment::Left);
  activityView_->setHidden(hiddenActivity_);
  if (hiddenActivity_) {
    activityView_->stopAnimating();
  } else if (!activityView_->isAnimating()) {
    activityView_->startAnimating();
  }
  if (hiddenActivity_) {
    label_->setFrame(Rect(5, 5, W - 10, H - 10));
  } else if (!centerAlign_) {
    activityView_->setFrame(Rect(3, (H - 20) / 2, 20, 20));
    label_->setFrame(Rect(23, 0, W - 23, H));
  } else if (!label_->text().empty()) {
    double w = platform::TextMetrics::sizeWithFont(label_->text(), label_->font()).width;
    if (w <= W - 26) {
      activityView_->setFrame(Rect((W - 23 - w) / 2, (H - 20) / 2, 20, 20));
      label_->setFrame(Rect(23, 0, W - 23, H));
    } else {
      activityView_->setFrame(Rect(3, (H - 20) / 2, 20, 20));
      label_->setFrame(Rect(26, 0, W - 26, H));
    }
  } else {
    activityView_->setFrame(Rect((W - 20) / 2, (H - 20) / 2, 20, 20));
  }
}

}  // namespace kavro
