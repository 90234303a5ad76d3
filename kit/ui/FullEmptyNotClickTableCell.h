#pragma once
#include <memory>
#include <string>

#include "kit/ui/FullEmptyTableCell.h"
#include "platform/ui/Button.h"
namespace kavro {

// A full-size empty state that ignores taps: a button without action lies over the row.
class FullEmptyNotClickTableCell : public FullEmptyTableCell {
 public:
  using FullEmptyTableCell::FullEmptyTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  const std::shared_ptr<platform::Button>& customButton() const { return customButton_; }

 private:
  std::shared_ptr<platform::Button> customButton_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(FullEmptyNotClickTableCell, FullEmptyTableCell);
}
