#include "app/jobsearch/JobListFavoriteCell.h"

#include <algorithm>

#include "kit/skin/AppSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ViewSibling.h"

namespace kavro {

void JobListFavoriteCell::initCellView() {
  JobListBasicCell::initCellView();
  appliedImgView_ = badge("jobsearch_result_applied");
  addSubview(appliedImgView_);
}

void JobListFavoriteCell::bindCellData(bool) {
  bindTexts();
  auto list = listView();
  bool editing = list && list->isEditing();
  bool intern = detail() && detail()->get_isintern();
  bool applied = detail() && detail()->get_isapply();
  double width = listWidth();
  double x = editing ? 40 : 10;
  double rightMargin = editing ? 10 : 30;
  double rightX = width - 75 - rightMargin;

  double areaWidth =
      std::min(75.0, AppSkin::sizeForText(jobarea_->text(), "skin_cell_right_assist", {}, 75).width) + 10;
  double nameMax = width - rightMargin - (x - 5) - areaWidth - (intern ? 18 : 0) - (applied ? 39 : 0);
  jobname_->setFrame(platform::Rect(x, 10, std::max(0.0, nameMax), 16));
  label::autoFitSizeWithMaxWidth(*jobname_, std::max(0.0, nameMax));

  internImgView_->setHidden(!intern);
  if (intern) view::rightOfView(*internImgView_, jobname_.get(), 4);
  appliedImgView_->setHidden(!applied);
  if (applied)
    view::rightOfView(*appliedImgView_,
                      intern ? static_cast<platform::View*>(internImgView_.get()) : jobname_.get(), 4);

  coname_->setFrame(platform::Rect(x, 0, 207, 16));
  view::bottomOfView(*coname_, jobname_.get(), 3);
  jobarea_->setFrame(platform::Rect(rightX, 0, 75, 14));
  view::sameHorizontalMidLineOfView(*jobarea_, jobname_.get());
  issuedate_->setFrame(platform::Rect(rightX, 0, 75, 16));
  view::sameHorizontalMidLineOfView(*issuedate_, coname_.get());
}

double JobListFavoriteCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  return list.dataOfIndexPath(ip) ? 55 : 0;
}

}  // namespace kavro
