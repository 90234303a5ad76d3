#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/community/FansCompanyHomeController.h"
#include "app/jobsearch/CompanyAllJobsController.h"
#include "app/jobsearch/CompanyDetailController.h"
#include "app/jobsearch/CompanyDetailHeaderView.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/jobsearch/JobDetailHeaderView.h"
#include "app/shell/AppTracking.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AppControllers.h"
#include "platform/ui/NavigationController.h"
#include "tests/app/jobsearch/JobDetailViewTestSupport.h"

namespace kavro::test {

// Stand-in for the location map (another target): its hook opens one screen from the most recent
// one, as the map's does.
class JobMapController : public UIBasicController {
 public:
  static inline int opened = 0;
  static void openWithDetail(std::shared_ptr<DataItemDetail>) {
    ++opened;
    // The opener is taken first: a new screen is the most recent one from its creation on.
    auto parent = AppControllers::mostRecentController();
    auto screen = UIBasicController::create<JobMapController>();
    if (parent)
      if (auto nav = parent->navigationController()) nav->pushViewController(screen, false);
  }
};

namespace {

class CompanyDetailControllerTest : public JobScreenTest {
 protected:
  void SetUp() override {
    JobScreenTest::SetUp();
    openNavigation();
    FeatureScreens::shared().openRoute = JobMapController::openWithDetail;
  }
  void TearDown() override {
    FeatureScreens::shared() = {};
    JobScreenTest::TearDown();
  }
  std::shared_ptr<CompanyDetailController> open() {
    auto screen = CompanyDetailController::companyWithParent(home, "2310486");
    screen->view();
    settle([&] { return screen->companyDetail() != nullptr; });
    return screen;
  }
  std::size_t companyCalls() const { return targetsOf("/api/job/get_co_info.php?coid=2310486&").size(); }
  static std::vector<std::string> titles(CompanyDetailController& c) {
    std::vector<std::string> out;
    auto& l = *c.listViewCoDetail();
    for (int s = 0; s < l.numberOfSections(); ++s)
      for (std::size_t r = 0; r < l.dataOfSection(s)->count(); ++r)
        out.push_back(l.dataOfSection(s)->listData()->getItem(r)->getItemTitle());
    return out;
  }
};

TEST_F(CompanyDetailControllerTest, ShowsTheCompanyAndLeadsToItsJobs) {
  auto screen = open();
  ASSERT_TRUE(screen->companyDetail());
  EXPECT_EQ(nav->topViewController(), screen);
  EXPECT_EQ(screen->title(), text("codetail_title"));
  EXPECT_TRUE(screen->navigationItem()->rightBarButtonItem()->isEnabled());
  EXPECT_EQ(titles(*screen),
            (std::vector<std::string>{text("codetail_title_all_jobs"), text("codetail_title_cotype"),
                                      text("codetail_title_coindustry"), text("codetail_title_coaddress"),
                                      text("codetail_title_coinfo")}));
  auto header =
      std::dynamic_pointer_cast<CompanyDetailHeaderView>(screen->listViewCoDetail()->tableHeaderView());
  ASSERT_TRUE(header);
  EXPECT_EQ(header->label()->text(), "上海浦江数据科技有限公司");
  EXPECT_FALSE(header->button()->isHidden());
  // The rows stand in groups, inset from the screen's edges as a job's details are, and fill
  // the screen under the bar.
  EXPECT_TRUE(screen->listViewCoDetail()->isGroupedTable());
  const platform::Size size = screen->view()->bounds().size;
  EXPECT_EQ(screen->listViewCoDetail()->frame(), platform::Rect(0, 44, size.width, size.height - 44));
  // The community button is its skin's picture alone: no title, no label of its own.
  EXPECT_EQ(header->button()->currentTitle(), "");
  EXPECT_EQ(header->button()->accessibilityLabel(), "");
  EXPECT_EQ(header->button()->frame().size, (platform::Size{77, header->button()->frame().height()}));

  platform::Application::layoutWindows();
  ASSERT_TRUE(platform::UIDriver::tap(text("codetail_title_all_jobs"))) << platform::UIDriver::lastError();
  auto jobs = std::dynamic_pointer_cast<CompanyAllJobsController>(nav->topViewController());
  ASSERT_TRUE(jobs);
  EXPECT_EQ(jobs->idForAllJobs(), "2310486");
  jobs->view();
  EXPECT_EQ(jobs->titleView()->mainTitle()->text(), text("coalljobs_list_title"))
      << "the same title as from a job's page";
}

TEST_F(CompanyDetailControllerTest, TheAddressRowOpensTheLocationMapOnce) {
  auto screen = open();
  JobMapController::opened = 0;
  platform::ViewController::finishPendingTransitions();
  const auto depth = nav->viewControllers().size();
  platform::Application::layoutWindows();
  ASSERT_TRUE(platform::UIDriver::tap(text("codetail_title_coaddress"))) << platform::UIDriver::lastError();
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(JobMapController::opened, 1);
  EXPECT_EQ(nav->viewControllers().size(), depth + 1) << "one screen more, not two";
  EXPECT_TRUE(std::dynamic_pointer_cast<JobMapController>(nav->topViewController()));
}

TEST_F(CompanyDetailControllerTest, ACompanySeenWithinThirtyDaysOpensFromTheCacheAndAnOlderOneIsAskedFor) {
  open();
  EXPECT_EQ(companyCalls(), 1u);
  nav->popToRootViewControllerAnimated(false);
  clock().advance(29 * 86400.0);
  auto again = open();
  EXPECT_EQ(companyCalls(), 1u) << "no second call within 30 days";
  EXPECT_EQ(again->companyDetail()->get_coname(), "上海浦江数据科技有限公司");

  nav->popToRootViewControllerAnimated(false);
  clock().advance(31 * 86400.0);
  open();
  EXPECT_EQ(companyCalls(), 2u);
}

TEST_F(CompanyDetailControllerTest, AnAnswerPastThirtyDaysIsGoneAndAFailedCallShowsNothingOld) {
  open();
  nav->popToRootViewControllerAnimated(false);
  clock().advance(31 * 86400.0);
  platform::Environment::setApiHostUrl("http://127.0.0.1:1");
  auto screen = open();
  EXPECT_FALSE(screen->companyDetail()) << "the swept answer is not shown";
  EXPECT_EQ(hudCaption(), "");
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->getItemsCache("STORE_CACHE_COMPANY_DETAIL", "2310486"));
}

TEST_F(CompanyDetailControllerTest, AFailedAnswerShowsTheErrorRowAndKeepsThePostButtonOff) {
  server.setAnswer("/api/job/get_co_info.php", 200, answer(false, 3, "公司不存在"));
  auto screen = CompanyDetailController::companyWithParent(home, "2310486");
  screen->view();
  ASSERT_TRUE(settle([&] {
    return screen->listViewCoDetail()->dataOfSection(0)->listViewDataStatus() == ListViewDataStatus::Loaded;
  }));
  EXPECT_FALSE(screen->companyDetail());
  EXPECT_FALSE(screen->navigationItem()->rightBarButtonItem()->isEnabled());
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->getItemsCache("STORE_CACHE_COMPANY_DETAIL", "2310486"));
  EXPECT_EQ(screen->listViewCoDetail()->dataOfSection(0)->listData()->message(), "公司不存在");
}

