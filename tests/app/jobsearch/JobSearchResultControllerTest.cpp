// The result list over the fixture server: pages, failures, filters, ticks and the detail pager.

#include <gtest/gtest.h>

#include "app/jobsearch/JobListSearchResultCell.h"
#include "app/jobsearch/JobOperateUtil.h"
#include "app/jobsearch/JobSearchFilterController.h"
#include "app/jobsearch/JobSearchResultController.h"
#include "app/jobsearch/JobSearchResultEmptyCell.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ErrorTableCell.h"
#include "kit/ui/MoreTableCell.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextMetrics.h"
#include "tests/app/jobsearch/JobSearchScreenTest.h"

namespace kavro::test {
namespace {

using platform::IndexPath;

class JobSearchResultControllerTest : public JobSearchScreenTest {
 protected:
  void SetUp() override {
    JobSearchScreenTest::SetUp();
    query = JobSearchParam::create();
    query->setKeywords("java");
    query->setJobarea("020000");
    query->setText_jobarea("上海");
  }
  // The list pushed over a plain screen, its first page answered from the fixture.
  std::shared_ptr<JobSearchResultController> openWithFirstPage(std::string_view fixtureName) {
    answerSearchWith(fixtureName);
    show(UIBasicController::create<UIBasicController>());
    auto results = JobSearchResultController::initWithParam(query);
    nav->pushViewController(results, false);
    settle();
    EXPECT_TRUE(loaded(results->listDataSearchResult()));
    tapGuideAway();
    return results;
  }
  // Taps the state row at the bottom and waits for its answer.
  bool tapLastRowAndWait(const std::shared_ptr<JobSearchResultController>& results) {
    auto& list = *results->listViewResult();
    int rows = list.numberOfRowsInSection(0);
    list.tapRowAtIndexPath(IndexPath::forRow(rows - 1, 0));
    return loaded(results->listDataSearchResult());
  }
  static std::string lastRowClass(const std::shared_ptr<JobSearchResultController>& results) {
    auto& list = *results->listViewResult();
    return list.cellClassAtIndexPath(IndexPath::forRow(list.numberOfRowsInSection(0) - 1, 0))->name();
  }
  // The first result row, laid out on screen.
  static std::shared_ptr<JobListSearchResultCell> firstRow(
      const std::shared_ptr<JobSearchResultController>& results) {
    auto& list = *results->listViewResult();
    list.layoutSubviews();
    return std::dynamic_pointer_cast<JobListSearchResultCell>(
        list.cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  }
  std::int64_t filedCount() const {
    auto history = query->getSearchHistory();
    return history->getItem(0)->getInt(JobSearchParam::JobSearchParamCountKey);
  }

  std::shared_ptr<JobSearchParam> query;
};

TEST_F(JobSearchResultControllerTest, TheFirstPageIsAskedForAsTheScreenBuildsItsView) {
  answerSearchWith("search_job_list_page1.xml");
  show(UIBasicController::create<UIBasicController>());
  auto results = JobSearchResultController::initWithParam(query);
  settle();
  EXPECT_TRUE(requestsFor(SearchPath).empty()) << "a screen not yet built asks for nothing";

  results->view();
  ASSERT_TRUE(results->listViewResult()->superview()) << "the list is in the screen";
  EXPECT_TRUE(results->filterButton());
  EXPECT_EQ(results->listViewResult()->numberOfSections(), 1);
  ASSERT_TRUE(loaded(results->listDataSearchResult()));
  EXPECT_EQ(requestsFor(SearchPath).size(), 1u);
  nav->pushViewController(results, false);
  settle();
  EXPECT_EQ(requestsFor(SearchPath).size(), 1u) << "showing it asks no second time";
}

TEST_F(JobSearchResultControllerTest, PagesAppendAndTheLastPageShowsNoMoreRow) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  auto& list = *results->listViewResult();
  EXPECT_EQ(list.numberOfRowsInSection(0), 11);
  EXPECT_EQ(lastRowClass(results), "MoreTableCell");
  EXPECT_EQ(filedCount(), 13) << "the first page files the search";
  EXPECT_TRUE(results->enablelandmark());

