#pragma once
#include <memory>
#include <string>
#include <vector>

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "tests/kit/skin/SkinTestSupport.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

// A fresh application, home and key window on the virtual clock; the skin engine with a package
// that styles what the widgets ask for: chosen buttons get blue titles, others grey; the image
// views "tip_wide" and "tip_small" get pictures of 100 x 50 and 20 x 20 points.
class WidgetTest : public VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    reset();
    window = std::make_shared<platform::Window>();
    window->makeKeyAndVisible();
    AppSkin::destroySharedAppSkin();
    ASSERT_TRUE(installSkin("widgets", widgetSkin()));
    ASSERT_TRUE(AppSkin::setDefaultSkin("widgets"));
  }
  void TearDown() override {
    AppSkin::destroySharedAppSkin();
    window.reset();
    reset();
    VirtualRunLoopTest::TearDown();
  }
  static void reset() {
    // The stores go too: ones an earlier test opened would stand in another home.
    AppCoreInfo::destroyAppCoreInfo();
    platform::Application::destroySharedApplication();
    platform::Screen::mainScreen().reset();
    platform::Keyboard::shared().reset();
  }
  static std::shared_ptr<platform::Image> picture(int w, int h) {
    return platform::Image::imageWithBitmap(*platform::Bitmap::create(w, h));
  }

  static platform::Data widgetSkin() {
    auto button = [](const std::string& type, const std::string& colour) {
      return "<item skinTarget=\"UIButton\" skinType=\"" + type + "\"><textColor>" + colour +
             "</textColor></item>";
    };
    auto tip = [](const std::string& type) {
      return "<item skinTarget=\"UIImageView\" skinType=\"" + type + "\"><image>" + type +
             ".png</image></item>";
    };
    std::string chosen = "#0000ff", plain = "#808080";
    return zipOf({
        {"skin.xml", bytesOf(skinXml(requiredItems() + tip("tip_wide") + tip("tip_small")))},
        {"tip_wide.png", pngData(100, 50)},
        {"tip_wide@2x.png", pngData(200, 100)},
        {"tip_small.png", pngData(20, 20)},
        {"tip_small@2x.png", pngData(40, 40)},
        {"company_fans/skin.xml", bytesOf(skinXml(button("segmentcontrol_button_select", chosen) +
                                                  button("segmentcontrol_button_nomal", plain)))},
        {"job_related/skin.xml", bytesOf(skinXml(button("jobsearch_button_position_name", plain) +
                                                 button("jobsearch_button_company_name", plain) +
                                                 button("jobsearch_button_all_name", plain) +
                                                 button("jobsearch_button_position_name_focus", chosen) +
                                                 button("jobsearch_button_company_name_focus", chosen) +
                                                 button("jobsearch_button_all_name_focus", chosen) +
                                                 button("jobsearch_associate_close_button", chosen)))},
    });
  }
  // The title colour a skin gave the button.
  static std::optional<platform::Color> titleColour(const std::shared_ptr<platform::Button>& button) {
    return button->titleColorForState(platform::ControlState::Normal);
  }

  TempHome home;
  std::shared_ptr<platform::Window> window;
};

}  // namespace kavro::test
