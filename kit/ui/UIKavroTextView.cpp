#include "kit/ui/UIKavroTextView.h"

#include "kit/skin/AppSkin.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Text.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<UIKavroTextView> UIKavroTextView::create(std::optional<std::string> format) {
  std::shared_ptr<UIKavroTextView> box(new UIKavroTextView());
  box->format_ = format.value_or("%d");
  box->bgView_ = std::make_shared<platform::View>();
  box->bgView_->setShadowOffset({1, 1});
  box->bgView_->setShadowOpacity(0.7);
  AppSkin::apply(box->bgView_.get(), "more_feedback_content_bgview", "the_more");
  box->contentView_ = UIPlaceHolderTextView::create();
  box->contentView_->setDelegate(box);
  AppSkin::apply(box->contentView_.get(), "more_feedback_content_view", "the_more");
  box->bgView_->addSubview(box->contentView_);
  box->lblCount_ = std::make_shared<platform::Label>();
  box->lblCount_->setBackgroundColor(platform::Color::white().withAlpha(0.5));
  return box;
}

void UIKavroTextView::setTextCount(int count) {
  lblCount_->setText(platform::format(format_, count));
  int previous = textCount_;
  if (limit_ != 0 && count > limit_ && previous <= limit_) {
    normalColor_ = lblCount_->textColor();
    lblCount_->setTextColor(platform::Color::red());
  } else if (normalColor_ && previous > limit_ && count <= limit_) {
    lblCount_->setTextColor(*normalColor_);
  }
  textCount_ = count;
}

void UIKavroTextView::adjustTextViewHeight(double height) {
  Rect f = bgView_->frame();
  f.size.height = height;
  bgView_->setFrame(f);
  Rect c = contentView_->frame();
  c.size.height = height - 6;
  contentView_->setFrame(c);
}

void UIKavroTextView::textViewDidChange(platform::TextView& tv) {
  setTextCount(int(platform::utf16Length(tv.text())));
}

}  // namespace kavro
