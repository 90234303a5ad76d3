#pragma once
#include <memory>

#include "kit/ui/FullEmptyNotClickTableCell.h"
#include "platform/ui/Button.h"

namespace kavro {

// The row of a search that found nothing: the server's suggestion (or a general hint) over a
// button that opens the filters when they are on, else goes back to where the search came from.
// Its list belongs to a result screen.
class JobSearchResultEmptyCell : public FullEmptyNotClickTableCell {
 public:
  using FullEmptyNotClickTableCell::FullEmptyNotClickTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  void buttonClicked();
  const std::shared_ptr<platform::Button>& button() const { return button_; }

 private:
  std::shared_ptr<platform::Button> button_;
};

KAVRO_CELL_CLASS(JobSearchResultEmptyCell, FullEmptyNotClickTableCell);

}  // namespace kavro
