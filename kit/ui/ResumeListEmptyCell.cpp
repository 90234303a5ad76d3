#include "kit/ui/ResumeListEmptyCell.h"

namespace kavro {

void ResumeListEmptyCell::initCellView() {
  setUserInteractionEnabled(false);
  setClipsToBounds(true);
}

}  // namespace kavro
