#include "kit/ui/DictPickerGpsErrorCell.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

void DictPickerGpsErrorCell::initCellView() {
  ErrorTableCell::initCellView();
  AppSkin::apply(label_.get(), "skinErrorText");
  label_->setTextAlignment(platform::TextAlignment::Left);
}

std::string DictPickerGpsErrorCell::getErrorMessage(ListView& list, const platform::IndexPath& ip) {
  auto section = list.dataOfSection(ip.section);
  std::string fallback = AppCoreInfo::getLocalizedString("gps_failed_retry_tips");
  return section ? section->getErrorTipsMessageWithDefault(fallback) : fallback;
}

}  // namespace kavro
