#include <gtest/gtest.h>

#include "app/campus/CampusGroupDetailController.h"
#include "app/campus/CampusTalkDetailController.h"
#include "app/campus/GroupAreaPickerController.h"
#include "app/home/FeatureScreensInstall.h"
#include "app/jobsearch/CompanyDetailHeaderView.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/shell/AppTracking.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/TitleValueCell.h"
#include "tests/app/account/ScreenServerTest.h"

namespace kavro {
namespace {

// A group job list as the job screens write one: it opens the area picker and keeps the pick.
class AreaFilterScreen : public UIBasicController, public pickerControllerDelegate {
 public:
  std::vector<std::shared_ptr<DataItemDetail>> picked;
  bool finishPicker(PickerController&, const std::shared_ptr<DataItemDetail>& data) override {
    picked.push_back(data);
    return true;
  }
};

class CampusScreensTest : public test::ScreenServerTest {
 protected:
  void TearDown() override {
    FeatureScreens::shared() = {};
    ScreenServerTest::TearDown();
  }
  static std::vector<std::pair<std::string, std::string>> rowsOf(CampusFactsController& screen) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& row : screen.facts()->listData()->dataList())
      rows.emplace_back(row->getItemTitle(), row->getItemValue());
    return rows;
  }
  bool loaded(const CampusFactsController& screen) {
    return waitFor(
        [&] { return screen.facts() && screen.facts()->listViewDataStatus() == ListViewDataStatus::Loaded; });
  }
};

TEST_F(CampusScreensTest, TheGroupScreenOpensThroughItsHookFromTheMostRecentScreenAndShowsTheGroup) {
  home::installFeatureScreens();
  FeatureScreens::shared().openGroupDetail("9001", CampusGroupType::Job);
  auto screen =
      std::dynamic_pointer_cast<CampusGroupDetailController>(AppControllers::mostRecentController());
  ASSERT_TRUE(screen);
  settle();
  EXPECT_EQ(nav->topViewController(), screen) << "pushed on the most recent screen's navigation";
  EXPECT_EQ(screen->groupId(), "9001");
  EXPECT_EQ(screen->groupType(), CampusGroupType::Job);
  EXPECT_EQ(screen->title(), text("campus_group_title"));

  ASSERT_TRUE(loaded(*screen));
  EXPECT_EQ(screen->title(), "浦江数据集团");
  auto calls = requestsFor("/api/campus/get_group_info.php");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].target.starts_with("/api/campus/get_group_info.php?groupid=9001&grouptype=2&"))
      << calls[0].target;
  auto rows = rowsOf(*screen);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], std::make_pair(text("campus_group_cotype"), std::string("民营公司")));
  EXPECT_EQ(rows[3], std::make_pair(text("campus_group_jobcount"), std::string("36")));
  EXPECT_EQ(screen->factList()->numberOfRowsInSection(0), 5);
  auto cell = std::dynamic_pointer_cast<TitleValueCell>(
      screen->factList()->cellForRowAtIndexPath(platform::IndexPath::forRow(1, 0)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->rightValueLabel()->text(), "1000-5000人");
  const std::vector<std::pair<std::string, std::string>> all = {
      {text("campus_group_cotype"), "民营公司"},
      {text("campus_group_cosize"), "1000-5000人"},
      {text("campus_group_indtype"), "计算机软件"},
      {text("campus_group_jobcount"), "36"},
      {text("campus_group_groupinfo"),
       "集团下设软件、数据与咨询三家子公司，2013 年校园招聘覆盖上海、北京、成都。"}};
  EXPECT_EQ(rows, all);

  // A second load whose answer has fewer facts shows those alone: nothing of the first answer stays.
  server.setAnswer("/api/campus/get_group_info.php", 200,
                   "<responsemessage><result>1</result><resultbody><groupname>浦江二部</groupname>"
                   "<jobnum>40</jobnum></resultbody></responsemessage>");
  screen->facts()->refreshData();
  ASSERT_TRUE(waitFor([&] { return requestsFor("/api/campus/get_group_info.php").size() == 2; }));
  ASSERT_TRUE(loaded(*screen));
  EXPECT_EQ(rowsOf(*screen),
            (std::vector<std::pair<std::string, std::string>>{{text("campus_group_jobcount"), "40"}}));
  EXPECT_EQ(screen->factList()->numberOfRowsInSection(0), 1);
  EXPECT_EQ(screen->title(), "浦江二部");
  EXPECT_FALSE(screen->detailInfo()->hasKey("cotype"));
}