TEST_F(CompanyDetailControllerTest, WithoutTypeSizeOrAddressTheRowsShrink) {
  server.setAnswer("/api/job/get_co_info.php", 200,
                   answer(true, 0, "", "<coid>5</coid><coname>小公司</coname><cotype>民营</cotype>"));
  auto screen = open();
  EXPECT_EQ(titles(*screen),
            (std::vector<std::string>{text("codetail_title_all_jobs"), text("codetail_title_cotype")}));
}

TEST_F(CompanyDetailControllerTest, TheHeaderWithoutCompanyHasNoButtonAndAFullWidthTitle) {
  auto header = CompanyDetailHeaderView::viewForCoid("", "某某宣讲会", home);
  EXPECT_TRUE(header->button()->isHidden());
  EXPECT_EQ(header->label()->frame().width(), 300);
  EXPECT_EQ(header->label()->frame().origin.y, 7);
  auto full = CompanyDetailHeaderView::viewForCoid("5", "某公司", home);
  EXPECT_EQ(full->label()->frame().width(), 320 - CompanyDetailHeaderView::ButtonWidth - 25);
}

// Both headers over a detail table: the title beside its button, the header as tall as the taller
// of the two plus its margin, a long title wrapped at its column and never cut, and the button
// showing its skin's pictures.
TEST_F(CompanyDetailControllerTest, TheHeadersFitTheirTitleBesideTheSkinnedButton) {
  const std::string longTitle = "上海浦江数据科技有限公司上海浦江数据科技有限公司上海浦江数据科技有限公司";
  auto measured = [](const std::string& title, double width) {
    return AppSkin::sizeForTextWithSkinKey(title, "skinTableTitle", width).height;
  };
  for (const std::string& title : {std::string("某公司"), longTitle}) {
    SCOPED_TRACE(title);
    auto company = CompanyDetailHeaderView::viewForCoid("5", title, home);
    const double coColumn = 320 - CompanyDetailHeaderView::ButtonWidth - 25;
    const double coHeight = std::max(measured(title, coColumn), CompanyDetailHeaderView::ButtonHeight) + 10;
    EXPECT_EQ(company->frame().size, (platform::Size{320, coHeight}));
    EXPECT_EQ(company->label()->frame(), platform::Rect(10, 7, coColumn, coHeight - 7));
    EXPECT_EQ(company->button()->frame(),
              platform::Rect(10 + coColumn + 5, 7, CompanyDetailHeaderView::ButtonWidth, coHeight - 7));
    EXPECT_TRUE(company->button()->currentImage()) << "the community icon";
    EXPECT_TRUE(company->button()->currentBackgroundImage()) << "the button's ground";

    auto job = JobDetailHeaderView::viewForJobID("1", title, home);
    const double jobColumn = 320 - JobDetailHeaderView::ButtonWidth - 25;
    const double jobHeight = std::max(measured(title, jobColumn), JobDetailHeaderView::ButtonHeight) + 10;
    EXPECT_EQ(job->frame().size, (platform::Size{320, jobHeight}));
    EXPECT_EQ(job->label()->frame(), platform::Rect(10, 7, jobColumn, jobHeight - 7));
    EXPECT_TRUE(job->button()->currentImage()) << "the resume match picture";

    auto bare = CompanyDetailHeaderView::viewForCoid("", title, home);
    EXPECT_EQ(bare->frame().height(), measured(title, 300) + 10);
    EXPECT_EQ(bare->label()->frame(), platform::Rect(10, 7, 300, measured(title, 300)));
  }
  EXPECT_GT(measured(longTitle, 320 - CompanyDetailHeaderView::ButtonWidth - 25),
            CompanyDetailHeaderView::ButtonHeight)
      << "the long title wraps past the button's height";
}

