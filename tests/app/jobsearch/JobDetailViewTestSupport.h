#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/jobsearch/JobOperateUtil.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/CommonHud.h"
#include "kit/ui/UIBasicController.h"
#include "platform/foundation/Environment.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/KitUITest.h"
#include "demo/ApiFixtureServer.h"

namespace kavro::test {

// A login gate call, as the job screens made it.
struct GateCall {
  std::weak_ptr<platform::ViewController> parent;
  std::weak_ptr<platform::Object> callback;
  std::string sel;
};

// The headless application of KitUITest against the API fixture server, with the job screens'
// login gate recorded instead of opening the (other) login screen. The virtual clock stands
// still while the server answers.
class JobScreenTest : public KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    platform::Environment::setApiHostUrl(server.hostUrl());
    JobOperateUtil::resetSweepTimes();
    JobOperateUtil::setLoginGate([this](const std::shared_ptr<platform::ViewController>& parent,
                                        std::weak_ptr<platform::Object> callback, std::string_view sel) {
      gateCalls.push_back({parent, std::move(callback), std::string(sel)});
    });
  }
  void TearDown() override {
    JobOperateUtil::setLoginGate({});
    while (auto top = platform::UIDriver::topAlert()) {
      if (!platform::UIDriver::answerAlert(0)) break;
    }
    loop().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    UserCoreInfo::destroyUserCoreInfo();
    KitUITest::TearDown();
  }

  // Turns of the main loop at the same virtual time until pred holds (bounded in real time).
  bool settle(const std::function<bool()>& pred) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred() && std::chrono::steady_clock::now() < until) loop().runOnce(0);
    return pred();
  }
  bool settleRequests(std::size_t n) {
    bool got = settle([&] { return server.requestCount() >= n; });
    // Let the answer reach its loader.
    for (int i = 0; i < 50; ++i) loop().runOnce(0);
    return got;
  }

  static void logIn() {
    auto reply = DataItemDetail::newDetail();
    reply->setString("1001", "accountid");
    reply->setString("k3y", "key");
    reply->setString("13800000000", "mobilephone");
    reply->setString("me@example.com", "email");
    UserCoreInfo::setUserLoginInfo(reply.get());
  }

  static std::string text(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }
  static std::string hudCaption() {
    auto hud = CommonHud::currentInstance();
    return hud ? hud->hudView()->caption() : "";
  }
  static std::shared_ptr<platform::AlertView> topAlertView() {
    return std::dynamic_pointer_cast<platform::AlertView>(platform::UIDriver::topAlert());
  }
  static std::shared_ptr<platform::ActionSheet> topSheet() {
    return std::dynamic_pointer_cast<platform::ActionSheet>(platform::UIDriver::topAlert());
  }
  std::vector<std::string> targetsOf(std::string_view path) const {
    std::vector<std::string> out;
    for (const auto& r : server.requests())
      if (r.target.starts_with(path)) out.push_back(r.target);
    return out;
  }

  // An XML answer of the service.
  static std::string answer(bool ok, int status, const std::string& message, const std::string& body = "") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>" +
           std::string(ok ? "1" : "0") + "</result><status>" + std::to_string(status) + "</status><message>" +
           message + "</message><resultbody>" + body + "</resultbody></responsemessage>";
  }

  // A screen at the root of a navigation controller in the key window, for screens to be pushed on.
  void openNavigation() {
    home = UIBasicController::create<UIBasicController>();
    nav = platform::NavigationController::create(home);
    window->setRootViewController(nav);
  }

  ApiFixtureServer server;
  std::vector<GateCall> gateCalls;
  std::shared_ptr<UIBasicController> home;
  std::shared_ptr<platform::NavigationController> nav;
};

}  // namespace kavro::test
