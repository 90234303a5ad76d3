#include <gtest/gtest.h>

#include <functional>

#include "app/account/MyResumeListController.h"
#include "app/jobsearch/JobListSearchResultCell.h"
#include "app/jobsearch/JobOperateUtil.h"
#include "kit/core/DataKavroDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ListView.h"
#include "platform/ui/NavigationController.h"
#include "tests/app/jobsearch/JobDetailViewTestSupport.h"

namespace kavro::test {
namespace {

struct Listener : JobOperateUtilDelegate {
  std::vector<std::pair<JobOperateUtil::OperateType, bool>> answers;  // type, error
  void jobOperate(JobOperateUtil& util) override {
    answers.emplace_back(util.operateType(), util.operateResult()->hasError());
  }
};

std::string resumeRows(int n) {
  std::string rows;
  for (int i = 1; i <= n; ++i)
    rows += "<item><userid>r" + std::to_string(i) + "</userid><resumename>简历" + std::to_string(i) +
            "</resumename></item>";
  return rows;
}

class JobOperateUtilTest : public JobScreenTest {
 protected:
  void SetUp() override {
    JobScreenTest::SetUp();
    logIn();
  }
  std::shared_ptr<Listener> listener = std::make_shared<Listener>();
};

TEST_F(JobOperateUtilTest, ApplyingToSeveralJobsSendsThemTogetherAndTellsTheDelegateOnce) {
  EXPECT_EQ(JobOperateUtil::jobApply("", listener), nullptr) << "no ids, nothing sent";
  std::weak_ptr<JobOperateUtil> weak = JobOperateUtil::jobApply("11,12", listener);
  ASSERT_FALSE(weak.expired()) << "a started operation keeps itself alive";
  EXPECT_EQ(hudCaption(), text("joboperate_applying_jobs_tip"));
  ASSERT_TRUE(settleRequests(1));
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));

  auto targets = targetsOf("/api/user/apply_job.php?jobids=11%2C12&accountid=1001&key=k3y&partner=");
  EXPECT_EQ(targets.size(), 1u) << server.requests()[0].target;
  EXPECT_EQ(listener->answers.size(), 1u);
  EXPECT_FALSE(listener->answers[0].second);
  EXPECT_EQ(hudCaption(), "申请成功") << "the confirmation setting is off: the server's message alone";
  EXPECT_EQ(AppCoreInfo::getCoreDB()->getIntValue(STORE_CORE_KAVRO_MAIN, "storeKey_userHasDoJobApply"), 1);
  EXPECT_TRUE(weak.expired()) << "released once the answer was handled";

  JobOperateUtil::jobApply("11", listener);
  EXPECT_EQ(hudCaption(), text("joboperate_applying_tips"));
  ASSERT_TRUE(settle([&] { return listener->answers.size() == 2; }));
}

TEST_F(JobOperateUtilTest, TheSuccessTipCarriesTheSettingsLineWhileConfirmationIsOn) {
  ASSERT_TRUE(JobOperateUtil::setConfirmWhileApply(true));
  JobOperateUtil::jobApply("11", listener);
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  EXPECT_EQ(hudCaption(), "申请成功\n" + text("jobapply_after_show_tip"));
}

TEST_F(JobOperateUtilTest, AResumeRequestOffersFourResumesAndRetriesWithTheChosenOne) {
  server.setAnswer("/api/user/apply_job.php", 200, answer(false, 7, "请选择简历", resumeRows(6)));
  auto util = JobOperateUtil::jobApply("11", listener);
  auto parent = UIBasicController::create<UIBasicController>();
  window->setRootViewController(parent);
  util->setParentCtrl(parent);
  std::weak_ptr<JobOperateUtil> weak = util;
  util.reset();
  ASSERT_TRUE(settle([&] { return topSheet() != nullptr; }));
  auto sheet = topSheet();
  EXPECT_EQ(sheet->title(), "请选择简历");
  ASSERT_EQ(sheet->numberOfButtons(), 5) << "four resumes and cancel";
  EXPECT_EQ(sheet->buttonTitleAtIndex(2), "简历3");
  EXPECT_EQ(sheet->buttonTitleAtIndex(4), text("common_text_cancel"));
  EXPECT_EQ(listener->answers.size(), 1u);
  ASSERT_FALSE(weak.expired()) << "alive while the choice is up";

  server.clearAnswers();
  ASSERT_TRUE(platform::UIDriver::answerAlert(2));
  ASSERT_TRUE(settle([&] { return listener->answers.size() == 2; }));
  auto targets = targetsOf("/api/user/apply_job.php");
  ASSERT_EQ(targets.size(), 2u);
  EXPECT_EQ(targets[0].find("userid="), std::string::npos);
  EXPECT_NE(targets[1].find("&userid=r3&"), std::string::npos) << targets[1];
  EXPECT_FALSE(listener->answers[1].second);
  EXPECT_TRUE(weak.expired());
}

