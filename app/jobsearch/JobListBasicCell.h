#pragma once
#include <memory>
#include <string_view>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

// The labels every job row shows (name, area, company, date) and the internship badge; the
// subclasses lay them out. Binding sets every text and badge anew, since cells are reused.
class JobListBasicCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;

  const std::shared_ptr<platform::Label>& jobname() const { return jobname_; }
  const std::shared_ptr<platform::Label>& jobarea() const { return jobarea_; }
  const std::shared_ptr<platform::Label>& coname() const { return coname_; }
  const std::shared_ptr<platform::Label>& issuedate() const { return issuedate_; }
  const std::shared_ptr<platform::ImageView>& internImgView() const { return internImgView_; }

 protected:
  // The four texts from the record.
  void bindTexts();
  // A text of the record in place ("" when absent or not text): rows compare before they copy.
  static std::string_view textOf(const DataItemDetail* record, std::string_view key);
  // A hidden badge sized to its skin image, at y 10.
  static std::shared_ptr<platform::ImageView> badge(std::string_view skinType);

  std::shared_ptr<platform::Label> jobname_;
  std::shared_ptr<platform::Label> jobarea_;
  std::shared_ptr<platform::Label> coname_;
  std::shared_ptr<platform::Label> issuedate_;
  std::shared_ptr<platform::ImageView> internImgView_;
};

KAVRO_CELL_CLASS(JobListBasicCell, DataTableCell);

// Whether the job was opened before, read from the store once per reload of the list (every row
// when there is no list).
bool jobHasReadInList(ListView* list, std::string_view jobID);

}  // namespace kavro
