#include <gtest/gtest.h>

#include "app/jobsearch/CompanyDetailController.h"
#include "app/jobsearch/FullTitleCell.h"
#include "app/jobsearch/JobDetailHeaderView.h"
#include "app/jobsearch/JobDetailView.h"
#include "app/jobsearch/ReportJobController.h"
#include "kit/ui/ListView.h"
#include "kit/ui/PageTurnController.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "tests/app/jobsearch/JobDetailViewTestSupport.h"

namespace kavro::test {
namespace {

constexpr std::string_view CompanyName = "上海浦江数据科技有限公司";

// The screen of the list the pager is opened from; its rows are already there.
struct OriginList : ListViewDelegate {};

class JobDetailViewTest : public JobScreenTest {
 protected:
  void SetUp() override {
    JobScreenTest::SetUp();
    origin = std::make_shared<OriginList>();
    list = ListView::plainListViewForDelegate(origin);
    list->setFrame(platform::Rect(0, 0, 320, 480));
    section = ListViewData::newDataOnListView(*list, platform::classFor<FullTitleCell>());
    openNavigation();
  }
  void TearDown() override {
    list->stopLoading();
    JobScreenTest::TearDown();
  }

  std::shared_ptr<DataItemDetail> addRecord(const std::string& jobid) {
    auto record = DataItemDetail::newDetail();
    record->set_jobid(jobid);
    record->set_jobname("job " + jobid);
    section->listData()->addItem(record);
    section->listData()->setMaxCount(static_cast<std::uint32_t>(section->count()));
    section->setListViewDataStatus(ListViewDataStatus::Loaded);
    return record;
  }
  // As the result list does: the job detail's page class.
  std::shared_ptr<PageTurnController> open(int index) {
    auto pageClass = platform::classFor<JobDetailView>();
    EXPECT_TRUE(pageClass);
    auto pager = PageTurnController::create(section, index, pageClass);
    nav->pushViewController(pager, false);
    pager->view();
    return pager;
  }
  static std::shared_ptr<JobDetailView> page(PageTurnController& pager) {
    return std::dynamic_pointer_cast<JobDetailView>(pager.get_current_view());
  }
  void swipeTo(PageTurnController& pager, int index) {
    pager.pagesScrollView()->setContentOffset({index * pager.scrollPageSize().width, 0});
    pager.scrollViewDidEndDecelerating(*pager.pagesScrollView());
  }
  bool shown(PageTurnController& pager) {
    return settle([&] {
      auto p = page(pager);
      return p && p->jobDetailInfo() != nullptr;
    });
  }
  static std::shared_ptr<DataItemResult> cachedAnswer(const std::string& jobid) {
    auto answer = DataItemResult::create();
    answer->detailInfo()->set_jobid(jobid);
    answer->detailInfo()->set_jobname("cached " + jobid);
    answer->detailInfo()->set_coname("缓存公司");
    answer->detailInfo()->set_coid("77");
    return answer;
  }
  // The bar's buttons by index (favorite, apply, report), as a finger would press them.
  static void press(JobDetailView& p, int index) {
    auto button = p.barButton(index)->customButton();
    ASSERT_EQ(button->currentTitle(), text(index == 0   ? "jobdetail_button_favorite"
                                           : index == 1 ? "jobdetail_button_apply"
                                                        : "jobdetail_button_report"));
    button->sendActionsForControlEvents(platform::ControlEvent::TouchUpInside);
  }
  std::vector<std::string> rowTitles(JobDetailView& p) {
    std::vector<std::string> out;
    auto& l = *p.listViewJobDetail();
    for (int s = 0; s < l.numberOfSections(); ++s)
      for (std::size_t r = 0; r < l.dataOfSection(s)->count(); ++r)
        out.push_back(l.dataOfSection(s)->listData()->getItem(r)->getItemTitle());
    return out;
  }

