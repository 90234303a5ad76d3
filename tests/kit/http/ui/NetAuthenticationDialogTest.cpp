#include <gtest/gtest.h>

#include "kit/base64/Base64.h"
#include "kit/http/NetHTTPRequestErrors.h"
#include "kit/http/ui/NetAuthenticationDialog.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Device.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/SystemText.h"
#include "platform/ui/TableView.h"
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
    platform::Device::currentDevice().reset();
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
    platform::ViewController::discardPendingTransitions();
    window.reset();
    platform::Application::destroySharedApplication();
    platform::Device::currentDevice().reset();
    HttpTest::TearDown();
  }
  std::shared_ptr<NetHTTPRequest> start(const std::string& path, std::shared_ptr<Recorder> recorder) {
    auto r = make(path, recorder);
    r->setShouldPresentAuthenticationDialog(true);
    r->startAsynchronous();
    return r;
  }
  // A shown sheet, once its presentation has finished.
  bool waitForDialog() {
    return wait([] {
      auto d = NetAuthenticationDialog::currentDialog();
      return d && d->appearState() == platform::ViewController::AppearState::Appeared;
    });
  }
  static std::shared_ptr<NetAuthenticationDialog> showFor(std::shared_ptr<NetHTTPRequest> r,
                                                          NetAuthenticationDialog::Type type) {
    auto dialog = NetAuthenticationDialog::create(std::move(r), type);
    dialog->show();
    platform::ViewController::finishPendingTransitions();
    return dialog;
  }
  static std::string footer(const std::shared_ptr<NetAuthenticationDialog>& d) {
    auto& tv = *d->tableView();
    return d->titleForFooterInSection(tv, tv.numberOfSections() - 1).value_or("(none)");
  }

  std::shared_ptr<platform::Window> window;
};

TEST_F(NetAuthenticationDialogTest, LoginRetriesWithTheTypedCredentials) {
  auto rec = std::make_shared<Recorder>();
  auto r = start("/secret", rec);
  ASSERT_TRUE(waitForDialog());
  auto dialog = NetAuthenticationDialog::currentDialog();
  EXPECT_EQ(dialog->type(), NetAuthenticationDialog::ServerAuthentication);

  // Presented modally from an invisible controller in the first window.
  auto presenting = dialog->presentingViewController();
  ASSERT_TRUE(presenting);
  EXPECT_EQ(presenting->presentedViewController(), dialog);
  EXPECT_TRUE(dialog->shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation::LandscapeLeft));
  EXPECT_EQ(presenting->view()->frame(), platform::Rect());
  EXPECT_FALSE(presenting->view()->isUserInteractionEnabled());
  EXPECT_EQ(dialog->view()->window(), window);
  EXPECT_EQ(dialog->view()->frame(), platform::Rect(0, 20, 320, 460));

  // The bar: the prompt above the host, Cancel at the left, "Login" at the right.
  auto bar = dialog->navigationBar();
  auto item = bar->topItem();
  EXPECT_EQ(item->prompt(), "Login to this secure server.");
  EXPECT_EQ(item->title(), "127.0.0.1");
  EXPECT_EQ(item->leftBarButtonItem()->systemItem(), platform::BarButtonSystemItem::Cancel);
  EXPECT_EQ(item->rightBarButtonItem()->title(), "Login");
  EXPECT_EQ(item->rightBarButtonItem()->style(), platform::BarButtonItemStyle::Done);
  EXPECT_EQ(bar->frame(), platform::Rect(0, 0, 320, 74));
  EXPECT_EQ(UIDriver::findView("Login to this secure server.")->frame().origin.y, 0);

  // The table below it: the realm above the two fields, the warning below them.
  auto tv = dialog->tableView();
  EXPECT_EQ(tv->style(), platform::TableViewStyle::Grouped);
  EXPECT_EQ(tv->frame(), platform::Rect(0, 74, 320, 386));
  ASSERT_EQ(tv->numberOfSections(), 1);
  EXPECT_EQ(tv->numberOfRowsInSection(0), 2);
  EXPECT_EQ(dialog->titleForHeaderInSection(*tv, 0), "kavro");
  EXPECT_EQ(tv->rectForHeaderInSection(0).size.height, 30);
  EXPECT_EQ(footer(dialog), "Password will be sent in the clear.");
  EXPECT_EQ(tv->rectForFooterInSection(0).size.height, 30);
  EXPECT_EQ(dialog->usernameField()->placeholder(), "User");
  EXPECT_EQ(dialog->passwordField()->placeholder(), "Password");
  EXPECT_TRUE(dialog->passwordField()->isSecureTextEntry());
  EXPECT_FALSE(dialog->usernameField()->isSecureTextEntry());
  EXPECT_FALSE(dialog->domainField()) << "Basic asks for no domain";
  EXPECT_EQ(dialog->usernameField()->autocapitalizationType(), platform::TextAutocapitalizationType::None);
  EXPECT_EQ(dialog->usernameField()->autocorrectionType(), platform::TextAutocorrectionType::No);
  // The field fills its cell's content less 10 points on every side.
  auto content = dialog->usernameField()->superview()->bounds();
  EXPECT_EQ(dialog->usernameField()->frame(),
            platform::Rect(10, 10, content.size.width - 20, content.size.height - 20));
  EXPECT_FALSE(tv->tapRowAtIndexPath({0, 0})) << "rows cannot be selected";

  // The user name field has the keyboard; the table leaves room for it.
  EXPECT_TRUE(dialog->usernameField()->isFirstResponder());
  EXPECT_EQ(tv->contentInset().bottom, platform::Keyboard::Height);
  EXPECT_EQ(tv->scrollIndicatorInsets().bottom, platform::Keyboard::Height);
  // A keyboard that says nothing of its frame leaves the room as it is.
  platform::NotificationCenter::defaultCenter().post(platform::KeyboardWillShowNotification);
  EXPECT_EQ(tv->contentInset().bottom, platform::Keyboard::Height);
  EXPECT_EQ(tv->scrollIndicatorInsets().bottom, platform::Keyboard::Height);

  ASSERT_TRUE(UIDriver::type("user"));
  ASSERT_TRUE(UIDriver::tap(*dialog->passwordField()));
  ASSERT_TRUE(UIDriver::type("secret"));
  ASSERT_TRUE(UIDriver::tap("Login"));
  ASSERT_TRUE(wait([&] { return rec->done(); }));
  EXPECT_EQ(rec->finished, 1);
  EXPECT_EQ(r->responseString(), "welcome");
  EXPECT_EQ(r->username(), "user");
  EXPECT_EQ(server.requestCount(), 2u);
  // Gone once its view has disappeared, the invisible controller with it.
  ASSERT_TRUE(wait([&] { return !NetAuthenticationDialog::currentDialog(); }));
  EXPECT_FALSE(dialog->presentingViewController());
  EXPECT_FALSE(UIDriver::findView("Login to this secure server."));
  std::weak_ptr<platform::ViewController> invisible = presenting;
  presenting.reset();
  dialog.reset();
  platform::RunLoop::main().runFor(0.01);
  EXPECT_TRUE(invisible.expired());
  EXPECT_EQ(window->subviews().size(), 0u) << "the invisible controller's view left the window";
}

