#include "app/jobsearch/FullTitleNoClickCell.h"

namespace kavro {

void FullTitleNoClickCell::initCellView() {
  FullTitleCell::initCellView();
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  setUserInteractionEnabled(false);
}

}  // namespace kavro
