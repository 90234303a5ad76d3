#include "app/jobsearch/CompanyDetailHeaderView.h"

#include "app/community/FansCompanyHomeController.h"
#include "app/jobsearch/CompanyDetailController.h"
#include "app/jobsearch/JobDetailHeaderView.h"
#include "app/jobsearch/JobOperateUtil.h"
#include "app/shell/AppTracking.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewControllerExt.h"

namespace kavro {

namespace {
constexpr std::string_view HeaderTitleSkin = "skinTableTitle";
}

std::shared_ptr<CompanyDetailHeaderView> CompanyDetailHeaderView::viewForCoid(
    std::string_view coid, std::string_view title, std::weak_ptr<platform::ViewController> target) {
  auto header = std::shared_ptr<CompanyDetailHeaderView>(new CompanyDetailHeaderView());
  header->target_ = std::move(target);
  header->coid_ = coid;
  header->title_ = title;
  header->initWithCoid();
  return header;
}

void CompanyDetailHeaderView::initWithCoid() {
  double width = screen::screenWidth();
  setBackgroundColor(platform::Color::clear());
  button_ = platform::Button::buttonWithType(platform::ButtonType::Custom,
                                             platform::Rect(0, 0, ButtonWidth, ButtonHeight));
  AppSkin::apply(button_.get(), "jobdetail_company_fans", "job_related");
  std::weak_ptr<CompanyDetailHeaderView> weak =
      std::static_pointer_cast<CompanyDetailHeaderView>(shared_from_this());
  button_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->openFansCoHomePage();
  });

  label_ = JobDetailHeaderView::addTitleWithButton(*this, title_, button_);

  if (coid_.empty()) {
    button_->setHidden(true);
    button_->removeFromSuperview();
    double full = width - 20;
    label_->setFrame(
        platform::Rect(10, 0, full, AppSkin::sizeForTextWithSkinKey(title_, HeaderTitleSkin, full).height));
    setFrame(platform::Rect(0, 0, width, 0));
    view::heightFromSubViewsWithBottomMargin(*this, 10);
    platform::Rect f = label_->frame();
    f.origin.y = 7;
    label_->setFrame(f);
  }
}

void CompanyDetailHeaderView::openFansCoHomePage() {
  auto owner = target();
  if (!owner) return;
  if (!UserCoreInfo::hasLogined()) {
    JobOperateUtil::requireLogin(owner, weak_from_this(), "openFansCoHomePage");
    return;
  }
  if (dynamic_cast<CompanyDetailController*>(owner.get()))
    AppTracking::record("TRACKING_JOBSEARCH_COMPANYINFO_MAINPAGE");
  else if (auto host = dynamic_cast<CompanyDetailHeaderHost*>(owner.get()))
    AppTracking::record(host->fansPageTrackingPoint());
  if (vc::prevControllerIsKindOfClass<FansCompanyHomeController>(*owner))
    vc::closeViewController(*owner);
  else
    FansCompanyHomeController::openWithCoID(coid_);
}

}  // namespace kavro