  answerSearchWith("search_job_list_page2.xml");
  ASSERT_TRUE(tapLastRowAndWait(results));
  EXPECT_EQ(results->listDataSearchResult()->count(), 13u);
  EXPECT_EQ(list.numberOfRowsInSection(0), 13) << "no more row after the last page";
  EXPECT_EQ(lastRowClass(results), "JobListSearchResultCell");
  EXPECT_EQ(list.dataOfIndexPath(IndexPath::forRow(12, 0))->get_jobname(), "软件工程师 13");
  auto requests = requestsFor(SearchPath);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("pagesize=10&pageno=2"), std::string::npos) << requests[1];
  EXPECT_EQ(query->getSearchHistory()->count(), 1u) << "the next page replaces the entry";
  EXPECT_EQ(results->navTitleView()->subTitle()->text(), "共13个职位");
}

TEST_F(JobSearchResultControllerTest, AFailedPageKeepsTheRowsAndOffersItsRetry) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  for (auto [status, body] : {std::pair<int, std::string>{500, "oops"},
                              {200, "<responsemessage><result>1<"},
                              {200,
                               "<?xml version=\"1.0\"?><responsemessage><result>0</result><status>3</status>"
                               "<message>busy</message></responsemessage>"}}) {
    SCOPED_TRACE(body);
    server.setAnswer(SearchPath, status, body);
    ASSERT_TRUE(tapLastRowAndWait(results));
    EXPECT_EQ(results->listDataSearchResult()->count(), 10u) << "the rows shown stay";
    EXPECT_EQ(lastRowClass(results), "ErrorTableCell");
    EXPECT_EQ(results->navTitleView()->subTitle()->text(), "共13个职位") << "the title keeps its count";
    EXPECT_EQ(query->pageAt(), 2);
  }
  answerSearchWith("search_job_list_page2.xml");
  ASSERT_TRUE(tapLastRowAndWait(results));
  EXPECT_EQ(results->listDataSearchResult()->count(), 13u);
  EXPECT_NE(requestsFor(SearchPath).back().find("pageno=2"), std::string::npos);
}

TEST_F(JobSearchResultControllerTest, AFailedFirstPageIsAnErrorNotAnEmptyResult) {
  server.setAnswer(SearchPath, 503, "");
  show(UIBasicController::create<UIBasicController>());
  auto results = JobSearchResultController::initWithParam(query);
  nav->pushViewController(results, false);
  settle();
  ASSERT_TRUE(loaded(results->listDataSearchResult()));
  EXPECT_EQ(results->listViewResult()->numberOfRowsInSection(0), 1);
  EXPECT_EQ(lastRowClass(results), "ErrorTableCell");
  EXPECT_TRUE(query->getSearchHistory()->getItem(0)->getTableCellIsEmpty()) << "a failure is not filed";
  EXPECT_FALSE(results->navTitleView()->showSubTitle());
}

TEST_F(JobSearchResultControllerTest, TheServersRefusalIsTakenAndFiledLikeAnyAnswer) {
  server.setAnswer(SearchPath, 200,
                   "<?xml version=\"1.0\"?><responsemessage><result>0</result><status>3</status>"
                   "<message>busy</message></responsemessage>");
  show(UIBasicController::create<UIBasicController>());
  auto results = JobSearchResultController::initWithParam(query);
  nav->pushViewController(results, false);
  settle();
  ASSERT_TRUE(loaded(results->listDataSearchResult()));
  EXPECT_EQ(lastRowClass(results), "ErrorTableCell") << "the list still offers the retry";
  ASSERT_FALSE(query->getSearchHistory()->getItem(0)->getTableCellIsEmpty()) << "the answer is filed";
  EXPECT_EQ(filedCount(), 0);
  EXPECT_FALSE(results->navTitleView()->showSubTitle());
  EXPECT_EQ(results->suggestMessege(), "") << "a refusal is not an empty result";
}

