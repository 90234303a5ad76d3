#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"
namespace kavro {

// A row showing the record's item title, with a disclosure indicator.
class TitleCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  const std::shared_ptr<platform::Label>& label() const { return label_; }

 protected:
  std::shared_ptr<platform::Label> label_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(TitleCell, DataTableCell);
}
