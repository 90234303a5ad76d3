#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"
namespace kavro {

// The state row after a failed load; a tap retries. Its text comes from the class function
// getErrorMessage of the row's own class.
class ErrorTableCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(const platform::ClassRef& cls, ListView& list, const platform::IndexPath& ip);
  static std::string getErrorMessage(ListView& list, const platform::IndexPath& ip);
  const std::shared_ptr<platform::Label>& label() const { return label_; }

 protected:
  std::shared_ptr<platform::Label> label_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(ErrorTableCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &ErrorTableCell::heightForCell)
    .classFunction(&CellClassFunctions::getErrorMessage, &ErrorTableCell::getErrorMessage);
}
