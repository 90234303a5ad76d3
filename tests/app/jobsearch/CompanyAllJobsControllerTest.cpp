#include <gtest/gtest.h>

#include "app/community/FansEmptyCell.h"
#include "app/jobsearch/AreaPickerController.h"
#include "app/jobsearch/CompanyAllJobsController.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/jobsearch/GroupAllJobsController.h"
#include "app/jobsearch/JobDetailView.h"
#include "app/jobsearch/JobListCoAllJobsCell.h"
#include "kit/ui/PageTurnController.h"
#include "platform/foundation/Format.h"
#include "platform/ui/NavigationController.h"
#include "tests/app/jobsearch/JobDetailViewTestSupport.h"

namespace kavro::test {

// Stand-in for the campus group's area picker (another target), reached through its hook.
struct GroupAreaPickerController {
  static inline std::vector<platform::Arguments> opened;
};

namespace {

class CompanyAllJobsControllerTest : public JobScreenTest {
 protected:
  void SetUp() override {
    JobScreenTest::SetUp();
    openNavigation();
    GroupAreaPickerController::opened.clear();
    FeatureScreens::shared().openGroupAreaPicker =
        [](std::string_view id, CampusGroupType type,
           const std::shared_ptr<pickerControllerDelegate>& delegate) {
          GroupAreaPickerController::opened.push_back(
              {platform::Value(std::string(id)), platform::Value(static_cast<std::int32_t>(type)),
               platform::Value(std::dynamic_pointer_cast<platform::Object>(delegate))});
        };
  }
  // The picker's record holds the screen: it must not live on into the exit, past the services
  // the screen's teardown still reaches.
  void TearDown() override {
    FeatureScreens::shared() = {};
    GroupAreaPickerController::opened.clear();
    JobScreenTest::TearDown();
  }
  template <class T = CompanyAllJobsController>
  std::shared_ptr<T> open(std::string_view id, std::string_view name = {}) {
    auto screen = UIBasicController::create<T>();
    screen->setIdForAllJobs(id);
    screen->setTitleCompanyName(name);
    nav->pushViewController(screen, false);
    screen->view();
    return screen;
  }
  bool loaded(CompanyAllJobsController& c) {
    return settle([&] {
      auto s = c.listViewAllJobs()->dataOfSection(0);
      return s && s->listViewDataStatus() == ListViewDataStatus::Loaded;
    });
  }
  static bool filterEnabled(CompanyAllJobsController& c) {
    return c.navigationItem()->rightBarButtonItem()->isEnabled();
  }
};

TEST_F(CompanyAllJobsControllerTest, ListsTheCompanysJobsWithTheirCountInTheTitle) {
  auto screen = open("2310486", "上海浦江数据科技有限公司");
  EXPECT_EQ(screen->titleView()->mainTitle()->text(),
            "上海浦江数据科技有限公司" + text("fans_company_all_jobs"));
  EXPECT_FALSE(filterEnabled(*screen));
  ASSERT_TRUE(loaded(*screen));
  auto section = screen->listViewAllJobs()->dataOfSection(0);
  ASSERT_EQ(section->count(), 3u);
  EXPECT_TRUE(filterEnabled(*screen));
  EXPECT_EQ(screen->titleView()->subTitle()->text(),
            platform::format(text("common_text_total_num_format__int"), static_cast<std::int64_t>(3)));
  for (const auto& row : section->listData()->dataList()) {
    EXPECT_TRUE(row->hasNeedShowCompanyInfo());
    EXPECT_FALSE(row->getNeedShowCompanyInfo());
  }
  auto asked = targetsOf("/api/job/get_co_alljob.php?jobarea=&coid=2310486&pageno=1&pagesize=10&");
  EXPECT_EQ(asked.size(), 1u);

  // Each row holds its name and its info line, with the margins binding gives them.
  for (int row = 0; row < 3; ++row) {
    auto cell = std::dynamic_pointer_cast<JobListCoAllJobsCell>(
        screen->listViewAllJobs()->cellForRowAtIndexPath(platform::IndexPath::forRow(row, 0)));
    ASSERT_TRUE(cell) << row;
    double height =
        JobListCoAllJobsCell::heightForCell(*screen->listViewAllJobs(), platform::IndexPath::forRow(row, 0));
    EXPECT_GE(height, cell->jobDetail()->frame().maxY() + 10) << row;
    // Only the internship (the second row) wears the badge; none is read yet.
    EXPECT_EQ(cell->internImgView()->isHidden(), row != 1) << row;
    EXPECT_TRUE(cell->readMark()->isHidden()) << row;
  }
}

TEST_F(CompanyAllJobsControllerTest, AOneCharacterCompanyNameIsIgnoredInTheTitle) {
  auto screen = open("2310486", "浦");
  EXPECT_EQ(screen->titleView()->mainTitle()->text(), text("coalljobs_list_title"));
  ASSERT_TRUE(loaded(*screen));
}

TEST_F(CompanyAllJobsControllerTest, PickingAnAreaReloadsTheFirstPageWithTheFilter) {
  auto screen = open("2310486");
  ASSERT_TRUE(loaded(*screen));
  screen->navigationItem()->rightBarButtonItem()->sendAction();
  auto picker = std::dynamic_pointer_cast<platform::NavigationController>(screen->presentedViewController());
  ASSERT_TRUE(picker);
  EXPECT_FALSE(picker->isViewVisible()) << "the picker slides up over the list";
  auto areas = std::dynamic_pointer_cast<AreaPickerController>(picker->topViewController());
  ASSERT_TRUE(areas);
  areas->view();
  EXPECT_EQ(areas->title(), text("jobsearch_result_filter"));
  ASSERT_TRUE(settle([&] { return areas->listForPicker()->dataOfSection(0)->count() == 2; }));
  runFor(platform::ViewController::TransitionDuration);
  EXPECT_TRUE(picker->isViewVisible());
  EXPECT_EQ(targetsOf("/api/job/get_co_jobarea.php?coid=2310486&").size(), 1u);
  auto first = areas->listForPicker()->dataOfSection(0)->listData()->getItem(0);
  EXPECT_EQ(first->getItemTitle(), "上海");

  areas->listForPicker()->tapRowAtIndexPath(platform::IndexPath::forRow(0, 0));
  EXPECT_TRUE(picker->view()->window()) << "and slides down again";
  ASSERT_TRUE(screen->jobareaDetail());
  EXPECT_EQ(screen->jobareaDetail()->getDictCode(), "020000");
  runFor(0.1);
  ASSERT_TRUE(loaded(*screen));
  ASSERT_TRUE(settle([&] { return targetsOf("/api/job/get_co_alljob.php?jobarea=020000&").size() == 1; }));
  ASSERT_TRUE(loaded(*screen));
  for (int i = 0; i < 50; ++i) loop().runOnce(0);
  EXPECT_EQ(screen->titleView()->mainTitle()->text(), "上海 " + text("coalljobs_list_title"));
  EXPECT_EQ(screen->listViewAllJobs()->dataOfSection(0)->count(), 3u) << "page 1 again, old rows dropped";
  runFor(platform::ViewController::TransitionDuration);
  EXPECT_FALSE(picker->view()->window());
  EXPECT_TRUE(screen->isViewVisible());
}

TEST_F(CompanyAllJobsControllerTest, AnEmptyFirstPageLeavesTheFilterOffAndSaysSo) {
  server.setAnswer("/api/job/get_co_alljob.php", 200, answer(true, 0, "", "<totalcount>0</totalcount>"));
  auto screen = open("2310486");
  ASSERT_TRUE(loaded(*screen));
  EXPECT_FALSE(filterEnabled(*screen));
  // The community's empty row, showing the company list's own text.
  auto list = screen->listViewAllJobs();
  const auto first = platform::IndexPath::forRow(0, 0);
  EXPECT_TRUE(std::dynamic_pointer_cast<FansEmptyCell>(list->cellForRowAtIndexPath(first)));
  EXPECT_EQ(FansEmptyCell::getErrorMessage(*list, first), text("fans_cell_empty_company_jobs"));
  EXPECT_FALSE(screen->titleView()->showSubTitle());
}

TEST_F(CompanyAllJobsControllerTest, ARowOpensTheDetailPagerWithoutCompanyRows) {
  auto screen = open("2310486");
  ASSERT_TRUE(loaded(*screen));
  screen->listViewAllJobs()->tapRowAtIndexPath(platform::IndexPath::forRow(1, 0));
  auto pager = std::dynamic_pointer_cast<PageTurnController>(nav->topViewController());
  ASSERT_TRUE(pager);
  pager->view();
  ASSERT_TRUE(settle([&] {
    auto p = std::dynamic_pointer_cast<JobDetailView>(pager->get_current_view());
    return p && p->jobDetailInfo();
  }));
  auto page = std::dynamic_pointer_cast<JobDetailView>(pager->get_current_view());
  EXPECT_EQ(page->jobid(), "45127711");
  EXPECT_FALSE(page->needShowCompany());
  EXPECT_EQ(page->listViewJobDetail()->numberOfSections(), 1);

  // Back on the list, the opened job is drawn as read.
  JobOperateUtil::setJobHasRead("45127711");
  nav->popViewControllerAnimated(false);
  auto cell = std::dynamic_pointer_cast<JobListCoAllJobsCell>(
      screen->listViewAllJobs()->cellForRowAtIndexPath(platform::IndexPath::forRow(1, 0)));
  ASSERT_TRUE(cell);
  EXPECT_FALSE(cell->readMark()->isHidden());
  EXPECT_FALSE(cell->internImgView()->isHidden()) << "an internship";
  ASSERT_TRUE(cell->internImgView()->image()) << "the badge has its picture";
  EXPECT_GT(cell->internImgView()->frame().width(), 0);
}

TEST_F(CompanyAllJobsControllerTest, TheGroupListShowsCompaniesAndUsesTheGroupsPicker) {
  auto screen = open<GroupAllJobsController>("G1");
  EXPECT_EQ(screen->titleView()->mainTitle()->text(), text("jobdetail_group_alljobs"));
  ASSERT_TRUE(loaded(*screen));
  EXPECT_EQ(
      targetsOf("/api/campus/get_group_alljob.php?groupid=G1&jobarea=&grouptype=2&pagesize=10&pageno=1&")
          .size(),
      1u);
  auto section = screen->listViewAllJobs()->dataOfSection(0);
  ASSERT_EQ(section->count(), 2u);
  EXPECT_TRUE(section->listData()->getItem(0)->getNeedShowCompanyInfo());

  screen->navigationItem()->rightBarButtonItem()->sendAction();
  ASSERT_EQ(GroupAreaPickerController::opened.size(), 1u);
  const auto& args = GroupAreaPickerController::opened[0];
  EXPECT_EQ(args[0].stringValue(), "G1");
  EXPECT_EQ(static_cast<CampusGroupType>(args[1].intValue()), CampusGroupType::Job);
  EXPECT_EQ(args[2].objectValue(), screen);

  // Rows of jobs are ruled; the first page asked again (another area) starts without rules, and an
  // empty answer leaves the empty row unruled.
  auto list = screen->listViewAllJobs();
  EXPECT_EQ(list->separatorStyle(), platform::TableViewCellSeparatorStyle::SingleLine);
  server.setAnswer("/api/campus/get_group_alljob.php", 200,
                   answer(true, 0, "", "<totalcount>0</totalcount>"));
  section->refreshData();
  EXPECT_EQ(list->separatorStyle(), platform::TableViewCellSeparatorStyle::None);
  ASSERT_TRUE(settle([&] { return section->listViewDataStatus() == ListViewDataStatus::Loaded; }));
  EXPECT_EQ(section->count(), 0u);
  EXPECT_EQ(list->separatorStyle(), platform::TableViewCellSeparatorStyle::None);
}

TEST_F(CompanyAllJobsControllerTest, TheGroupListsNextPageKeepsTheRulesWhileItLoads) {
  std::string page;
  for (int i = 0; i < 10; ++i)
    page += "<item><jobid>J" + std::to_string(i) + "</jobid><jobname>职位 " + std::to_string(i) +
            "</jobname><coid>C1</coid><coname>集团公司</coname></item>";
  server.setAnswer(
      "/api/campus/get_group_alljob.php", 200,
      answer(true, 0, "", "<totalcount>12</totalcount><pageno>1</pageno><pagesize>10</pagesize>" + page));
  auto screen = open<GroupAllJobsController>("G1");
  ASSERT_TRUE(loaded(*screen));
  auto list = screen->listViewAllJobs();
  ASSERT_EQ(list->numberOfRowsInSection(0), 11) << "ten rows and the row for more";
  EXPECT_EQ(list->separatorStyle(), platform::TableViewCellSeparatorStyle::SingleLine);
  // Only the first page starts unruled: rows already shown keep their rules while more load.
  list->tapRowAtIndexPath(platform::IndexPath::forRow(10, 0));
  EXPECT_EQ(list->separatorStyle(), platform::TableViewCellSeparatorStyle::SingleLine);
  EXPECT_TRUE(settle([&] {
    return targetsOf("/api/campus/get_group_alljob.php?groupid=G1&jobarea=&grouptype=2&pagesize=10&pageno=2&")
               .size() == 1;
  }));
}

}  // namespace
}  // namespace kavro::test
