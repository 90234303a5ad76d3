// The search form: from the keyword to the result list, the recent searches, the conditions.

#include <gtest/gtest.h>

#include "app/jobsearch/EmptyTipsCell.h"
#include "app/jobsearch/JobSearchController.h"
#include "app/jobsearch/JobSearchResultController.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/TitleFullValueCell.h"
#include "platform/ui/Application.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/UIDriver.h"
#include "tests/app/jobsearch/JobSearchScreenTest.h"

namespace kavro::test {
namespace {

class JobSearchControllerTest : public JobSearchScreenTest {
 protected:
  void SetUp() override {
    JobSearchScreenTest::SetUp();
    answerSearchWith("search_job_list_page1.xml");
  }
  std::shared_ptr<JobSearchController> openForm() {
    auto form = JobSearchController::create();
    show(form);
    return form;
  }
  // Types the keyword into the bar and presses the keyboard's search key.
  static void typeAndSearch(std::string_view keyword) {
    ASSERT_TRUE(platform::UIDriver::tap(AppCoreInfo::getLocalizedString("common_text_input_keyword")))
        << platform::UIDriver::lastError();
    ASSERT_TRUE(platform::UIDriver::type(keyword))
        << platform::UIDriver::lastError() << platform::UIDriver::describeScreen();
    ASSERT_TRUE(platform::UIDriver::pressReturn());
  }
  // Searches, sees the results (the guide tapped away) and goes back to the form.
  void searchAndComeBack(std::string_view keyword, const std::shared_ptr<JobSearchController>& form) {
    typeAndSearch(keyword);
    settle();
    ASSERT_TRUE(topResults());
    ASSERT_TRUE(loaded(topResults()->listDataSearchResult()));
    tapGuideAway();
    ASSERT_TRUE(platform::UIDriver::back()) << platform::UIDriver::lastError();
    settle();
    ASSERT_EQ(nav->topViewController(), form);
  }
};

TEST_F(JobSearchControllerTest, ATypedKeywordLandsInTheResultListWithItsTitleAndRows) {
  auto form = openForm();
  typeAndSearch("java");
  // The form is in the store before the result list is pushed: a kill before the first page
  // keeps it.
  auto early = JobSearchParam::create();
  ASSERT_TRUE(early->restoreFormData());
  EXPECT_EQ(early->keywords(), "java");
  settle();
  auto results = topResults();
  ASSERT_TRUE(results) << "the result list was pushed";
  EXPECT_EQ(results->searchParam(), form->queryParam()) << "the list works on the form's own query";
  ASSERT_TRUE(loaded(results->listDataSearchResult()));

  auto requests = requestsFor(SearchPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("keyword=java&keywordtype=1&jobarea="), std::string::npos) << requests[0];
  EXPECT_NE(requests[0].find("pagesize=10&pageno=1"), std::string::npos) << requests[0];

  EXPECT_EQ(results->navTitleView()->mainTitle()->text(), form->queryParam()->searchTitle());
  EXPECT_NE(results->navTitleView()->mainTitle()->text().find("java"), std::string::npos);
  EXPECT_EQ(results->navTitleView()->subTitle()->text(), "共13个职位");
  EXPECT_EQ(results->listDataSearchResult()->count(), 10u);
  auto first = results->listViewResult()->dataOfIndexPath(platform::IndexPath::forRow(0, 0));
  EXPECT_EQ(first->get_jobname(), "软件工程师 1");
  EXPECT_TRUE(results->filterButton()->isEnabled());

  // The form, the search and its keyword are remembered.
  auto restored = JobSearchParam::create();
  ASSERT_TRUE(restored->restoreFormData());
  EXPECT_EQ(restored->keywords(), "java");
  auto keywords = JobSearchParam::getKeywordsHistory();
  EXPECT_EQ(keywords->getItem(0)->getItemTitle(), "java");
}

TEST_F(JobSearchControllerTest, ASearchWritesItsFormAndCountsItsUseAtOnce) {
  auto form = openForm();
  // The first search of a process also marks the result screen's guide as shown and sweeps old
  // read marks; the searches after it write only what the search itself leaves.
  ASSERT_NO_FATAL_FAILURE(searchAndComeBack("java", form));
  AppTracking::getTrackingPostData();
  AppTracking::trackingUploadEnded(true);

  auto core = AppCoreInfo::getCoreDB();
  auto cache = AppCoreInfo::getCacheDB();
  auto counted = [&](std::string_view point) {
    return platform::stringFromData(AppTracking::getTrackingPostData()).find(std::string(point) + "=1") !=
           std::string::npos;
  };
  // The keyboard's search key: the form is written as the search starts and the use is in the
  // store before the first page comes.
  ASSERT_TRUE(platform::UIDriver::tap("java"))
      << platform::UIDriver::lastError();  // the bar keeps the keyword
  ASSERT_TRUE(platform::UIDriver::type("php"));
  std::uint64_t coreBefore = core->commitCount();
  std::uint64_t cacheBefore = cache->commitCount();
  ASSERT_TRUE(platform::UIDriver::pressReturn());
  EXPECT_EQ(core->commitCount() - coreBefore, 1u) << "the use is counted at once";
  EXPECT_EQ(cache->commitCount() - cacheBefore, 1u) << "the form, as the search starts";
  EXPECT_TRUE(counted("TRACKING_JOBSEARCH_PROMPT_SEARCH"));
  AppTracking::trackingUploadEnded(true);
  settle();
  ASSERT_TRUE(topResults());
  ASSERT_TRUE(loaded(topResults()->listDataSearchResult()));
  EXPECT_EQ(cache->commitCount() - cacheBefore, 2u) << "then the search and its keyword together";
  auto restored = JobSearchParam::create();
  ASSERT_TRUE(restored->restoreFormData());
  EXPECT_EQ(restored->keywords(), "javaphp");

  // The same form searched again with the form's search button: written again all the same.
  ASSERT_TRUE(platform::UIDriver::back()) << platform::UIDriver::lastError();
  settle();
  ASSERT_EQ(nav->topViewController(), form);
  coreBefore = core->commitCount();
  cacheBefore = cache->commitCount();
  form->searchButtonClick();
  EXPECT_EQ(core->commitCount() - coreBefore, 1u);
  EXPECT_EQ(cache->commitCount() - cacheBefore, 1u) << "an unchanged form is written too";
  EXPECT_TRUE(counted("TRACKING_JOBSEARCH_HOMEPAGE_SEARCHBUTTON"));
  settle();
}

TEST_F(JobSearchControllerTest, AKeywordOfBlanksSearchesTheAreaOfTheForm) {
  auto form = openForm();
  typeAndSearch("   ");
  settle();
  EXPECT_FALSE(platform::UIDriver::topAlert()) << "blanks are no keyword, and the area is enough";
  auto results = topResults();
  ASSERT_TRUE(results) << "the result list was pushed";
  ASSERT_TRUE(loaded(results->listDataSearchResult()));
  auto requests = requestsFor(SearchPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].find("keyword="), std::string::npos) << requests[0];
  EXPECT_NE(requests[0].find("jobarea=" + form->queryParam()->getJobArea()), std::string::npos)
      << requests[0];
}

TEST_F(JobSearchControllerTest, RecentSearchesDrawWithTheirOwnRowsAndRunAgainInOneTap) {
  auto form = openForm();
  // Without a recent search: the tip row, and no clear button.
  EXPECT_EQ(shownCellClasses(*form->listSearch(), 1), std::vector<std::string>{"EmptyTipsCell"});
  auto tip = std::dynamic_pointer_cast<EmptyTipsCell>(
      form->listSearch()->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 1)));
  ASSERT_TRUE(tip);
  EXPECT_EQ(tip->label()->text(), AppCoreInfo::getLocalizedString("jobsearch_empty_search_hsitory"));
  EXPECT_FALSE(form->listSearch()->dataOfSection(1)->showFooter());
  form->listSearch()->tapRowAtIndexPath(platform::IndexPath::forRow(0, 1));
  settle();
  EXPECT_EQ(nav->topViewController(), form) << "the tip row is no search";

  ASSERT_NO_FATAL_FAILURE(searchAndComeBack("java", form));

  // Coming back lists the search, drawn as a full-value row with its count.
  EXPECT_EQ(shownCellClasses(*form->listSearch(), 1), std::vector<std::string>{"TitleFullValueCell"});
  auto row = form->listSearch()->dataOfIndexPath(platform::IndexPath::forRow(0, 1));
  EXPECT_EQ(row->getItemValue(), "约13个职位");
  EXPECT_TRUE(form->listSearch()->dataOfSection(1)->showFooter());
  // The short count leaves the search's title its room: one line, in a row of 44 points.
  auto shown = std::dynamic_pointer_cast<TitleFullValueCell>(
      form->listSearch()->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 1)));
  ASSERT_TRUE(shown);
  const auto& title = *shown->leftTitleLabel();
  EXPECT_LE(title.frame().height(), platform::TextMetrics::sizeWithFont(title.text(), title.font()).height)
      << title.text() << " wraps in " << title.frame().width();
  EXPECT_EQ(shown->frame().height(), 44);

  form->searchBar()->setText("");
  form->queryParam()->setKeywords("");
  form->listSearch()->tapRowAtIndexPath(platform::IndexPath::forRow(0, 1));
  settle();
  ASSERT_TRUE(topResults());
  EXPECT_EQ(form->searchBar()->text(), "java") << "the bar shows the restored keyword";
  ASSERT_TRUE(loaded(topResults()->listDataSearchResult()));
  EXPECT_EQ(requestsFor(SearchPath).size(), 2u);
}