  std::shared_ptr<OriginList> origin;
  std::shared_ptr<ListView> list;
  std::shared_ptr<ListViewData> section;
};

TEST_F(JobDetailViewTest, SwipingAlongTheListAsksTheServerOnlyForJobsNotCached) {
  addRecord("1");
  addRecord("2");
  addRecord("3");
  ASSERT_TRUE(JobOperateUtil::setJobCache("2", cachedAnswer("2")));
  auto pager = open(0);
  EXPECT_EQ(pager->title(), text("jobdetail_title"));
  ASSERT_TRUE(shown(*pager));
  auto first = page(*pager);
  EXPECT_EQ(first->jobid(), "1");
  EXPECT_EQ(first->jobDetailInfo()->get_coname(), CompanyName);
  EXPECT_FALSE(first->bottomToolBar()->isHidden());
  auto header = std::dynamic_pointer_cast<JobDetailHeaderView>(first->listViewJobDetail()->tableHeaderView());
  ASSERT_TRUE(header);
  EXPECT_EQ(header->label()->text(), "高级软件工程师（C++）");
  // Beside the title, the button that asks how well the resume matches shows its picture.
  ASSERT_TRUE(header->button()->currentImage());
  EXPECT_GT(header->button()->currentImage()->size().width, 0);

  swipeTo(*pager, 1);
  ASSERT_TRUE(shown(*pager));
  EXPECT_EQ(page(*pager)->jobDetailInfo()->get_jobname(), "cached 2");
  swipeTo(*pager, 2);
  ASSERT_TRUE(shown(*pager));
  EXPECT_EQ(page(*pager)->jobid(), "3");
  swipeTo(*pager, 1);
  swipeTo(*pager, 0);
  ASSERT_TRUE(shown(*pager));
  EXPECT_EQ(page(*pager)->jobid(), "1");
  for (int i = 0; i < 20; ++i) loop().runOnce(0);

  auto asked = targetsOf("/api/job/get_job_info.php");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_TRUE(asked[0].starts_with("/api/job/get_job_info.php?jobid=1&")) << asked[0];
  EXPECT_TRUE(asked[1].starts_with("/api/job/get_job_info.php?jobid=3&")) << asked[1];
  EXPECT_TRUE(JobOperateUtil::getJobCache("1")) << "a shown answer is kept";
}

TEST_F(JobDetailViewTest, AJobOpenedByItselfIsAOneRecordList) {
  auto pager = JobDetailView::openWithJobID("45127603", home);
  ASSERT_TRUE(pager);
  EXPECT_EQ(nav->topViewController(), pager);
  EXPECT_EQ(pager->maxScrollPage(), 1u);
  ASSERT_TRUE(shown(*pager));
  EXPECT_EQ(page(*pager)->jobDetailInfo()->get_jobname(), "高级软件工程师（C++）");
  EXPECT_EQ(JobDetailView::openWithJobID("", home), nullptr);
}

TEST_F(JobDetailViewTest, RowsFollowTheJobAndLeadToTheCompanyPage) {
  addRecord("1");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);
  ASSERT_EQ(p->listViewJobDetail()->numberOfSections(), 3);
  EXPECT_EQ(
      rowTitles(*p),
      (std::vector<std::string>{
          std::string(CompanyName), text("codetail_title_cotype"), text("jobdetail_jobarea"),
          text("jobdetail_number_of_people"), text("jobdetail_jobinfo"), text("jobdetail_company_address"),
          text("jobdetail_work_experience"), text("jobdetail_language"), text("jobdetail_education"),
          text("jobdetail_providesalary"), text("codetail_title_all_jobs")}));

  // Touching the page marks the job as read.
  EXPECT_FALSE(JobOperateUtil::getjobHasRead("1"));
  ASSERT_TRUE(platform::UIDriver::tap(std::string(CompanyName))) << platform::UIDriver::lastError();
  EXPECT_TRUE(JobOperateUtil::getjobHasRead("1"));
  auto company = std::dynamic_pointer_cast<CompanyDetailController>(nav->topViewController());
  ASSERT_TRUE(company);
  EXPECT_EQ(company->coid(), "2310486");
}

TEST_F(JobDetailViewTest, ARecordWithoutCompanyShowsTheJobRowsOnly) {
  auto record = addRecord("1");
  record->setNeedShowCompanyInfo(false);
  server.setAnswer("/api/job/get_job_info.php", 200,
                   answer(true, 0, "",
                          "<jobid>1</jobid><jobname>工程师</jobname><coname>某公司</coname>"
                          "<cotype>外资</cotype><jobnum>3</jobnum><caddr>0</caddr>"));
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);
  EXPECT_EQ(p->listViewJobDetail()->numberOfSections(), 1);
  // No size: the type stands alone as a normal row.
  EXPECT_EQ(rowTitles(*p),
            (std::vector<std::string>{text("codetail_title_cotype"), text("jobdetail_number_of_people"),
                                      text("jobdetail_company_address")}));
  p->listViewSelectedIndexPath(*p->listViewJobDetail(), platform::IndexPath::forRow(2, 0));
  ASSERT_TRUE(topAlertView()) << "an address of 0 is not a place";
  EXPECT_EQ(topAlertView()->message(), text("jobdetail_inexact_coddr"));
}

