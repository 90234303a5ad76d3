#include "kit/ui/UIPlaceHolderTextView.h"

#include "platform/ui/Font.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<UIPlaceHolderTextView> UIPlaceHolderTextView::create(Rect frame) {
  std::shared_ptr<UIPlaceHolderTextView> view(new UIPlaceHolderTextView(frame));
  view->initPlaceHolderLabel();
  return view;
}

UIPlaceHolderTextView::UIPlaceHolderTextView(Rect frame) : platform::TextView(frame) {}

UIPlaceHolderTextView::~UIPlaceHolderTextView() {
  if (observer_) platform::NotificationCenter::defaultCenter().removeObserver(observer_);
}

void UIPlaceHolderTextView::initPlaceHolderLabel() {
  placeHolderLabel_ = std::make_shared<platform::Label>(Rect(10, 8, bounds().size.width - 16, 0));
  placeHolderLabel_->setLineBreakMode(platform::LineBreakMode::WordWrap);
  placeHolderLabel_->setNumberOfLines(0);
  placeHolderLabel_->setBackgroundColor(platform::Color::clear());
  placeHolderLabel_->setTextColor(platform::Color::lightGray());
  placeHolderLabel_->setAlpha(0);
  addSubview(placeHolderLabel_);
  placeholder_.clear();
  // Any text view's change, as the platform's observation with no object does.
  std::weak_ptr<UIPlaceHolderTextView> weak = sharedAs<UIPlaceHolderTextView>();
  observer_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::TextViewTextDidChangeNotification, nullptr, [weak](const platform::Notification&) {
        if (auto self = weak.lock()) self->textChangedForPlaceholder();
      });
}

void UIPlaceHolderTextView::textChangedForPlaceholder() {
  if (placeholder_.empty() || !placeHolderLabel_) return;
  placeHolderLabel_->setAlpha(text().empty() ? 1 : 0);
}

void UIPlaceHolderTextView::drawRect() {
  if (!placeHolderLabel_) return;
  if (!placeholder_.empty()) {
    placeHolderLabel_->setText(placeholder_);
    placeHolderLabel_->setFont(font());
    placeHolderLabel_->setFrame(Rect(10, 8, bounds().size.width - 10, bounds().size.height - 8));
    // Fit the height to the text at the label's width.
    Rect f = placeHolderLabel_->frame();
    f.size.height = placeHolderLabel_->sizeThatFits({f.size.width, 0}).height;
    placeHolderLabel_->setFrame(f);
    sendSubviewToBack(placeHolderLabel_.get());
  }
  placeHolderLabel_->setAlpha(text().empty() && !placeholder_.empty() ? 1 : 0);
}

void UIPlaceHolderTextView::layoutSubviews() {
  platform::TextView::layoutSubviews();
  drawRect();
}

}  // namespace kavro
