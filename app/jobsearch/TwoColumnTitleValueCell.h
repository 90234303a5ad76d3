#pragma once
#include <memory>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"

namespace kavro {

class ListView;

// Two title-and-value pairs side by side (item title/value and item title 2/value 2); not
// selectable.
class TwoColumnTitleValueCell : public DataTableCell {
 public:
  static constexpr double TitleWidth = 40;

  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  const std::shared_ptr<platform::Label>& title1() const { return title1_; }
  const std::shared_ptr<platform::Label>& value1() const { return value1_; }
  const std::shared_ptr<platform::Label>& title2() const { return title2_; }
  const std::shared_ptr<platform::Label>& value2() const { return value2_; }

 private:
  static double halfWidth(double listWidth, bool grouped);

  std::shared_ptr<platform::Label> title1_, value1_, title2_, value2_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(TwoColumnTitleValueCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &TwoColumnTitleValueCell::heightForCell);
}
