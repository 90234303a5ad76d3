#include "mapsdk/display/PaopaoButton.h"

#include <cmath>

#include "mapsdk/display/StretchImageUtil.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextMetrics.h"

namespace mapsdk {

using platform::Rect;

namespace {

std::shared_ptr<platform::Label> makeLabel(double fontSize) {
  auto label = std::make_shared<platform::Label>();
  label->setBackgroundColor(std::nullopt);
  label->setTextColor(platform::Color::rgba(59.0 / 255, 59.0 / 255, 59.0 / 255, 1));
  label->setTextAlignment(platform::TextAlignment::Center);
  label->setFont(platform::Font::systemFontOfSize(fontSize));
  return label;
}

platform::Size measure(const std::optional<std::string>& text, const platform::Label& label) {
  if (!text) return {};
  return platform::TextMetrics::sizeWithFont(*text, label.font());
}

}  // namespace

PaopaoButton::PaopaoButton(std::string_view leftImage, std::string_view highlightedLeftImage,
                           const Rect& leftStretchRect, std::string_view rightImage,
                           std::string_view highlightedRightImage, const Rect& rightStretchRect) {
  leftImage_ =
      StretchImageUtil::getStretchImageViewWithImageName(leftImage, highlightedLeftImage, leftStretchRect);
  rightImage_ =
      StretchImageUtil::getStretchImageViewWithImageName(rightImage, highlightedRightImage, rightStretchRect);
  leftImage_->sizeToFit();
  rightImage_->sizeToFit();
  addSubview(leftImage_);
  addSubview(rightImage_);
  label_ = makeLabel(15);
  detailLabel_ = makeLabel(13);
  addSubview(label_);
  addSubview(detailLabel_);
}

void PaopaoButton::setText(const std::optional<std::string>& text,
                           const std::optional<std::string>& detailText) {
  platform::Size t = measure(text, *label_), d = measure(detailText, *detailLabel_);
  double width = std::max(t.width, d.width) + 2 * textPadding_;
  if (width > maxWidth_)
    width = maxWidth_;
  else if (width < minWidth_)
    width = minWidth_;
  double labelWidth = width - 2 * textPadding_;
  double block = t.height + d.height;
  label_->setFrame(Rect(textPadding_, std::floor((paopaoHeight_ - block) * 0.5), labelWidth, t.height));
  label_->setText(text.value_or(""));
  if (detailText) {
    detailLabel_->setHidden(false);
    Rect l = label_->frame();
    detailLabel_->setFrame(Rect(textPadding_, l.y() + l.height(), labelWidth, d.height));
    detailLabel_->setText(*detailText);
  } else {
    detailLabel_->setHidden(true);
  }
  adjustPaopaoForWidth(width, 0);
}

void PaopaoButton::adjustPaopaoForWidth(double width, double leftOffset) {
  double half = std::floor(width * 0.5);
  leftImage_->setFrame(Rect(0, 0, half, leftImage_->frame().height()));
  rightImage_->setFrame(Rect(half, 0, width - half, rightImage_->frame().height()));
  Rect f = frame();
  setFrame(Rect(f.x(), f.y(), width, leftImage_->frame().height()));
  if (leftOffset > 0.00001) {
    label_->setFrame(label_->frame().offsetBy(leftOffset, 0));
    if (!detailLabel_->isHidden()) detailLabel_->setFrame(detailLabel_->frame().offsetBy(leftOffset, 0));
  }
}

void PaopaoButton::setHighlighted(bool highlighted) {
  Control::setHighlighted(highlighted);
  leftImage_->setHighlighted(highlighted);
  rightImage_->setHighlighted(highlighted);
}

}  // namespace mapsdk
