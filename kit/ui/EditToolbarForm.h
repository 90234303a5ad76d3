#pragma once
#include <memory>
#include <vector>

#include "kit/core/DataItemDetail.h"
#include "platform/ui/TableView.h"

namespace kavro {

// What the form edit toolbar needs of its form list: the table, the records of each section,
// the record a row's cell is bound to, and the screen's submit. The list of the form (the
// list framework's ListView with its ctrl) provides it.
class EditToolbarForm {
 public:
  virtual ~EditToolbarForm() = default;
  virtual platform::TableView& formTable() = 0;
  virtual int numberOfSections() = 0;
  virtual std::vector<std::shared_ptr<DataItemDetail>> recordsOfSection(int section) = 0;
  // The record of a data cell; null for any other view.
  virtual std::shared_ptr<DataItemDetail> recordOfCell(const platform::View& cell) = 0;
  // Sends the controller submitData: with the list; false when the controller has none.
  virtual bool submitData() { return false; }
};

}  // namespace kavro