TEST_F(JobDetailViewTest, FavoriteAndApplyDisableTheirButtonsAndMarkTheListRecord) {
  logIn();
  auto record = addRecord("1");
  addRecord("2");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);

  // The runner's way: the bar's text.
  ASSERT_TRUE(platform::UIDriver::tap(text("jobdetail_button_favorite"))) << platform::UIDriver::lastError();
  ASSERT_TRUE(settle([&] { return p->hasFavorited(); }));
  EXPECT_FALSE(p->barButton(0)->isEnabled());
  EXPECT_EQ(p->barButton(0)->customButton()->currentTitle(), text("jobdetail_job_in_favorites"));
  EXPECT_TRUE(record->getJobHasCollected());
  EXPECT_TRUE(p->barButton(1)->isEnabled());

  press(*p, 1);
  ASSERT_TRUE(settle([&] { return p->hasApplied(); }));
  EXPECT_FALSE(p->barButton(1)->isEnabled());
  EXPECT_EQ(p->barButton(1)->customButton()->currentTitle(), text("jobdetail_job_has_applied"));
  EXPECT_TRUE(record->getJobHasApplied());

  // A page made again for the same record starts applied.
  auto again = std::dynamic_pointer_cast<JobDetailView>(
      JobDetailView::customPartViewWithDetail(record, platform::Rect(0, 0, 320, 400), *pager));
  EXPECT_TRUE(again->hasApplied());
  EXPECT_TRUE(again->hasFavorited());
}

TEST_F(JobDetailViewTest, AnApplyAnsweredAfterASwipeMarksThePagesOwnRecordOnly) {
  logIn();
  auto first = addRecord("1");
  auto second = addRecord("2");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);
  press(*p, 1);
  swipeTo(*pager, 1);  // on to the next job before the answer comes
  ASSERT_TRUE(settle([&] { return p->hasApplied(); }));
  EXPECT_TRUE(first->getJobHasApplied()) << "the applied job's own record";
  EXPECT_FALSE(second->hasJobHasApplied()) << "the job now on screen was not applied to";

  auto again = std::dynamic_pointer_cast<JobDetailView>(
      JobDetailView::customPartViewWithDetail(first, platform::Rect(0, 0, 320, 400), *pager));
  EXPECT_TRUE(again->hasApplied()) << "a page made again for it starts applied";
}

TEST_F(JobDetailViewTest, AppliedAndFavoritedButtonsSendNothingMoreAndEachSuccessIsShown) {
  logIn();
  addRecord("1");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);
  ASSERT_TRUE(platform::UIDriver::tap(text("jobdetail_button_favorite"))) << platform::UIDriver::lastError();
  ASSERT_TRUE(settle([&] { return p->hasFavorited(); }));
  // The confirmation is on screen, as a person sees it.
  std::string caption = hudCaption();
  ASSERT_FALSE(caption.empty());
  platform::Application::layoutWindows();
  EXPECT_NE(platform::UIDriver::describeScreen().find(caption), std::string::npos)
      << platform::UIDriver::describeScreen();
  press(*p, 1);
  ASSERT_TRUE(settle([&] { return p->hasApplied(); }));
  CommonHud::hiddenTips();
  const auto favorites = targetsOf("/api/user/add_favorite.php").size();
  const auto applications = targetsOf("/api/user/apply_job.php").size();
  ASSERT_EQ(favorites, 1u);
  ASSERT_EQ(applications, 1u);

  // The buttons are still there to be tapped; a tap on them does nothing.
  ASSERT_TRUE(platform::UIDriver::tap(text("jobdetail_job_in_favorites"))) << platform::UIDriver::lastError();
  ASSERT_TRUE(platform::UIDriver::tap(text("jobdetail_job_has_applied"))) << platform::UIDriver::lastError();
  for (int i = 0; i < 200; ++i) loop().runOnce(0);
  EXPECT_EQ(targetsOf("/api/user/add_favorite.php").size(), favorites);
  EXPECT_EQ(targetsOf("/api/user/apply_job.php").size(), applications);
}

