#pragma once
#include <memory>

#include "app/jobsearch/JobListBasicCell.h"

namespace kavro {

// A row of the applications list: the job, when it was sent, how well the resume matched and how
// many applied.
class JobListApplyCell : public JobListBasicCell {
 public:
  using JobListBasicCell::JobListBasicCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  const std::shared_ptr<platform::Label>& match() const { return match_; }
  const std::shared_ptr<platform::Label>& senddate() const { return senddate_; }
  const std::shared_ptr<platform::Label>& applynum() const { return applynum_; }

 private:
  std::shared_ptr<platform::Label> match_;
  std::shared_ptr<platform::Label> senddate_;
  std::shared_ptr<platform::Label> applynum_;
};

KAVRO_CELL_CLASS(JobListApplyCell, JobListBasicCell)
    .classFunction(&CellClassFunctions::heightForCell, &JobListApplyCell::heightForCell);

}  // namespace kavro