// Typing lifts the navigation by the hidden bar's height: the search bar stands right below the
// status bar, with no empty band above it.
TEST_F(JobSearchControllerTest, WhileTypingTheSearchBarStandsRightBelowTheStatusBar) {
  auto form = openForm();
  platform::Application::layoutWindows();
  ASSERT_TRUE(platform::UIDriver::tap(AppCoreInfo::getLocalizedString("common_text_input_keyword")))
      << platform::UIDriver::lastError();
  ASSERT_TRUE(platform::UIDriver::type("java")) << platform::UIDriver::lastError();
  platform::Application::layoutWindows();
  const auto& bar = *form->searchBar();
  const double status = platform::Application::sharedApplication().statusBarFrame().size.height;
  EXPECT_EQ(bar.convertRectToView(bar.bounds(), nullptr).minY(), status);
  ASSERT_TRUE(platform::UIDriver::pressReturn());
  settle();
  ASSERT_TRUE(topResults());
  ASSERT_TRUE(loaded(topResults()->listDataSearchResult()));
}

TEST_F(JobSearchControllerTest, ClearingTheRecentSearchesAsksFirst) {
  auto form = openForm();
  auto query = JobSearchParam::create();
  query->setKeywords("c++");
  ASSERT_TRUE(query->saveToSearchHistory(7));
  form->viewWillAppear(false);
  ASSERT_FALSE(form->listSearch()->dataOfIndexPath(platform::IndexPath::forRow(0, 1))->getTableCellIsEmpty());

  form->makeSureToClearHistory();
  ASSERT_TRUE(platform::UIDriver::answerAlert(1));  // cancel
  EXPECT_FALSE(form->listSearch()->dataOfIndexPath(platform::IndexPath::forRow(0, 1))->getTableCellIsEmpty());

  form->makeSureToClearHistory();
  ASSERT_TRUE(platform::UIDriver::answerAlert(0));
  EXPECT_TRUE(form->listSearch()->dataOfIndexPath(platform::IndexPath::forRow(0, 1))->getTableCellIsEmpty());
  EXPECT_FALSE(form->listSearch()->dataOfSection(1)->showFooter());
}

