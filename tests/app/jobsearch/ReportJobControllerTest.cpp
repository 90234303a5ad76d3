#include <gtest/gtest.h>

#include "app/jobsearch/ReportJobController.h"
#include "app/jobsearch/TextViewInputCell.h"
#include "kit/ui/TitleInputCell.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIDriver.h"
#include "tests/app/jobsearch/JobDetailViewTestSupport.h"

namespace kavro::test {
namespace {

std::string repeat(std::string_view unit, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += unit;
  return out;
}

class ReportJobControllerTest : public JobScreenTest {
 protected:
  void SetUp() override {
    JobScreenTest::SetUp();
    logIn();
    openNavigation();
    form = UIBasicController::create<ReportJobController>();
    form->setJobid("45127603");
    nav->pushViewController(form, false);
    form->view();
    platform::Application::layoutWindows();
  }
  void TearDown() override {
    form.reset();
    JobScreenTest::TearDown();
  }

  std::shared_ptr<TextViewInputCell> statementCell() {
    return std::dynamic_pointer_cast<TextViewInputCell>(
        form->listReport()->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 0)));
  }
  // Types into the statement as the keyboard would.
  void typeStatement(const std::string& text) {
    auto cell = statementCell();
    ASSERT_TRUE(cell);
    cell->textview()->becomeFirstResponder();
    cell->textview()->insertText(text);
  }
  bool submitEnabled() { return form->navigationItem()->rightBarButtonItem()->isEnabled(); }
  void submit() { form->navigationItem()->rightBarButtonItem()->sendAction(); }
  void cancel() { form->navigationItem()->leftBarButtonItem()->sendAction(); }

  std::shared_ptr<ReportJobController> form;
};

TEST_F(ReportJobControllerTest, TheFormIsPrefilledAndSubmitFollowsTheStatement) {
  EXPECT_EQ(form->title(), text("reportjob_reportjob"));
  EXPECT_EQ(form->mobileData()->getInputValue(), "13800000000");
  EXPECT_EQ(form->emailData()->getInputValue(), "me@example.com");
  EXPECT_FALSE(submitEnabled());
  typeStatement("虚假");
  EXPECT_EQ(form->descriptionData()->getInputValue(), "虚假") << "the record follows every keystroke";
  EXPECT_TRUE(submitEnabled());
  statementCell()->textview()->deleteBackward();
  statementCell()->textview()->deleteBackward();
  EXPECT_FALSE(submitEnabled());
}

TEST_F(ReportJobControllerTest, ContactValuesSitOnTheLineOfTheirTitles) {
  for (int row : {0, 1}) {
    auto cell = std::dynamic_pointer_cast<TitleInputCell>(
        form->listReport()->cellForRowAtIndexPath(platform::IndexPath::forRow(row, 1)));
    ASSERT_TRUE(cell) << row;
    const auto& field = *cell->input();
    auto text = field.textRectForBounds(field.bounds());
    EXPECT_NEAR(text.midY(), field.bounds().midY(), 0.5) << "row " << row << ": " << field.text();
  }
}

TEST_F(ReportJobControllerTest, TheStatementKeepsTheSameMarginOnBothSides) {
  auto cell = statementCell();
  ASSERT_TRUE(cell);
  const auto& list = *form->listReport();
  auto shown = cell->textview()->convertRectToView(cell->textview()->bounds(), &list);
  EXPECT_GE(shown.minX(), 10);
  EXPECT_NEAR(list.bounds().width() - shown.maxX(), shown.minX(), 0.5)
      << "x " << shown.minX() << " to " << shown.maxX();
}

TEST_F(ReportJobControllerTest, TheStatementHasTheFocusAsTheFormOpensSoTypingFillsIt) {
  // The form opened over a screen on display, as the job page opens it.
  platform::ViewController::finishPendingTransitions();
  auto opened = UIBasicController::create<ReportJobController>();
  opened->setJobid("45127603");
  nav->pushViewController(opened, true);
  platform::ViewController::finishPendingTransitions();
  platform::Application::layoutWindows();
  // A person types at once, without tapping the statement first.
  ASSERT_TRUE(platform::UIDriver::type("职位已招满")) << platform::UIDriver::lastError();
  EXPECT_EQ(opened->descriptionData()->getInputValue(), "职位已招满");
  EXPECT_TRUE(opened->navigationItem()->rightBarButtonItem()->isEnabled());
}

