#include "kit/ui/UILoadingView.h"

#include <algorithm>

#include "platform/ui/TextMetrics.h"

namespace kavro {

UILoadingView::UILoadingView(platform::Rect frame)
    : View(frame),
      activityView_(
          std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorViewStyle::Gray)),
      label_(std::make_shared<platform::Label>()) {
  label_->setBackgroundColor(std::nullopt);
  // Its hidden flag is the skin's and setHiddenActivity's to set, not the animation's.
  activityView_->setHidesWhenStopped(false);
  addSubview(activityView_);
  addSubview(label_);
  activityView_->startAnimating();
  autoResizing();
}

void UILoadingView::setText(std::string_view text) {
  text_ = std::string(text);
  label_->setText(text_);
  setHidden(false);
  autoResizing();
}

void UILoadingView::setHiddenActivity(bool hidden) {
  hiddenActivity_ = hidden;
  activityView_->setHidden(hidden);
  autoResizing();
}

void UILoadingView::setCenterAlign(bool center) {
  if (center == centerAlign_) return;
  centerAlign_ = center;
  autoResizing();
}

void UILoadingView::autoResizing() {
  const platform::Size own = bounds().size;
  const platform::Size indicator = activityView_->sizeThatFits({});
  const bool indicatorHidden = activityView_->isHidden();
  if (indicatorHidden)
    activityView_->stopAnimating();
  else
    activityView_->startAnimating();
  const double indicatorPart = indicatorHidden ? 0 : indicator.width + Gap;
  const double room = std::max(0.0, own.width - indicatorPart);
  const double textWidth = std::min(room, platform::TextMetrics::sizeWithFont(text_, label_->font()).width);
  const double content = indicatorPart + textWidth;
  const double x0 = centerAlign_ ? std::max(0.0, (own.width - content) / 2) : 0;
  activityView_->setFrame({x0, (own.height - indicator.height) / 2, indicator.width, indicator.height});
  label_->setTextAlignment(centerAlign_ ? platform::TextAlignment::Center : platform::TextAlignment::Left);
  label_->setFrame({x0 + indicatorPart, 0, textWidth, own.height});
}

}  // namespace kavro
