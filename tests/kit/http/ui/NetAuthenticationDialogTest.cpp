#include <gtest/gtest.h>

#include "kit/base64/Base64.h"
#include "kit/http/NetHTTPRequestErrors.h"
#include "kit/http/ui/NetAuthenticationDialog.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/Window.h"
#include "tests/kit/http/HttpTestSupport.h"

using namespace httptest;
using kavro::NetAuthenticationDialog;
using platform::UIDriver;

namespace {

class NetAuthenticationDialogTest : public HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    platform::Application::destroySharedApplication();
    platform::Screen::mainScreen().reset();
    window = std::make_shared<platform::Window>();
    window->makeKeyAndVisible();
    NetAuthenticationDialog::install();
    // Answers 401 (realm by path) unless the request carries Basic credentials for user:secret.
    std::string good = "Basic " + *kavro::base64EncodeData(platform::dataFromString("user:secret"));
    server.setHandler([good](const RecordedRequest& r) {
      if (r.header("Authorization") == good) return ScriptedResponse::ok("welcome");
      std::string realm = r.target.starts_with("/other") ? "other" : "kavro";
      return ScriptedResponse::challenge(401, "Basic realm=\"" + realm + "\"");
    });
  }
  void TearDown() override {
    NetAuthenticationDialog::resetForTesting();
    window.reset();
    platform::Application::destroySharedApplication();
    HttpTest::TearDown();
  }
  std::shared_ptr<NetHTTPRequest> start(const std::string& path, std::shared_ptr<Recorder> recorder) {
    auto r = make(path, recorder);
    r->setShouldPresentAuthenticationDialog(true);
    r->startAsynchronous();
    return r;
  }
  bool waitForDialog() {
    return wait([] { return NetAuthenticationDialog::currentDialog() && UIDriver::topAlert(); });
  }
  static std::string message(std::shared_ptr<NetAuthenticationDialog> dialog = nullptr) {
    if (!dialog) dialog = NetAuthenticationDialog::currentDialog();
    return dialog->alertView()->message();
  }

  std::shared_ptr<platform::Window> window;
};

TEST_F(NetAuthenticationDialogTest, LoginRetriesWithTheTypedCredentials) {
  auto rec = std::make_shared<Recorder>();
  auto r = start("/secret", rec);
  ASSERT_TRUE(waitForDialog());
  auto dialog = NetAuthenticationDialog::currentDialog();
  EXPECT_EQ(dialog->type(), NetAuthenticationDialog::ServerAuthentication);
  EXPECT_EQ(dialog->alertView()->title(), "127.0.0.1");
  EXPECT_EQ(message(), "Login to this secure server.\nkavro\nPassword will be sent in the clear.");
  EXPECT_EQ(dialog->usernameField()->placeholder(), "User");
  EXPECT_EQ(dialog->passwordField()->placeholder(), "Password");
  EXPECT_TRUE(dialog->passwordField()->isSecureTextEntry());
  EXPECT_FALSE(dialog->domainField()) << "Basic asks for no domain";

  ASSERT_TRUE(UIDriver::type("user"));
  ASSERT_TRUE(UIDriver::tap(*dialog->passwordField()));
  ASSERT_TRUE(UIDriver::type("secret"));
  ASSERT_TRUE(UIDriver::answerAlert(1));
  EXPECT_FALSE(UIDriver::topAlert());
  ASSERT_TRUE(wait([&] { return rec->done(); }));
  EXPECT_EQ(rec->finished, 1);
  EXPECT_EQ(r->responseString(), "welcome");
  EXPECT_EQ(r->username(), "user");
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_FALSE(NetAuthenticationDialog::currentDialog());
}

TEST_F(NetAuthenticationDialogTest, CancelFailsWithTheAuthenticationError) {
  auto rec = std::make_shared<Recorder>();
  auto r = start("/secret", rec);
  ASSERT_TRUE(waitForDialog());
  ASSERT_TRUE(UIDriver::answerAlert(0));
  ASSERT_TRUE(wait([&] { return rec->done(); }));
  EXPECT_EQ(rec->failed, 1);
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetAuthenticationErrorType);
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(NetAuthenticationDialogTest, OneDialogForMatchingRequestsAnotherRealmWaits) {
  auto first = std::make_shared<Recorder>(), second = std::make_shared<Recorder>(),
       other = std::make_shared<Recorder>();
  start("/secret", first);
  ASSERT_TRUE(waitForDialog());
  auto dialog = NetAuthenticationDialog::currentDialog();
  start("/secret2", second);
  start("/other", other);
  ASSERT_TRUE(wait([] { return NetAuthenticationDialog::waitingRequests().size() == 2; }));
  EXPECT_EQ(NetAuthenticationDialog::currentDialog(), dialog) << "one dialog at a time";
  EXPECT_EQ(dialog->requestsRequiringTheseCredentials().size(), 2u);

  ASSERT_TRUE(UIDriver::type("user"));
  dialog->passwordField()->setText("secret");
  ASSERT_TRUE(UIDriver::answerAlert(1));
  ASSERT_TRUE(wait([&] { return first->done() && second->done(); }));
  EXPECT_EQ(first->finished + second->finished, 2) << "both retried with the credentials";

  // The other realm's request gets its own dialog once the first has gone.
  ASSERT_TRUE(waitForDialog());
  EXPECT_NE(NetAuthenticationDialog::currentDialog(), dialog);
  EXPECT_EQ(message(), "Login to this secure server.\nother\nPassword will be sent in the clear.");
  EXPECT_TRUE(NetAuthenticationDialog::waitingRequests().empty());
  ASSERT_TRUE(UIDriver::answerAlert(0));
  ASSERT_TRUE(wait([&] { return other->done(); }));
  EXPECT_EQ(other->failed, 1);
}

TEST_F(NetAuthenticationDialogTest, NTLMAsksForTheDomainAndHTTPSIsSecure) {
  auto r = NetHTTPRequest::requestWithURL(url("https://example.test/"));
  r->setAuthenticationScheme("NTLM");
  auto dialog = std::make_shared<NetAuthenticationDialog>(r, NetAuthenticationDialog::ServerAuthentication);
  dialog->show();
  auto domain = dialog->domainField();
  ASSERT_TRUE(domain);
  EXPECT_EQ(domain->placeholder(), "Domain");
  EXPECT_EQ(message(dialog), "Login to this secure server.\nPassword will be sent securely.");
  platform::UIDriver::describeScreen();  // lays the alert out
  auto password = dialog->passwordField()->frame();
  EXPECT_EQ(domain->frame().origin.y, password.origin.y + 37) << "under the password";
  EXPECT_EQ(UIDriver::findView("Domain"), domain);
  // Dismissed unanswered: the request here is never started.
  dialog->alertView()->dismissWithClickedButtonIndex(0, false);
  EXPECT_FALSE(UIDriver::topAlert());

  // Basic over https is secure too.
  r->setAuthenticationScheme("Basic");
  auto basic = std::make_shared<NetAuthenticationDialog>(r, NetAuthenticationDialog::ServerAuthentication);
  basic->show();
  EXPECT_FALSE(basic->domainField());
  EXPECT_EQ(message(basic), "Login to this secure server.\nPassword will be sent securely.");
  basic->alertView()->dismissWithClickedButtonIndex(0, false);
}

}  // namespace
