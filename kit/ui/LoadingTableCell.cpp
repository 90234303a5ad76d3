#include "kit/ui/LoadingTableCell.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"

namespace kavro {

void LoadingTableCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::None);
  setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  setUserInteractionEnabled(false);
  loadingView_ = std::make_shared<UILoadingView>(platform::Rect(20, 10, listWidth() - 40, 24));
  AppSkin::apply(loadingView_, "skinLoadingText", {});
  addSubview(loadingView_);
  loadingText_ = AppCoreInfo::getLocalizedString("common_text_loading");
}

void LoadingTableCell::bindCellData(bool) { loadingView_->setText(loadingText_); }

}  // namespace kavro
