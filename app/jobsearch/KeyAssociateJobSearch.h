#pragma once
#include <cstdint>
#include <memory>

#include "app/jobquery/JobSearchParam.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/ListView.h"
#include "kit/ui/UIKavroSearchCategoryControl.h"
#include "kit/ui/UIKeywordsAssociateView.h"
#include "platform/ui/ActionSheet.h"

namespace kavro {

// The keyword drop-down of the job search: the keyword history while the bar is empty, the
// server's suggestions with their job counts while the user types, and a selector at its top of
// what the keyword is matched against (job name, company name, full text), written straight into
// the host's query. A picked row goes to the host, which searches at once. Only the answer to the
// newest question is shown: a keystroke or a new type stops the request still running, and an
// answer from any other loader than the current one is dropped. Main thread only.
class KeyAssociateJobSearch : public UIKeywordsAssociateView,
                              public ListViewDelegate,
                              public DataLoadAndParserDelegate,
                              public UIKavroSearchCategoryDelegate,
                              public platform::ActionSheetDelegate {
 public:
  // What the list shows (the section's tag).
  enum ShowingTag { Suggestions = 0, History = 1, NoMatch = 2 };
  static constexpr double StripHeight = 44;

  static std::shared_ptr<KeyAssociateJobSearch> initWithFrame(platform::Rect frame,
                                                              std::shared_ptr<JobSearchParam> queryParam);
  ~KeyAssociateJobSearch() override;

  void changeSkin() override;
  void startFetchNewAssociateKeywords() override;
  void showEmptyKeywords() override;
  void refreshAssociateView();
  void showNoResults();
  std::shared_ptr<platform::View> getHeaderView();
  std::shared_ptr<platform::View> getFooterView();
  void clearHistory();
  // The question before a history is cleared: the destructive button (index 0) clears.
  static std::shared_ptr<platform::ActionSheet> clearHistorySheet(
      std::weak_ptr<platform::ActionSheetDelegate> delegate);
  // Shows the segment of a keyword type without telling anybody (a recent search restored it).
  void showKeywordType(KeywordType keywordtype);

  void selectedItemWithIndex(int index) override;
  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  void clickedButtonAtIndex(platform::ActionSheet& sheet, int buttonIndex) override;

  const std::shared_ptr<ListView>& list() const { return list_; }
  const std::shared_ptr<ListViewData>& section() const { return section_; }
  const std::shared_ptr<platform::View>& categoryBackView() const { return categoryBackView_; }
  const std::shared_ptr<UIKavroSearchCategoryControl>& segmentedControl() const { return segmentedControl_; }
  const std::shared_ptr<platform::Button>& clearHistoryButton() const { return clearHistoryButton_; }
  const std::shared_ptr<JobSearchParam>& queryParam() const { return queryParam_; }
  void setQueryParam(std::shared_ptr<JobSearchParam> q) { queryParam_ = std::move(q); }
  KeywordType lastKeywordType() const { return lastKeywordType_; }

 private:
  void initSegmentControl();
  void replaceRows(const DataItemResult& rows);

  std::shared_ptr<ListView> list_;
  std::shared_ptr<ListViewData> section_;
  std::shared_ptr<platform::View> categoryBackView_;
  std::shared_ptr<UIKavroSearchCategoryControl> segmentedControl_;
  std::shared_ptr<platform::Button> clearHistoryButton_;
  std::shared_ptr<JobSearchParam> queryParam_;
  KeywordType lastKeywordType_ = KeywordType::JobName;

 protected:
  KeyAssociateJobSearch(platform::Rect frame, std::shared_ptr<JobSearchParam> queryParam);
};

}  // namespace kavro
