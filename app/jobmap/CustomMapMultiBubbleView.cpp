#include "app/jobmap/CustomMapMultiBubbleView.h"

#include <algorithm>
#include <cmath>

#include "app/jobmap/MapSkin.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ImageViewExt.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewSibling.h"
#include "platform/foundation/Format.h"
#include "platform/ui/TextMetrics.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<CustomMapMultiBubbleView> CustomMapMultiBubbleView::create(Rect frame) {
  auto bubble = std::shared_ptr<CustomMapMultiBubbleView>(new CustomMapMultiBubbleView(frame));
  bubble->build();
  return bubble;
}

CustomMapMultiBubbleView::CustomMapMultiBubbleView(Rect frame) : View(frame) {}

void CustomMapMultiBubbleView::build() {
  setClipsToBounds(true);
  grayBg_ = std::make_shared<platform::ImageView>(Rect(0, 0, 320, 135));
  mapskin::setImage(*grayBg_, "map_floatbox_bg");
  grayBg_->setUserInteractionEnabled(true);
  whiteBg_ = std::make_shared<UIQuadrantView>(Rect(0, 0, 288, 105));
  whiteBg_->setDelegate(sharedAs<CustomMapMultiBubbleView>());

  auto label = [] { return std::make_shared<platform::Label>(); };
  jobname_ = label(), coname_ = label(), jobarea_ = label(), issuedate_ = label();
  jobsummary_ = label(), jobinfo_ = label(), jobIndex_ = label();
  jobinfo_->setNumberOfLines(0);
  jobinfo_->setLineBreakMode(platform::LineBreakMode::WordWrap);
  arrow_ = imageview::arrowView();

  std::weak_ptr<CustomMapMultiBubbleView> weak = sharedAs<CustomMapMultiBubbleView>();
  preJobInfoButton_ = platform::Button::buttonWithType();
  preJobInfoButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->preJobInfo();
  });
  nextJobInfoButton_ = platform::Button::buttonWithType();
  nextJobInfoButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->nextJobInfo();
  });

  for (const auto& v : std::initializer_list<std::shared_ptr<platform::View>>{
           jobname_, coname_, jobsummary_, jobinfo_, arrow_, jobarea_, issuedate_})
    whiteBg_->addSubview(v);
  grayBg_->addSubview(whiteBg_);
  grayBg_->addSubview(preJobInfoButton_);
  grayBg_->addSubview(jobIndex_);
  grayBg_->addSubview(nextJobInfoButton_);
  addSubview(grayBg_);

  AppSkin::apply(jobname_, "skin_cell_display_jobname");
  AppSkin::apply(coname_, "skin_cell_left_assist");
  AppSkin::apply(jobarea_, "skin_cell_right_assist");
  AppSkin::apply(issuedate_, "skin_cell_right_assist");
  AppSkin::apply(jobsummary_, "jobsearch_result_jobarea", "job_related");
  AppSkin::apply(jobinfo_, "jobsearch_result_coname", "job_related");
  AppSkin::apply(preJobInfoButton_, "map_floatbox_icons_up", mapskin::Group);
  AppSkin::apply(jobIndex_, "map_floatbox_job_index", mapskin::Group);
  AppSkin::apply(nextJobInfoButton_, "map_floatbox_icons_down", mapskin::Group);
}

std::string CustomMapMultiBubbleView::appendJobSummaryInfo(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) {
    if (p.empty()) continue;
    if (!out.empty()) out += "  |  ";
    out += p;
  }
  return out;
}

void CustomMapMultiBubbleView::showJobInfo(std::uint32_t index) {
  if (index >= arrJobDetails_.size()) return;
  currentJobIndex_ = index;
  const auto& job = *arrJobDetails_[index];
  jobname_->setText(job.get_jobname());
  coname_->setText(job.get_coname());
  jobinfo_->setText(job.get_jobinfo());
  jobarea_->setText(job.get_jobarea());
  issuedate_->setText(job.get_issuedate());
  jobsummary_->setText(appendJobSummaryInfo({job.get_degree(), job.get_workyear(), job.get_cotype()}));
  loadBtnStatus(index);
  changeControlsFrame(arrJobDetails_.size() > 1);
}

void CustomMapMultiBubbleView::loadBtnStatus(std::uint32_t index) {
  auto n = static_cast<std::uint32_t>(arrJobDetails_.size());
  bool preOn = index != 0;
  bool nextOn = index + 1 < n;
  preJobInfoButton_->setEnabled(preOn);
  nextJobInfoButton_->setEnabled(nextOn);
  mapskin::setImage(*preJobInfoButton_, preOn ? "map_floatbox_icons_up" : "map_floatbox_icons_up_disable");
  mapskin::setImage(*nextJobInfoButton_,
                    nextOn ? "map_floatbox_icons_down" : "map_floatbox_icons_down_disable");
  jobIndex_->setText(
      platform::format(AppCoreInfo::getLocalizedString("jobmap_jobindex_format__"), index + 1, n));
}

