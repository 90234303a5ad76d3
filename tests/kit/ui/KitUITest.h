#pragma once
#include <memory>

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/CommonHud.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

// A fresh application on the virtual clock in a temporary home, a key window holding one screen,
// no HUD, the built-in skin and an empty screen registry.
class KitUITest : public VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    reset();
    window = std::make_shared<platform::Window>();
    window->setRootViewController(std::make_shared<platform::ViewController>());
    window->makeKeyAndVisible();
  }
  void TearDown() override {
    window.reset();
    reset();
    VirtualRunLoopTest::TearDown();
  }
  static void reset() {
    CommonHud::hiddenTips();
    platform::ViewController::discardPendingTransitions();
    platform::Application::destroySharedApplication();
    platform::Screen::mainScreen().reset();
    AppControllers::destroyAppControllers();
    AppSkin::destroySharedAppSkin();
    AppCoreInfo::destroyAppCoreInfo();
  }

  TempHome home;
  std::shared_ptr<platform::Window> window;
};

}  // namespace kavro::test
