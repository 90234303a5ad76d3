#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/foundation/FileManager.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/ViewDescription.h"
#include "tests/platform/ui/UITest.h"
#include "tests/support/TempDir.h"

namespace kavro::test {
namespace {

using namespace platform;

using DriverTest = UITest;

class AlertLog : public AlertViewDelegate, public ActionSheetDelegate {
 public:
  std::vector<std::string> log;
  void clickedButtonAtIndex(AlertView&, int i) override { log.push_back("click " + std::to_string(i)); }
  void willDismissWithButtonIndex(AlertView&, int i) override { log.push_back("will " + std::to_string(i)); }
  void didDismissWithButtonIndex(AlertView&, int i) override { log.push_back("did " + std::to_string(i)); }
  void clickedButtonAtIndex(ActionSheet&, int i) override { log.push_back("sheet " + std::to_string(i)); }
};

TEST_F(DriverTest, TapsFindButtonsByTitleOrLabelAndRespectControlsOverGestures) {
  auto panel = std::make_shared<View>(Rect(0, 100, 320, 100));
  auto button = Button::buttonWithType(ButtonType::RoundedRect, Rect(10, 10, 100, 40));
  button->setTitle("确定");
  int pressed = 0, tapped = 0;
  button->addTarget(this, ControlEvent::TouchUpInside, [&](Control&) { ++pressed; });
  auto label = std::make_shared<Label>(Rect(150, 10, 100, 40));
  label->setText("Plain text");
  label->setAccessibilityLabel("info");
  panel->addSubview(button);
  panel->addSubview(label);
  panel->addGestureRecognizer(std::make_shared<TapGestureRecognizer>([&](GestureRecognizer& g) {
    EXPECT_EQ(g.state(), GestureRecognizerState::Ended);
    ++tapped;
  }));
  window->addSubview(panel);

  ASSERT_TRUE(UIDriver::tap("确定"));
  EXPECT_EQ(pressed, 1);
  EXPECT_EQ(tapped, 0);  // the button keeps its tap
  ASSERT_TRUE(UIDriver::tap("info"));
  ASSERT_TRUE(UIDriver::tap("Plain"));  // part of the text
  EXPECT_EQ(tapped, 2);
  EXPECT_FALSE(UIDriver::tap("missing"));

  // A view on top covers the button.
  auto cover = std::make_shared<View>(Rect(0, 100, 320, 100));
  window->addSubview(cover);
  EXPECT_FALSE(UIDriver::tap(*button));
  EXPECT_NE(UIDriver::lastError().find("covered"), std::string::npos);
  EXPECT_EQ(pressed, 1);
}

// The line of the printed screen that describes the first view of the class.
std::string lineOf(const std::string& className) {
  std::string screen = UIDriver::describeScreen();
  std::size_t at = screen.find(className + " (");
  if (at == std::string::npos) return "";
  return screen.substr(at, screen.find('\n', at) - at);
}

TEST_F(DriverTest, AlertsAreAnsweredByIndexAndKeepTheirOrder) {
  auto log = std::make_shared<AlertLog>();
  auto alert = std::make_shared<AlertView>("", "Sure?", log, "取消", std::vector<std::string>{"确定"});
  EXPECT_EQ(alert->cancelButtonIndex(), 0);
  EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
  alert->show();
  alert.reset();  // the application keeps it while shown
  ASSERT_TRUE(UIDriver::topAlert());
  // The printed screen tells what the alert says, and nothing for what it leaves out.
  EXPECT_NE(lineOf("AlertView").find(" message=\"Sure?\""), std::string::npos) << lineOf("AlertView");
  EXPECT_EQ(lineOf("AlertView").find("title="), std::string::npos) << lineOf("AlertView");
  EXPECT_FALSE(window->isKeyWindow());
  EXPECT_TRUE(UIDriver::answerAlert(1));
  EXPECT_EQ(log->log, (std::vector<std::string>{"click 1", "will 1", "did 1"}));
  EXPECT_FALSE(UIDriver::topAlert());
  EXPECT_TRUE(window->isKeyWindow());

  auto sheet =
      std::make_shared<ActionSheet>("", log, "Cancel", "Delete", std::vector<std::string>{"Album", "Camera"});
  EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
  EXPECT_EQ(sheet->firstOtherButtonIndex(), 1);
  EXPECT_EQ(sheet->cancelButtonIndex(), 3);
  sheet->showInView(*window);
  EXPECT_NE(lineOf("ActionSheet"), "");
  EXPECT_EQ(lineOf("ActionSheet").find("title="), std::string::npos) << lineOf("ActionSheet");
  ASSERT_TRUE(UIDriver::tap("Camera"));
  EXPECT_EQ(log->log.back(), "sheet 2");
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_FALSE(UIDriver::answerAlert(0));
}

TEST_F(DriverTest, BackTapsTheBarAndDragsReachTheScrollViewDelegate) {
  auto root = std::make_shared<ViewController>();
  root->setTitle("Home");
  auto nav = NavigationController::create(root);
  window->setRootViewController(nav);
  EXPECT_FALSE(UIDriver::back());
  auto second = std::make_shared<ViewController>();
  int saved = 0;
  second->navigationItem()->setRightBarButtonItem(
      std::make_shared<BarButtonItem>("Save", BarButtonItemStyle::Done, [&](BarButtonItem&) { ++saved; }));
  nav->pushViewController(second, false);
  ASSERT_TRUE(UIDriver::tap("Save"));
  EXPECT_EQ(saved, 1);
  // The back button: at least 50 wide, else its title and 10 on each side.
  double back =
      std::max(50.0, std::ceil(TextMetrics::widthOfText("Home", Font::boldSystemFontOfSize(12))) + 20);
  EXPECT_NE(UIDriver::describeScreen().find("Button (5, 7, " + formatNumber(back) +
                                            ", 30) title=\"Home\" label=\"Home\""),
            std::string::npos)
      << UIDriver::describeScreen();
  ASSERT_TRUE(UIDriver::back());
  runFor(ViewController::TransitionDuration);
  EXPECT_EQ(nav->topViewController(), root);

  // Pulled past the top and let go, the list springs back through every offset.
  struct Recorder : ScrollViewDelegate {
    std::vector<double> ys;
    bool ended = false;
    void scrollViewDidScroll(ScrollView& sv) override { ys.push_back(sv.contentOffset().y); }
    void scrollViewDidEndDragging(ScrollView&, bool decelerate) override { ended = decelerate; }
  };
  auto recorder = std::make_shared<Recorder>();
  auto list = std::make_shared<ScrollView>(Rect(0, 44, 320, 416));
  list->setContentSize({320, 1000});
  list->setDelegate(recorder);
  root->view()->addSubview(list);
  ASSERT_TRUE(UIDriver::pan(*list, {0, 60}));
  EXPECT_TRUE(recorder->ended);
  EXPECT_EQ(recorder->ys.front(), -60);
  EXPECT_EQ(recorder->ys.size(), 61u);
  EXPECT_EQ(list->contentOffset().y, 0);
}

TEST_F(DriverTest, SnapshotsWritePngOfThePixelSize) {
  auto box = std::make_shared<View>(Rect(0, 0, 40, 30));
  box->setBackgroundColor(Color::red());
  auto image = Snapshot::imageOfView(*box, 2);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->bitmap()->width(), 80);
  EXPECT_EQ(image->bitmap()->pixelAt(10, 10), (Pixel{255, 0, 0, 255}));