TEST_F(JobDetailViewTest, AFailedFavoriteLeavesTheMarksAsTheyWere) {
  logIn();
  auto record = addRecord("1");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);
  server.setAnswer("/api/user/add_favorite.php", 200, answer(false, 3, "收藏夹已满"));
  p->addToFavorites();
  ASSERT_TRUE(settle([&] { return topAlertView() != nullptr; }));
  EXPECT_EQ(topAlertView()->message(), "收藏夹已满");
  EXPECT_FALSE(p->hasFavorited());
  EXPECT_TRUE(p->barButton(0)->isEnabled());
  EXPECT_FALSE(record->getJobHasCollected());
}

TEST_F(JobDetailViewTest, LoggedOutTheGateIsAskedAndTheApplyRunsOnceAfterLogin) {
  addRecord("1");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  std::size_t before = server.requestCount();
  press(*page(*pager), 1);
  ASSERT_EQ(gateCalls.size(), 1u);
  EXPECT_EQ(gateCalls[0].sel, "applyJob");
  EXPECT_EQ(gateCalls[0].parent.lock(), pager);
  EXPECT_EQ(server.requestCount(), before) << "nothing sent before the login";

  logIn();
  auto callback = gateCalls[0].callback.lock();
  ASSERT_TRUE(callback);
  EXPECT_TRUE(platform::performAction(*callback, "applyJob", {}).performed());
  ASSERT_TRUE(settle([&] { return page(*pager)->hasApplied(); }));
  EXPECT_EQ(targetsOf("/api/user/apply_job.php?jobids=1&").size(), 1u);
  EXPECT_EQ(gateCalls.size(), 1u);
}

TEST_F(JobDetailViewTest, TheApplyConfirmationSendsOnlyOnItsApplyButton) {
  logIn();
  JobOperateUtil::setConfirmWhileApply(true);
  addRecord("1");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);
  p->applyJob();
  ASSERT_TRUE(topAlertView());
  EXPECT_EQ(topAlertView()->tag(), JobDetailView::ApplyConfirmAlertTag);
  EXPECT_EQ(topAlertView()->title(), text("jobapply_show_tip_title"));
  platform::UIDriver::answerAlert(0);
  for (int i = 0; i < 10; ++i) loop().runOnce(0);
  EXPECT_TRUE(targetsOf("/api/user/apply_job.php").empty());

  p->applyJob();
  platform::UIDriver::answerAlert(1);
  ASSERT_TRUE(settle([&] { return p->hasApplied(); }));
  EXPECT_EQ(targetsOf("/api/user/apply_job.php").size(), 1u);
}

TEST_F(JobDetailViewTest, ReportAndResumeMatchGoThroughTheGateToo) {
  addRecord("1");
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  auto p = page(*pager);
  p->reportJob();
  auto header = std::dynamic_pointer_cast<JobDetailHeaderView>(p->listViewJobDetail()->tableHeaderView());
  header->watchResumeMatchPercent();
  ASSERT_EQ(gateCalls.size(), 2u);
  EXPECT_EQ(gateCalls[0].sel, "reportJob");
  EXPECT_EQ(gateCalls[1].sel, "watchResumeMatchPercent");
  EXPECT_EQ(gateCalls[1].callback.lock(), header);

  logIn();
  platform::performAction(*gateCalls[0].callback.lock(), "reportJob", {});
  auto report = std::dynamic_pointer_cast<ReportJobController>(nav->topViewController());
  ASSERT_TRUE(report);
  EXPECT_EQ(report->jobid(), "1");
}

