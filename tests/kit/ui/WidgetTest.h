#pragma once
#include <memory>
#include <string>
#include <vector>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/WidgetSkin.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

// A fresh application, home and key window on the virtual clock; a recording skin engine that
// gives every skin key of the form "picture:WxH" a picture of that size.
class WidgetTest : public VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    reset();
    window = std::make_shared<platform::Window>();
    window->makeKeyAndVisible();
    widgetskin::setHooks({
        [this](platform::View& v, std::string_view type, std::string_view group) {
          skins.push_back(v.className() + ":" + std::string(type) + "@" + std::string(group));
          return true;
        },
        [this](platform::View& v, std::string_view key) {
          skins.push_back(v.className() + ":" + std::string(key));
          if (auto* iv = dynamic_cast<platform::ImageView*>(&v); iv && key.starts_with("picture:")) {
            auto x = key.find('x');
            int w = std::stoi(std::string(key.substr(8, x - 8))),
                h = std::stoi(std::string(key.substr(x + 1)));
            iv->setImage(picture(w, h));
          }
          return true;
        },
        [](std::string_view, std::string_view) { return std::shared_ptr<platform::Image>(); },
    });
  }
  void TearDown() override {
    widgetskin::resetHooks();
    window.reset();
    reset();
    AppCoreInfo::destroyAppCoreInfo();
    VirtualRunLoopTest::TearDown();
  }
  static void reset() {
    platform::Application::destroySharedApplication();
    platform::Screen::mainScreen().reset();
    platform::Keyboard::shared().reset();
  }
  static std::shared_ptr<platform::Image> picture(int w, int h) {
    return platform::Image::imageWithBitmap(*platform::Bitmap::create(w, h));
  }

  TempHome home;
  std::shared_ptr<platform::Window> window;
  std::vector<std::string> skins;
};

}  // namespace kavro::test
