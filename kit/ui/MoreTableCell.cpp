#include "kit/ui/MoreTableCell.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"
#include "platform/foundation/Format.h"

namespace kavro {

void MoreTableCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  label_ = std::make_shared<platform::Label>();
  label_->setBackgroundColor(platform::Color::clear());
  label_->setTextAlignment(platform::TextAlignment::Center);
  addSubview(label_);
}

void MoreTableCell::bindCellData(bool) {
  setFrame(platform::Rect(0, 0, listWidth(), 44));
  label_->setFrame(bounds());
  auto section = listData();
  std::int64_t pageSize = section ? section->pageSize() : 0;
  label_->setText(
      platform::format(AppCoreInfo::getLocalizedString("common_text_next_items_format__int"), pageSize));
  AppSkin::apply(label_, "skinCellMainLabel", {});
}

}  // namespace kavro