  window->addSubview(box);
  TempDir dir;
  std::string path = dir.path() + "/screen.png";
  ASSERT_TRUE(UIDriver::snapshot(path)) << UIDriver::lastError();
  auto data = FileManager::contentsAtPath(path);
  ASSERT_TRUE(data);
  auto png = Image::imageWithData(*data);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->bitmap()->width(), 640);
  EXPECT_EQ(png->bitmap()->height(), 960);
  EXPECT_EQ(png->bitmap()->pixelAt(5, 5), (Pixel{255, 0, 0, 255}));
}

// While a field is edited the picture shows the keyboard over the lower screen, as a phone does,
// not the window behind it; it goes with the editing.
TEST_F(DriverTest, SnapshotsShowTheKeyboardWhileItIsUp) {
  window->setBackgroundColor(Color::red());
  auto field = std::make_shared<TextField>(Rect(10, 30, 200, 30));
  window->addSubview(field);
  const Pixel red{255, 0, 0, 255};
  const Rect keyboard = Keyboard::shared().frameWhenVisible();
  auto under = [&](const Image& image) {
    return image.bitmap()->pixelAt(int(keyboard.origin.x + 2), int(keyboard.origin.y + 2));
  };
  ASSERT_TRUE(UIDriver::tap(*field));
  ASSERT_TRUE(Keyboard::shared().isVisible());
  auto typing = Snapshot::imageOfScreen(1);
  ASSERT_TRUE(typing);
  EXPECT_NE(under(*typing), red);
  EXPECT_EQ(typing->bitmap()->pixelAt(5, 5), red) << "above the keyboard the window shows";
  field->resignFirstResponder();
  runFor(1);
  ASSERT_FALSE(Keyboard::shared().isVisible());
  auto after = Snapshot::imageOfScreen(1);
  EXPECT_EQ(under(*after), red);
}

