#pragma once
#include <memory>

#include "app/jobsearch/JobListBasicCell.h"

namespace kavro {

// A plain job row with an "applied" badge (the favorites list); in the list's editing mode its
// texts move right to make room for the edit control.
class JobListFavoriteCell : public JobListBasicCell {
 public:
  using JobListBasicCell::JobListBasicCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  // None in a search-result row, which never shows the badge.
  const std::shared_ptr<platform::ImageView>& appliedImgView() const { return appliedImgView_; }

 protected:
  std::shared_ptr<platform::ImageView> appliedImgView_;
};

KAVRO_CELL_CLASS(JobListFavoriteCell, JobListBasicCell)
    .classFunction(&CellClassFunctions::heightForCell, &JobListFavoriteCell::heightForCell);

}  // namespace kavro