TEST_F(CompanyDetailControllerTest, TheCommunityButtonAsksForALoginFirstAndCountsByItsScreen) {
  auto screen = open();
  auto header =
      std::dynamic_pointer_cast<CompanyDetailHeaderView>(screen->listViewCoDetail()->tableHeaderView());
  header->openFansCoHomePage();
  ASSERT_EQ(gateCalls.size(), 1u);
  EXPECT_EQ(gateCalls[0].sel, "openFansCoHomePage");
  EXPECT_EQ(gateCalls[0].parent.lock(), screen);

  logIn();
  EXPECT_TRUE(platform::performAction(*gateCalls[0].callback.lock(), "openFansCoHomePage", {}).performed());
  auto after = AppTracking::getTrackingPostData();
  std::string posted(after.begin(), after.end());
  EXPECT_NE(posted.find("TRACKING_JOBSEARCH_COMPANYINFO_MAINPAGE"), std::string::npos) << posted;
  // Logged in, the company's community page opens over the company.
  EXPECT_TRUE(settle([&] {
    return std::dynamic_pointer_cast<FansCompanyHomeController>(nav->topViewController()) != nullptr;
  }));
  EXPECT_EQ(nav->viewControllers().size(), 3u);
  // The campus screens that host the header count under their own points (tests/app/campus).
}

}  // namespace
}  // namespace kavro::test