TEST_F(NetAuthenticationDialogTest, CancelFailsWithTheAuthenticationError) {
  auto rec = std::make_shared<Recorder>();
  auto r = start("/secret", rec);
  ASSERT_TRUE(waitForDialog());
  ASSERT_TRUE(UIDriver::tap(platform::systemText("Cancel")));
  ASSERT_TRUE(wait([&] { return rec->done(); }));
  EXPECT_EQ(rec->failed, 1);
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetAuthenticationErrorType);
  EXPECT_EQ(server.requestCount(), 1u);
  ASSERT_TRUE(wait([&] { return !NetAuthenticationDialog::currentDialog(); }));

  // A second request gets a fresh sheet, empty.
  auto again = std::make_shared<Recorder>();
  start("/secret", again);
  ASSERT_TRUE(waitForDialog());
  EXPECT_EQ(NetAuthenticationDialog::currentDialog()->usernameField()->text(), "");
  ASSERT_TRUE(UIDriver::tap(platform::systemText("Cancel")));
  ASSERT_TRUE(wait([&] { return again->done(); }));
  EXPECT_EQ(again->failed, 1);
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
  ASSERT_TRUE(UIDriver::tap("Login"));
  ASSERT_TRUE(wait([&] { return first->done() && second->done(); }));
  EXPECT_EQ(first->finished + second->finished, 2) << "both retried with the credentials";
  EXPECT_EQ(NetAuthenticationDialog::waitingRequests().size(), 1u);

  // The other realm's request gets its own dialog once the first has gone.
  ASSERT_TRUE(wait([&] {
    auto d = NetAuthenticationDialog::currentDialog();
    return d && d != dialog && d->appearState() == platform::ViewController::AppearState::Appeared;
  }));
  EXPECT_EQ(dialog->appearState(), platform::ViewController::AppearState::Disappeared);
  auto next = NetAuthenticationDialog::currentDialog();
  EXPECT_EQ(next->titleForHeaderInSection(*next->tableView(), 0), "other");
  EXPECT_TRUE(NetAuthenticationDialog::waitingRequests().empty());
  EXPECT_TRUE(next->usernameField()->isFirstResponder());
  ASSERT_TRUE(UIDriver::tap(platform::systemText("Cancel")));
  ASSERT_TRUE(wait([&] { return other->done(); }));
  EXPECT_EQ(other->failed, 1);
  EXPECT_EQ(first->failed + second->failed, 0);
}

