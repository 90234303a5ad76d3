#include "app/jobsearch/JobDetailHeaderView.h"

#include "app/jobsearch/JobOperateUtil.h"
#include "app/shell/AppTracking.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewAdjustSize.h"

namespace kavro {

std::shared_ptr<JobDetailHeaderView> JobDetailHeaderView::viewForJobID(
    std::string_view jobid, std::string_view title, std::weak_ptr<platform::ViewController> target) {
  auto header = std::make_shared<JobDetailHeaderView>();
  header->jobid_ = jobid;
  header->title_ = title;
  header->target_ = std::move(target);
  header->build();
  return header;
}

void JobDetailHeaderView::build() {
  double width = screen::screenWidth();
  setBackgroundColor(platform::Color::clear());
  label_ = std::make_shared<platform::Label>();
  AppSkin::applyWithSkinKey(label_.get(), "skinTableTitle");
  label_->setBackgroundColor(platform::Color::clear());
  label_->setNumberOfLines(0);
  label_->setText(title_);
  double labelWidth = width - ButtonWidth - 25;
  double textHeight = AppSkin::sizeForTextWithSkinKey(title_, "skinTableTitle", labelWidth).height;
  label_->setFrame(platform::Rect(10, 0, labelWidth, textHeight));
  addSubview(label_);

  button_ = std::make_shared<platform::Button>(
      platform::ButtonType::Custom, platform::Rect(10 + labelWidth + 5, 0, ButtonWidth, ButtonHeight));
  AppSkin::apply(button_.get(), "jobdetail_resume_match", "job_related");
  std::weak_ptr<JobDetailHeaderView> weak = std::static_pointer_cast<JobDetailHeaderView>(shared_from_this());
  button_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->watchResumeMatchPercent();
  });
  addSubview(button_);

  setFrame(platform::Rect(0, 0, width, 0));
  view::heightFromSubViewsWithBottomMargin(*this, 10);
  double h = frame().height() - 7;
  label_->setFrame(platform::Rect(10, 7, labelWidth, h));
  button_->setFrame(platform::Rect(10 + labelWidth + 5, 7, ButtonWidth, h));
}

void JobDetailHeaderView::watchResumeMatchPercent() {
  auto parent = target();
  if (!UserCoreInfo::hasLogined()) {
    JobOperateUtil::requireLogin(parent, weak_from_this(), "watchResumeMatchPercent");
    return;
  }
  if (auto util = JobOperateUtil::jobGetResumeMatch(jobid_, {})) util->setParentCtrl(target_);
  AppTracking::record("TRACKING_JOBSEARCH_JOBDETAIL_MATCH");
}

}  // namespace kavro
