#include "kit/ui/UIKavroTitleView.h"

#include <algorithm>
#include <cmath>

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "platform/foundation/Format.h"
#include "platform/ui/Font.h"
#include "platform/ui/Screen.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<UIKavroTitleView> UIKavroTitleView::create() {
  std::shared_ptr<UIKavroTitleView> view(new UIKavroTitleView());
  view->setShowSubTitle(true);
  return view;
}

UIKavroTitleView::UIKavroTitleView()
    : platform::View(Rect(0, 0, 200, 40)),
      mainTitle_(std::make_shared<platform::Label>()),
      subTitle_(std::make_shared<platform::Label>()) {
  for (auto* label : {mainTitle_.get(), subTitle_.get()}) {
    label->setTextAlignment(platform::TextAlignment::Center);
    label->setBackgroundColor(platform::Color::clear());
  }
  AppSkin::apply(mainTitle_.get(), "nav_title_main", "common");
  AppSkin::apply(subTitle_.get(), "nav_title_sub", "common");
  addSubview(mainTitle_);
  addSubview(subTitle_);
  ready_ = true;
}

void UIKavroTitleView::setShowSubTitle(bool show) {
  if (show == showSubTitle_) return;
  showSubTitle_ = show;
  layout();
}

void UIKavroTitleView::onlyMainTitle(const std::string& title) {
  showSubTitle_ = false;
  mainTitle_->setText(title);
  if (navItem_) navItem_->setTitle(title);
  layout();
}

void UIKavroTitleView::bothTitle(const std::string& title, const std::string& subtitle) {
  showSubTitle_ = true;
  mainTitle_->setText(title);
  if (navItem_) navItem_->setTitle(title);
  subTitle_->setText(subtitle);
  layout();
}

void UIKavroTitleView::setCurrentTitle(const std::string& title, int count) {
  if (count >= 1) {
    bothTitle(title,
              platform::format(AppCoreInfo::getLocalizedString("common_text_total_num_format__int"), count));
  } else {
    onlyMainTitle(title);
  }
}

double UIKavroTitleView::measuredWidth(const platform::Label& label) const {
  // Measured at the label's minimum font size as the skin sets it; a label the skin left
  // without one is measured at its own font size rather than as zero wide.
  double size = label.minimumFontSize() > 0 ? label.minimumFontSize() : label.font().pointSize();
  double w = platform::TextMetrics::sizeWithFont(label.text(), platform::Font::systemFontOfSize(size)).width;
  return std::min(w, titleViewMaxWidth_);
}

void UIKavroTitleView::layout() { setFrame(frame()); }

void UIKavroTitleView::setFrame(Rect) {
  if (!ready_) {
    platform::View::setFrame(Rect(0, 0, 200, 40));
    return;
  }
  double screenWidth = platform::Screen::mainScreen().bounds().size.width;
  double mainWidth = measuredWidth(*mainTitle_);
  if (showSubTitle_) {
    double w = std::max(mainWidth, measuredWidth(*subTitle_));
    mainTitle_->setFrame(Rect(0, std::floor(titleViewHeightPadding_), w, mainTitleHeight_));
    subTitle_->setFrame(Rect(0, std::floor(mainTitleHeight_ + titleViewHeightPadding_), w, subTitleHeight_));
    subTitle_->setHidden(false);
    platform::View::setFrame(Rect((screenWidth - w) / 2, 0, w, titleViewMaxHeight_));
  } else {
    double w = mainWidth;
    mainTitle_->setFrame(
        Rect(0, std::floor(titleViewHeightPadding_), w, titleViewMaxHeight_ - 2 * titleViewHeightPadding_));
    subTitle_->setHidden(true);
    platform::View::setFrame(Rect(std::floor((screenWidth - w) / 2), 0, w, titleViewMaxHeight_));
  }
}

}  // namespace kavro
