#include "app/jobsearch/FullTitleCell.h"

#include <algorithm>

#include "app/jobsearch/ShortTitleValueCell.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

namespace {
double measure(const DataItemDetail& record, std::string_view skin, double width) {
  std::string text = record.getItemTitle();
  if (text.empty()) return 0;
  return AppSkin::sizeForTextWithSkinKey(text, skin, std::max(width, 1.0)).height;
}
}  // namespace

std::string FullTitleCell::skinOf(const DataItemDetail& record) {
  std::string skin = record.getTitleSkin();
  return skin.empty() ? std::string(DefaultSkin) : skin;
}

platform::Rect FullTitleCell::labelColumn(ListView& list) {
  double l = detailcell::sideMargin(list.isGroupedTable());
  double x = l + (list.isEditing() ? 30 : 0);
  return platform::Rect(x, 0, list.bounds().size.width - x - l, 0);
}

void FullTitleCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
  setSelectionStyle(platform::TableViewCellSelectionStyle::Blue);
  title_ = std::make_shared<platform::Label>();
  title_->setBackgroundColor(platform::Color::clear());
  title_->setNumberOfLines(0);
  contentView()->addSubview(title_);
}

void FullTitleCell::bindCellData(bool) {
  auto record = detail();
  auto list = listView();
  if (!record || !list) return;
  std::string skin = skinOf(*record);
  AppSkin::applyWithSkinKey(title_.get(), skin);
  title_->setText(record->getItemTitle());
  platform::Rect f = labelColumn(*list);
  f.size.height = measure(*record, skin, f.size.width);
  double row = std::max(44.0, f.size.height + 20);
  f.origin.y = (row - f.size.height) / 2;
  title_->setFrame(f);
}

double FullTitleCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  return std::max(44.0, measure(*record, skinOf(*record), labelColumn(list).size.width) + 20);
}

}  // namespace kavro
