#include <gtest/gtest.h>

#include "app/account/UserLoginController.h"
#include "kit/core/StoreDataTypes.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Snapshot.h"
#include "tests/app/account/ScreenServerTest.h"

namespace kavro {

// A screen that accepts two actions by name, as a feature behind the login gate does.
class LoginGateReceiver : public UIBasicController {
 public:
  int applied = 0;
  std::vector<platform::Value> opened;
};

KAVRO_CLASS(LoginGateReceiver, UIBasicController)
    .action("applySelectedJobs", 0,
            [](LoginGateReceiver& r, const platform::Arguments&) {
              ++r.applied;
              return platform::Value();
            })
    .action("openWith:", 1, [](LoginGateReceiver& r, const platform::Arguments& a) {
      r.opened.push_back(a[0]);
      return platform::Value();
    });

namespace {

class UserLoginControllerTest : public test::ScreenServerTest {
 protected:
  std::shared_ptr<LoginGateReceiver> pushReceiver() {
    auto receiver = UIBasicController::create<LoginGateReceiver>();
    nav->pushViewController(receiver, false);
    settle();
    return receiver;
  }
  // The login screen on top of the presented navigation controller.
  std::shared_ptr<UserLoginController> shownLoginScreen() {
    auto presented =
        std::dynamic_pointer_cast<platform::NavigationController>(nav->presentedViewController());
    return presented ? std::dynamic_pointer_cast<UserLoginController>(presented->topViewController())
                     : nullptr;
  }
  void typeAndLogIn(UserLoginController& screen, std::string name, std::string password) {
    screen.nameField()->setText(std::move(name));
    screen.passwordField()->setText(std::move(password));
    screen.loginButton()->sendActionsForControlEvents(platform::ControlEvent::TouchUpInside);
    ASSERT_TRUE(waitFor([&] { return !screen.isLoggingIn(); }));
    settle();
  }
};

TEST_F(UserLoginControllerTest, TheGateAsksFirstThenLogsInAndPerformsTheSelectorOnceOnTheReceiver) {
  auto receiver = pushReceiver();
  auto screen = UserLoginController::loginWithParent(receiver, receiver, "applySelectedJobs");
  ASSERT_TRUE(screen);
  auto alert = visibleAlert();
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->message(), text("common_text_function_require_login"));
  EXPECT_EQ(shownLoginScreen(), nullptr) << "the login screen waits for the alert";

  alert->tapButtonAtIndex(0);
  settle();
  ASSERT_EQ(shownLoginScreen(), screen);
  EXPECT_EQ(screen->title(), text("login_title"));
  EXPECT_EQ(screen->nameField()->placeholder(), text("login_placeholder_username"));
  EXPECT_EQ(screen->passwordField()->placeholder(), text("login_placeholder_password"));
  EXPECT_TRUE(screen->passwordField()->isSecureTextEntry());
  EXPECT_EQ(screen->loginButton()->currentTitle(), text("login_button_login"));

  typeAndLogIn(*screen, " demo ", "s3cret&=+");
  EXPECT_TRUE(UserCoreInfo::hasLogined());
  EXPECT_EQ(UserCoreInfo::getAccountID(), "80231577");
  EXPECT_EQ(receiver->applied, 1);
  EXPECT_EQ(nav->presentedViewController(), nullptr) << "the login screen closed";

  auto logins = requestsFor("/api/user/login.php");
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(logins[0].method, "POST");
  EXPECT_EQ(logins[0].body, "username=demo&pwd=s3cret%26%3D%2B");

  // The credentials are kept sealed: readable through the session, never as clear text.
  EXPECT_EQ(UserCoreInfo::getUserName(), "demo");
  EXPECT_EQ(UserCoreInfo::getPassword(), "s3cret&=+");
  std::string stored = AppCoreInfo::getCoreDB()->getStrValue(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey);
  EXPECT_FALSE(stored.empty());
  EXPECT_EQ(stored.find("s3cret"), std::string::npos);
  EXPECT_EQ(screen->passwordField()->text(), "");