TEST_F(DriverTest, FindingPrefersExactReachableAndReadingOrder) {
  auto make = [&](const std::string& text, Rect frame) {
    auto l = std::make_shared<Label>(frame);
    l->setText(text);
    window->addSubview(l);
    return l;
  };
  auto lower = make("Jobs", Rect(0, 300, 100, 20));
  auto upper = make("Jobs", Rect(0, 100, 100, 20));
  auto partial = make("Jobs near me", Rect(0, 0, 100, 20));
  EXPECT_EQ(UIDriver::findViews("Jobs"), (std::vector<std::shared_ptr<View>>{upper, lower, partial}));
  auto cover = std::make_shared<View>(Rect(0, 90, 320, 40));
  window->addSubview(cover);
  EXPECT_EQ(UIDriver::findView("Jobs"), lower);

  EXPECT_FALSE(UIDriver::type("x"));
  EXPECT_FALSE(UIDriver::deleteBackward());
  auto alert = std::make_shared<AlertView>("", "Wait", std::weak_ptr<AlertViewDelegate>(), "OK");
  alert->show();
  EXPECT_FALSE(UIDriver::back());
  EXPECT_FALSE(UIDriver::tap(*lower));  // under the alert's window
  alert->dismissWithClickedButtonIndex(0, false);
  EXPECT_TRUE(UIDriver::tap(*lower));
}

TEST_F(DriverTest, AlertDelegateCanHoldBackTheOtherButton) {
  struct Strict : AlertLog {
    std::optional<bool> alertViewShouldEnableFirstOtherButton(AlertView&) override { return false; }
  };
  auto strict = std::make_shared<Strict>();
  auto alert = std::make_shared<AlertView>("Login", "", strict, "Cancel", std::vector<std::string>{"Go"});
  alert->setAlertViewStyle(AlertViewStyle::LoginAndPasswordInput);
  EXPECT_TRUE(alert->textFieldAtIndex(1)->isSecureTextEntry());
  EXPECT_FALSE(alert->textFieldAtIndex(2));
  alert->show();
  EXPECT_NE(lineOf("AlertView").find(" title=\"Login\""), std::string::npos) << lineOf("AlertView");
  EXPECT_EQ(lineOf("AlertView").find("message="), std::string::npos) << lineOf("AlertView");
  auto go = std::dynamic_pointer_cast<Button>(UIDriver::findView("Go"));
  ASSERT_TRUE(go);
  EXPECT_FALSE(go->isEnabled());
  // Dismissing by hand tells no click.
  alert->dismissWithClickedButtonIndex(1, true);
  EXPECT_EQ(strict->log, (std::vector<std::string>{"will 1", "did 1"}));
}

}  // namespace
}  // namespace kavro::test