TEST_F(JobDetailViewTest, ACachedJobIsShownWhileTheCacheHoldsItAndShowingItRenewsItsAge) {
  addRecord("1");
  JobOperateUtil::getJobCache("1");  // today's sweep
  ASSERT_TRUE(JobOperateUtil::setJobCache("1", cachedAnswer("1")));
  clock().advance(30 * 86400.0 - 3600);
  JobOperateUtil::getJobCache("x");  // swept, still kept
  clock().advance(7200);             // past 30 days, swept again only tomorrow
  auto pager = open(0);
  ASSERT_TRUE(shown(*pager));
  EXPECT_EQ(page(*pager)->jobDetailInfo()->get_jobname(), "cached 1");
  EXPECT_TRUE(targetsOf("/api/job/get_job_info.php").empty()) << "the server is not asked";
  EXPECT_EQ(hudCaption(), "");
  clock().advance(2 * 86400.0);
  EXPECT_TRUE(JobOperateUtil::getJobCache("1")) << "shown two days ago, so younger than 30 days";
}

TEST_F(JobDetailViewTest, TheBarStaysAtTheBottomOfWhatCanBeSeenAndTheListEndsOnIt) {
  addRecord("1");
  addRecord("2");
  auto pager = open(0);
  auto inWindow = [](platform::View& v) { return v.convertRectToView(v.bounds(), nullptr); };
  auto bottomRows = [](const platform::Image& image, int rows) {
    const auto& b = *image.bitmap();
    const auto* from = b.data() + b.bytesPerRow() * (b.height() - rows);
    return std::vector<std::uint8_t>(from, from + b.bytesPerRow() * rows);
  };
  // Under the translucent bar the page fits the window; a page made under an opaque one reaches a
  // bar's height below it, and its bar must still be seen whole, just above the window's bottom edge.
  for (bool translucent : {true, false}) {
    SCOPED_TRACE(translucent ? "translucent bar" : "opaque bar");
    if (!translucent) {
      nav->navigationBar()->setTranslucent(false);
      nav->view()->setNeedsLayout();
      platform::Application::layoutWindows();
      swipeTo(*pager, 1);
    }
    ASSERT_TRUE(shown(*pager));
    auto p = page(*pager);
    EXPECT_EQ(p->jobid(), translucent ? "1" : "2");
    platform::Application::layoutWindows();
    EXPECT_EQ(inWindow(*p).maxY(), translucent ? 480 : 480 + 44)
        << "the page reaches as far as its scroll view";
    EXPECT_EQ(inWindow(*p->bottomToolBar()),
              platform::Rect(0, 480 - JobDetailView::BarHeight, 320, JobDetailView::BarHeight));
    auto listRect = inWindow(*p->listViewJobDetail());
    EXPECT_EQ(listRect.minY(), inWindow(*p).minY());
    EXPECT_EQ(listRect.maxY(), 480 - JobDetailView::BarHeight) << "no row hides behind the bar";
    EXPECT_EQ(platform::UIDriver::findView(text("jobdetail_button_report")), p->barButton(2)->customButton())
        << platform::UIDriver::lastError();
    // The picture: the window's last rows are the bar's.
    auto screen = platform::Snapshot::imageOfScreen(1);
    auto bar = platform::Snapshot::imageOfView(*p->bottomToolBar(), 1);
    ASSERT_TRUE(screen && bar);
    EXPECT_EQ(bottomRows(*screen, static_cast<int>(JobDetailView::BarHeight)),
              bottomRows(*bar, static_cast<int>(JobDetailView::BarHeight)));
  }

  // Out of a window the page's own height is what can be seen; a page made smaller takes its bar
  // and list along.
  auto alone = std::dynamic_pointer_cast<JobDetailView>(JobDetailView::customPartViewWithDetail(
      section->listData()->getItem(0), platform::Rect(0, 0, 320, 400), *pager));
  ASSERT_TRUE(alone);
  alone->setFrame(platform::Rect(0, 0, 300, 250));
  alone->layoutIfNeeded();
  EXPECT_EQ(alone->bottomToolBar()->frame(),
            platform::Rect(0, 250 - JobDetailView::BarHeight, 300, JobDetailView::BarHeight));
  EXPECT_EQ(alone->listViewJobDetail()->frame(), platform::Rect(0, 0, 300, 250 - JobDetailView::BarHeight));
}

}  // namespace
}  // namespace kavro::test