TEST_F(JobSearchResultControllerTest, AnEmptyResultShowsTheSuggestionInItsRow) {
  auto results = openWithFirstPage("search_job_list_empty.xml");
  auto& list = *results->listViewResult();
  ASSERT_EQ(list.numberOfRowsInSection(0), 1);
  EXPECT_EQ(lastRowClass(results), "JobSearchResultEmptyCell");
  EXPECT_EQ(results->suggestMessege(), "试试更短的关键字");
  list.layoutSubviews();
  auto cell = std::dynamic_pointer_cast<JobSearchResultEmptyCell>(
      list.cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->label()->text(), "试试更短的关键字");
  EXPECT_EQ(cell->button()->currentTitle(),
            AppCoreInfo::getLocalizedString("jobsearch_result_empty_button_back"));
  // The suggestion and its button stand together in the middle of the row, the button under it.
  const platform::Rect text = cell->label()->frame(), button = cell->button()->frame();
  const double rowHeight = list.rectForRowAtIndexPath(IndexPath::forRow(0, 0)).size.height;
  EXPECT_EQ(button.y(), text.maxY() + 10);
  EXPECT_NEAR(text.y(), rowHeight - button.maxY(), 0.5);
  EXPECT_EQ(button.size, (platform::Size{212, 40})) << "the button keeps the size of its picture";
  EXPECT_EQ(button.x(), (list.bounds().size.width - 212) / 2);
  EXPECT_FALSE(results->navTitleView()->showSubTitle());
  EXPECT_FALSE(results->filterButton()->isEnabled());
  EXPECT_FALSE(results->toolbarButton(JobSearchResultController::DetailItem)->isEnabled());

  cell->buttonClicked();
  settle();
  EXPECT_NE(nav->topViewController(), results) << "the back button pops the list";
}

TEST_F(JobSearchResultControllerTest, TheEmptyRowOpensTheFiltersWhenOnAndClosesAQuickSearch) {
  // A quick search from the home screen: the list is the root of a modal navigation of its own.
  answerSearchWith("search_job_list_empty.xml");
  auto home = UIBasicController::create<UIBasicController>();
  show(home);
  query->setEnableFilters(true);
  auto results = JobSearchResultController::initWithParam(query);
  auto modal = platform::NavigationController::create(results);
  nav->presentViewController(modal, false);
  settle();
  ASSERT_TRUE(loaded(results->listDataSearchResult()));
  tapGuideAway();
  EXPECT_TRUE(results->filterButton()->isEnabled()) << "filters on: the button stays usable";
  auto& list = *results->listViewResult();
  list.layoutSubviews();
  auto cell = std::dynamic_pointer_cast<JobSearchResultEmptyCell>(
      list.cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->button()->currentTitle(),
            AppCoreInfo::getLocalizedString("jobsearch_result_empty_button_filter"));
  cell->buttonClicked();
  settle();
  EXPECT_TRUE(std::dynamic_pointer_cast<JobSearchFilterController>(modal->topViewController()));

  modal->popViewControllerAnimated(false);
  settle();
  query->setEnableFilters(false);
  cell->buttonClicked();
  settle();
  EXPECT_FALSE(nav->presentedViewController()) << "the modal search is closed";
}

