#include "app/community/FansEmptyCell.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ListView.h"

namespace kavro {

void FansEmptyCell::initCellView() {
  ErrorTableCell::initCellView();
  setUserInteractionEnabled(false);
}

void FansEmptyCell::setEmptyCellShowStr(ListViewData& data, std::string_view text) {
  data.listData()->detailInfo()->setString(text, ShowStrKey);
}

std::string FansEmptyCell::getErrorMessage(ListView& list, const platform::IndexPath& ip) {
  auto section = list.dataOfSection(ip.section);
  std::string text = section ? section->listData()->detailInfo()->getString(ShowStrKey) : std::string();
  return text.empty() ? AppCoreInfo::getLocalizedString("common_text_data_is_empty") : text;
}

}  // namespace kavro
