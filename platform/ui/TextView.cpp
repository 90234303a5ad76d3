#include "platform/ui/TextView.h"

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextEditing.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

TextView::TextView(Rect frame) : ScrollView(frame) { setBackgroundColor(Color::white()); }

void TextView::setDelegate(std::weak_ptr<TextViewDelegate> d) {
  textDelegate_ = d;
  ScrollView::setDelegate(std::move(d));
}

void TextView::setText(std::string text) {
  text_ = std::move(text);
  selection_ = Range{utf16Length(text_), 0};
  updateContentSize();
}

void TextView::setFont(const Font& f) {
  font_ = f;
  updateContentSize();
}

void TextView::setSelectedRange(Range r) {
  std::size_t len = utf16Length(text_);
  std::size_t loc = std::min(r.location, len);
  selection_ = Range{loc, std::min(r.length, len - loc)};
  if (auto d = textDelegate_.lock()) d->textViewDidChangeSelection(*this);
}

void TextView::updateContentSize() {
  double w = bounds().size.width;
  Size s = TextMetrics::sizeWithFont(text_, font_, Size{std::max(1.0, w - 16), 0}, LineBreakMode::WordWrap);
  setContentSize(Size{w, s.height + 16});
}

void TextView::boundsDidChange(const Rect& old) {
  ScrollView::boundsDidChange(old);
  if (old.size.width != bounds().size.width) updateContentSize();
}

bool TextView::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder() || !window()) return false;
  auto self = weak_from_this().lock();
  auto d = textDelegate_.lock();
  if (d && !d->textViewShouldBeginEditing(*this).value_or(true)) return false;
  Keyboard::FocusTransfer transfer;
  if (!View::becomeFirstResponder()) return false;
  editing_ = true;
  selection_ = Range{utf16Length(text_), 0};
  if (d) d->textViewDidBeginEditing(*this);
  NotificationCenter::defaultCenter().post(TextViewTextDidBeginEditingNotification, this);
  Keyboard::shared().inputDidBeginEditing(*this);
  return true;
}

bool TextView::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  auto self = weak_from_this().lock();
  auto d = textDelegate_.lock();
  if (!View::isForcingResign() && d && !d->textViewShouldEndEditing(*this).value_or(true)) return false;
  if (!View::resignFirstResponder()) return false;
  editing_ = false;
  if (d) d->textViewDidEndEditing(*this);
  NotificationCenter::defaultCenter().post(TextViewTextDidEndEditingNotification, this);
  Keyboard::shared().inputDidEndEditing(*this);
  return true;
}

void TextView::touchesEnded(const Touch& t) {
  if (editable_) becomeFirstResponder();
}

bool TextView::replace(Range range, std::string_view with) {
  if (!editing_) return false;
  auto self = weak_from_this().lock();
  if (auto d = textDelegate_.lock(); d && !d->shouldChangeTextInRange(*this, range, with).value_or(true))
    return false;
  selection_ = textediting::replaceInText(text_, range, with);
  updateContentSize();
  if (auto d = textDelegate_.lock()) d->textViewDidChange(*this);
  NotificationCenter::defaultCenter().post(TextViewTextDidChangeNotification, this);
  return true;
}

bool TextView::insertText(std::string_view text) { return replace(selection_, text); }

bool TextView::deleteBackward() {
  Range r = textediting::deleteBackwardRange(text_, selection_);
  if (r.length == 0) return false;
  return replace(r, "");
}

void TextView::describeProperties(std::vector<std::string>& out) const {
  out.push_back("text=" + quoted(text_));
  if (editing_) out.push_back("editing");
  if (!editable_) out.push_back("read-only");
  ScrollView::describeProperties(out);
}

}  // namespace platform
