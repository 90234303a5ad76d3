#include "app/jobsearch/JobListSearchResultCell.h"

#include "app/jobsearch/JobSearchResultController.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StringAppend.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewSibling.h"

namespace kavro {

namespace {
std::shared_ptr<platform::Label> jobLabel(std::string_view skinType, int lines) {
  auto label = std::make_shared<platform::Label>(platform::Rect{});
  label->setBackgroundColor(platform::Color::clear());
  label->setNumberOfLines(lines);
  AppSkin::apply(label, skinType, "job_related");
  return label;
}
double bottom(const platform::Rect& f) { return f.origin.y + f.size.height; }
double bottom(const platform::View& v) { return bottom(v.frame()); }
void place(platform::View& v, const platform::Rect& frame) {
  if (platform::View::isAnimating() || !(v.frame() == frame)) v.setFrame(frame);
}
}  // namespace

void JobListSearchResultCell::initCellView() {
  // The favorite row's "applied" badge never shows in a result row: it is not made.
  JobListBasicCell::initCellView();
  double width = listWidth();
  jobname_->setFrame(platform::Rect(32, 10, 160, 17));
  jobarea_->setFrame(platform::Rect(width - 25 - 75, 10, 75, 17));
  jobarea_->setTextAlignment(platform::TextAlignment::Right);
  issuedate_->setFrame(jobarea_->frame());
  issuedate_->setTextAlignment(platform::TextAlignment::Right);
  coname_->setFrame(platform::Rect(32, 0, 186, 13));
  jobsummary_ = jobLabel("jobsearch_result_jobarea", 0);
  jobsummary_->setFrame(platform::Rect(32, 0, width - 57, 13));
  jobinfo_ = jobLabel("jobsearch_result_coname", 2);
  jobinfo_->setFrame(platform::Rect(32, 0, width - 57, 13));
  checkView_ = UICheckBoxView::create(platform::Rect(0, 0, 80, 55));
  AppSkin::apply(checkView_, "checkbox_circle", "common");
  checkView_->setDelegate(sharedAs<JobListSearchResultCell>());
  readMark_ = std::make_shared<platform::ImageView>(platform::Rect(width - 11, 0, 11, 11));
  AppSkin::apply(readMark_, "jobsearch_result_readmark", "job_related");
  for (const auto& v : {jobsummary_, jobinfo_}) addSubview(v);
  addSubview(checkView_);
  addSubview(readMark_);
}

void JobListSearchResultCell::bindCellData(bool) {
  bindTexts();
  const auto& d = detail();
  auto list = listView();
  bool read = d && jobHasReadInList(list.get(), textOf(d.get(), DataItemDetail::key_jobid()));
  if (std::uint64_t generation = AppSkin::generation();
      read != nameSkinRead_ || generation != nameSkinGeneration_) {
    AppSkin::apply(jobname_, read ? "skin_cell_display_jobname_readed" : "skin_cell_display_jobname", {});
    nameSkinRead_ = read;
    nameSkinGeneration_ = AppSkin::generation();  // after the apply, which may load a group
  }
  readMark_->setHidden(!read);

  // Only the name's width and the badge after it change from row to row: the other frames are
  // given only when they differ, sparing their layout on every bind.
  bool intern = d && d->get_isintern();
  platform::Rect name = jobname_->frame();
  name.origin = {32, 10};
  name.size.width = label::fittedWidth(*jobname_, intern ? 160 : 178);
  place(*jobname_, name);
  internImgView_->setHidden(!intern);
  if (intern) {
    platform::Rect badge = internImgView_->frame();
    badge.origin.x = name.origin.x + name.size.width + 4;
    place(*internImgView_, badge);
  }
  bool details = list && getNeedShowDetail(*list);
  jobsummary_->setHidden(!details);
  jobinfo_->setHidden(!details);
  // What lies below the name keeps its place while the name's and the area's bottoms do, unless
  // the row shows details.
  const Placed placed{bottom(name), bottom(*jobarea_)};
  if (details || !(placed == placed_)) {
    platform::Rect company = coname_->frame();
    company.origin.y = placed.nameBottom + 5;
    place(*coname_, company);
    platform::Rect date = issuedate_->frame();
    date.origin.y = placed.areaBottom + 5;
    place(*issuedate_, date);
    double running = bottom(company);
    if (details && d) {
      jobsummary_->setText(getJobSummaryFromDetail(*d));
      label::autoFitHeight(*jobsummary_);
      view::bottomOfView(*jobsummary_, coname_.get(), 5);
      jobinfo_->setText(d->get_jobinfo());
      label::autoFitHeight(*jobinfo_);
      view::bottomOfView(*jobinfo_, jobsummary_.get(), 5);
      running = bottom(*jobinfo_);
    }
    platform::Rect box = checkView_->frame();
    box.size.height = running + 10;
    place(*checkView_, box);
    placed_ = details ? Placed{} : placed;
  }
  checkView_->setChecked(d && d->getTableCellIsSelected());
}

bool JobListSearchResultCell::getNeedShowDetail(const ListView& list) {
  auto screen = std::dynamic_pointer_cast<JobSearchResultController>(list.ctrl());
  return screen && screen->showDetail();
}

std::string JobListSearchResultCell::getJobSummaryFromDetail(const DataItemDetail& record) {
  std::string summary;
  for (const auto& part : {record.get_degree(), record.getString("workyear"), record.get_cotype()})
    str::appendString(summary, part, "  |  ");
  return summary;
}

double JobListSearchResultCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  if (!getNeedShowDetail(list)) return 55;
  double width = list.bounds().size.width - 57;
  double summary =
      AppSkin::sizeForText(getJobSummaryFromDetail(*record), "jobsearch_result_jobarea", "job_related", width)
          .height;
  double info =
      AppSkin::sizeForText(record->get_jobinfo(), "jobsearch_result_coname", "job_related", width).height;
  return summary + 50 + 5 + info + 10;
}

void JobListSearchResultCell::checkBox(UICheckBoxView& box) {
  auto list = listView();
  auto screen = list ? std::dynamic_pointer_cast<JobSearchResultController>(list->ctrl()) : nullptr;
  AppTracking::record(screen ? screen->jobSelectTrackingPoint() : "TRACKING_JOBSEARCH_RESULTS_JOBSELECT");
  const auto& d = detail();
  if (!d) return;
  if (!box.checked()) {
    d->setTableCellIsSelected(false);
    if (screen) screen->onCheckBoxChanged();
    return;
  }
  auto section = listData();
  std::size_t ticked =
      section ? section->listData()->countItemsWithBoolKey(DataItemDetail::keyTableCellIsSelected(), true)
              : 0;
  if (ticked < MaxSelected) {
    d->setTableCellIsSelected(true);
    if (screen) screen->onCheckBoxChanged();
    return;
  }
  alert::showAlert(AppCoreInfo::getLocalizedString("jobsearch_result_selected_too_many_tips"));
  box.setChecked(false);
}

}  // namespace kavro
