#include <gtest/gtest.h>

#include "kit/ui/UIKavroSearchBar.h"
#include "kit/ui/UISearchBarKavro.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/WidgetTest.h"

namespace kavro {
namespace {

using platform::Rect;

class SearchBarScreen : public platform::ViewController, public UISearchBarKavroDelegate {
 public:
  std::vector<std::string> log;
  // Whether the bar had ended editing when its done handler ran.
  bool doneWhileEditing = false;
  void searchBarClickDone(UIKavroSearchBar& bar) override {
    log.push_back("done:" + bar.text());
    doneWhileEditing = bar.isFirstResponder() || bar.showsCancelButton() ||
                       (navigationController() && navigationController()->isNavigationBarHidden());
  }
  void searchBarClickBegin(UIKavroSearchBar&) override { log.push_back("begin"); }
  void searchBarClickCancel(UIKavroSearchBar& bar) override { log.push_back("cancel:" + bar.text()); }
  void searchBarTextDidChange(UIKavroSearchBar&, std::string_view text) override {
    log.push_back("text:" + std::string(text));
  }
};

// Only the required method.
class PlainScreen : public platform::ViewController, public UISearchBarKavroDelegate {
 public:
  int done = 0;
  void searchBarClickDone(UIKavroSearchBar&) override { ++done; }
};

class SearchBarTest : public test::WidgetTest {
 protected:
  template <class Screen>
  std::shared_ptr<Screen> show() {
    auto screen = std::make_shared<Screen>();
    nav = platform::NavigationController::create(screen);
    window->setRootViewController(nav);
    window->layoutIfNeeded();
    return screen;
  }
  std::shared_ptr<platform::NavigationController> nav;
};

TEST_F(SearchBarTest, EditingHidesTheNavigationBarAndMasksTheContent) {
  auto screen = show<SearchBarScreen>();
  auto bar = UIKavroSearchBar::barWithCtrl(screen, Rect(0, 0, 320, 44));
  auto mask = bar->maskView();
  ASSERT_TRUE(mask);
  EXPECT_EQ(bar->superview(), screen->view());
  EXPECT_TRUE(mask->isHidden());
  EXPECT_EQ(mask->alpha(), 0.2);
  EXPECT_EQ(mask->frame().origin.y, 44);

  ASSERT_TRUE(bar->becomeFirstResponder());
  EXPECT_EQ(screen->log, std::vector<std::string>{"begin"});
  EXPECT_FALSE(mask->isHidden());
  EXPECT_EQ(mask->alpha(), 1.0);
  EXPECT_TRUE(bar->showsCancelButton());
  EXPECT_TRUE(nav->isNavigationBarHidden());
  EXPECT_EQ(nav->view()->frame(), Rect(0, 20 - 44, 320, 480 + 44));

  platform::UIDriver::type("java");
  EXPECT_EQ(screen->log.back(), "text:java");
  platform::UIDriver::pressReturn();
  EXPECT_EQ(screen->log.back(), "done:java") << "search keeps the text";
  EXPECT_FALSE(screen->doneWhileEditing) << "editing ends before the done handler runs";
  runFor(0.2);
  EXPECT_TRUE(mask->isHidden());
  EXPECT_FALSE(nav->isNavigationBarHidden());
  EXPECT_EQ(nav->view()->frame(), Rect(0, 0, 320, 480));

  ASSERT_TRUE(bar->becomeFirstResponder());
  ASSERT_TRUE(bar->cancelButton());
  platform::UIDriver::tap(*bar->cancelButton());
  EXPECT_EQ(screen->log.back(), "cancel:") << "cancel clears the text first";
}

TEST_F(SearchBarTest, TapOnTheMaskEndsEditingWithoutDone) {
  auto screen = show<PlainScreen>();
  auto bar = UISearchBarKavro::barWithCtrl(screen, Rect(0, 0, 320, 44));
  ASSERT_TRUE(bar->becomeFirstResponder());
  double status = platform::Application::sharedApplication().statusBarFrame().size.height;
  EXPECT_EQ(nav->view()->frame(), Rect(0, -(44 - status), 320, 480 + 44));
  platform::UIDriver::tap(*bar->maskView());
  runFor(0.2);
  EXPECT_FALSE(bar->isFirstResponder());
  EXPECT_TRUE(bar->maskView()->isHidden());
  EXPECT_EQ(screen->done, 0);
}

}  // namespace
}  // namespace kavro
