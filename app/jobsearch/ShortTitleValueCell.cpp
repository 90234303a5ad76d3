#include "app/jobsearch/ShortTitleValueCell.h"

#include <algorithm>

#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

namespace {
using detailcell::TitleSkin;
using detailcell::ValueSkin;
}  // namespace

namespace detailcell {

double textHeight(std::string_view text, std::string_view skinType, std::string_view skinGroup,
                  double width) {
  if (text.empty()) return 0;
  return AppSkin::sizeForText(text, skinType, skinGroup, std::max(width, 1.0)).height;
}

std::shared_ptr<platform::Label> addLabel(platform::TableViewCell& cell, std::string_view skinType,
                                          std::string_view skinGroup) {
  auto label = std::make_shared<platform::Label>();
  AppSkin::apply(label.get(), skinType, skinGroup);
  label->setBackgroundColor(platform::Color::clear());
  label->setNumberOfLines(0);
  cell.contentView()->addSubview(label);
  return label;
}

void placeLabel(platform::Label& label, std::string_view text, std::string_view skinType,
                std::string_view skinGroup, platform::Rect frame) {
  label.setText(std::string(text));
  frame.size.height = textHeight(text, skinType, skinGroup, frame.size.width);
  label.setFrame(frame);
}

}  // namespace detailcell

void ShortTitleValueCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  setUserInteractionEnabled(false);
  title_ = detailcell::addLabel(*this, TitleSkin);
  value_ = detailcell::addLabel(*this, ValueSkin);
}

double ShortTitleValueCell::valueWidth(double listWidth, bool grouped, double reduction) {
  double l = detailcell::sideMargin(grouped);
  return listWidth - (l + TitleWidth + 5) - l - 10 - reduction;
}

double ShortTitleValueCell::layoutLabels(double reduction) {
  auto record = detail();
  double l = detailcell::sideMargin(grouped());
  std::string titleText = record ? record->getItemTitle() : "";
  std::string valueText = record ? record->getItemValue() : "";
  detailcell::placeLabel(*title_, titleText, TitleSkin, {}, platform::Rect(l, 10, TitleWidth, 0));
  detailcell::placeLabel(
      *value_, valueText, ValueSkin, {},
      platform::Rect(l + TitleWidth + 5, 10, valueWidth(listWidth(), grouped(), reduction), 0));
  double h = std::max({title_->frame().height(), value_->frame().height(), MinLabelHeight});
  for (const auto& label : {title_, value_}) {
    platform::Rect f = label->frame();
    f.size.height = h;
    label->setFrame(f);
  }
  return h;
}

void ShortTitleValueCell::bindCellData(bool) { layoutLabels(0); }

double ShortTitleValueCell::heightWithReduction(ListView& list, const platform::IndexPath& ip,
                                                double reduction) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  double title = detailcell::textHeight(record->getItemTitle(), TitleSkin, {}, TitleWidth);
  double value =
      detailcell::textHeight(record->getItemValue(), ValueSkin, {},
                             valueWidth(list.bounds().size.width, list.isGroupedTable(), reduction));
  return std::max(44.0, std::max(title, value) + 20);
}

double ShortTitleValueCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  return heightWithReduction(list, ip, 0);
}

}  // namespace kavro
