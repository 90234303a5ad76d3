#include "app/jobsearch/TextViewInputCell.h"

#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ObjectExtKavro.h"

namespace kavro {

TextViewInputCell::~TextViewInputCell() {
  if (textview_) {
    objext::removeForToolbarNotifications(*textview_);
    textview_->setDelegate({});
  }
}

void TextViewInputCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  textview_ = UIPlaceHolderTextView::create(platform::Rect(10, 5, listWidth() - 20, 158));
  AppSkin::apply(textview_.get(), "jobdetail_report_value", "job_related");
  textview_->setDelegate(std::static_pointer_cast<TextViewInputCell>(shared_from_this()));
  contentView()->addSubview(textview_);
  objext::registerForToolbarNotifications(textview_);
}

void TextViewInputCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  textview_->setFrame(platform::Rect(10, 5, listWidth() - 20, 158));
  textview_->setPlaceholder(record->getInputPlaceHold());
  textview_->setText(record->getInputValue());
  textview_->textChangedForPlaceholder();
}

void TextViewInputCell::keepText(platform::TextView& tv, bool tellController) {
  if (auto record = detail()) record->setInputValue(tv.text());
  if (!tellController) return;
  if (auto list = listView())
    if (auto* form = dynamic_cast<TextViewInputDelegate*>(list->ctrl().get())) form->onEditingChanged(tv);
}

std::optional<bool> TextViewInputCell::textViewShouldBeginEditing(platform::TextView& tv) {
  keepText(tv, false);
  return true;
}

void TextViewInputCell::textViewDidBeginEditing(platform::TextView& tv) { keepText(tv, false); }

void TextViewInputCell::textViewDidChange(platform::TextView& tv) { keepText(tv, true); }

std::optional<bool> TextViewInputCell::textViewShouldEndEditing(platform::TextView& tv) {
  keepText(tv, true);
  return true;
}

}  // namespace kavro
