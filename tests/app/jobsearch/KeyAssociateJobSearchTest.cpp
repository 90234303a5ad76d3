// The keyword drop-down against the fixture server: history, suggestions, the keyword type and
// the order of answers under fast typing.

#include <gtest/gtest.h>

#include "app/jobsearch/JobSearchController.h"
#include "app/jobsearch/KeyAssociateJobSearch.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "tests/app/jobsearch/JobSearchScreenTest.h"

namespace kavro::test {
namespace {

using platform::IndexPath;

struct Host : UIKeywordsAssociateViewDelegate {
  std::vector<std::string> picked;
  int focused = 0, closed = 0;
  void associateViewPicked(UIKeywordsAssociateView&, const DataItemDetail& record) override {
    picked.push_back(record.getString("keyword"));
  }
  void onFocusAssociateView(UIKeywordsAssociateView&) override { ++focused; }
  void onCloseAssociateView(UIKeywordsAssociateView&) override { ++closed; }
};

std::string suggestions(const std::vector<std::pair<std::string, int>>& rows) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>1</result><status>0</status>"
      "<resultbody><totalcount>" +
      std::to_string(rows.size()) + "</totalcount>";
  for (const auto& [keyword, count] : rows)
    xml += "<item><keyword>" + keyword + "</keyword><count>" + std::to_string(count) + "</count></item>";
  return xml + "</resultbody></responsemessage>";
}

class KeyAssociateJobSearchTest : public JobSearchScreenTest {
 protected:
  void SetUp() override {
    JobSearchScreenTest::SetUp();
    query = JobSearchParam::create();
    view = KeyAssociateJobSearch::initWithFrame(platform::Rect(0, 88, 320, 416), query);
    host = std::make_shared<Host>();
    view->setDelegate(host);
  }
  void TearDown() override {
    view.reset();
    JobSearchScreenTest::TearDown();
  }
  // Typing, then the pause that asks the server.
  void typeAndPause(const std::string& text) {
    view->changeKeywords(text);
    view->startFetchNewAssociateKeywords();
  }
  bool answered() {
    return runUntil([&] { return !view->associateLoader(); }, 20);
  }
  // The use counts the next version check uploads.
  static std::string trackedPoints() { return platform::stringFromData(AppTracking::getTrackingPostData()); }
  std::string rowTitle(int row) const {
    auto record = view->list()->dataOfIndexPath(IndexPath::forRow(row, 0));
    return record ? record->getItemTitle() : "(none)";
  }

  std::shared_ptr<JobSearchParam> query;
  std::shared_ptr<KeyAssociateJobSearch> view;
  std::shared_ptr<Host> host;
};

TEST_F(KeyAssociateJobSearchTest, AnEmptyBarListsTheHistoryAndTypingListsSuggestionsWithCounts) {
  ASSERT_TRUE(JobSearchParam::saveKeywordsHistory("c++"));
  view->changeKeywords("");
  EXPECT_EQ(view->section()->tag(), KeyAssociateJobSearch::History);
  EXPECT_EQ(view->section()->title(), AppCoreInfo::getLocalizedString("job_associate_title_history"));
  EXPECT_EQ(rowTitle(0), "c++");
  EXPECT_EQ(shownCellClasses(*view->list(), 0), std::vector<std::string>{"TitleValueCell"});
  EXPECT_TRUE(view->clearHistoryButton()->isEnabled());
  view->list()->tapRowAtIndexPath(IndexPath::forRow(0, 0));
  EXPECT_EQ(host->picked, std::vector<std::string>{"c++"});
  EXPECT_EQ(trackedPoints(), "TRACKING_JOBSEARCH_PROMPT_HISTORY_SEARCH=1") << "a history pick counts as one";
  AppTracking::trackingUploadEnded(true);

  typeAndPause("ja");
  ASSERT_TRUE(answered());
  auto requests = requestsFor(AssociatePath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("keyword=ja&keywordtype=1"), std::string::npos) << requests[0];
  EXPECT_EQ(view->section()->tag(), KeyAssociateJobSearch::Suggestions);
  EXPECT_EQ(view->section()->title(), AppCoreInfo::getLocalizedString("job_associate_title_related"));
  ASSERT_EQ(view->section()->count(), 3u);
  EXPECT_EQ(rowTitle(1), "java工程师");
  EXPECT_EQ(view->list()->dataOfIndexPath(IndexPath::forRow(0, 0))->getItemValue(), "约1520个职位");

  // The same question is not asked twice in a row.
  typeAndPause("ja");
  EXPECT_EQ(requestsFor(AssociatePath).size(), 1u);

  view->list()->tapRowAtIndexPath(IndexPath::forRow(2, 0));
  EXPECT_EQ(host->picked, (std::vector<std::string>{"c++", "javascript"}));
  EXPECT_EQ(trackedPoints(), "TRACKING_JOBSEARCH_PROMPT_KEYWORD_ASSOCIATE=1")
      << "a suggestion pick counts as one";
}

TEST_F(KeyAssociateJobSearchTest, AnswersToEarlierKeystrokesNeverOverwriteNewerOnes) {
  server.setAnswer(AssociatePath, 200, suggestions({{"j2ee", 10}}));
  typeAndPause("j");
  auto earlier = view->associateLoader();
  ASSERT_TRUE(earlier);
  // The next keystroke stops the earlier question before the newer one is asked.
  server.setAnswer(AssociatePath, 200, suggestions({{"java", 99}, {"javascript", 5}}));
  typeAndPause("ja");
  ASSERT_NE(view->associateLoader(), earlier);
  ASSERT_TRUE(answered());
  EXPECT_EQ(rowTitle(0), "java");

  // Whatever the earlier loader might still deliver is dropped.
  auto stale = DataLoadAndParser::initWithData(suggestions({{"j2ee", 10}}));
  view->dataLoader(*earlier, *stale->getResult());
  EXPECT_EQ(rowTitle(0), "java");
  EXPECT_EQ(view->section()->count(), 2u);

  // Nor does an answer arrive after the bar was emptied.
  typeAndPause("jav");
  auto running = view->associateLoader();
  view->changeKeywords("");
  ASSERT_TRUE(running);
  view->dataLoader(*running, *stale->getResult());
  EXPECT_EQ(view->section()->tag(), KeyAssociateJobSearch::History);
}

TEST_F(KeyAssociateJobSearchTest, TheSelectorWritesTheTypeAndAsksAgainForATypedKeyword) {
  view->selectedItemWithIndex(2);
  EXPECT_EQ(query->keywordtype(), KeywordType::FullText);
  EXPECT_TRUE(requestsFor(AssociatePath).empty()) << "nothing typed, nothing asked";

  typeAndPause("java");
  ASSERT_TRUE(answered());
  view->selectedItemWithIndex(1);
  EXPECT_EQ(query->keywordtype(), KeywordType::CompanyName);
  ASSERT_TRUE(answered());
  view->selectedItemWithIndex(0);
  EXPECT_EQ(query->keywordtype(), KeywordType::JobName);
  ASSERT_TRUE(answered());
  auto requests = requestsFor(AssociatePath);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("keywordtype=2"), std::string::npos);
  EXPECT_NE(requests[1].find("keywordtype=0"), std::string::npos);
  EXPECT_NE(requests[2].find("keywordtype=1"), std::string::npos);
}

