#include "app/jobsearch/ShortTitleValueClickAbleCell.h"

namespace kavro {

void ShortTitleValueClickAbleCell::initCellView() {
  ShortTitleValueCell::initCellView();
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
  setSelectionStyle(platform::TableViewCellSelectionStyle::Blue);
  setUserInteractionEnabled(true);
}

}  // namespace kavro
