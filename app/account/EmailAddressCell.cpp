#include "app/account/EmailAddressCell.h"

namespace kavro {

void EmailAddressCell::initCellView() {
  TitleInputCell::initCellView();
  input_->setAutocapitalizationType(platform::TextAutocapitalizationType::None);
  input_->setAutocorrectionType(platform::TextAutocorrectionType::No);
  input_->setReturnKeyType(platform::ReturnKeyType::Done);
}

void EmailAddressCell::bindCellData(bool reused) {
  TitleInputCell::bindCellData(reused);
  input_->setKeyboardType(platform::KeyboardType::EmailAddress);
}

std::optional<bool> EmailAddressCell::textFieldShouldReturn(platform::TextField& tf) {
  auto keep = shared_from_this();
  tf.resignFirstResponder();
  if (auto record = detail()) record->setInputValue(tf.text());
  trySubmitData();
  return false;
}

}  // namespace kavro
