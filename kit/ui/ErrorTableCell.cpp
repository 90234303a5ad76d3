#include "kit/ui/ErrorTableCell.h"

#include <algorithm>

#include "kit/skin/AppSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"

namespace kavro {

namespace {
std::string messageOf(const platform::ClassRef& cls, ListView& list, const platform::IndexPath& ip) {
  return cls.callClassFunction(&CellClassFunctions::getErrorMessage, list, ip).value_or("");
}
}  // namespace

void ErrorTableCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  label_ = std::make_shared<platform::Label>();
  label_->setBackgroundColor(platform::Color::clear());
  label_->setTextAlignment(platform::TextAlignment::Center);
  label_->setNumberOfLines(0);
  AppSkin::apply(label_, "skinErrorText", {});
  addSubview(label_);
}

void ErrorTableCell::bindCellData(bool) {
  auto list = listView();
  if (!list) return;
  double margin = grouped() ? 20 : 10;
  label_->setFrame(platform::Rect(margin, 10, listWidth() - 2 * margin, 44));
  auto cls = platform::classOf(*this);
  label_->setText(cls ? messageOf(*cls, *list, indexPath()) : std::string());
  label::autoFitHeight(*label_);
  if (label_->frame().size.height < 24) {
    view::setTop(*label_, 10);
    view::setHeight(*label_, 24);
  }
}

double ErrorTableCell::heightForCell(const platform::ClassRef& cls, ListView& list,
                                     const platform::IndexPath& ip) {
  double margin = list.isGroupedTable() ? 40 : 20;
  platform::Size size =
      AppSkin::sizeForText(messageOf(cls, list, ip), "skinErrorText", {}, list.bounds().size.width - margin);
  return std::max(44.0, size.height + 20);
}

std::string ErrorTableCell::getErrorMessage(ListView& list, const platform::IndexPath& ip) {
  auto section = list.dataOfSection(ip.section);
  return section ? section->getErrorTipsMessage() : std::string();
}

}  // namespace kavro
