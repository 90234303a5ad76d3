#include "kit/ui/TitleCell.h"

#include "kit/skin/AppSkin.h"
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
    AppSkin::applyWithSkinKey(label_, detail()->getTitleSkin());
  else
    AppSkin::apply(label_, "skinCellMainLabel", {});
  addSubview(label_);
}

void TitleCell::bindCellData(bool) { label_->setText(detail() ? detail()->getItemTitle() : std::string()); }

}  // namespace kavro
