#include "kit/ui/TitleCell.h"

#include "kit/ui/ListViewSupport.h"
#include "platform/ui/Screen.h"

namespace kavro {

void TitleCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
  setSelectionStyle(platform::TableViewCellSelectionStyle::Blue);
  double width = platform::Screen::mainScreen().bounds().size.width;
  label_ = std::make_shared<platform::Label>(platform::Rect(20, 0, width - 40, 44));
  label_->setBackgroundColor(platform::Color::clear());
  label_->setNumberOfLines(1);
  if (detail() && !detail()->getTitleSkin().empty())
    listsupport::applySkinKey(*label_, detail()->getTitleSkin());
  else
    listsupport::applySkin(*label_, "skinCellMainLabel", {});
  addSubview(label_);
}

void TitleCell::bindCellData(bool) { label_->setText(detail() ? detail()->getItemTitle() : std::string()); }

}  // namespace kavro
