#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/core/DataItemDetail.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/PickerController.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/UIKavroTitleView.h"

namespace kavro {

// All jobs of one company, page by page, with a filter by the areas in which the company has
// jobs; a row opens the job detail pager over the list. Main thread only.
class CompanyAllJobsController : public UIBasicController,
                                 public ListViewDelegate,
                                 public pickerControllerDelegate {
 public:
  void init() override;
  static std::shared_ptr<CompanyAllJobsController> companyJobsWithParent(
      const std::shared_ptr<platform::ViewController>& parent, std::string_view coid,
      std::string_view companyName);

  void customView() override;
  void viewWillAppear(bool animated) override;
  void filterJob(platform::Object& sender);
  void backToParent();

  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  bool finishPicker(PickerController& picker, const std::shared_ptr<DataItemDetail>& data) override;

  const std::string& idForAllJobs() const { return idForAllJobs_; }
  void setIdForAllJobs(std::string_view id) { idForAllJobs_ = id; }
  const std::string& titleCompanyName() const { return titleCompanyName_; }
  void setTitleCompanyName(std::string_view name) { titleCompanyName_ = name; }
  const std::shared_ptr<DataItemDetail>& jobareaDetail() const { return jobareaDetail_; }
  const std::shared_ptr<UIKavroTitleView>& titleView() const { return titleView_; }
  const std::shared_ptr<ListView>& listViewAllJobs() const { return listViewAllJobs_; }

 protected:
  // What the group list changes.
  virtual std::string listTitle() const;
  virtual std::string baseTitle() const;
  virtual bool rowsShowCompany() const { return false; }
  virtual std::shared_ptr<DataLoadAndParser> loadPage(ListViewData& section);
  virtual void openAreaPicker();
  virtual std::string_view openDetailTrackingPoint() const {
    return "TRACKING_JOBSEARCH_OTHER_OPEN_JOBDETAIL";
  }
  virtual void prepareSection(ListViewData& section);
  std::string areaCode() const { return jobareaDetail_ ? jobareaDetail_->getDictCode() : ""; }
  void setFilterEnabled(bool enabled);
  void showTitle(const std::string& title, const std::string& subtitle = {});

  std::string idForAllJobs_;
  std::string titleCompanyName_;
  std::shared_ptr<DataItemDetail> jobareaDetail_;
  std::shared_ptr<UIKavroTitleView> titleView_;
  std::shared_ptr<ListView> listViewAllJobs_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  CompanyAllJobsController() = default;
};

KAVRO_CLASS(CompanyAllJobsController, UIBasicController);

}  // namespace kavro
