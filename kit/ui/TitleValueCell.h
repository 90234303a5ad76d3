#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"
namespace kavro {

// A title at the left and a value at the right, both from the record's cell fields; the value
// is measured on one line and never wider than 160 points.
class TitleValueCell : public DataTableCell {
 public:
  static constexpr double MaxValueWidth = 160;
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(const platform::ClassRef& cls, ListView& list, const platform::IndexPath& ip);
  const std::shared_ptr<platform::Label>& leftTitleLabel() const { return leftTitleLabel_; }
  const std::shared_ptr<platform::Label>& rightValueLabel() const { return rightValueLabel_; }

 protected:
  // The value label's size: one line cut at 160 points, or wrapped at 160 points.
  static platform::Size measureValue(bool wrap, const DataItemDetail& record);
  static bool wrapsValue(const platform::ClassRef& cls);
  static double rightInset(bool grouped, const DataItemDetail& record);
  std::shared_ptr<platform::Label> leftTitleLabel_;
  std::shared_ptr<platform::Label> rightValueLabel_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(TitleValueCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &TitleValueCell::heightForCell);
}
