#pragma once
#include <optional>

#include "kit/ui/TitleInputCell.h"

namespace kavro {

// An e-mail input row bound to its record's input fields (title, value, placeholder). The field
// takes addresses (no capitals, no correction); its return key submits the form through the list's
// controller (submitData) instead of moving on.
class EmailAddressCell : public TitleInputCell {
 public:
  using TitleInputCell::TitleInputCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  std::optional<bool> textFieldShouldReturn(platform::TextField& tf) override;
};

KAVRO_CELL_CLASS(EmailAddressCell, TitleInputCell);

}  // namespace kavro