TEST_F(KeyAssociateJobSearchTest, NoMatchShowsItsTipRowWhichPicksNothing) {
  server.setAnswer(AssociatePath, 200, suggestions({}));
  typeAndPause("zzz");
  ASSERT_TRUE(answered());
  EXPECT_EQ(view->section()->tag(), KeyAssociateJobSearch::NoMatch);
  EXPECT_EQ(view->section()->title(), AppCoreInfo::getLocalizedString("job_associate_title_related"));
  EXPECT_EQ(shownCellClasses(*view->list(), 0), std::vector<std::string>{"EmptyTipsCell"});
  EXPECT_EQ(rowTitle(0), AppCoreInfo::getLocalizedString("job_associate_empty_matched"));
  EXPECT_FALSE(view->clearHistoryButton()->isEnabled()) << "no keyword history to clear";
  view->list()->tapRowAtIndexPath(IndexPath::forRow(0, 0));
  EXPECT_TRUE(host->picked.empty());
  EXPECT_EQ(trackedPoints(), "") << "a tip row counts nothing";

  server.setAnswer(AssociatePath, 500, "");
  typeAndPause("zzzz");
  ASSERT_TRUE(answered());
  EXPECT_EQ(view->section()->tag(), KeyAssociateJobSearch::NoMatch) << "a failure is no match";
}

TEST_F(KeyAssociateJobSearchTest, ClearingTheKeywordHistoryAsksFirst) {
  ASSERT_TRUE(JobSearchParam::saveKeywordsHistory("c++"));
  view->changeKeywords("");
  auto window = std::make_shared<platform::Window>();
  window->addSubview(view);
  view->clearHistory();
  ASSERT_TRUE(platform::UIDriver::answerAlert(1));
  EXPECT_EQ(rowTitle(0), "c++");
  view->clearHistory();
  ASSERT_TRUE(platform::UIDriver::answerAlert(0));
  EXPECT_TRUE(view->list()->dataOfIndexPath(IndexPath::forRow(0, 0))->getTableCellIsEmpty());
  EXPECT_FALSE(view->clearHistoryButton()->isEnabled());
  EXPECT_EQ(trackedPoints(), "TRACKING_JOBSEARCH_PROMPT_CLEAR_HISTORY=1") << "only the clearing counts";
  AppTracking::trackingUploadEnded(true);
  // The empty history's tip row picks nothing and counts nothing.
  view->list()->tapRowAtIndexPath(IndexPath::forRow(0, 0));
  EXPECT_TRUE(host->picked.empty());
  EXPECT_EQ(trackedPoints(), "");
}

TEST_F(KeyAssociateJobSearchTest, APickedKeywordSearchesAtOnceWithTheChosenType) {
  answerSearchWith("search_job_list_page1.xml");
  auto form = JobSearchController::create();
  show(form);
  auto drop = form->associateView();
  drop->selectedItemWithIndex(2);
  drop->changeKeywords("ja");
  drop->startFetchNewAssociateKeywords();
  ASSERT_TRUE(runUntil([&] { return !drop->associateLoader(); }, 20));
  drop->list()->tapRowAtIndexPath(IndexPath::forRow(0, 0));
  settle();
  auto results = topResults();
  ASSERT_TRUE(results);
  EXPECT_EQ(form->searchBar()->text(), "java");
  ASSERT_TRUE(loaded(results->listDataSearchResult()));
  auto requests = requestsFor(SearchPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("keyword=java&keywordtype=2"), std::string::npos) << requests[0];
}

}  // namespace
}  // namespace kavro::test
