#include "app/jobsearch/EmptyTipsCell.h"

#include <algorithm>

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

double EmptyTipsCell::inset(const ListView& list) { return list.isGroupedTable() ? 20 : 10; }

double EmptyTipsCell::tipHeight(ListView& list, const DataItemDetail& record) {
  double width = list.bounds().size.width - 2 * inset(list);
  double text =
      AppSkin::sizeForText(record.getItemTitle(), "jobsearch_history_cell_empty", "job_related", width)
          .height;
  return std::max(44.0, text + 20);
}

void EmptyTipsCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setUserInteractionEnabled(false);
  auto list = listView();
  double side = list ? inset(*list) : 10;
  label_ = std::make_shared<platform::Label>(platform::Rect(side, 0, listWidth() - 2 * side, 44));
  label_->setNumberOfLines(0);
  label_->setBackgroundColor(platform::Color::clear());
  label_->setTextAlignment(platform::TextAlignment::Left);
  AppSkin::apply(label_, "jobsearch_history_cell_empty", "job_related");
  addSubview(label_);
}

void EmptyTipsCell::bindCellData(bool) {
  std::string title = detail() ? detail()->getItemTitle() : std::string();
  label_->setText(title.empty() ? AppCoreInfo::getLocalizedString("jobsearch_empty_search_hsitory") : title);
  auto list = listView();
  double height = list && detail() ? tipHeight(*list, *detail()) : 44;
  auto frame = label_->frame();
  label_->setFrame(platform::Rect(frame.origin.x, 0, frame.size.width, height));
}

double EmptyTipsCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  return record ? tipHeight(list, *record) : 0;
}

}  // namespace kavro
