#include "app/jobsearch/JobListCoAllJobsCell.h"

#include <algorithm>

#include "app/jobsearch/JobListBasicCell.h"
#include "app/jobsearch/ShortTitleValueCell.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"
#include "platform/foundation/Format.h"

namespace kavro {

namespace {
constexpr std::string_view ReadNameSkin = "skin_cell_display_jobname_readed";
constexpr std::string_view NameSkin = "skin_cell_display_jobname";
constexpr std::string_view InfoSkin = "skin_cell_left_assist";

std::string infoText(const DataItemDetail& record) {
  return platform::format(AppCoreInfo::getLocalizedString("coalljobs_jobinfo_format__at3"),
                          record.get_jobarea(), record.get_jobnum(), record.get_issuedate());
}
}  // namespace

void JobListCoAllJobsCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
  jobName_ = detailcell::addLabel(*this, ReadNameSkin);
  jobDetail_ = detailcell::addLabel(*this, InfoSkin);
  readMark_ = std::make_shared<platform::ImageView>(platform::Rect(0, 0, ReadMarkSize, ReadMarkSize));
  AppSkin::apply(readMark_.get(), "jobsearch_result_readmark", "job_related");
  contentView()->addSubview(readMark_);
  internImgView_ = std::make_shared<platform::ImageView>();
  contentView()->addSubview(internImgView_);
}

void JobListCoAllJobsCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  bool read = jobHasReadInList(listView().get(), record->get_jobid());
  std::string_view nameSkin = read ? ReadNameSkin : NameSkin;
  AppSkin::apply(jobName_.get(), nameSkin, {});
  detailcell::placeLabel(*jobName_, record->get_jobname(), nameSkin, {},
                         platform::Rect(10, 10, NameWidth, 0));
  detailcell::placeLabel(*jobDetail_, infoText(*record), InfoSkin, {},
                         platform::Rect(10, jobName_->frame().maxY() + 5, listWidth() - 20, 0));
  readMark_->setFrame(platform::Rect(listWidth() - ReadMarkSize, 0, ReadMarkSize, ReadMarkSize));
  readMark_->setHidden(!read);
  addInternIcon();
}

void JobListCoAllJobsCell::addInternIcon() {
  auto record = detail();
  std::string_view icon;
  if (record && record->getBool("iscampus")) {
    icon = "jobslist_result_campus";
  } else if (record && record->get_isintern()) {
    icon = "jobslist_result_internship";
    platform::Size text = AppSkin::sizeForText(jobName_->text(), "skin_cell_display_jobname", {}, 0);
    platform::Rect f = jobName_->frame();
    f.size.width = std::min(text.width, NameWidth);
    jobName_->setFrame(f);
  }
  if (icon.empty()) {
    internImgView_->setHidden(true);
    return;
  }
  auto image = AppSkin::imageWithSkinType(icon, "job_related");
  internImgView_->setImage(image);
  platform::Size size = image ? image->size() : platform::Size{0, 0};
  internImgView_->setFrame(platform::Rect(jobName_->frame().maxX() + 4, 10, size.width, size.height));
  internImgView_->setHidden(false);
}

double JobListCoAllJobsCell::heightForCell(ListView& list, const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  if (!record) return 0;
  // The row holds what binding places, measured as binding measures it: the name 10 points down,
  // the info 5 below it across the list, and as much again under the info as above the name.
  std::string_view nameSkin = jobHasReadInList(&list, record->get_jobid()) ? ReadNameSkin : NameSkin;
  return 10 + detailcell::textHeight(record->get_jobname(), nameSkin, {}, NameWidth) + 5 +
         detailcell::textHeight(infoText(*record), InfoSkin, {}, list.bounds().size.width - 20) + 10;
}

}  // namespace kavro