TEST_F(CampusScreensTest, AFailedGroupAnswerShowsTheErrorRowAndATapAsksAgain) {
  server.setAnswer("/api/campus/get_group_info.php", 200, failure("集团不存在"));
  auto screen = CampusGroupDetailController::openWithGroupId("1", CampusGroupType::Job);
  settle();
  ASSERT_TRUE(loaded(*screen));
  EXPECT_TRUE(rowsOf(*screen).empty());
  EXPECT_EQ(screen->facts()->getErrorTipsMessage(), "集团不存在");
  EXPECT_EQ(screen->title(), text("campus_group_title"));

  server.clearAnswers();
  screen->factList()->tapRowAtIndexPath(platform::IndexPath::forRow(0, 0));
  ASSERT_TRUE(loaded(*screen));
  EXPECT_EQ(rowsOf(*screen).size(), 5u);
  EXPECT_EQ(requestsFor("/api/campus/get_group_info.php").size(), 2u);
}

TEST_F(CampusScreensTest, TheAreaPickerOpensThroughItsHookAndHandsThePickedAreaToItsDelegate) {
  auto filter = UIBasicController::create<AreaFilterScreen>();
  nav->pushViewController(filter, false);
  settle();
  home::installFeatureScreens();
  FeatureScreens::shared().openGroupAreaPicker("9001", CampusGroupType::Job, filter);
  auto presented = std::dynamic_pointer_cast<platform::NavigationController>(nav->presentedViewController());
  ASSERT_TRUE(presented) << "modal";
  EXPECT_FALSE(presented->isViewVisible()) << "the picker slides up over the list";
  settle();
  EXPECT_TRUE(presented->isViewVisible());
  auto picker = std::dynamic_pointer_cast<GroupAreaPickerController>(presented->topViewController());
  ASSERT_TRUE(picker);
  EXPECT_EQ(picker->title(), text("campus_group_area_title"));

  auto list = picker->listForPicker();
  ASSERT_TRUE(waitFor([&] {
    return list->dataOfSection(0) &&
           list->dataOfSection(0)->listViewDataStatus() == ListViewDataStatus::Loaded;
  }));
  auto calls = requestsFor("/api/campus/get_group_jobarea.php");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].target.starts_with("/api/campus/get_group_jobarea.php?groupid=9001&grouptype=2&"));
  ASSERT_EQ(list->numberOfRowsInSection(0), 3);
  EXPECT_EQ(list->cellForRowAtIndexPath(platform::IndexPath::forRow(1, 0))->textLabel()->text(), "北京");

  list->tapRowAtIndexPath(platform::IndexPath::forRow(1, 0));
  settle();
  ASSERT_EQ(filter->picked.size(), 1u);
  EXPECT_EQ(filter->picked[0]->getString("code"), "010000");
  auto beijing = DataItemDetail::newDetail();
  beijing->setString("010000", "code");
  beijing->setString("北京", "value");
  EXPECT_TRUE(filter->picked[0]->isEqualToDataItemDetail(beijing.get())) << "the whole record";
  EXPECT_EQ(nav->presentedViewController(), nullptr);
}

// A failed answer is no area: its row asks again and hands nobody a pick.
TEST_F(CampusScreensTest, AFailedAreaAnswerPicksNothingAndATapAsksAgain) {
  server.setAnswer("/api/campus/get_group_jobarea.php", 200, failure("集团不存在"));
  auto filter = UIBasicController::create<AreaFilterScreen>();
  nav->pushViewController(filter, false);
  settle();
  auto picker = GroupAreaPickerController::groupAreaPickerController("9001", CampusGroupType::Job, filter);
  settle();
  auto list = picker->listForPicker();
  auto section = [&] { return list->dataOfSection(0); };
  ASSERT_TRUE(
      waitFor([&] { return section() && section()->listViewDataStatus() == ListViewDataStatus::Loaded; }));
  ASSERT_EQ(list->numberOfRowsInSection(0), 1);
  EXPECT_EQ(section()->getErrorTipsMessage(), "集团不存在");

  server.clearAnswers();
  list->tapRowAtIndexPath(platform::IndexPath::forRow(0, 0));
  settle();
  EXPECT_TRUE(filter->picked.empty());
  EXPECT_TRUE(nav->presentedViewController()) << "the picker stays";
  ASSERT_TRUE(waitFor([&] { return list->numberOfRowsInSection(0) == 3; }));
  EXPECT_EQ(requestsFor("/api/campus/get_group_jobarea.php").size(), 2u);
}

