#include "kit/ui/TitleInputCell.h"

#include "kit/ui/ListView.h"
#include "kit/ui/TableViewInputBox.h"
#include "kit/ui/TextFieldCommonInput.h"
#include "kit/ui/TextFieldExt.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Screen.h"

namespace kavro {

TitleInputCell::~TitleInputCell() {
  if (input_) input_->removeTarget(this, platform::ControlEvent::EditingChanged);
}

void TitleInputCell::initCellView() {
  TitleCell::initCellView();
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  double width = platform::Screen::mainScreen().bounds().size.width;
  input_ = textfield::initCommonInput(platform::Rect(85, 0, width - 105, 44));
  input_->setDelegate(std::static_pointer_cast<TitleInputCell>(shared_from_this()));
  input_->addTarget(this, platform::ControlEvent::EditingChanged, [this](platform::Control& sender) {
    onEditingChanged(static_cast<platform::TextField&>(sender));
  });
  addSubview(input_);
}

void TitleInputCell::bindCellData(bool reused) {
  TitleCell::bindCellData(reused);
  auto record = detail();
  if (!record) return;
  input_->setText(record->getInputValue());
  input_->setPlaceholder(record->getInputPlaceHold());
  if (record->getInputIsPassword())
    textfield::convertToPasswordInput(*input_);
  else
    textfield::convertToCommonInput(*input_);
  platform::KeyboardType keyboard = record->getInputIsNumberic()  ? platform::KeyboardType::NumberPad
                                    : record->getInputIsChinese() ? platform::KeyboardType::Default
                                                                  : platform::KeyboardType::ASCIICapable;
  if (input_->keyboardType() != keyboard) input_->setKeyboardType(keyboard);
}

std::optional<bool> TitleInputCell::shouldChangeCharactersInRange(platform::TextField& tf,
                                                                  platform::Range range,
                                                                  std::string_view replacement) {
  if (auto record = detail()) record->setInputValue(platform::replace16(tf.text(), range, replacement));
  return true;
}

void TitleInputCell::textFieldDidEndEditing(platform::TextField& tf) {
  if (auto record = detail()) record->setInputValue(tf.text());
  onEditingChanged(tf);
}

std::optional<bool> TitleInputCell::textFieldShouldClear(platform::TextField&) {
  if (auto record = detail()) record->setInputValue("");
  return true;
}

std::optional<bool> TitleInputCell::textFieldShouldReturn(platform::TextField& tf) {
  auto keep = shared_from_this();
  tf.resignFirstResponder();
  if (auto record = detail()) record->setInputValue(tf.text());
  auto list = listView();
  platform::IndexPath next = platform::IndexPath::forRow(indexPath().row + 1, indexPath().section);
  if (!list || !inputbox::focusInputBoxAtIndexPath(*list, next)) trySubmitData();
  return false;
}

void TitleInputCell::onEditingChanged(platform::TextField& field) {
  if (auto list = listView())
    if (auto ctrl = list->ctrl()) ctrl->onEditingChanged(field);
}

void TitleInputCell::trySubmitData() {
  if (auto list = listView())
    if (auto ctrl = list->ctrl()) ctrl->submitData(*list);
}

}  // namespace kavro
