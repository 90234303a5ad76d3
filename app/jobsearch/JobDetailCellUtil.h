#pragma once
#include <cstdint>
#include <string_view>

#include "kit/ui/DataTableCell.h"
#include "kit/ui/ListViewData.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

// Row builders of the detail pages: each appends one row record (texts, tag and cell class) to
// the section, and nothing when the text it names is empty.
class JobDetailCellUtil : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;

  // FullTitleCell; skipped for an empty title.
  static void addTitleRow(ListViewData& data, std::string_view title, std::int64_t tag);
  // ShortTitleValueCell; skipped for an empty value (so are the next three).
  static void addNormalRow(ListViewData& data, std::string_view title, std::string_view value,
                           std::int64_t tag);
  static void addNormalClickRow(ListViewData& data, std::string_view title, std::string_view value,
                                std::int64_t tag);
  static void addAddressRow(ListViewData& data, std::string_view title, std::string_view value,
                            std::int64_t tag);
  static void addDescriptionRow(ListViewData& data, std::string_view title, std::string_view value,
                                std::int64_t tag);
  // TwoColumnTitleValueCell; with either value empty, two normal rows with the same tag instead.
  static void addTwoColumnRow(ListViewData& data, std::string_view title1, std::string_view value1,
                              std::string_view title2, std::string_view value2, std::int64_t tag);

  // Opens the route screen for a record with a work place, once, from the most recent screen: the
  // job map (FeatureScreens::openRoute) picks the platform map's or the map SDK's screen by the
  // session's map type and shows it itself.
  static void openRouteController(const std::shared_ptr<DataItemDetail>& record);
};

}  // namespace kavro
