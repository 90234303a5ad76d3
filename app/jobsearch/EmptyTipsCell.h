#pragma once
#include <memory>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"

namespace kavro {

// The tip shown by a list with nothing to list (no recent search, no keyword, no match). It takes
// no touches, so it can never be picked as a row; a long tip wraps and the row grows with it.
class EmptyTipsCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  // 0 without a record; else at least 44, the tip's height plus 20.
  static double heightForCell(ListView& list, const platform::IndexPath& ip);
  const std::shared_ptr<platform::Label>& label() const { return label_; }

 private:
  static double inset(const ListView& list);
  static double tipHeight(ListView& list, const DataItemDetail& record);

  std::shared_ptr<platform::Label> label_;
};

KAVRO_CELL_CLASS(EmptyTipsCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &EmptyTipsCell::heightForCell);

}  // namespace kavro