TEST_F(JobSearchResultControllerTest, ConfirmedFiltersGoIntoTheNextRequestAndMarkTheButton) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  ASSERT_TRUE(results->filterButton()->isEnabled());
  results->filterButton()->action()(*results->filterButton());
  settle();
  auto filter = std::dynamic_pointer_cast<JobSearchFilterController>(nav->topViewController());
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->curParam(), query);
  EXPECT_TRUE(filter->enablelandmarks()) << "the server offered landmarks";
  const platform::Size screen = filter->view()->bounds().size;
  EXPECT_EQ(filter->listView()->frame(), platform::Rect(0, 44, screen.width, screen.height - 44))
      << "the rows fill the screen under the bar";

  auto picker = DictPickerController::initWithData(nullptr, DictType::SalaryRange, filter);
  auto salary = DataItemDetail::newDetail();
  salary->setDictCode("05");
  salary->setDictValue("6000-7999");
  filter->dictPicker(*picker, salary);
  EXPECT_EQ(filter->listViewData()->listData()->getItem(4)->getItemValue(), "6000-7999");

  filter->filterDone();
  settle();
  EXPECT_EQ(nav->topViewController(), results);
  EXPECT_EQ(results->filterButton()->title(),
            AppCoreInfo::getLocalizedString("jobsearch_result_filter_success"));
  EXPECT_EQ(results->filterButton()->style(), platform::BarButtonItemStyle::Done);
  ASSERT_TRUE(loaded(results->listDataSearchResult()));
  auto requests = requestsFor(SearchPath);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("saltype=05"), std::string::npos) << requests[1];
  EXPECT_NE(requests[1].find("pageno=1"), std::string::npos) << "the list starts again";
  EXPECT_EQ(requests[0].find("saltype"), std::string::npos);
  EXPECT_EQ(results->listDataSearchResult()->count(), 10u);
}

// After a pick the rows are shown again by cells that showed other rows before: each lays its
// title and value out for its own texts, whole.
TEST_F(JobSearchResultControllerTest, FilterRowsShowTheirWholeTextsAfterAPick) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  results->filterClicked();
  settle();
  auto filter = std::dynamic_pointer_cast<JobSearchFilterController>(nav->topViewController());
  ASSERT_TRUE(filter);
  platform::Application::layoutWindows();
  auto picker = DictPickerController::initWithData(nullptr, DictType::WorkExperience, filter);
  auto years = DataItemDetail::newDetail();
  years->setDictCode("02");
  years->setDictValue("2年");
  filter->dictPicker(*picker, years);
  platform::Application::layoutWindows();
  auto& list = *filter->listView();
  ASSERT_EQ(list.numberOfRowsInSection(0), 8);
  for (int row = 0; row < 8; ++row) {
    auto cell = list.cellForRowAtIndexPath(IndexPath::forRow(row, 0));
    ASSERT_TRUE(cell) << row;
    for (const auto& label : {cell->textLabel(), cell->detailTextLabel()}) {
      ASSERT_TRUE(label);
      EXPECT_GE(label->frame().width(),
                platform::TextMetrics::sizeWithFont(label->text(), label->font()).width)
          << "row " << row << " " << label->text();
    }
    EXPECT_EQ(cell->detailTextLabel()->text(),
              filter->listViewData()->listData()->getItem(row)->getItemValue())
        << row;
    // Each row names its field in dark bold and shows the value picked in blue, and opens a picker.
    EXPECT_EQ(cell->textLabel()->textColor(), platform::Color::rgba(0x33 / 255.0, 0x33 / 255.0, 0x33 / 255.0))
        << row;
    EXPECT_EQ(cell->textLabel()->font().pointSize(), 16) << row;
    EXPECT_TRUE(cell->textLabel()->font().isBold()) << row;
    EXPECT_EQ(cell->detailTextLabel()->textColor(),
              platform::Color::rgba(0x1e / 255.0, 0x6f / 255.0, 0xc8 / 255.0))
        << row;
    EXPECT_EQ(cell->detailTextLabel()->font().pointSize(), 15) << row;
    EXPECT_EQ(cell->accessoryType(), platform::TableViewCellAccessoryType::DisclosureIndicator) << row;
  }

  // Where the area has no landmarks, the landmark row says so and the others keep their values.
  const std::string none = AppCoreInfo::getLocalizedString("searchfilter_not_landmark");
  filter->setEnablelandmarks(false);
  list.reloadData();
  platform::Application::layoutWindows();
  EXPECT_EQ(list.cellForRowAtIndexPath(IndexPath::forRow(0, 0))->detailTextLabel()->text(), none);
  for (int row = 1; row < 8; ++row)
    EXPECT_EQ(list.cellForRowAtIndexPath(IndexPath::forRow(row, 0))->detailTextLabel()->text(),
              filter->listViewData()->listData()->getItem(row)->getItemValue())
        << row;
}

