#include "app/jobsearch/ReportJobController.h"

#include "app/account/EmailAddressCell.h"
#include "app/api/ApiMarket.h"
#include "app/jobsearch/JobText.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/TableViewInputBox.h"
#include "kit/ui/TitleInputCell.h"
#include "kit/ui/ViewAdjustSize.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
using jobtext::text;

std::shared_ptr<platform::Label> sectionLabel(platform::Rect frame, std::string_view skinType,
                                              std::string_view group, std::string value) {
  auto label = std::make_shared<platform::Label>();
  AppSkin::apply(label.get(), skinType, group);
  label->setBackgroundColor(platform::Color::clear());
  label->setNumberOfLines(0);
  label->setText(value);
  frame.size.height = AppSkin::sizeForText(value, skinType, group, frame.size.width).height;
  label->setFrame(frame);
  return label;
}
}  // namespace

ReportJobController::ReportJobController() = default;

ReportJobController::~ReportJobController() {
  if (reportLoader_) reportLoader_->stopLoading();
  if (auto alert = cancelAlert_.lock()) alert->setDelegate({});
}

void ReportJobController::init() {
  UIBasicController::init();
  descriptionData_ = DataItemDetail::newDetail();
  descriptionData_->setCellClass(platform::classFor<TextViewInputCell>());
  descriptionData_->setInputPlaceHold(text("reportjob_placeholder_declare"));
  descriptionData_->setInputValue("");
  descriptionData_->setInputMaxChineseWordsCount(static_cast<std::int64_t>(MaxStatementLength));
  descriptionData_->setHasInputBox(true);

  auto& user = UserCoreInfo::sharedUserCoreInfo();
  mobileData_ = DataItemDetail::newDetail();
  mobileData_->setCellClass(platform::classFor<TitleInputCell>());
  mobileData_->setItemTitle(text("reportjob_mobilephone"));
  mobileData_->setInputPlaceHold(text("reportjob_placeholder_mobilephone"));
  mobileData_->setInputValue(user.mobilephone());
  mobileData_->setInputIsNumberic(true);
  mobileData_->setHasInputBox(true);

  emailData_ = DataItemDetail::newDetail();
  emailData_->setCellClass(platform::classFor<EmailAddressCell>());
  emailData_->setItemTitle(text("reportjob_email"));
  emailData_->setInputPlaceHold(text("reportjob_placeholder_email"));
  emailData_->setInputValue(user.email());
  emailData_->setHasInputBox(true);

  exitcompareData_ = currentValues();
  listReport_ = ListView::create(true);
}

std::shared_ptr<DataItemDetail> ReportJobController::currentValues() const {
  auto values = DataItemDetail::newDetail();
  values->setString(descriptionData_->getInputValue(), "descriptionData");
  values->setString(emailData_->getInputValue(), "emailData");
  values->setString(mobileData_->getInputValue(), "mobileData");
  return values;
}

void ReportJobController::customView() {
  UIBasicController::customView();
  setTitle(text("reportjob_reportjob"));
  auto weak = weakAs<ReportJobController>();
  barbutton::setSubmitItem(*this, [weak](platform::BarButtonItem& b) {
    if (auto self = weak.lock()) self->reportJob(b);
  });
  barbutton::setCancelItem(*this, [weak](platform::BarButtonItem& b) {
    if (auto self = weak.lock()) self->cancelReport(b);
  });
  refreshSubmit();

  platform::Rect bounds = view()->bounds();
  listReport_->setFrame(platform::Rect(0, 44, screen::screenWidth(), bounds.height() - 44));
  listReport_->setCtrl(weakAs<ReportJobController>());
  view()->addSubview(listReport_);
  auto addSection = [&](std::initializer_list<std::shared_ptr<DataItemDetail>> rows) {
    auto section = ListViewData::newDataOnListView(*listReport_, platform::classFor<DataTableCell>());
    section->setMHeaderViewClass(platform::classFor<ReportJobController>());
    section->setMFooterViewClass(platform::classFor<ReportJobController>());
    section->setShowHeader(true);
    section->setShowFooter(true);
    for (const auto& row : rows) section->listData()->addItem(row);
  };
  addSection({descriptionData_});
  addSection({mobileData_, emailData_});
  listReport_->reloadData();

  editingToolbar_ = UIKavroEditToolbar::initWithListView(listReport_);
  view()->addSubview(editingToolbar_);
  inputbox::focusInputBoxAtIndexPath(*listReport_, platform::IndexPath::forRow(0, 0));
}

