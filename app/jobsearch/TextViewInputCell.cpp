#include "app/jobsearch/TextViewInputCell.h"

#include <algorithm>

#include "app/jobsearch/ShortTitleValueCell.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ObjectExtKavro.h"

namespace kavro {

namespace {
// The text view's frame: it keeps the side margin of the list's rows on both sides (a grouped
// list's rows are inset already, so the full list width less 20 ran to its right edge).
platform::Rect textViewFrame(double listWidth, bool grouped) {
  return platform::Rect(10, 5, std::max(0.0, listWidth - 2 * detailcell::sideMargin(grouped)), 158);
}
}  // namespace

TextViewInputCell::~TextViewInputCell() {
  if (textview_) {
    objext::removeForToolbarNotifications(*textview_);
    textview_->setDelegate({});
  }
}

void TextViewInputCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  auto list = listView();
  textview_ = UIPlaceHolderTextView::create(textViewFrame(listWidth(), list && list->isGroupedTable()));
  AppSkin::apply(textview_.get(), "jobdetail_report_value", "job_related");
  textview_->setDelegate(std::static_pointer_cast<TextViewInputCell>(shared_from_this()));
  contentView()->addSubview(textview_);
  objext::registerForToolbarNotifications(textview_);
}

void TextViewInputCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  auto list = listView();
  textview_->setFrame(textViewFrame(listWidth(), list && list->isGroupedTable()));
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
