#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/system/OutsideApplications.h"
#include "platform/system/PushRegistration.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

// A fresh application on the virtual clock for every test, and a key window to put screens in.
class UITest : public VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    reset();
    window = std::make_shared<platform::Window>();
    window->makeKeyAndVisible();
  }
  void TearDown() override {
    window.reset();
    reset();
    VirtualRunLoopTest::TearDown();
  }
  static void reset() {
    platform::Application::destroySharedApplication();
    platform::Screen::mainScreen().reset();
    platform::Device::currentDevice().reset();
    platform::OutsideApplications::reset();
    platform::PushRegistration::destroySharedPushRegistration();
  }

  std::shared_ptr<platform::Window> window;
};

// A controller that writes down its life.
class RecordingController : public platform::ViewController {
 public:
  RecordingController(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  void loadView() override {
    note("loadView");
    ViewController::loadView();
  }
  void viewDidLoad() override { note("viewDidLoad"); }
  void viewWillAppear(bool) override { note("willAppear"); }
  void viewDidAppear(bool) override { note("didAppear"); }
  void viewWillDisappear(bool) override { note("willDisappear"); }
  void viewDidDisappear(bool) override { note("didDisappear"); }
  void viewDidUnload() override { note("viewDidUnload"); }

 private:
  void note(const std::string& what) { log_->push_back(name_ + "." + what); }
  std::string name_;
  std::vector<std::string>* log_;
};

}  // namespace kavro::test
