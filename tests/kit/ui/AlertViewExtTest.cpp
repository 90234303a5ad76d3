#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/BarButtonItemExt.h"
#include "platform/ui/NavigationItem.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

class Answers : public platform::AlertViewDelegate {
 public:
  void clickedButtonAtIndex(platform::AlertView&, int index) override { clicked.push_back(index); }
  std::vector<int> clicked;
};

class AlertViewExtTest : public test::KitUITest {};

TEST_F(AlertViewExtTest, AlertsRemoveTipsAndAnswerByButtonIndex) {
  alert::showTips("Loading");
  EXPECT_EQ(alert::showAlert(""), nullptr);
  EXPECT_EQ(CommonHud::currentInstance(), nullptr);  // the tip went even without an alert

  auto answers = std::make_shared<Answers>();
  auto a = alert::showAlert("Saved", answers);
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->isVisible());
  EXPECT_EQ(a->title(), "");
  EXPECT_EQ(a->numberOfButtons(), 1);
  EXPECT_EQ(a->buttonTitleAtIndex(0), AppCoreInfo::getLocalizedString("common_text_ok"));
  EXPECT_TRUE(a->tapButtonAtIndex(0));

  auto c = alert::showConfirm("Delete?", answers);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->title(), AppCoreInfo::getLocalizedString("common_text_confirm_title"));
  EXPECT_EQ(c->buttonTitleAtIndex(0), AppCoreInfo::getLocalizedString("common_text_cancel"));
  EXPECT_EQ(c->buttonTitleAtIndex(1), AppCoreInfo::getLocalizedString("common_text_ok"));
  EXPECT_TRUE(c->tapButtonAtIndex(1));
  EXPECT_EQ(answers->clicked, (std::vector<int>{0, 1}));
  EXPECT_EQ(alert::showConfirm("", answers), nullptr);
}

TEST_F(AlertViewExtTest, BarButtonItemsTakeTheirSideTitleAndStyle) {
  auto screen = std::make_shared<platform::ViewController>();
  int taps = 0;
  auto save = barbutton::setSaveItem(*screen, [&](platform::BarButtonItem&) { ++taps; });
  EXPECT_EQ(screen->navigationItem()->rightBarButtonItem(), save);
  EXPECT_EQ(save->title(), AppCoreInfo::getLocalizedString("common_text_save"));
  EXPECT_EQ(save->style(), platform::BarButtonItemStyle::Done);
  EXPECT_TRUE(save->sendAction());
  EXPECT_EQ(taps, 1);

  auto back = barbutton::setBackHomeItem(*screen, {});
  EXPECT_EQ(screen->navigationItem()->leftBarButtonItem(), back);
  EXPECT_EQ(back->style(), platform::BarButtonItemStyle::Bordered);
  auto custom = barbutton::setCustomRightBorderedItem("Go", *screen, {});
  EXPECT_EQ(custom->title(), "Go");
  EXPECT_EQ(custom->style(), platform::BarButtonItemStyle::Bordered);
}

}  // namespace
}  // namespace kavro
