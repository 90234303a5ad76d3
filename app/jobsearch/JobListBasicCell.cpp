#include "app/jobsearch/JobListBasicCell.h"

#include "app/jobsearch/JobOperateUtil.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

namespace {
std::shared_ptr<platform::Label> skinnedLabel(std::string_view skinType) {
  auto label = std::make_shared<platform::Label>(platform::Rect{});
  label->setBackgroundColor(platform::Color::clear());
  AppSkin::apply(label, skinType, {});
  return label;
}
}  // namespace

std::string_view JobListBasicCell::textOf(const DataItemDetail* record, std::string_view key) {
  const platform::Value* v = record ? record->dictData()->objectForKey(key) : nullptr;
  return v ? v->stringView() : std::string_view();
}

std::shared_ptr<platform::ImageView> JobListBasicCell::badge(std::string_view skinType) {
  auto view = std::make_shared<platform::ImageView>(platform::Rect{});
  AppSkin::apply(view, skinType, "job_related");
  platform::Size size = view->image() ? view->image()->size() : platform::Size{};
  view->setFrame(platform::Rect(0, 10, size.width, size.height));
  view->setHidden(true);
  return view;
}

void JobListBasicCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
  jobname_ = skinnedLabel("skin_cell_display_jobname");
  coname_ = skinnedLabel("skin_cell_left_assist");
  jobarea_ = skinnedLabel("skin_cell_right_assist");
  issuedate_ = skinnedLabel("skin_cell_right_assist");
  internImgView_ = badge("jobslist_result_internship");
  for (const auto& v : {jobname_, coname_, jobarea_, issuedate_}) addSubview(v);
  addSubview(internImgView_);
}

void JobListBasicCell::bindTexts() {
  const DataItemDetail* d = detail().get();
  jobname_->setText(textOf(d, DataItemDetail::key_jobname()));
  coname_->setText(textOf(d, DataItemDetail::key_coname()));
  jobarea_->setText(textOf(d, DataItemDetail::key_jobarea()));
  issuedate_->setText(textOf(d, DataItemDetail::key_issuedate()));
}

bool jobHasReadInList(ListView* list, std::string_view jobID) {
  auto read = [jobID] { return JobOperateUtil::getjobHasRead(jobID); };
  return list ? list->rowFlagInSet("read", jobID, JobOperateUtil::readJobIDs, read) : read();
}

}  // namespace kavro