TEST_F(JobSearchResultControllerTest, PicksLeftWithoutConfirmingStayOutOfTheRequest) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  results->filterClicked();
  settle();
  auto filter = std::dynamic_pointer_cast<JobSearchFilterController>(nav->topViewController());
  ASSERT_TRUE(filter);
  auto picker = DictPickerController::initWithData(nullptr, DictType::Education, filter);
  auto degree = DataItemDetail::newDetail();
  degree->setDictCode("04");
  degree->setDictValue("本科");
  filter->dictPicker(*picker, degree);
  nav->popViewControllerAnimated(false);
  settle();

  answerSearchWith("search_job_list_page2.xml");
  ASSERT_TRUE(tapLastRowAndWait(results));
  EXPECT_EQ(requestsFor(SearchPath).back().find("degree="), std::string::npos);
  EXPECT_NE(results->filterButton()->title(),
            AppCoreInfo::getLocalizedString("jobsearch_result_filter_success"));
  auto stored = JobSearchParam::create();
  ASSERT_TRUE(stored->restoreFormData());
  EXPECT_EQ(stored->degree(), "04") << "the pick is in the stored form";
}

TEST_F(JobSearchResultControllerTest, TicksDriveTheButtonsAndStopAtThirty) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  auto& list = *results->listViewResult();
  auto cell = firstRow(results);
  ASSERT_TRUE(cell);
  auto favorite = results->toolbarButton(JobSearchResultController::FavoriteItem);
  auto apply = results->toolbarButton(JobSearchResultController::ApplyItem);
  EXPECT_FALSE(apply->isEnabled());

  cell->checkView()->buttonClicked();
  EXPECT_TRUE(list.dataOfIndexPath(IndexPath::forRow(0, 0))->getTableCellIsSelected());
  EXPECT_TRUE(apply->isEnabled());
  EXPECT_TRUE(favorite->isEnabled());
  EXPECT_FALSE(results->filterButton()->isEnabled());

  cell->checkView()->buttonClicked();
  EXPECT_FALSE(apply->isEnabled());
  EXPECT_TRUE(results->filterButton()->isEnabled());

  // Thirty ticked already: the next one is refused with an alert.
  auto& rows = results->listDataSearchResult()->listData()->dataList();
  for (int i = 0; i < 30; ++i) {
    auto row = DataItemDetail::newDetail();
    row->set_jobid(std::to_string(100 + i));
    row->setTableCellIsSelected(true);
    results->listDataSearchResult()->listData()->addItem(row);
  }
  ASSERT_GE(rows.size(), 40u);
  cell->checkView()->buttonClicked();
  EXPECT_FALSE(cell->checkView()->checked());
  EXPECT_FALSE(list.dataOfIndexPath(IndexPath::forRow(0, 0))->getTableCellIsSelected());
  ASSERT_TRUE(platform::UIDriver::topAlert());
  platform::UIDriver::answerAlert(0);
}