  loop().runFor(0.5);
  EXPECT_EQ(receiver->applied, 1) << "performed once";
}

TEST_F(UserLoginControllerTest, TheFieldsAreSeenAsFieldsEvenWhenEmpty) {
  auto receiver = pushReceiver();
  auto screen = UserLoginController::loginWithParent(receiver, "applySelectedJobs");
  ASSERT_TRUE(screen);
  settle();
  for (const auto& field : {screen->nameField(), screen->passwordField()}) {
    field->setText("");
    field->setPlaceholder("");
    auto image = platform::Snapshot::imageOfView(*field, 1);
    ASSERT_TRUE(image);
    const auto& b = *image->bitmap();
    auto corner = b.pixelAt(0, b.height() / 2);
    auto inside = b.pixelAt(b.width() / 2, b.height() / 2);
    EXPECT_TRUE(corner.r != inside.r || corner.g != inside.g || corner.b != inside.b)
        << "an empty field draws its box";
  }
}

TEST_F(UserLoginControllerTest, AFailedLoginShowsTheServersMessageAndPerformsNothing) {
  auto receiver = pushReceiver();
  server.setAnswer("/api/user/login.php", 200, failure("用户名或密码错误"));
  auto screen = UserLoginController::loginWithParent(receiver, "applySelectedJobs");
  settle();
  ASSERT_EQ(shownLoginScreen(), screen) << "without a delegate the screen opens at once";

  // Nothing is sent without a name.
  typeAndLogIn(*screen, "  ", "x");
  EXPECT_EQ(requestsFor("/api/user/login.php").size(), 0u);

  typeAndLogIn(*screen, "demo", "wrong");
  ASSERT_EQ(requestsFor("/api/user/login.php").size(), 1u);
  auto alert = visibleAlert();
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->message(), "用户名或密码错误");
  EXPECT_FALSE(UserCoreInfo::hasLogined());
  EXPECT_EQ(receiver->applied, 0);
  EXPECT_EQ(shownLoginScreen(), screen) << "the screen stays for another try";
  EXPECT_EQ(UserCoreInfo::getPassword(), "");

  // The next try succeeds and runs the selector.
  alert->tapButtonAtIndex(0);
  server.clearAnswers();
  typeAndLogIn(*screen, "demo", "right");
  EXPECT_EQ(receiver->applied, 1);
}

TEST_F(UserLoginControllerTest, TheParameterGoesToAnActionOfOneArgumentAndUnknownActionsAreRefused) {
  auto receiver = pushReceiver();
  auto screen = UserLoginController::loginWithParent(receiver, "openWith:", platform::Value("45127603"));
  settle();
  typeAndLogIn(*screen, "demo", "pw");
  ASSERT_EQ(receiver->opened.size(), 1u);
  EXPECT_EQ(receiver->opened[0].stringValue(), "45127603");

  UserCoreInfo::userLogout();
  auto again = UserLoginController::loginWithParent(receiver, "removeAllResumes");
  settle();
  typeAndLogIn(*again, "demo", "pw");
  EXPECT_TRUE(UserCoreInfo::hasLogined());
  EXPECT_EQ(receiver->applied, 0);
  EXPECT_EQ(receiver->opened.size(), 1u);
}