void CustomMapMultiBubbleView::changeControlsFrame(bool multi) {
  double stepWidth = multi ? 45 : 0;
  // The counter is as high as its text (a 7-point strip cut it), centred on the middle line; the
  // step buttons keep clear of it above and below.
  const double indexHeight =
      std::max(7.0, std::ceil(platform::TextMetrics::sizeWithFont("0/0", jobIndex_->font()).height));
  const double indexTop = std::floor(grayBg_->bounds().size.height / 2 - indexHeight / 2);
  preJobInfoButton_->setFrame(Rect(11, std::min(17.0, indexTop - 1 - 50), stepWidth, 50));
  jobIndex_->setFrame(Rect(11, indexTop, stepWidth, indexHeight));
  nextJobInfoButton_->setFrame(preJobInfoButton_->frame());
  view::bottomOfView(*nextJobInfoButton_, jobIndex_.get(), 1);
  view::horizontalCenterInView(*grayBg_, this);

  if (multi) {
    whiteBg_->setFrame(Rect(0, 0, 248, 105));
    view::rightOfView(*whiteBg_, preJobInfoButton_.get());
  } else {
    whiteBg_->setFrame(Rect(0, 0, 288, 105));
    view::horizontalCenterInView(*whiteBg_, grayBg_.get());
  }
  view::verticalCenterInView(*whiteBg_, this);
  AppSkin::apply(whiteBg_, "map_floatbox_white_bg_normal", mapskin::Group);
  whiteBg_->reloadSubviews();
  // The grid's cells go under the texts, so the card still reads.
  for (const auto& cell : whiteBg_->cells()) whiteBg_->sendSubviewToBack(cell.get());

  double cardWidth = whiteBg_->bounds().size.width;
  view::setLeft(*arrow_, cardWidth - arrow_->frame().size.width - 10);
  view::verticalCenterInView(*arrow_, whiteBg_.get());

  jobname_->setFrame(Rect(10, 10, multi ? 138 : 178, 12));
  coname_->setFrame(jobname_->frame());
  view::bottomOfView(*coname_, jobname_.get(), 9);
  jobsummary_->setFrame(jobname_->frame());
  view::bottomOfView(*jobsummary_, coname_.get(), 7);
  jobinfo_->setFrame(Rect(10, 0, multi ? 213 : 253, 30));
  view::bottomOfView(*jobinfo_, jobsummary_.get(), 6);
  jobarea_->setFrame(Rect(0, 12, 75, 10));
  view::setLeft(*jobarea_, arrow_->frame().origin.x - 75);
  issuedate_->setFrame(jobarea_->frame());
  view::bottomOfView(*issuedate_, jobarea_.get(), 12);
}

void CustomMapMultiBubbleView::preJobInfo() {
  if (currentJobIndex_ == 0) return;
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_PRE_JOBS");
  showJobInfo(currentJobIndex_ - 1);
  focusCurrentAnnotation();
}

void CustomMapMultiBubbleView::nextJobInfo() {
  if (currentJobIndex_ + 1 >= arrJobDetails_.size()) return;
  AppTracking::record("TRACKING_JOBSEARCH_MAPSEARCH_NEXT_JOBS");
  showJobInfo(currentJobIndex_ + 1);
  focusCurrentAnnotation();
}

void CustomMapMultiBubbleView::focusCurrentAnnotation() {
  if (auto d = delegate_.lock()) d->focusCurrentAnnotation();
}

void CustomMapMultiBubbleView::didSelectAtIndexLocation(UIQuadrantView&, platform::IndexPath) {
  if (auto d = delegate_.lock()) d->showJobDetail();
}

std::optional<std::shared_ptr<QuadView>> CustomMapMultiBubbleView::viewInIndexLocation(UIQuadrantView&,
                                                                                       platform::IndexPath,
                                                                                       platform::Rect rect) {
  auto cell = std::make_shared<QuadView>(rect);
  cell->setAccessibilityLabel(coname_->text());
  return cell;
}

void CustomMapMultiBubbleView::didHighlightQuadViewAtIndexLocation(UIQuadrantView&, platform::IndexPath) {
  AppSkin::apply(whiteBg_, "map_floatbox_white_bg_selected", mapskin::Group);
}

void CustomMapMultiBubbleView::didUnhighlightAreaQuadViewAtIndexLocation(UIQuadrantView&,
                                                                         platform::IndexPath) {
  AppSkin::apply(whiteBg_, "map_floatbox_white_bg_normal", mapskin::Group);
}

}  // namespace kavro
