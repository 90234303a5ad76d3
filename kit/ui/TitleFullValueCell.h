#pragma once
#include <memory>
#include <string>

#include "kit/ui/TitleValueCell.h"

namespace kavro {

// A title-value row whose value wraps at 160 points instead of being cut.
class TitleFullValueCell : public TitleValueCell {
 public:
  using TitleValueCell::TitleValueCell;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(TitleFullValueCell, TitleValueCell);
}