TEST_F(JobSearchResultControllerTest, WithTheConfirmationOnApplyingAsksAndCancelKeepsTheTicks) {
  auto reply = DataItemDetail::newDetail();
  reply->setString("1001", "accountid");
  reply->setString("k3y", "key");
  UserCoreInfo::setUserLoginInfo(reply.get());
  ASSERT_TRUE(JobOperateUtil::setConfirmWhileApply(true));  // as the settings switch stores it
  auto results = openWithFirstPage("search_job_list_page1.xml");
  auto cell = firstRow(results);
  ASSERT_TRUE(cell);
  platform::UIDriver::tap(*cell->checkView());
  const std::string apply = AppCoreInfo::getLocalizedString("jobsearch_apply_jobs");
  platform::Application::layoutWindows();
  ASSERT_TRUE(platform::UIDriver::tap(apply)) << platform::UIDriver::describeScreen();
  auto alert = std::dynamic_pointer_cast<platform::AlertView>(platform::UIDriver::topAlert());
  ASSERT_TRUE(alert) << "the confirmation comes first";
  EXPECT_EQ(alert->tag(), 11128);
  EXPECT_EQ(alert->title(), AppCoreInfo::getLocalizedString("jobapply_show_tip_title"));
  EXPECT_EQ(alert->message(), AppCoreInfo::getLocalizedString("jobapply_show_tip_content"));
  platform::UIDriver::answerAlert(0);
  for (int i = 0; i < 20; ++i) loop().runOnce(0);
  EXPECT_TRUE(requestsFor("/api/user/apply_job.php").empty()) << "cancel sends nothing";
  EXPECT_TRUE(results->listViewResult()->dataOfIndexPath(IndexPath::forRow(0, 0))->getTableCellIsSelected())
      << "and keeps the ticks";
  EXPECT_TRUE(results->toolbarButton(JobSearchResultController::ApplyItem)->isEnabled());

  ASSERT_TRUE(platform::UIDriver::tap(apply)) << platform::UIDriver::describeScreen();
  ASSERT_TRUE(platform::UIDriver::topAlert());
  platform::UIDriver::answerAlert(1);
  // A success clears the ticks.
  ASSERT_TRUE(runUntil(
      [&] {
        return !results->listViewResult()->dataOfIndexPath(IndexPath::forRow(0, 0))->getTableCellIsSelected();
      },
      20));
  EXPECT_EQ(requestsFor("/api/user/apply_job.php").size(), 1u);
}

TEST_F(JobSearchResultControllerTest, TheDetailToggleSwitchesTheRowsBackAndForth) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  platform::Application::layoutWindows();
  ASSERT_TRUE(platform::UIDriver::tap(AppCoreInfo::getLocalizedString("jobsearch_result_more_detail")))
      << platform::UIDriver::lastError();
  EXPECT_TRUE(results->showDetail());
  platform::Application::layoutWindows();
  // The rows grow to their details and the tick box with them, then shrink back.
  auto row = firstRow(results);
  ASSERT_TRUE(row);
  EXPECT_FALSE(row->jobsummary()->isHidden());
  EXPECT_GT(row->checkView()->frame().height(), 55);
  // The details stand under the company's name, from where it starts, the summary first.
  const platform::Rect company = row->coname()->frame();
  const platform::Rect summary = row->jobsummary()->frame();
  const platform::Rect info = row->jobinfo()->frame();
  EXPECT_EQ(summary.origin.x, company.origin.x);
  EXPECT_EQ(info.origin.x, company.origin.x);
  EXPECT_GE(summary.origin.y, company.maxY());
  EXPECT_GE(info.origin.y, summary.maxY());
  EXPECT_LE(info.maxY(), row->checkView()->frame().maxY());
  ASSERT_TRUE(platform::UIDriver::tap(AppCoreInfo::getLocalizedString("jobsearch_result_style_list")))
      << platform::UIDriver::describeScreen();
  EXPECT_FALSE(results->showDetail());
  platform::Application::layoutWindows();
  row = firstRow(results);
  ASSERT_TRUE(row);
  EXPECT_TRUE(row->jobsummary()->isHidden());
  EXPECT_EQ(row->checkView()->frame().height(), 55);
  EXPECT_NE(platform::UIDriver::describeScreen().find(
                AppCoreInfo::getLocalizedString("jobsearch_result_more_detail")),
            std::string::npos);
}

