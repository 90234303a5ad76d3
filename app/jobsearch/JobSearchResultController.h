#pragma once
#include <memory>
#include <string>

#include "app/jobquery/JobSearchParam.h"
#include "app/jobsearch/JobOperateUtil.h"
#include "app/jobsearch/JobSearchFilterController.h"
#include "kit/ui/ListView.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/UIKavroBarButton.h"
#include "kit/ui/UIKavroTitleView.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Toolbar.h"

namespace kavro {

// The jobs matching a query, page by page. The title names the search and the number found; the
// server's suggestion shows as a tip over the first page or in the empty-result row; the filter
// button opens the filters on the very same query; ticked rows are applied to or kept in one go;
// the rows switch between a short and a detailed form; a row opens the job detail pager over this
// list. Every page received files the search in the recent searches. A page that fails shows the
// list's error row with its retry, and the rows already shown stay. The map and major searches
// derive from it. Main thread only.
class JobSearchResultController : public UIBasicController,
                                  public ListViewDelegate,
                                  public JobOperateUtilDelegate,
                                  public JobSearchFilterDelegate,
                                  public platform::AlertViewDelegate {
 public:
  // Indexes of the bottom bar's items.
  enum ToolbarItem { FavoriteItem = 0, ApplyItem = 2, DetailItem = 4 };
  static constexpr int ApplyAlertTag = 11128;
  static constexpr double SuggestionTipSeconds = 3.0;

  static std::shared_ptr<JobSearchResultController> initWithParam(std::shared_ptr<JobSearchParam> param);
  template <class T>
  static std::shared_ptr<T> initWithParam(std::shared_ptr<JobSearchParam> param) {
    auto screen = UIBasicController::create<T>();
    screen->setupWithParam(std::move(param));
    return screen;
  }
  ~JobSearchResultController() override;

  void customView() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;

  virtual void initNavBar();
  // What a ticked row counts under; a screen of another feature built on this list names its own.
  virtual std::string_view jobSelectTrackingPoint() const { return "TRACKING_JOBSEARCH_RESULTS_JOBSELECT"; }
  virtual void initListView();
  virtual void loadListView();
  virtual void initBottomToolBar();
  virtual void filterClicked();
  virtual void fliterButtonState();
  virtual void applySelectedJobsClicked();
  virtual void addFavSelectedJobsClicked();
  virtual void detailClick();

  // Login-gated operations (also run by name after a login).
  void applySelectedJobs();
  void applyJobs();
  void addFavSelectedJobs();
  void buttonsStatesBySelectJobs(bool anySelected);
  void toolBarButtonStates(bool anySelected);
  void onCheckBoxChanged();
  void change_style();
  // Marks the filter button of the newest result screen, if one is alive.
  static void change_filter_style();

  // ListViewDelegate
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  bool listViewOnTurnPage(ListView& list, const platform::IndexPath& ip) override { return true; }
  // JobOperateUtilDelegate
  void jobOperate(JobOperateUtil& util) override;
  // JobSearchFilterDelegate
  void jobSearchFilterDone(JobSearchFilterController& filter) override;
  // AlertViewDelegate
  void clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) override;

  const std::shared_ptr<JobSearchParam>& searchParam() const { return searchParam_; }
  bool showDetail() const { return showDetail_; }
  bool enablelandmark() const { return enablelandmark_; }
  const std::string& suggestMessege() const { return suggestMessege_; }
  const std::shared_ptr<UIKavroTitleView>& navTitleView() const { return navTitleView_; }
  const std::shared_ptr<ListView>& listViewResult() const { return listViewResult_; }
  const std::shared_ptr<ListViewData>& listDataSearchResult() const { return listDataSearchResult_; }
  const std::shared_ptr<platform::Toolbar>& bottomToolBar() const { return bottomToolBar_; }
  const std::shared_ptr<platform::BarButtonItem>& filterButton() const { return filterButton_; }
  std::shared_ptr<UIKavroBarButton> toolbarButton(ToolbarItem index) const;

  // Tests and tools stand in another page class; nullptr brings back the job detail page.
  static void setDetailPageClass(platform::ClassPtr pageClass);

 protected:
  void setupWithParam(std::shared_ptr<JobSearchParam> param);
  std::shared_ptr<UIKavroBarButton> customBarButton(const std::string& title, std::function<void()> action);
  bool anyRowSelected() const;
  // Runs the operation on the ticked jobs; without a tick, only the buttons are set again.
  void operateOnTickedJobs(
      std::shared_ptr<JobOperateUtil> (*operation)(std::string_view, std::weak_ptr<JobOperateUtilDelegate>));
  // The search's title, with the number of jobs found when there are any.
  void showTitle(std::int64_t count);

  std::shared_ptr<JobSearchParam> searchParam_;
  std::shared_ptr<UIKavroTitleView> navTitleView_;
  std::shared_ptr<ListView> listViewResult_;
  std::shared_ptr<ListViewData> listDataSearchResult_;
  std::shared_ptr<platform::Toolbar> bottomToolBar_;
  std::shared_ptr<platform::BarButtonItem> filterButton_;
  bool showDetail_ = false;
  bool enablelandmark_ = false;
  std::string suggestMessege_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobSearchResultController() = default;
};

KAVRO_CLASS(JobSearchResultController, UIBasicController)
    .action("applySelectedJobs", 0,
            [](JobSearchResultController& c, const platform::Arguments&) {
              c.applySelectedJobs();
              return platform::Value();
            })
    .action("addFavSelectedJobs", 0, [](JobSearchResultController& c, const platform::Arguments&) {
      c.addFavSelectedJobs();
      return platform::Value();
    });

}  // namespace kavro
