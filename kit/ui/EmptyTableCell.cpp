#include "kit/ui/EmptyTableCell.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ListView.h"

namespace kavro {

std::string EmptyTableCell::getErrorMessage(ListView& list, const platform::IndexPath& ip) {
  auto section = list.dataOfSection(ip.section);
  std::string fallback = AppCoreInfo::getLocalizedString("common_text_data_is_empty");
  return section ? section->getErrorTipsMessageWithDefault(fallback) : fallback;
}

}  // namespace kavro
