#include "kit/ui/DictPickerGpsLoadingCell.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"

namespace kavro {

void DictPickerGpsLoadingCell::initCellView() {
  LoadingTableCell::initCellView();
  AppSkin::apply(loadingView_.get(), "skinLoadingText");
  loadingView_->label()->setTextAlignment(platform::TextAlignment::Left);
  setLoadingText(AppCoreInfo::getLocalizedString("gps_doing_location_tips"));
}

}  // namespace kavro
