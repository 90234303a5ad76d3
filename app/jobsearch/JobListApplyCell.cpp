#include "app/jobsearch/JobListApplyCell.h"

#include <algorithm>

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewSibling.h"
#include "platform/foundation/Format.h"

namespace kavro {

namespace {
std::shared_ptr<platform::Label> myKavroLabel(std::string_view skinType) {
  auto label = std::make_shared<platform::Label>(platform::Rect{});
  label->setBackgroundColor(platform::Color::clear());
  AppSkin::apply(label, skinType, "my_kavro");
  return label;
}
using screen::screenWidth;
}  // namespace

void JobListApplyCell::initCellView() {
  JobListBasicCell::initCellView();
  match_ = myKavroLabel("apply_resumematch");
  match_->setFrame(platform::Rect(screenWidth() - 75, 0, 78, 13));
  senddate_ = myKavroLabel("apply_applynum");
  applynum_ = myKavroLabel("apply_applynum");
  applynum_->setTextAlignment(platform::TextAlignment::Right);
  for (const auto& v : {match_, senddate_, applynum_}) addSubview(v);
}

void JobListApplyCell::bindCellData(bool) {
  bindTexts();
  bool intern = detail() && detail()->get_isintern();
  jobname_->setFrame(platform::Rect(10, 10, 189, 16));
  label::autoFitSizeWithMaxWidth(*jobname_, intern ? 189 : 207);
  internImgView_->setHidden(!intern);
  if (intern) view::rightOfView(*internImgView_, jobname_.get(), 4);

  coname_->setFrame(platform::Rect(10, 0, 202, 16));
  view::bottomOfView(*coname_, jobname_.get(), 5);
  auto text = [this](std::string_view key) { return detail() ? detail()->getString(key) : std::string(); };
  senddate_->setText(
      platform::format(AppCoreInfo::getLocalizedString("jobapply_senddate_format__"), text("senddate")));
  senddate_->setFrame(platform::Rect(10, 0, 200, 13));
  senddate_->setTextAlignment(platform::TextAlignment::Left);
  label::autoFitSizeWithMaxWidth(*senddate_, 200);
  view::bottomOfView(*senddate_, coname_.get());

  match_->setText(
      platform::format(AppCoreInfo::getLocalizedString("jobapply_jobmatch_format__"), text("match")));
  match_->setFrame(platform::Rect(screenWidth() - 75, 0, 78, 13));
  jobarea_->setFrame(platform::Rect(210, 0, 85, 16));
  view::bottomOfView(*jobarea_, match_.get());
  issuedate_->setFrame(platform::Rect(210, 0, 85, 16));
  view::bottomOfView(*issuedate_, jobarea_.get());

  applynum_->setText(
      platform::format(AppCoreInfo::getLocalizedString("jobapply_applynum_format__"), text("applynum")));
  double right = senddate_->frame().origin.x + senddate_->frame().size.width;
  double width = std::max(0.0, screenWidth() - right - 35);
  applynum_->setFrame(platform::Rect(screenWidth() - 25 - width, senddate_->frame().origin.y, width, 13));
}

double JobListApplyCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  return list.dataOfIndexPath(ip) ? 71 : 0;
}

}  // namespace kavro
