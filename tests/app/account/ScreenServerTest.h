#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/CommonHud.h"
#include "kit/ui/UIBasicController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "tests/kit/ui/KitUITest.h"
#include "demo/ApiFixtureServer.h"

namespace kavro::test {

// Screens driven headless against the API fixture server: the kit's fresh application in a
// temporary home, logged out, with the key window's root a navigation controller holding one plain
// screen (the most recent screen). The loop runs on the real clock, so that a slow answer is never
// overtaken by a time-out; transitions are finished by hand and tips are not waited for.
class ScreenServerTest : public KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    loop().setClock(platform::Clock::real());
    platform::Date::setClock(nullptr);
    UserCoreInfo::destroyUserCoreInfo();
    platform::Environment::setApiHostUrl(server.hostUrl());
    root = UIBasicController::create<UIBasicController>();
    nav = platform::NavigationController::create(root);
    window->setRootViewController(nav);
    settle();
  }
  void TearDown() override {
    // A shown alert keeps itself on screen, and alive, until it is answered.
    auto alerts = platform::Application::sharedApplication().visibleAlerts();
    for (auto& view : alerts)
      if (auto alert = std::dynamic_pointer_cast<platform::AlertView>(view))
        alert->dismissWithClickedButtonIndex(0, false);
    nav.reset();
    root.reset();
    loop().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    UserCoreInfo::destroyUserCoreInfo();
    KitUITest::TearDown();
  }

  static void settle() { platform::ViewController::finishPendingTransitions(); }
  bool waitFor(const std::function<bool()>& done) { return loop().runUntil(done, 20); }

  // The alert on screen, if any (the last one shown).
  static std::shared_ptr<platform::AlertView> visibleAlert() {
    const auto& alerts = platform::Application::sharedApplication().visibleAlerts();
    for (auto it = alerts.rbegin(); it != alerts.rend(); ++it)
      if (auto alert = std::dynamic_pointer_cast<platform::AlertView>(*it)) return alert;
    return nullptr;
  }
  static std::string text(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }

  // As if the login call had answered for the demo account.
  static void logIn() {
    auto reply = DataItemDetail::newDetail();
    reply->setString("80231577", "accountid");
    reply->setString("5f0c7a1e", "key");
    UserCoreInfo::setUserLoginInfo(reply.get());
  }
  // The requests for one path of the API, "/api/user/login.php", in order.
  std::vector<RecordedRequest> requestsFor(std::string_view path) const {
    std::vector<RecordedRequest> out;
    for (auto& r : server.requests()) {
      std::string_view target = r.target;
      if (target.substr(0, target.find('?')) == path) out.push_back(r);
    }
    return out;
  }
  static std::string failure(std::string_view message) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>0</result><status>1</status>"
           "<message>" +
           std::string(message) + "</message><resultbody></resultbody></responsemessage>";
  }

  ApiFixtureServer server;
  std::shared_ptr<UIBasicController> root;
  std::shared_ptr<platform::NavigationController> nav;
};

}  // namespace kavro::test