TEST_F(CampusScreensTest, ThePickerWithoutAScreenForDelegateOpensFromTheMostRecentScreen) {
  auto picker =
      GroupAreaPickerController::groupAreaPickerController("9001", CampusGroupType::CampusTalk, nullptr);
  settle();
  EXPECT_TRUE(nav->presentedViewController());
  auto list = picker->listForPicker();
  ASSERT_TRUE(waitFor([&] {
    return list->dataOfSection(0) &&
           list->dataOfSection(0)->listViewDataStatus() == ListViewDataStatus::Loaded;
  }));
  list->tapRowAtIndexPath(platform::IndexPath::forRow(0, 0));
  settle();
  EXPECT_EQ(nav->presentedViewController(), nullptr) << "closes though nobody hears the pick";
}

TEST_F(CampusScreensTest, TheTalkScreenShowsTheTalk) {
  auto screen = CampusTalkDetailController::openWithExpkid("55120");
  settle();
  ASSERT_EQ(nav->topViewController(), screen);
  ASSERT_TRUE(loaded(*screen));
  EXPECT_EQ(screen->title(), "上海浦江数据科技有限公司");
  auto rows = rowsOf(*screen);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], std::make_pair(text("campus_talk_school"), std::string("复旦大学")));
  EXPECT_NE(requestsFor("/api/campus/get_project_info.php").at(0).target.find("expkid=55120"),
            std::string::npos);
  const std::vector<std::pair<std::string, std::string>> all = {
      {text("campus_talk_school"), "复旦大学"},
      {text("campus_talk_address"), "邯郸校区光华楼东辅楼 102"},
      {text("campus_talk_talktime"), "2013-10-16 14:00"},
      {text("campus_talk_city"), "上海"}};
  EXPECT_EQ(rows, all);
}

// A fact the server leaves empty gets no row; the others keep their order.
TEST_F(CampusScreensTest, TheTalkScreenLeavesOutFactsTheServerLeftEmpty) {
  server.setAnswer(
      "/api/campus/get_project_info.php", 200,
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>1</result>"
      "<status>0</status><message></message><resultbody><expkid>7</expkid><coname>某公司</coname>"
      "<school>同济大学</school><address></address><talktime>2013-10-17 09:00</talktime>"
      "</resultbody></responsemessage>");
  auto screen = CampusTalkDetailController::openWithExpkid("7");
  settle();
  ASSERT_TRUE(loaded(*screen));
  const std::vector<std::pair<std::string, std::string>> shown = {
      {text("campus_talk_school"), "同济大学"}, {text("campus_talk_talktime"), "2013-10-17 09:00"}};
  EXPECT_EQ(rowsOf(*screen), shown);
}

TEST_F(CampusScreensTest, TheCompanyHeaderOnACampusScreenCountsUnderThatScreensPoint) {
  logIn();
  auto talk = UIBasicController::create<CampusTalkDetailController>();
  CompanyDetailHeaderView::viewForCoid("5", "某公司", talk)->openFansCoHomePage();
  auto group = UIBasicController::create<CampusGroupDetailController>();
  CompanyDetailHeaderView::viewForCoid("5", "某公司", group)->openFansCoHomePage();
  settle();
  auto data = AppTracking::getTrackingPostData();
  std::string all(data.begin(), data.end());
  EXPECT_NE(all.find("TRACKING_CAMPUS_TALKDETAIL_FANS"), std::string::npos) << all;
  EXPECT_NE(all.find("TRACKING_CAMPUS_GROUPINFO_FANS"), std::string::npos) << all;
}

}  // namespace
}  // namespace kavro
