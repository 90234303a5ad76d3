#include "app/jobsearch/JobDetailCellUtil.h"

#include <cstdio>
#include <string>

#include "app/jobsearch/FeatureScreens.h"
#include "app/jobsearch/FullTitleCell.h"
#include "app/jobsearch/ShortTitleValueAddressCell.h"
#include "app/jobsearch/ShortTitleValueCell.h"
#include "app/jobsearch/ShortTitleValueClickAbleCell.h"
#include "app/jobsearch/TitleDescriptionCell.h"
#include "app/jobsearch/TwoColumnTitleValueCell.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"

namespace kavro {

namespace {
template <class Cell>
void addRow(ListViewData& data, std::string_view title, std::string_view value, std::int64_t tag) {
  auto row = DataItemDetail::newDetail();
  row->setItemTitle(title);
  row->setItemValue(value);
  row->setTableCellTag(tag);
  row->setCellClass(platform::classFor<Cell>());
  data.listData()->addItem(row);
}
}  // namespace

void JobDetailCellUtil::addTitleRow(ListViewData& data, std::string_view title, std::int64_t tag) {
  if (!title.empty()) addRow<FullTitleCell>(data, title, "", tag);
}

void JobDetailCellUtil::addNormalRow(ListViewData& data, std::string_view title, std::string_view value,
                                     std::int64_t tag) {
  if (!value.empty()) addRow<ShortTitleValueCell>(data, title, value, tag);
}

void JobDetailCellUtil::addNormalClickRow(ListViewData& data, std::string_view title, std::string_view value,
                                          std::int64_t tag) {
  if (!value.empty()) addRow<ShortTitleValueClickAbleCell>(data, title, value, tag);
}

void JobDetailCellUtil::addAddressRow(ListViewData& data, std::string_view title, std::string_view value,
                                      std::int64_t tag) {
  if (!value.empty()) addRow<ShortTitleValueAddressCell>(data, title, value, tag);
}

void JobDetailCellUtil::addDescriptionRow(ListViewData& data, std::string_view title, std::string_view value,
                                          std::int64_t tag) {
  if (!value.empty()) addRow<TitleDescriptionCell>(data, title, value, tag);
}

void JobDetailCellUtil::addTwoColumnRow(ListViewData& data, std::string_view title1, std::string_view value1,
                                        std::string_view title2, std::string_view value2, std::int64_t tag) {
  if (value1.empty() || value2.empty()) {
    addNormalRow(data, title1, value1, tag);
    addNormalRow(data, title2, value2, tag);
    return;
  }
  auto row = DataItemDetail::newDetail();
  row->setItemTitle(title1);
  row->setItemValue(value1);
  row->setItemTitle2(title2);
  row->setItemValue2(value2);
  row->setTableCellTag(tag);
  row->setCellClass(platform::classFor<TwoColumnTitleValueCell>());
  data.listData()->addItem(row);
}

void JobDetailCellUtil::openRouteController(const std::shared_ptr<DataItemDetail>& record) {
  if (const auto& open = FeatureScreens::shared().openRoute) open(record);
}

}  // namespace kavro
