#include "kit/ui/DictPickerGpsLoadingCell.h"

#include "kit/core/AppCoreInfo.h"

namespace kavro {

void DictPickerGpsLoadingCell::initCellView() {
  LoadingTableCell::initCellView();
  listsupport::applySkin(*loadingView_, "skinLoadingText");
  loadingView_->label()->setTextAlignment(platform::TextAlignment::Left);
  setLoadingText(AppCoreInfo::getLocalizedString("gps_doing_location_tips"));
}

}  // namespace kavro
