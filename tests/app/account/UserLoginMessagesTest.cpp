#include <gtest/gtest.h>

#include "app/account/UserLoginController.h"
#include "kit/ui/CommonHud.h"
#include "kit/ui/CommonHudView.h"
#include "tests/app/account/ScreenServerTest.h"

namespace kavro::test {
namespace {

// Each reason the login screen gives a person, by its text: what is missing before anything is
// sent, and why the server said no (its own words, or ours when it gave none).
class UserLoginMessagesTest : public ScreenServerTest {
 protected:
  std::shared_ptr<UserLoginController> openLogin() {
    auto screen = UserLoginController::loginWithParent(root);
    settle();
    return screen;
  }
  static std::string tip() {
    auto hud = CommonHud::currentInstance();
    return hud ? hud->hudView()->caption() : "";
  }
  void tapLogIn(UserLoginController& screen, std::string name, std::string password) {
    screen.nameField()->setText(std::move(name));
    screen.passwordField()->setText(std::move(password));
    screen.loginButton()->sendActionsForControlEvents(platform::ControlEvent::TouchUpInside);
  }
};

TEST_F(UserLoginMessagesTest, EachMissingFieldIsNamedAndNothingIsSent) {
  auto screen = openLogin();
  ASSERT_FALSE(text("login_tips_empty_username").empty());
  ASSERT_NE(text("login_tips_empty_username"), text("login_tips_empty_password"));

  tapLogIn(*screen, " ", "secret");
  EXPECT_EQ(tip(), text("login_tips_empty_username"));
  EXPECT_TRUE(screen->nameField()->isFirstResponder());
  tapLogIn(*screen, "demo", "");
  EXPECT_EQ(tip(), text("login_tips_empty_password"));
  EXPECT_TRUE(screen->passwordField()->isFirstResponder());
  EXPECT_FALSE(screen->isLoggingIn());
  EXPECT_TRUE(requestsFor("/api/user/login.php").empty());
}

TEST_F(UserLoginMessagesTest, ARefusalWithoutWordsOfItsOwnGivesOurs) {
  server.setAnswer("/api/user/login.php", 200, failure(""));
  auto screen = openLogin();
  tapLogIn(*screen, "demo", "wrong");
  EXPECT_EQ(tip(), text("login_tips_logging_in")) << "while the answer is awaited";
  ASSERT_TRUE(waitFor([&] { return !screen->isLoggingIn(); }));
  settle();
  auto alert = visibleAlert();
  ASSERT_TRUE(alert);
  ASSERT_FALSE(text("login_tips_failed").empty());
  EXPECT_EQ(alert->message(), text("login_tips_failed"));
  EXPECT_EQ(requestsFor("/api/user/login.php").size(), 1u);
}

}  // namespace
}  // namespace kavro::test
