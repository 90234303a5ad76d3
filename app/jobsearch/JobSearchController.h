#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "app/jobquery/JobSearchParam.h"
#include "app/jobsearch/KeyAssociateJobSearch.h"
#include "kit/ui/DictPickerController.h"
#include "kit/ui/ListView.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/UIKavroSearchBar.h"
#include "kit/ui/UISearchBarKavroDelegate.h"
#include "platform/ui/ActionSheet.h"

namespace kavro {

// The form of an ordinary job search: a keyword bar with its suggestion drop-down, four
// conditions (work area, industry, job function, publication date) that open the dictionary
// pickers, the search button and the five most recent searches, each of which runs again in one
// tap. The form is remembered across launches; a search opens the result list over this very
// query. The campus search runs the same form on its own channel. Main thread only.
class JobSearchController : public UIBasicController,
                            public ListViewDelegate,
                            public UISearchBarKavroDelegate,
                            public DictPickerControllerDelegate,
                            public UIKeywordsAssociateViewDelegate,
                            public platform::ActionSheetDelegate {
 public:
  enum SectionTag { ConditionsTag = 0, HistoryTag = 1 };

  // The ordinary channel.
  static std::shared_ptr<JobSearchController> create();
  template <class T = JobSearchController>
  static std::shared_ptr<T> initWithPostchannel(std::string_view channel) {
    auto screen = UIBasicController::create<T>();
    screen->setupWithPostchannel(channel);
    return screen;
  }

  void customView() override;
  void changeSkin() override;
  void viewWillAppear(bool animated) override;

  void doSearch();
  virtual void searchButtonClick();
  void mapSearch();
  void refreshList();
  void updateSearchHistoryRecords();
  void makeSureToClearHistory();
  void enableCancelButton();

  static std::shared_ptr<platform::View> viewForHeaderInSection(ListView& list, int section);
  static std::shared_ptr<platform::View> viewForFooterInSection(ListView& list, int section);

  // ListViewDelegate
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  // DictPickerControllerDelegate
  void dictPicker(DictPickerController& picker, const std::shared_ptr<DataItemDetail>& data) override;
  // UISearchBarKavroDelegate
  void searchBarClickDone(UIKavroSearchBar& bar) override;
  void searchBarClickBegin(UIKavroSearchBar& bar) override;
  void searchBarClickCancel(UIKavroSearchBar& bar) override;
  void searchBarTextDidChange(UIKavroSearchBar& bar, std::string_view text) override;
  // UIKeywordsAssociateViewDelegate
  void associateViewPicked(UIKeywordsAssociateView& view, const DataItemDetail& picked) override;
  void onFocusAssociateView(UIKeywordsAssociateView& view) override;
  void onCloseAssociateView(UIKeywordsAssociateView& view) override;
  // ActionSheetDelegate
  void clickedButtonAtIndex(platform::ActionSheet& sheet, int buttonIndex) override;

  const std::shared_ptr<JobSearchParam>& queryParam() const { return queryParam_; }
  const std::shared_ptr<UIKavroSearchBar>& searchBar() const { return searchBar_; }
  const std::shared_ptr<ListView>& listSearch() const { return listSearch_; }
  const std::shared_ptr<KeyAssociateJobSearch>& associateView() const { return associateView_; }
  const std::shared_ptr<DataItemDetail>& jobareaData() const { return jobareaData_; }
  const std::shared_ptr<DataItemDetail>& indtypeData() const { return indtypeData_; }
  const std::shared_ptr<DataItemDetail>& functypeData() const { return functypeData_; }
  const std::shared_ptr<DataItemDetail>& issueDate() const { return issueDate_; }
  // The map button; null while no map search is built into the program.
  const std::shared_ptr<platform::Button>& mapButton() const { return mapButton_; }

 protected:
  void setupWithPostchannel(std::string_view channel);

 private:
  void initJobAreaData();
  void initIndTypeData();
  void initFuncTypeData();
  void initIssueDateData();
  void addSearchHistoryRecordsSection();
  // Sets the bar's text without asking the drop-down for suggestions.
  void setBarText(const std::string& text);

  std::shared_ptr<JobSearchParam> queryParam_;
  std::shared_ptr<UIKavroSearchBar> searchBar_;
  std::shared_ptr<ListView> listSearch_;
  std::shared_ptr<KeyAssociateJobSearch> associateView_;
  std::shared_ptr<DataItemDetail> jobareaData_;
  std::shared_ptr<DataItemDetail> indtypeData_;
  std::shared_ptr<DataItemDetail> functypeData_;
  std::shared_ptr<DataItemDetail> issueDate_;
  std::shared_ptr<platform::Button> mapButton_;
  std::shared_ptr<ListViewData> historySection_;
  bool settingBarText_ = false;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobSearchController() = default;
};

KAVRO_CLASS(JobSearchController, UIBasicController)
    .classFunction(&SectionViewClassFunctions::viewForHeaderInSection,
                   &JobSearchController::viewForHeaderInSection)
    .classFunction(&SectionViewClassFunctions::viewForFooterInSection,
                   &JobSearchController::viewForFooterInSection);

}  // namespace kavro
