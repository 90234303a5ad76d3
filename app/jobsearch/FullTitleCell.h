#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"

namespace kavro {

class ListView;

// One title across the row that leads on (disclosure indicator, selectable); styled by the
// record's title skin key when it has one.
class FullTitleCell : public DataTableCell {
 public:
  static constexpr std::string_view DefaultSkin = "skinCellMainLabel";

  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  const std::shared_ptr<platform::Label>& title() const { return title_; }

 protected:
  static std::string skinOf(const DataItemDetail& record);
  // The label's x and width in the list (30 more to the right while the list is editing).
  static platform::Rect labelColumn(ListView& list);

  std::shared_ptr<platform::Label> title_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(FullTitleCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &FullTitleCell::heightForCell);
}
