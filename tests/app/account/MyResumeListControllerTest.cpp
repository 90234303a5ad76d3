#include <gtest/gtest.h>

#include "app/account/EmailAddressCell.h"
#include "app/account/MyResumeListController.h"
#include "app/account/UserLoginController.h"
#include "tests/app/account/ScreenServerTest.h"

namespace kavro {
namespace {

class MyResumeListControllerTest : public test::ScreenServerTest {
 protected:
  std::shared_ptr<MyResumeListController> open() {
    auto screen = UIBasicController::OpenUIBasicController<MyResumeListController>();
    settle();
    return screen;
  }
  bool loaded(const MyResumeListController& screen) {
    return waitFor([&] {
      return screen.resumes() && screen.resumes()->listViewDataStatus() == ListViewDataStatus::Loaded;
    });
  }
};

TEST_F(MyResumeListControllerTest, ShowsTheUsersResumesFromTheServer) {
  logIn();
  auto screen = open();
  ASSERT_EQ(nav->topViewController(), screen);
  EXPECT_EQ(screen->title(), text("myresume_title"));
  ASSERT_TRUE(loaded(*screen));

  auto list = screen->resumeList();
  EXPECT_EQ(screen->resumes()->count(), 2u);
  EXPECT_EQ(list->numberOfRowsInSection(0), 2) << "no more row: the server sent them all";
  auto first = std::dynamic_pointer_cast<MyResumeListCell>(
      list->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 0)));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->textLabel()->text(), "软件工程师简历");
  EXPECT_EQ(first->detailTextLabel()->text(), "2013-05-18");

  auto calls = requestsFor("/api/user/get_resume_list.php");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].target.find("accountid=80231577&key=5f0c7a1e"), std::string::npos) << calls[0].target;
  EXPECT_EQ(nav->presentedViewController(), nullptr) << "a logged-in user is not asked to log in";
}

TEST_F(MyResumeListControllerTest, AFailedAnswerShowsItsMessageInTheErrorRow) {
  logIn();
  server.setAnswer("/api/user/get_resume_list.php", 200, failure("登录已过期"));
  auto screen = open();
  ASSERT_TRUE(loaded(*screen));
  EXPECT_EQ(screen->resumes()->count(), 0u);
  EXPECT_EQ(screen->resumes()->getErrorTipsMessage(), "登录已过期");
  EXPECT_EQ(screen->resumeList()->numberOfRowsInSection(0), 1);
}

TEST_F(MyResumeListControllerTest, ALoggedOutUserLogsInFirstAndTheListLoadsAfterwards) {
  auto screen = open();
  auto presented = std::dynamic_pointer_cast<platform::NavigationController>(nav->presentedViewController());
  ASSERT_TRUE(presented);
  auto login = std::dynamic_pointer_cast<UserLoginController>(presented->topViewController());
  ASSERT_TRUE(login);
  EXPECT_TRUE(requestsFor("/api/user/get_resume_list.php").empty());

  login->nameField()->setText("demo");
  login->passwordField()->setText("pw");
  login->loginButton()->sendActionsForControlEvents(platform::ControlEvent::TouchUpInside);
  ASSERT_TRUE(waitFor([&] { return UserCoreInfo::hasLogined(); }));
  settle();
  ASSERT_TRUE(loaded(*screen));
  EXPECT_EQ(screen->resumes()->count(), 2u);
  EXPECT_EQ(requestsFor("/api/user/get_resume_list.php").size(), 1u);

  // Logging out takes the resumes off the screen.
  UserCoreInfo::userLogout();
  EXPECT_EQ(screen->resumes()->count(), 0u);
  loop().runFor(0.2);
  EXPECT_EQ(requestsFor("/api/user/get_resume_list.php").size(), 1u) << "nothing is asked for logged out";
}

// A form screen with one e-mail row.
class EmailForm : public UIBasicController, public ListViewDelegate {
 public:
  int submits = 0;
  bool submitData(ListView&) override {
    ++submits;
    return true;
  }
};

TEST_F(MyResumeListControllerTest, TheEmailRowEditsItsRecordAndSubmitsOnReturn) {
  auto form = UIBasicController::create<EmailForm>();
  auto list = ListView::groupedListViewForDelegate(form);
  list->setFrame(platform::Rect(0, 0, 320, 400));
  auto section = ListViewData::newDataOnListView(*list, platform::classFor<EmailAddressCell>());
  for (int i = 0; i < 2; ++i) {
    auto row = DataItemDetail::newDetail();
    row->setItemTitle("E-mail");
    row->setInputPlaceHold("name@example.com");
    section->listData()->addItem(row);
  }
  section->setListViewDataStatus(ListViewDataStatus::Loaded);
  list->reloadData();

  auto cell = std::dynamic_pointer_cast<EmailAddressCell>(
      list->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 0)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->input()->keyboardType(), platform::KeyboardType::EmailAddress);
  // An address is typed as it is: no capital forced on its first letter, no word corrected.
  EXPECT_EQ(cell->input()->autocapitalizationType(), platform::TextAutocapitalizationType::None);
  EXPECT_EQ(cell->input()->autocorrectionType(), platform::TextAutocorrectionType::No);
  EXPECT_EQ(cell->input()->returnKeyType(), platform::ReturnKeyType::Done);
  EXPECT_EQ(cell->input()->placeholder(), "name@example.com");
  cell->input()->setText("someone@example.com");
  cell->textFieldShouldReturn(*cell->input());
  EXPECT_EQ(section->listData()->getItem(0)->getInputValue(), "someone@example.com");
  EXPECT_EQ(form->submits, 1) << "return submits at once, even with a row below";
}

}  // namespace
}  // namespace kavro