TEST_F(JobOperateUtilTest, CancellingTheResumeChoiceSendsNothingMore) {
  server.setAnswer("/api/user/get_resume_match.php", 200, answer(false, 4, "请选择简历", resumeRows(2)));
  std::weak_ptr<JobOperateUtil> weak = JobOperateUtil::jobGetResumeMatch("11", listener);
  ASSERT_TRUE(settle([&] { return topSheet() != nullptr; }));
  EXPECT_EQ(topSheet()->numberOfButtons(), 3);
  ASSERT_TRUE(platform::UIDriver::answerAlert(2));
  for (int i = 0; i < 20; ++i) loop().runOnce(0);
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_TRUE(weak.expired());
}

TEST_F(JobOperateUtilTest, AMatchAnswerWithoutResumesOrOutsideStatusFourIsAnAlert) {
  server.setAnswer("/api/user/get_resume_match.php", 200, answer(false, 4, "您还没有简历"));
  JobOperateUtil::jobGetResumeMatch("11", listener);
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  ASSERT_TRUE(topAlertView());
  EXPECT_EQ(topAlertView()->message(), "您还没有简历");
  platform::UIDriver::answerAlert(0);

  server.setAnswer("/api/user/get_resume_match.php", 200, answer(true, 1, "匹配度 60%"));
  JobOperateUtil::jobGetResumeMatch("11", listener);
  ASSERT_TRUE(settle([&] { return listener->answers.size() == 2; }));
  ASSERT_TRUE(topAlertView()) << "status 1 is shown as an alert, not a tip";
  EXPECT_EQ(topAlertView()->message(), "匹配度 60%");
}

TEST_F(JobOperateUtilTest, AnApplyNeedingACompleteResumeOpensTheResumeListAfterTheAlert) {
  auto home = UIBasicController::create<UIBasicController>();
  auto nav = platform::NavigationController::create(home);
  window->setRootViewController(nav);
  server.setAnswer("/api/user/apply_job.php", 200, answer(false, 5, "简历不完整"));
  std::weak_ptr<JobOperateUtil> weak = JobOperateUtil::jobApply("11", listener);
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  ASSERT_TRUE(topAlertView());
  EXPECT_EQ(topAlertView()->tag(), JobOperateUtil::ResumeListAlertTag);
  EXPECT_FALSE(weak.expired());
  platform::UIDriver::answerAlert(0);
  ASSERT_TRUE(nav->topViewController());
  EXPECT_TRUE(platform::isKindOfClass(*nav->topViewController(), "MyResumeListController"));
  EXPECT_TRUE(weak.expired());
}

TEST_F(JobOperateUtilTest, ARefusalShowsTheServersWordsAndAFailedNetworkSaysSo) {
  server.setAnswer("/api/user/add_favorite.php", 200, answer(false, 2, "该职位已过期"));
  JobOperateUtil::jobAddToFavorites("11", listener);
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  ASSERT_TRUE(topAlertView());
  EXPECT_EQ(topAlertView()->message(), "该职位已过期");
  platform::UIDriver::answerAlert(0);

  // Nobody listens on the port any more: every operation fails on the network and its alert
  // shows the answer's own message, the system's words for the failure.
  platform::Environment::setApiHostUrl("http://127.0.0.1:1");
  std::size_t answers = 1;
  using Start = std::function<void()>;
  for (const Start& start : {Start([&] { JobOperateUtil::jobApply("11", listener); }),
                             Start([&] { JobOperateUtil::jobAddToFavorites("11", listener); }),
                             Start([&] { JobOperateUtil::jobGetResumeMatch("11", listener); })}) {
    start();
    ++answers;
    ASSERT_TRUE(settle([&] { return listener->answers.size() == answers; }));
    EXPECT_TRUE(listener->answers.back().second);
    ASSERT_TRUE(topAlertView());
    EXPECT_EQ(topAlertView()->message(), "无法连接到服务器。");
    platform::UIDriver::answerAlert(0);
  }
  EXPECT_EQ(AppCoreInfo::getCoreDB()->getIntValue(STORE_CORE_KAVRO_MAIN, "storeKey_userHasDoJobApply"), 0);
}

TEST_F(JobOperateUtilTest, AFavoriteShowsTheServersMessageAsATip) {
  JobOperateUtil::jobAddToFavorites("11,12", listener);
  EXPECT_EQ(hudCaption(), text("joboperate_add_favorite_jobs_tip"));
  ASSERT_TRUE(settle([&] { return !listener->answers.empty(); }));
  EXPECT_EQ(hudCaption(), "收藏成功");
  EXPECT_FALSE(topAlertView());
}