TEST_F(JobSearchControllerTest, APickedAreaReplacesTheLandmarkAndIsStored) {
  auto form = openForm();
  form->queryParam()->setLandmark("1234");
  form->queryParam()->setText_landmark("人民广场");
  auto picker = DictPickerController::initWithData(nullptr, DictType::JobArea, form);
  auto picked = DataItemDetail::newDetail();
  picked->setDictCode("010000");
  picked->setDictValue("北京");
  form->dictPicker(*picker, picked);

  EXPECT_EQ(form->jobareaData()->getItemValue(), "北京");
  auto stored = JobSearchParam::create();
  ASSERT_TRUE(stored->restoreFormData());
  EXPECT_EQ(stored->getJobArea(), "010000");
  EXPECT_EQ(stored->landmark(), "");
  EXPECT_EQ(stored->getText_landmark(), AppCoreInfo::getLocalizedString("searchparam_no_limimt"));
}

TEST_F(JobSearchControllerTest, TheRunnerFindsTheFormsTexts) {
  auto made = JobSearchController::create();
  ASSERT_TRUE(made);
  ASSERT_TRUE(made->queryParam());
  show(made);
  for (const char* key : {"jobsearch_work_area", "jobsearch_industry_type", "jobsearch_job_type",
                          "jobsearch_issue_date", "jobsearch_search", "common_text_input_keyword"})
    EXPECT_TRUE(platform::UIDriver::findView(AppCoreInfo::getLocalizedString(key))) << key;
  EXPECT_FALSE(made->mapButton()) << "no map search is built in";
  EXPECT_FALSE(made->navigationItem()->rightBarButtonItem());
}

}  // namespace
}  // namespace kavro::test
