#include "app/jobsearch/JobDetailHeaderView.h"

#include "app/jobsearch/JobOperateUtil.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewAdjustSize.h"

namespace kavro {

std::shared_ptr<JobDetailHeaderView> JobDetailHeaderView::viewForJobID(
    std::string_view jobid, std::string_view title, std::weak_ptr<platform::ViewController> target) {
  auto header = std::shared_ptr<JobDetailHeaderView>(new JobDetailHeaderView());
  header->jobid_ = jobid;
  header->title_ = title;
  header->target_ = std::move(target);
  header->build();
  return header;
}

std::shared_ptr<platform::Label> JobDetailHeaderView::addTitleWithButton(
    platform::View& header, std::string_view title, const std::shared_ptr<platform::Button>& button) {
  constexpr std::string_view TitleSkin = "skinTableTitle";
  double width = screen::screenWidth();
  platform::Size buttonSize = button->frame().size;
  auto label = std::make_shared<platform::Label>();
  AppSkin::applyWithSkinKey(label.get(), TitleSkin);
  label->setBackgroundColor(platform::Color::clear());
  label->setNumberOfLines(0);
  label->setText(std::string(title));
  double labelWidth = width - buttonSize.width - 25;
  label->setFrame(platform::Rect(10, 0, labelWidth,
                                 AppSkin::sizeForTextWithSkinKey(title, TitleSkin, labelWidth).height));
  button->setFrame(platform::Rect(10 + labelWidth + 5, 0, buttonSize.width, buttonSize.height));
  header.addSubview(label);
  header.addSubview(button);
  header.setFrame(platform::Rect(0, 0, width, 0));
  view::heightFromSubViewsWithBottomMargin(header, 10);
  double h = header.frame().height() - 7;
  label->setFrame(platform::Rect(10, 7, labelWidth, h));
  button->setFrame(platform::Rect(10 + labelWidth + 5, 7, buttonSize.width, h));
  return label;
}

void JobDetailHeaderView::build() {
  setBackgroundColor(platform::Color::clear());
  button_ = platform::Button::buttonWithType(platform::ButtonType::Custom,
                                             platform::Rect(0, 0, ButtonWidth, ButtonHeight));
  AppSkin::apply(button_.get(), "jobdetail_resume_match", "job_related");
  button_->setAccessibilityLabel(AppCoreInfo::getLocalizedString("jobdetail_resume_match"));
  std::weak_ptr<JobDetailHeaderView> weak = std::static_pointer_cast<JobDetailHeaderView>(shared_from_this());
  button_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->watchResumeMatchPercent();
  });
  label_ = addTitleWithButton(*this, title_, button_);
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