TEST_F(NetAuthenticationDialogTest, NTLMAsksForTheDomainAndTheFooterFollowsTheRequestsScheme) {
  auto r = NetHTTPRequest::requestWithURL(url("https://example.test/"));
  r->setAuthenticationScheme("NTLM");
  auto dialog = showFor(r, NetAuthenticationDialog::ServerAuthentication);
  auto tv = dialog->tableView();
  ASSERT_EQ(tv->numberOfSections(), 2);
  EXPECT_EQ(tv->numberOfRowsInSection(1), 1);
  auto domain = dialog->domainField();
  ASSERT_TRUE(domain);
  EXPECT_EQ(domain->placeholder(), "Domain");
  EXPECT_EQ(UIDriver::findView("Domain"), domain);
  EXPECT_EQ(dialog->titleForHeaderInSection(*tv, 0), std::nullopt) << "NTLM has no realm";
  EXPECT_EQ(tv->rectForHeaderInSection(1).size.height, 0);
  EXPECT_EQ(tv->rectForFooterInSection(0).size.height, 0);
  EXPECT_EQ(dialog->titleForFooterInSection(*tv, 0), std::nullopt);
  EXPECT_EQ(footer(dialog), "Password will be sent securely.");
  EXPECT_EQ(tv->rectForFooterInSection(1).size.height, 30);
  EXPECT_EQ(dialog->navigationBar()->topItem()->title(), "example.test");
  dialog->dismissViewControllerAnimated(false);

  // Basic over https, and Digest over http, are secure too.
  r->setAuthenticationScheme("Basic");
  auto basic = showFor(r, NetAuthenticationDialog::ServerAuthentication);
  EXPECT_FALSE(basic->domainField());
  EXPECT_EQ(footer(basic), "Password will be sent securely.");
  basic->dismissViewControllerAnimated(false);
  auto digest = NetHTTPRequest::requestWithURL(url("http://example.test/"));
  digest->setAuthenticationScheme("Digest");
  auto d = showFor(digest, NetAuthenticationDialog::ServerAuthentication);
  EXPECT_EQ(d->tableView()->numberOfSections(), 1);
  EXPECT_EQ(footer(d), "Password will be sent securely.");
  d->dismissViewControllerAnimated(false);

  // A proxy's sheet: the proxy host, its own prompt, the domain by the proxy's scheme, and the
  // footer by the request's own scheme and URL.
  auto viaProxy = NetHTTPRequest::requestWithURL(url("http://far.example/page"));
  viaProxy->setProxyHost("proxy.example");
  viaProxy->setAuthenticationScheme("NTLM");
  auto proxy = showFor(viaProxy, NetAuthenticationDialog::ProxyAuthentication);
  EXPECT_EQ(proxy->navigationBar()->topItem()->prompt(), "Login to this secure proxy server.");
  EXPECT_EQ(proxy->navigationBar()->topItem()->title(), "proxy.example");
  EXPECT_FALSE(proxy->domainField()) << "the proxy asked for no NTLM";
  EXPECT_EQ(footer(proxy), "Password will be sent securely.");
  proxy->dismissViewControllerAnimated(false);
  viaProxy->setAuthenticationScheme("Basic");
  auto both = showFor(viaProxy, NetAuthenticationDialog::ProxyAuthentication);
  EXPECT_EQ(footer(both), "Password will be sent in the clear.");
  both->dismissViewControllerAnimated(false);
}

TEST_F(NetAuthenticationDialogTest, ThePromptShowsInPortraitOnly) {
  auto& device = platform::Device::currentDevice();
  ASSERT_FALSE(device.isGeneratingDeviceOrientationNotifications());
  auto r = NetHTTPRequest::requestWithURL(url("http://example.test/"));
  {
    auto dialog = showFor(r, NetAuthenticationDialog::ServerAuthentication);
    EXPECT_TRUE(device.isGeneratingDeviceOrientationNotifications());
    device.setOrientation(platform::DeviceOrientation::LandscapeLeft);
    EXPECT_EQ(dialog->navigationBar()->topItem()->prompt(), "");
    EXPECT_EQ(dialog->navigationBar()->frame().size.height, 44);
    EXPECT_EQ(dialog->tableView()->frame().origin.y, 44);
    EXPECT_EQ(dialog->tableView()->frame().size.height, dialog->view()->bounds().size.height - 44);
    EXPECT_EQ(dialog->view()->bounds().size, (platform::Size{460, 320}));
    device.setOrientation(platform::DeviceOrientation::PortraitUpsideDown);
    EXPECT_EQ(dialog->navigationBar()->topItem()->prompt(), "Login to this secure server.");
    EXPECT_EQ(dialog->navigationBar()->frame().size.height, 74);
    EXPECT_EQ(dialog->tableView()->frame(), platform::Rect(0, 74, 320, 386));
    dialog->dismissViewControllerAnimated(false);
  }
  platform::RunLoop::main().runFor(0.01);
  EXPECT_FALSE(device.isGeneratingDeviceOrientationNotifications()) << "switched off as it was found";
}

}  // namespace
