#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/jobsearch/JobListFavoriteCell.h"
#include "kit/ui/UICheckBoxView.h"

namespace kavro {

// A row of the search results: a read mark, an optional summary and detail (when the result
// screen shows details) and a tick for applying to or keeping several jobs at once. The tick
// lives in the record, so it survives reuse and paging; at most MaxSelected rows are ticked.
class JobListSearchResultCell : public JobListFavoriteCell, public UICheckBoxViewDelegate {
 public:
  static constexpr std::size_t MaxSelected = 30;

  using JobListFavoriteCell::JobListFavoriteCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  // The list belongs to a result screen that shows details.
  static bool getNeedShowDetail(const ListView& list);
  // Education, work experience and company type joined by "  |  ", empty parts left out.
  static std::string getJobSummaryFromDetail(const DataItemDetail& record);
  void checkBox(UICheckBoxView& box) override;

  const std::shared_ptr<platform::Label>& jobsummary() const { return jobsummary_; }
  const std::shared_ptr<platform::Label>& jobinfo() const { return jobinfo_; }
  const std::shared_ptr<platform::ImageView>& readMark() const { return readMark_; }
  const std::shared_ptr<UICheckBoxView>& checkView() const { return checkView_; }

 private:
  std::shared_ptr<platform::Label> jobsummary_;
  std::shared_ptr<platform::Label> jobinfo_;
  std::shared_ptr<platform::ImageView> readMark_;
  std::shared_ptr<UICheckBoxView> checkView_;
  // The job name's skin as last applied (read or not, and the skin's generation then).
  bool nameSkinRead_ = false;
  std::uint64_t nameSkinGeneration_ = 0;
  // The bottoms the company, date and tick box were last placed under (none after details).
  struct Placed {
    double nameBottom = -1, areaBottom = -1;
    bool operator==(const Placed&) const = default;
  };
  Placed placed_;
};

KAVRO_CELL_CLASS(JobListSearchResultCell, JobListFavoriteCell)
    .classFunction(&CellClassFunctions::heightForCell, &JobListSearchResultCell::heightForCell);

}  // namespace kavro
