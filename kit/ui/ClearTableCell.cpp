#include "kit/ui/ClearTableCell.h"

namespace kavro {

void ClearTableCell::initCellView() {
  setUserInteractionEnabled(false);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  setAlpha(0);
}

}  // namespace kavro
