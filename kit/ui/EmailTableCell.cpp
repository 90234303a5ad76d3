#include "kit/ui/EmailTableCell.h"

#include "kit/skin/AppSkin.h"

namespace kavro {

EmailTableCell::EmailTableCell(double listWidth)
    : platform::TableViewCell(platform::TableViewCellStyle::Default, "EmailTableCell"),
      emailLabel_(std::make_shared<platform::Label>(platform::Rect(0, 0, listWidth, Height))) {
  AppSkin::apply(emailLabel_.get(), "email_list_label", "common");
  contentView()->addSubview(emailLabel_);
}

void EmailTableCell::bindCellData(const DataItemDetail& detail) {
  emailLabel_->setText(detail.getItemValue());
}

}  // namespace kavro