TEST_F(UserLoginControllerTest,
       ACancelledLoginPerformsNothingAndEndsTheSessionsLoggingInAndAGoneReceiverIsNoFault) {
  auto receiver = pushReceiver();
  auto screen = UserLoginController::loginWithParent(receiver, "applySelectedJobs");
  settle();
  ASSERT_TRUE(screen->navigationItem()->leftBarButtonItem());
  EXPECT_EQ(screen->navigationItem()->leftBarButtonItem()->title(), text("common_text_cancel"));
  screen->navigationItem()->leftBarButtonItem()->sendAction();
  settle();
  EXPECT_EQ(nav->presentedViewController(), nullptr);
  EXPECT_EQ(receiver->applied, 0);

  // Cancelled while the server is still answering: the session does not stay "logging in".
  test::ScriptedResponse slow;
  slow.delayBeforeResponse = 0.3;
  slow.body =
      "<responsemessage><result>1</result><resultbody><accountid>1</accountid><key>k</key>"
      "</resultbody></responsemessage>";
  server.setAnswer("/api/user/login.php", slow);
  auto waiting = UserLoginController::loginWithParent(receiver, "applySelectedJobs");
  settle();
  waiting->nameField()->setText("demo");
  waiting->passwordField()->setText("pw");
  waiting->doLogin();
  EXPECT_TRUE(UserCoreInfo::isLoginingNow());
  waiting->navigationItem()->leftBarButtonItem()->sendAction();
  settle();
  EXPECT_FALSE(UserCoreInfo::isLoginingNow());
  EXPECT_FALSE(UserCoreInfo::hasLogined());
  loop().runFor(0.6);
  EXPECT_FALSE(UserCoreInfo::hasLogined());
  EXPECT_EQ(receiver->applied, 0);
  server.clearAnswers();

  // The callback object goes before the login ends.
  auto other = std::make_shared<LoginGateReceiver>();
  auto second = UserLoginController::loginWithParent(receiver, other, "applySelectedJobs");
  visibleAlert()->tapButtonAtIndex(0);
  settle();
  other.reset();
  typeAndLogIn(*second, "demo", "pw");
  EXPECT_TRUE(UserCoreInfo::hasLogined());
  EXPECT_EQ(receiver->applied, 0);
}

// Once the login screen is up, the keyboard is on the name field while it is empty, however the
// screen came (presented by the gate, or pushed by a screen), animated or not; a remembered
// name leaves the keyboard down.
TEST_F(UserLoginControllerTest, TheKeyboardWaitsOnTheEmptyNameFieldOnceTheScreenIsUp) {
  auto receiver = pushReceiver();
  auto presented = UserLoginController::loginWithParent(receiver, "applySelectedJobs");
  ASSERT_TRUE(presented);
  settle();
  ASSERT_EQ(shownLoginScreen(), presented);
  EXPECT_TRUE(presented->nameField()->isFirstResponder()) << "presented by the gate";
  EXPECT_FALSE(presented->passwordField()->isFirstResponder());
  presented->navigationItem()->leftBarButtonItem()->sendAction();
  settle();
  ASSERT_EQ(nav->presentedViewController(), nullptr);

  for (bool animated : {false, true}) {
    SCOPED_TRACE(animated ? "animated" : "at once");
    auto pushed = UIBasicController::create<UserLoginController>();
    nav->pushViewController(pushed, animated);
    settle();
    ASSERT_EQ(nav->topViewController(), pushed);
    EXPECT_TRUE(pushed->nameField()->isFirstResponder()) << "pushed";
    nav->popViewControllerAnimated(false);
    settle();
  }

  UserCoreInfo::setUserName("demo");
  auto remembered = UIBasicController::create<UserLoginController>();
  nav->pushViewController(remembered, true);
  settle();
  ASSERT_EQ(remembered->nameField()->text(), "demo");
  EXPECT_FALSE(remembered->nameField()->isFirstResponder());
  EXPECT_FALSE(remembered->passwordField()->isFirstResponder());
}

TEST_F(UserLoginControllerTest, AScreenThatOpensTheLoginScreenItselfGetsItBackAfterTheLogin) {
  auto screen = UIBasicController::create<UserLoginController>();
  screen->ShowUIBasicController(root, false);
  settle();
  ASSERT_EQ(nav->topViewController(), screen);
  EXPECT_EQ(screen->nameField()->text(), "") << "nobody logged in before";
  typeAndLogIn(*screen, "demo", "pw");
  EXPECT_TRUE(UserCoreInfo::hasLogined());
  EXPECT_EQ(nav->topViewController(), root);

  // The next login screen offers the name used last.
  auto next = UIBasicController::create<UserLoginController>();
  next->view();
  EXPECT_EQ(next->nameField()->text(), "demo");
}

}  // namespace
}  // namespace kavro