TEST_F(JobOperateUtilTest, ALateAnswerDoesNotReachADelegateThatIsGone) {
  auto gone = std::make_shared<Listener>();
  std::weak_ptr<JobOperateUtil> util = JobOperateUtil::jobApply("11", gone);
  std::weak_ptr<Listener> weak = gone;
  gone.reset();
  EXPECT_TRUE(weak.expired()) << "the operation does not keep its delegate";
  ASSERT_TRUE(settle([&] { return util.expired(); })) << "the answer is handled without anybody to tell";
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(JobOperateUtilTest, ReadMarksAndCachedDetailsAgeOutAfterThirtyDays) {
  EXPECT_FALSE(JobOperateUtil::getjobHasRead("7"));
  EXPECT_TRUE(JobOperateUtil::setJobHasRead("7"));
  EXPECT_TRUE(JobOperateUtil::getjobHasRead("7"));
  EXPECT_EQ(JobOperateUtil::getJobCache("7"), nullptr);
  EXPECT_FALSE(JobOperateUtil::setJobCache("7", nullptr));
  auto answer = DataItemResult::create();
  answer->detailInfo()->set_jobname("工程师");
  EXPECT_TRUE(JobOperateUtil::setJobCache("7", answer));
  EXPECT_TRUE(JobOperateUtil::getJobCache("7"));

  // 29 days on: a second look the same day does not sweep, so both still stand.
  clock().advance(29 * 86400.0);
  EXPECT_TRUE(JobOperateUtil::getjobHasRead("7"));
  // Two more days: the next look sweeps (over a day since the last), and both are gone.
  clock().advance(2 * 86400.0);
  EXPECT_FALSE(JobOperateUtil::getjobHasRead("7"));
  EXPECT_EQ(JobOperateUtil::getJobCache("7"), nullptr);
}

TEST_F(JobOperateUtilTest, ACachedDetailStandsUntilTheDailySweepRemovesIt) {
  auto answer = DataItemResult::create();
  answer->detailInfo()->set_jobname("工程师");
  JobOperateUtil::getJobCache("7");  // today's sweep
  ASSERT_TRUE(JobOperateUtil::setJobCache("7", answer));
  clock().advance(30 * 86400.0 - 3600);
  JobOperateUtil::getJobCache("8");  // a sweep that keeps it: 29 days and 23 hours old
  clock().advance(7200);             // the next sweep runs only tomorrow
  auto cached = JobOperateUtil::getJobCache("7");
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->detailInfo()->get_jobname(), "工程师");
  EXPECT_FALSE(cached->detailInfo()->hasKey("<&JobCacheSavedAt&>")) << "the answer as it was stored";
  clock().advance(86400.0);
  EXPECT_EQ(JobOperateUtil::getJobCache("7"), nullptr);
}

TEST_F(JobOperateUtilTest, TheConfirmationSettingTurnsOffThirtyDaysAfterItWasStored) {
  EXPECT_FALSE(JobOperateUtil::getConfirmWhileApply());
  ASSERT_TRUE(JobOperateUtil::setConfirmWhileApply(true));
  EXPECT_TRUE(JobOperateUtil::getConfirmWhileApply());
  clock().advance(31 * 86400.0);
  EXPECT_FALSE(JobOperateUtil::getConfirmWhileApply());
  EXPECT_FALSE(AppCoreInfo::getCoreDB()->hasIntItem(STORE_CORE_SETTING_APPLY_TIP, "storeKey_applyTipOn"));
}

TEST_F(JobOperateUtilTest, AResultRowShowsAJobOpenedMeanwhileAsReadOnceItsListReloads) {
  auto ctrl = std::make_shared<ListViewDelegate>();
  auto list = ListView::plainListViewForDelegate(ctrl);
  list->setFrame(platform::Rect(0, 0, 320, 400));
  auto section = ListViewData::newDataOnListView(*list, platform::classFor<JobListSearchResultCell>());
  for (const char* id : {"7", "8"}) {
    auto record = DataItemDetail::newDetail();
    record->set_jobid(id);
    section->listData()->addItem(record);
  }
  auto row = [&](int i) {
    list->layoutSubviews();
    return std::dynamic_pointer_cast<JobListSearchResultCell>(
        list->cellForRowAtIndexPath(platform::IndexPath::forRow(i, 0)));
  };
  list->reloadData();
  ASSERT_TRUE(row(0));
  EXPECT_TRUE(row(0)->readMark()->isHidden());

  EXPECT_TRUE(JobOperateUtil::setJobHasRead("7"));
  list->reloadData();
  EXPECT_FALSE(row(0)->readMark()->isHidden());
  EXPECT_TRUE(row(1)->readMark()->isHidden());
}

}  // namespace
}  // namespace kavro::test
