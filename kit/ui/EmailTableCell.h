#pragma once
#include <memory>

#include "kit/core/DataItemDetail.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

namespace kavro {

// One suggested address of the e-mail field's drop-down: a 31-point row showing the record's
// item value.
class EmailTableCell : public platform::TableViewCell {
 public:
  static constexpr double Height = 31;
  static double heightForCell() { return Height; }
  explicit EmailTableCell(double listWidth);

  void bindCellData(const DataItemDetail& detail);
  const std::shared_ptr<platform::Label>& emailLabel() const { return emailLabel_; }

 private:
  std::shared_ptr<platform::Label> emailLabel_;
};

}  // namespace kavro
