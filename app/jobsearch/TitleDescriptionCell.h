#pragma once
#include <memory>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"

namespace kavro {

class ListView;

// A small title with a long text below it (a job's or company's description); not selectable.
class TitleDescriptionCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  const std::shared_ptr<platform::Label>& title() const { return title_; }
  const std::shared_ptr<platform::Label>& value() const { return value_; }

 private:
  std::shared_ptr<platform::Label> title_;
  std::shared_ptr<platform::Label> value_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(TitleDescriptionCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &TitleDescriptionCell::heightForCell);
}