TEST_F(JobSearchResultControllerTest, TheBarButtonsAndTicksLookAsTheyAre) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  auto cell = firstRow(results);
  ASSERT_TRUE(cell);
  auto button = results->toolbarButton(JobSearchResultController::FavoriteItem)->customButton();
  auto pixels = [](platform::View& v) {
    auto image = platform::Snapshot::imageOfView(v, 1);
    const auto& bitmap = *image->bitmap();
    return std::vector<std::uint8_t>(bitmap.data(), bitmap.data() + bitmap.bytesPerRow() * bitmap.height());
  };
  auto painted = [](const std::vector<std::uint8_t>& rgba) {
    for (std::size_t i = 3; i < rgba.size(); i += 4)
      if (rgba[i] != 0) return true;
    return false;
  };
  const auto disabled = pixels(*button);
  const auto unticked = pixels(*cell->checkView());
  EXPECT_TRUE(painted(disabled)) << "the button draws its icon";
  EXPECT_TRUE(painted(unticked)) << "the tick box is drawn";
  cell->checkView()->buttonClicked();
  ASSERT_TRUE(button->isEnabled());
  EXPECT_NE(pixels(*button), disabled) << "a disabled button does not look enabled";
  EXPECT_NE(pixels(*cell->checkView()), unticked) << "a ticked row does not look unticked";
}

TEST_F(JobSearchResultControllerTest, ARowOpensTheDetailPagerOverTheList) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  results->listViewResult()->tapRowAtIndexPath(IndexPath::forRow(2, 0));
  settle();
  auto pager = std::dynamic_pointer_cast<PageTurnController>(nav->topViewController());
  ASSERT_TRUE(pager);
  EXPECT_EQ(pager->pagesData(), results->listDataSearchResult());
  EXPECT_EQ(pager->currentPageIndex(), 2);
  EXPECT_EQ(pager->pagesClass()->name(), "StandInJobPage");
  EXPECT_EQ(pager->get_current_item()->get_jobname(), "软件工程师 3");
}

TEST_F(JobSearchResultControllerTest, ADetailClassThatMakesNoPagesOpensNothing) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  // A class, but no page class: refused rather than an empty pager.
  JobSearchResultController::setDetailPageClass(platform::classFor<ListView>());
  results->listViewResult()->tapRowAtIndexPath(IndexPath::forRow(2, 0));
  settle();
  EXPECT_EQ(nav->topViewController(), results);
}

TEST_F(JobSearchResultControllerTest, TheDetailToggleGrowsTheRows) {
  auto results = openWithFirstPage("search_job_list_page1.xml");
  auto& list = *results->listViewResult();
  auto height = [&] { return *list.heightForRowAtIndexPath(list, IndexPath::forRow(0, 0)); };
  EXPECT_EQ(height(), 55);
  auto toggle = results->toolbarButton(JobSearchResultController::DetailItem);
  ASSERT_TRUE(toggle->isEnabled());
  results->detailClick();
  EXPECT_TRUE(results->showDetail());
  EXPECT_GT(height(), 55);
  EXPECT_EQ(toggle->customButton()->currentTitle(),
            AppCoreInfo::getLocalizedString("jobsearch_result_style_list"));
  list.layoutSubviews();
  auto cell =
      std::dynamic_pointer_cast<JobListSearchResultCell>(list.cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  ASSERT_TRUE(cell);
  EXPECT_FALSE(cell->jobsummary()->isHidden());
  EXPECT_EQ(cell->jobsummary()->text(), "本科  |  3-5年  |  民营公司");
  results->detailClick();
  EXPECT_EQ(height(), 55);
}

}  // namespace
}  // namespace kavro::test
