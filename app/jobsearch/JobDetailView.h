#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/jobsearch/JobOperateUtil.h"
#include "kit/core/DataItemDetail.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/PageTurnController.h"
#include "kit/ui/PageTurnDelegate.h"
#include "kit/ui/UIKavroBarButton.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"

namespace kavro {

// One job's detail as a page of the page-turn container over the list it was opened from: the
// job from the detail cache or the server as rows, a header with the title and the resume match,
// and a bottom bar with favorite, apply and report. Rows lead to the company page, the company's
// other jobs, the company group and the route. The first touch marks the job as read. The
// container parents every screen the page opens and is not retained. Main thread only.
class JobDetailView : public platform::View,
                      public PageTurnDelegate,
                      public ListViewDelegate,
                      public JobOperateUtilDelegate,
                      public platform::GestureRecognizerDelegate,
                      public platform::AlertViewDelegate {
 public:
  static constexpr double BarHeight = 44;
  static constexpr int ApplyConfirmAlertTag = 1130;
  // Row tags.
  enum Tag : std::int64_t {
    TagGroup = 0,
    TagSubCompany = 1,
    TagCompany = 2,
    TagCompanyType = 3,
    TagJobArea = 6,
    TagJobNum = 7,
    TagJobInfo = 8,
    TagAddress = 9,
    TagWorkYear = 10,
    TagLanguage = 11,
    TagDegree = 12,
    TagSalary = 13,
    TagAllJobs = 15
  };

  ~JobDetailView() override;
  // initWithJobID:frame:
  static std::shared_ptr<JobDetailView> initWithJobID(std::string_view jobid, platform::Rect frame);

  // A job opened by itself (an application link): the pager over a one-record list, shown from
  // the parent (the most recent screen when none is given).
  static std::shared_ptr<PageTurnController> openWithJobID(
      std::string_view jobid, std::shared_ptr<platform::ViewController> parent = {});

  // Page-turn hooks.
  static std::shared_ptr<platform::View> customPartViewWithDetail(
      const std::shared_ptr<DataItemDetail>& record, platform::Rect frame, PageTurnController& ctrl);
  static std::string getTitle();
  std::shared_ptr<PageTurnController> pageTurnCtrl() const override { return pageTurnCtrl_.lock(); }
  void setPageTurnCtrl(std::weak_ptr<PageTurnController> ctrl) override { pageTurnCtrl_ = std::move(ctrl); }

  void customView();
  // Builds the rows of a detail answer.
  void listData(ListViewData& section, const DataItemResult& result);
  void refreshButtonsStatus();

  // Bar buttons (record their tracking point) and the login callbacks.
  void addToFavorites(platform::Object& sender);
  void addToFavorites();
  void applyJob(platform::Object& sender);
  void applyJob();
  void reportJob(platform::Object& sender);
  void reportJob();

  void jobOperate(JobOperateUtil& util) override;
  std::optional<std::shared_ptr<DataItemResult>> dataCacheForSection(ListViewData& section) override;
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  std::optional<bool> gestureRecognizerShouldReceiveTouch(platform::GestureRecognizer& gr,
                                                          const platform::Touch& touch) override;
  void clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) override;
  void touchesBegan(const platform::Touch& touch) override;
  void layoutSubviews() override;

  const std::string& jobid() const { return jobid_; }
  const std::string& groupid() const { return groupid_; }
  const std::string& groupname() const { return groupname_; }
  const std::string& joblatitude() const { return joblatitude_; }
  const std::string& joblongitude() const { return joblongitude_; }
  bool needShowGroup() const { return needShowGroup_; }
  bool needShowCompany() const { return needShowCompany_; }
  bool hasApplied() const { return hasApplied_; }
  bool hasFavorited() const { return hasFavorited_; }
  const std::shared_ptr<ListView>& listViewJobDetail() const { return listViewJobDetail_; }
  const std::shared_ptr<DataItemDetail>& jobDetailInfo() const { return jobDetailInfo_; }
  const std::shared_ptr<platform::Toolbar>& bottomToolBar() const { return bottomToolBar_; }
  // The favorite, apply and report buttons of the bar.
  std::shared_ptr<UIKavroBarButton> barButton(int index) const;

 private:
  void initWithJobID(std::string_view jobid);
  void loadListView();
  void markAsRead();
  void startApply();
  std::shared_ptr<platform::NavigationController> navigation() const;
  std::weak_ptr<JobDetailView> weakSelf();

  std::string jobid_;
  std::string groupid_;
  std::string groupname_;
  std::string joblatitude_;
  std::string joblongitude_;
  bool needShowGroup_ = false;
  bool needShowCompany_ = true;
  bool hasApplied_ = false;
  bool hasFavorited_ = false;
  std::shared_ptr<ListView> listViewJobDetail_;
  std::shared_ptr<DataItemDetail> jobDetailInfo_;
  // The list record the page was made from: it takes the marks of the page's operations, so a
  // page made again for it starts from them.
  std::weak_ptr<DataItemDetail> listRecord_;
  std::shared_ptr<platform::Toolbar> bottomToolBar_;
  std::weak_ptr<PageTurnController> pageTurnCtrl_;
  std::shared_ptr<platform::GestureRecognizer> touchObserver_;
  // The question asked before an apply, kept while it is shown; its buttons call the page back.
  std::shared_ptr<platform::AlertView> confirmAlert_;

 protected:
  explicit JobDetailView(platform::Rect frame);
};

KAVRO_CLASS(JobDetailView, platform::View)
    .classFunction(&PageClassFunctions::customPartViewWithDetail, &JobDetailView::customPartViewWithDetail)
    .classFunction(&PageClassFunctions::getTitle, &JobDetailView::getTitle)
    .action("addToFavorites", 0,
            [](JobDetailView& v, const platform::Arguments&) {
              v.addToFavorites();
              return platform::Value();
            })
    .action("applyJob", 0,
            [](JobDetailView& v, const platform::Arguments&) {
              v.applyJob();
              return platform::Value();
            })
    .action("reportJob", 0, [](JobDetailView& v, const platform::Arguments&) {
      v.reportJob();
      return platform::Value();
    });

}  // namespace kavro