void ReportJobController::viewDidAppear(bool animated) {
  UIBasicController::viewDidAppear(animated);
  if (appeared_ || !listReport_) return;
  appeared_ = true;
  inputbox::focusInputBoxAtIndexPath(*listReport_, platform::IndexPath::forRow(0, 0));
}

std::shared_ptr<platform::View> ReportJobController::viewForHeaderInSection(ListView& list, int section) {
  double width = list.bounds().size.width;
  auto header = std::make_shared<platform::View>(platform::Rect(0, 0, width, 0));
  header->addSubview(
      sectionLabel(platform::Rect(10, 5, width - 20, 28), "jobdetail_report_section_head", "job_related",
                   text(section == 0 ? "reportjob_title_declare" : "reportjob_title_contact")));
  view::heightFromSubViewsWithBottomMargin(*header, 5);
  return header;
}

std::shared_ptr<platform::View> ReportJobController::viewForFooterInSection(ListView& list, int section) {
  if (section != 1) return std::make_shared<platform::View>();
  double width = list.bounds().size.width;
  auto footer = std::make_shared<platform::View>(platform::Rect(0, 0, screen::screenWidth(), 0));
  footer->addSubview(
      sectionLabel(platform::Rect(20, 4, width - 40, 0), "skin_list_top_tip", {}, text("reportjob_tips")));
  view::heightFromSubViewsWithBottomMargin(*footer, 70);
  return footer;
}

void ReportJobController::refreshSubmit() {
  if (auto& item = navigationItem()->rightBarButtonItem())
    item->setEnabled(!descriptionData_->getInputValue().empty());
}

bool ReportJobController::onEditingChanged(platform::TextView&) {
  refreshSubmit();
  return true;
}

bool ReportJobController::onEditingChanged(platform::TextField&) {
  refreshSubmit();
  return true;
}

bool ReportJobController::submitData(ListView&) {
  reportJob();
  return true;
}

void ReportJobController::reportJob(platform::Object&) { reportJob(); }

void ReportJobController::reportJob() {
  AppTracking::record("TRACKING_JOBSEARCH_REPORT_SUBMIT");
  inputbox::unfocusAllInputBox(*listReport_);
  std::string statement = descriptionData_->getInputValue();
  std::string mobile = mobileData_->getInputValue();
  std::string email = emailData_->getInputValue();
  if (mobile.empty() && email.empty()) {
    alert::showAlert(text("reportjob_contact_way") + text("alert_detail_cannot_be_null"));
    return;
  }
  if (platform::utf16Length(statement) > MaxStatementLength) {
    alert::showAlert(text("reportjob_reportinfo_alert"));
    return;
  }
  if (statement.empty()) return;
  auto request = DataItemDetail::newDetail();
  request->setString(jobid_, "jobid");
  request->setString(statement, "description");
  request->setString(mobile, "telphone");
  request->setString(email, "email");
  if (reportLoader_) reportLoader_->stopLoading();
  reportLoader_ = ApiMarket::report(*request, weakAs<ReportJobController>());
  alert::showTips(text("common_text_submit_data_now"), true);
}

void ReportJobController::dataLoader(DataLoadAndParser& loader, const DataItemResult& result) {
  if (&loader != reportLoader_.get()) return;
  auto keep = sharedAs<ReportJobController>();
  reportLoader_.reset();
  alert::hiddenTips();
  if (result.hasError()) {
    alert::showAlert(result.message());
    return;
  }
  alert::showTips(result.message(), 1.5);
  leave();
}

void ReportJobController::cancelReport(platform::Object&) {
  if (currentValues()->isEqualToDataItemDetail(exitcompareData_.get())) {
    leave();
    return;
  }
  cancelAlert_ = alert::showConfirm(text("alert_detail_has_not_saved"), weakAs<ReportJobController>());
}

void ReportJobController::clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) {
  if (&alert != cancelAlert_.lock().get()) return;
  if (buttonIndex == 1) leave();
}

void ReportJobController::leave() {
  if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

}  // namespace kavro
