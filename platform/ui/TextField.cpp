#include "platform/ui/TextField.h"

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextEditing.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

TextField::TextField(Rect frame) : Control(frame) {
  setContentVerticalAlignment(ContentVerticalAlignment::Top);
}

void TextField::setText(std::string text) {
  text_ = std::move(text);
  std::size_t len = utf16Length(text_);
  selection_ = Range{len, 0};
}

void TextField::setSelectedRange(Range r) {
  std::size_t len = utf16Length(text_);
  std::size_t loc = std::min(r.location, len);
  selection_ = Range{loc, std::min(r.length, len - loc)};
}

void TextField::setLeftView(std::shared_ptr<View> v) {
  if (leftView_) leftView_->removeFromSuperview();
  leftView_ = std::move(v);
  setNeedsLayout();
}
void TextField::setLeftViewMode(TextFieldViewMode m) {
  leftViewMode_ = m;
  setNeedsLayout();
}
void TextField::setRightView(std::shared_ptr<View> v) {
  if (rightView_) rightView_->removeFromSuperview();
  rightView_ = std::move(v);
  setNeedsLayout();
}
void TextField::setRightViewMode(TextFieldViewMode m) {
  rightViewMode_ = m;
  setNeedsLayout();
}

bool TextField::sideViewShown(TextFieldViewMode mode) const {
  switch (mode) {
    case TextFieldViewMode::Always:
      return true;
    case TextFieldViewMode::WhileEditing:
      return editing_;
    case TextFieldViewMode::UnlessEditing:
      return !editing_;
    default:
      return false;
  }
}

bool TextField::canBecomeFirstResponder() const { return isEnabled(); }

bool TextField::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder() || !window()) return false;
  auto self = std::static_pointer_cast<TextField>(shared_from_this());
  auto d = delegate_.lock();
  if (d && !d->textFieldShouldBeginEditing(*this).value_or(true)) return false;
  Keyboard::FocusTransfer transfer;
  if (!View::becomeFirstResponder()) return false;
  editing_ = true;
  if (clearsOnBeginEditing_) text_.clear();
  selection_ = Range{utf16Length(text_), 0};
  setNeedsLayout();
  if (d) d->textFieldDidBeginEditing(*this);
  sendActionsForControlEvents(ControlEvent::EditingDidBegin);
  NotificationCenter::defaultCenter().post(TextFieldTextDidBeginEditingNotification, this);
  Keyboard::shared().inputDidBeginEditing(*this);
  return true;
}

bool TextField::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  auto self = std::static_pointer_cast<TextField>(shared_from_this());
  auto d = delegate_.lock();
  if (!View::isForcingResign() && d && !d->textFieldShouldEndEditing(*this).value_or(true)) return false;
  if (!View::resignFirstResponder()) return false;
  editing_ = false;
  setNeedsLayout();
  if (d) d->textFieldDidEndEditing(*this);
  sendActionsForControlEvents(ControlEvent::EditingDidEnd);
  NotificationCenter::defaultCenter().post(TextFieldTextDidEndEditingNotification, this);
  Keyboard::shared().inputDidEndEditing(*this);
  return true;
}

bool TextField::replace(Range range, std::string_view with) {
  if (!editing_) return false;
  auto self = std::static_pointer_cast<TextField>(shared_from_this());
  if (auto d = delegate_.lock(); d && !d->shouldChangeCharactersInRange(*this, range, with).value_or(true))
    return false;
  selection_ = textediting::replaceInText(text_, range, with);
  sendActionsForControlEvents(ControlEvent::EditingChanged);
  NotificationCenter::defaultCenter().post(TextFieldTextDidChangeNotification, this);
  return true;
}

bool TextField::insertText(std::string_view text) { return replace(selection_, text); }

bool TextField::deleteBackward() {
  Range r = textediting::deleteBackwardRange(text_, selection_);
  if (r.length == 0) return false;
  return replace(r, "");
}

bool TextField::returnKey() {
  if (!editing_) return false;
  auto self = std::static_pointer_cast<TextField>(shared_from_this());
  if (auto d = delegate_.lock(); d && !d->textFieldShouldReturn(*this).value_or(true)) return true;
  bool listening = allControlEvents() & ControlEvent::EditingDidEndOnExit;
  sendActionsForControlEvents(ControlEvent::EditingDidEndOnExit);
  if (listening) resignFirstResponder();
  return true;
}

bool TextField::clear() {
  auto self = std::static_pointer_cast<TextField>(shared_from_this());
  if (auto d = delegate_.lock(); d && !d->textFieldShouldClear(*this).value_or(true)) return false;
  text_.clear();
  selection_ = Range{0, 0};
  if (editing_) {
    sendActionsForControlEvents(ControlEvent::EditingChanged);
    NotificationCenter::defaultCenter().post(TextFieldTextDidChangeNotification, this);
  }
  return true;
}

Rect TextField::textRectForBounds(const Rect& b) const {
  double left = borderStyle_ == TextBorderStyle::None ? 0 : 8, right = left;
  if (leftView_ && sideViewShown(leftViewMode_)) left += leftView_->frame().size.width;
  if (rightView_ && sideViewShown(rightViewMode_)) right += rightView_->frame().size.width;
  double h = TextMetrics::lineHeight(font_);
  double y = b.origin.y;
  switch (contentVerticalAlignment()) {
    case ContentVerticalAlignment::Center:
      y += (b.size.height - h) / 2;
      break;
    case ContentVerticalAlignment::Bottom:
      y += b.size.height - h;
      break;
    case ContentVerticalAlignment::Fill:
      h = b.size.height;
      break;
    default:
      break;
  }
  return Rect(b.origin.x + left, y, std::max(0.0, b.size.width - left - right), h);
}

std::string TextField::displayText() const {
  return traits_.secureTextEntry ? textediting::masked(text_) : text_;
}

std::string TextField::displayedText() const { return text_.empty() ? placeholder_ : displayText(); }

void TextField::layoutSubviews() {
  Rect b = bounds();
  auto place = [&](const std::shared_ptr<View>& v, TextFieldViewMode mode, bool left) {
    if (!v) return;
    if (!sideViewShown(mode)) {
      v->removeFromSuperview();
      return;
    }
    Rect f = v->frame();
    double x = left ? 0 : b.size.width - f.size.width;
    v->setFrame(Rect(x, (b.size.height - f.size.height) / 2, f.size.width, f.size.height));
    if (v->superviewPointer() != this) addSubview(v);
  };
  place(leftView_, leftViewMode_, true);
  place(rightView_, rightViewMode_, false);
}

void TextField::describeProperties(std::vector<std::string>& out) const {
  out.push_back("text=" + quoted(displayText()));
  if (!placeholder_.empty()) out.push_back("placeholder=" + quoted(placeholder_));
  if (traits_.secureTextEntry) out.push_back("secure");
  if (editing_) out.push_back("editing");
  Control::describeProperties(out);
}

}  // namespace platform