TEST_F(ReportJobControllerTest, TwoHundredCharactersAreSentAndOneMoreIsRefused) {
  typeStatement(repeat("假", 201));
  submit();
  ASSERT_TRUE(topAlertView());
  EXPECT_EQ(topAlertView()->message(), text("reportjob_reportinfo_alert"));
  platform::UIDriver::answerAlert(0);
  EXPECT_EQ(server.requestCount(), 0u);

  // Sending ended the editing: the statement is tapped again to shorten it.
  statementCell()->textview()->becomeFirstResponder();
  statementCell()->textview()->deleteBackward();
  form->emailData()->setInputValue("");
  submit();
  EXPECT_EQ(hudCaption(), text("common_text_submit_data_now"));
  ASSERT_TRUE(settle([&] { return nav->topViewController() == home; })) << "closed after the answer";
  ASSERT_EQ(server.requestCount(), 1u);
  auto request = server.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_TRUE(request.target.starts_with("/api/market/report.php?accountid=1001&key=k3y&")) << request.target;
  EXPECT_TRUE(request.body.starts_with("jobid=45127603&description=%E5%81%87")) << request.body;
  EXPECT_NE(request.body.find("&telphone=13800000000&email="), std::string::npos) << request.body;
  EXPECT_TRUE(request.body.ends_with("&email=")) << "sent with an empty e-mail";
  EXPECT_EQ(hudCaption(), "举报已提交，感谢您的支持");
}

TEST_F(ReportJobControllerTest, WithoutAnyContactNothingIsSent) {
  typeStatement("虚假信息");
  form->mobileData()->setInputValue("");
  form->emailData()->setInputValue("");
  submit();
  ASSERT_TRUE(topAlertView());
  EXPECT_EQ(topAlertView()->message(), text("reportjob_contact_way") + text("alert_detail_cannot_be_null"));
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ReportJobControllerTest, AServerErrorKeepsTheFormAndASecondPressReplacesTheFirstCall) {
  server.setAnswer("/api/market/report.php", 200, answer(false, 2, "请勿重复举报"));
  typeStatement("虚假信息");
  submit();
  submit();
  ASSERT_TRUE(settle([&] { return topAlertView() != nullptr; }));
  EXPECT_EQ(topAlertView()->message(), "请勿重复举报");
  EXPECT_EQ(nav->topViewController(), form);
  EXPECT_EQ(form->descriptionData()->getInputValue(), "虚假信息");
}

TEST_F(ReportJobControllerTest, AFailedNetworkShowsTheAnswersOwnMessageAndKeepsTheForm) {
  platform::Environment::setApiHostUrl("http://127.0.0.1:1");
  typeStatement("虚假信息");
  submit();
  ASSERT_TRUE(settle([&] { return topAlertView() != nullptr; }));
  EXPECT_EQ(topAlertView()->message(), "无法连接到服务器。");
  EXPECT_EQ(nav->topViewController(), form);
  EXPECT_EQ(form->descriptionData()->getInputValue(), "虚假信息");
}

TEST_F(ReportJobControllerTest, LeavingAsksOnlyWhenSomethingChanged) {
  cancel();
  EXPECT_EQ(nav->topViewController(), home);

  nav->pushViewController(form, false);
  form->emailData()->setInputValue("other@example.com");
  cancel();
  ASSERT_TRUE(topAlertView());
  EXPECT_EQ(topAlertView()->message(), text("alert_detail_has_not_saved"));
  platform::UIDriver::answerAlert(0);
  EXPECT_EQ(nav->topViewController(), form);
  cancel();
  platform::UIDriver::answerAlert(1);
  EXPECT_EQ(nav->topViewController(), home);
}

}  // namespace
}  // namespace kavro::test
