#include "kit/ui/DataTableCell.h"

#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

DataTableCell::DataTableCell(Token, std::string cellId, platform::TableViewCellStyle style)
    : platform::TableViewCell(style, std::move(cellId)) {}

DataTableCell::~DataTableCell() = default;

void DataTableCell::initWithCellID(ListView& list, const platform::IndexPath& ip) {
  setFrame(platform::Rect(0, 0, 0, 44));
  // The platform labels are made when a row first uses them; they are clear from the start.
  setLabelsBackgroundColor(platform::Color::clear());
  contentView()->setBackgroundColor(platform::Color::clear());
  indexPath_ = ip;
  setListView(&list);
  listData_ = list.dataOfSection(ip.section);
  detail_ = list.dataOfIndexPath(ip);
  setBgColor(platform::Color::clear());
  AppSkin::apply(this);
  initCellView();
}

void DataTableCell::setListView(ListView* list) {
  if (list)
    listView_ = list->self();
  else
    listView_.reset();
}

void DataTableCell::setBgColor(std::optional<platform::Color> color,
                               std::shared_ptr<platform::Image> pattern) {
  bgColor_ = std::move(color);
  auto list = listView();
  platform::View* target = this;
  if (!list || !list->isGroupedTable()) {
    if (!backgroundView()) {
      auto bg = std::make_shared<platform::View>(bounds());
      bg->setAutoresizingMask(63);
      setBackgroundView(bg);
    }
    target = backgroundView().get();
  }
  target->setBackgroundColor(bgColor_);
  target->setBackgroundPatternImage(std::move(pattern));
}

double DataTableCell::listWidth() const {
  auto list = listView();
  return list ? list->bounds().size.width : 0;
}

bool DataTableCell::grouped() const {
  auto list = listView();
  return list && list->isGroupedTable();
}

}  // namespace kavro
