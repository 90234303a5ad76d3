#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/jobsearch/TextViewInputCell.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/UIKavroEditToolbar.h"
#include "platform/ui/AlertView.h"

namespace kavro {

// The form that reports a job posting: a statement of at most 200 characters and a way to reach
// the user (mobile number or e-mail, prefilled from the account). Submit is enabled while the
// statement is not empty; leaving with changed inputs asks first. Main thread only.
class ReportJobController : public UIBasicController,
                            public ListViewDelegate,
                            public TextViewInputDelegate,
                            public DataLoadAndParserDelegate,
                            public platform::AlertViewDelegate {
 public:
  void init() override;
  // Characters, as the platform counts them (UTF-16 units).
  static constexpr std::size_t MaxStatementLength = 200;

  ~ReportJobController() override;

  void customView() override;
  // The statement takes the focus once the form is on screen: a view outside a window cannot.
  void viewDidAppear(bool animated) override;
  void reportJob(platform::Object& sender);
  void reportJob();
  void cancelReport(platform::Object& sender);

  bool onEditingChanged(platform::TextView& textView) override;
  bool onEditingChanged(platform::TextField& field) override;
  bool submitData(ListView& list) override;
  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  void clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) override;

  // Section headers and footers (class functions of the sections' header and footer classes).
  static std::shared_ptr<platform::View> viewForHeaderInSection(ListView& list, int section);
  static std::shared_ptr<platform::View> viewForFooterInSection(ListView& list, int section);

  const std::string& jobid() const { return jobid_; }
  void setJobid(std::string_view jobid) { jobid_ = jobid; }
  const std::shared_ptr<DataItemDetail>& descriptionData() const { return descriptionData_; }
  const std::shared_ptr<DataItemDetail>& mobileData() const { return mobileData_; }
  const std::shared_ptr<DataItemDetail>& emailData() const { return emailData_; }
  const std::shared_ptr<ListView>& listReport() const { return listReport_; }
  const std::shared_ptr<DataLoadAndParser>& reportLoader() const { return reportLoader_; }
  const std::shared_ptr<UIKavroEditToolbar>& editingToolbar() const { return editingToolbar_; }

 private:
  bool appeared_ = false;
  std::shared_ptr<DataItemDetail> currentValues() const;
  void refreshSubmit();
  void leave();

  std::string jobid_;
  std::shared_ptr<DataItemDetail> descriptionData_;
  std::shared_ptr<DataItemDetail> mobileData_;
  std::shared_ptr<DataItemDetail> emailData_;
  std::shared_ptr<DataItemDetail> exitcompareData_;
  std::shared_ptr<DataLoadAndParser> reportLoader_;
  std::shared_ptr<ListView> listReport_;
  std::shared_ptr<UIKavroEditToolbar> editingToolbar_;
  std::weak_ptr<platform::AlertView> cancelAlert_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  ReportJobController();
};

KAVRO_CLASS(ReportJobController, UIBasicController)
    .classFunction(&SectionViewClassFunctions::viewForHeaderInSection,
                   &ReportJobController::viewForHeaderInSection)
    .classFunction(&SectionViewClassFunctions::viewForFooterInSection,
                   &ReportJobController::viewForFooterInSection);

}  // namespace kavro
