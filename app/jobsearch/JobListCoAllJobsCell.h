#pragma once
#include <memory>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

class ListView;

// A job in a company's or company group's job list: the name (in the read style once opened),
// a line of area, head count and date, a read mark in the corner, and a campus or internship
// icon after the name.
class JobListCoAllJobsCell : public DataTableCell {
 public:
  static constexpr double NameWidth = 268;
  static constexpr double ReadMarkSize = 11;

  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  void addInternIcon();
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  const std::shared_ptr<platform::Label>& jobName() const { return jobName_; }
  const std::shared_ptr<platform::Label>& jobDetail() const { return jobDetail_; }
  const std::shared_ptr<platform::ImageView>& readMark() const { return readMark_; }
  const std::shared_ptr<platform::ImageView>& internImgView() const { return internImgView_; }

 private:
  std::shared_ptr<platform::Label> jobName_;
  std::shared_ptr<platform::Label> jobDetail_;
  std::shared_ptr<platform::ImageView> readMark_;
  std::shared_ptr<platform::ImageView> internImgView_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(JobListCoAllJobsCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &JobListCoAllJobsCell::heightForCell);
}
