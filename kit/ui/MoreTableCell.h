#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"
namespace kavro {

// The state row offering the next page; a tap loads it.
class MoreTableCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  const std::shared_ptr<platform::Label>& label() const { return label_; }

 private:
  std::shared_ptr<platform::Label> label_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(MoreTableCell, DataTableCell);
}
