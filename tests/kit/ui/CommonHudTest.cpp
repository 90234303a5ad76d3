#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "kit/ui/AlertViewExt.h"
#include "kit/ui/CommonHud.h"
#include "kit/ui/CommonHudView.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextMetrics.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

using platform::Rect;
using platform::Size;

class CommonHudTest : public test::KitUITest {
 protected:
  static std::shared_ptr<CommonHud> hud() { return CommonHud::currentInstance(); }
  static bool visible() { return hud() && hud()->hudView()->alpha() == 1; }
  static std::string caption() { return hud()->hudView()->captionLayer().caption; }
  // A one-line caption's size: bold 14 points.
  static Size captionSize(std::string_view text) {
    return platform::TextMetrics::sizeWithFont(text, platform::Font::boldSystemFontOfSize(14));
  }
};

class RecordingDelegate : public CommonHudDelegate {
 public:
  void hudWillAppear(CommonHud&) override { log.push_back("willAppear"); }
  void hudDidAppear(CommonHud&) override { log.push_back("didAppear"); }
  void hudWillUpdate(CommonHud&) override { log.push_back("willUpdate"); }
  void hudDidUpdate(CommonHud&) override { log.push_back("didUpdate"); }
  void hudWillDisappear(CommonHud&) override { log.push_back("willDisappear"); }
  void hudDidDisappear(CommonHud&) override { log.push_back("didDisappear"); }
  std::optional<bool> userDidTapHud(CommonHud&) override {
    log.push_back("tap");
    return true;
  }
  std::vector<std::string> log;
};

TEST_F(CommonHudTest, TipAppearsInAFixedBoxAndBlocksTouchesUntilHidden) {
  alert::showTips("Loading", true, 0);
  ASSERT_TRUE(hud());
  auto box = hud()->hudView();
  EXPECT_EQ(box->targetBounds(), Rect(0, 0, 200, 100));
  EXPECT_EQ(box->frame(), Rect(60, 190, 200, 100));  // centred on the 320 x 480 overlay
  EXPECT_EQ(caption(), "Loading");
  EXPECT_TRUE(box->activity()->isAnimating());
  // Caption and indicator centred as a pair: 17 + 10 + 20 = 47 high in 100, the caption as wide
  // as its text.
  Size loading = captionSize("Loading");
  EXPECT_EQ(box->captionRect(), Rect((200 - loading.width) / 2, 26.5, loading.width, 17));
  EXPECT_EQ(box->activityRect(), Rect(90, 53.5, 20, 20));
  EXPECT_EQ(hud()->view()->window(), window);
  EXPECT_FALSE(hud()->view()->isUserInteractionEnabled());

  runFor(0.2);
  EXPECT_TRUE(visible());
  EXPECT_TRUE(hud()->view()->isUserInteractionEnabled());  // swallows touches now
  runFor(100);
  EXPECT_TRUE(visible());  // no time limit

  alert::hiddenTips();
  EXPECT_EQ(hud(), nullptr);
  EXPECT_TRUE(window->subviews().size() == 1);  // only the root screen's view is left
}

// Every kind of tip over a blank page and over a page of black text: inside its box (clear of the
// rounded corners) the two pictures are the same pixel for pixel, and the caption's ink is centred
// in the box.
TEST_F(CommonHudTest, NoTipLetsThePageShowThroughAndItsCaptionIsCentred) {
  auto page = std::make_shared<platform::Label>(Rect(0, 0, 320, 480));
  std::string text;
  for (int i = 0; i < 400; ++i) text += "上海-浦东新区 2013-06-04 ";
  page->setText(text);
  page->setNumberOfLines(0);
  page->setTextColor(platform::Color::black());
  page->setBackgroundColor(platform::Color::white());
  window->rootViewController()->view()->setBackgroundColor(platform::Color::white());
  window->rootViewController()->view()->addSubview(page);

  struct Tip {
    std::string name;
    std::function<void()> show;
    bool captionAlone;
  };
  const std::vector<Tip> tips = {
      {"fixed box, hidden later", [] { alert::showTips("举报已提交，感谢您的支持", 1.5); }, true},
      {"fixed box with indicator", [] { alert::showTips("正在提交数据", true, 0); }, false},
      {"auto-hidden", [] { alert::showTipsAutoHidden("最多只能选择5个行业"); }, true},
      {"long caption",
       [] {
         alert::showTips("网络连接失败，操作未完成，请稍后重试。网络连接失败，操作未完成，请稍后重试。", 1.5);
       },
       true},
      {"caption alone", [] { alert::showTips("收藏成功"); }, true},
  };
  auto picture = [&](bool withText) {
    page->setHidden(!withText);
    platform::Application::layoutWindows();
    auto image = platform::Snapshot::imageOfScreen(2);
    return image ? image->bitmap() : nullptr;
  };
  for (const auto& tip : tips) {
    SCOPED_TRACE(tip.name);
    tip.show();
    runFor(0.2);
    ASSERT_TRUE(visible());
    auto box = hud()->hudView();
    auto over = picture(true);
    auto blank = picture(false);
    ASSERT_TRUE(over && blank);
    const Rect frame = box->frame();
    const double corner = box->backgroundLayer().cornerRadius;
    int differing = 0;
    int inkLeft = 1 << 30, inkRight = -1, inkTop = 1 << 30, inkBottom = -1;
    const platform::Pixel backing = blank->pixelAt(static_cast<int>(frame.x() * 2 + corner * 2),
                                                   static_cast<int>(frame.y() * 2 + corner * 2));
    for (int y = static_cast<int>((frame.y() + corner) * 2);
         y < static_cast<int>((frame.maxY() - corner) * 2); ++y)
      for (int x = static_cast<int>((frame.x() + corner) * 2);
           x < static_cast<int>((frame.maxX() - corner) * 2); ++x) {
        if (!(over->pixelAt(x, y) == blank->pixelAt(x, y))) ++differing;
        platform::Pixel p = blank->pixelAt(x, y);
        if (p.r > backing.r + 60) {  // the caption's white ink
          inkLeft = std::min(inkLeft, x);
          inkRight = std::max(inkRight, x);
          inkTop = std::min(inkTop, y);
          inkBottom = std::max(inkBottom, y);
        }
      }
    EXPECT_EQ(differing, 0) << "the page shows through the box";
    EXPECT_LT(backing.r, 128) << "the box is dark";
    ASSERT_GE(inkRight, 0) << "the caption is drawn";
    const double middleX = frame.midX() * 2;
    EXPECT_NEAR((inkLeft + inkRight) / 2.0, middleX, 4) << "the caption is centred across the box";
    if (tip.captionAlone) {
      const double middleY = frame.midY() * 2;
      EXPECT_NEAR((inkTop + inkBottom) / 2.0, middleY, 6) << "the caption is centred down the box";
    }
    alert::hiddenTips();
    runFor(0.2);
  }
}

TEST_F(CommonHudTest, SecondTipReplacesTheFirstAndTheFirstTimerHidesBoth) {
  alert::showTips("Saved", 1.5);
  runFor(0.5);
  EXPECT_FALSE(hud()->view()->isUserInteractionEnabled());  // auto-hiding tips let touches through
  alert::showTips("Submitting", true);
  EXPECT_EQ(caption(), "Submitting");
  EXPECT_EQ(hud()->displayQueue().size(), 2u);
  EXPECT_EQ(hud()->queuePosition(), 1u);
  runFor(1.2);  // the first tip's 1.5 s run out
  EXPECT_FALSE(visible());
  EXPECT_TRUE(hud()->displayQueue().empty());
  EXPECT_EQ(caption(), "");

  alert::showTips("Again", 2.0);
  runFor(0.2);
  EXPECT_TRUE(visible());
  EXPECT_EQ(hud()->queuePosition(), 0u);
  runFor(2.0);
  EXPECT_FALSE(visible());
}

TEST_F(CommonHudTest, EmptyTextHidesAndHiddenTipsMakesAFreshHud) {
  alert::showTips("One");
  runFor(0.2);
  auto first = hud();
  alert::showTips("");
  runFor(0.2);
  EXPECT_FALSE(visible());
  EXPECT_TRUE(first->displayQueue().empty());
  EXPECT_FALSE(first->view()->isUserInteractionEnabled());

  alert::showTips("Two");
  runFor(0.2);
  EXPECT_EQ(hud(), first);
  alert::hiddenTips();
  alert::showTips("Three");
  EXPECT_NE(hud(), first);
  first.reset();
  runFor(0.2);
  EXPECT_TRUE(visible());
  EXPECT_EQ(caption(), "Three");
}

TEST_F(CommonHudTest, TipsAvoidWindowsHoldingAnAlert) {
  auto alertView = alert::showAlert("Network error");
  ASSERT_TRUE(alertView);
  alert::showTips("Working");
  EXPECT_EQ(hud()->view()->window(), window);
  alertView->dismissWithClickedButtonIndex(0, false);
}

TEST_F(CommonHudTest, BoxSizesFollowTheContent) {
  auto owner = CommonHud::initWithDelegate();
  CommonHud& hud = *owner;
  hud.view();
  auto box = hud.hudView();
  // Right of the caption, no fixed size: caption + 10 + 20 + 2 x 10 wide.
  hud.setCaption("Wait");
  hud.setActivity(true);
  hud.setAccessoryPosition(1);
  box->calculate();
  EXPECT_EQ(box->targetBounds(), Rect(0, 0, captionSize("Wait").width + 10 + 20 + 20, 17 + 20));

  hud.setCaption("");
  box->calculate();
  EXPECT_EQ(box->targetBounds().size, Size(40, 40));
  hud.setActivityStyle(0);
  box->calculate();
  EXPECT_EQ(box->targetBounds().size, Size(57, 57));

  // A long caption in a fixed box wraps within it and grows the box when taller.
  hud.setActivityStyle(1);
  hud.setAccessoryPosition(2);
  std::string text(60, 'w');
  for (std::size_t i = 5; i < text.size(); i += 6) text[i] = ' ';
  hud.setCaption(text);
  hud.setFixedSize({200, 100});
  box->calculate();
  EXPECT_LE(box->captionRect().width(), 180);
  EXPECT_GT(box->targetBounds().height(), 100);
  EXPECT_DOUBLE_EQ(box->captionRect().y(), 10);

  box->setProgress(0.03);
  EXPECT_DOUBLE_EQ(box->progress(), 0.08);
  box->setProgress(1.5);
  EXPECT_DOUBLE_EQ(box->progress(), 1);
}

TEST_F(CommonHudTest, DelegateHearsTheTransitionsAndAnInterruptedHideDoesNotReset) {
  auto delegate = std::make_shared<RecordingDelegate>();
  auto hud = CommonHud::initWithDelegate(delegate);
  window->addSubview(hud->view());
  for (const char* text : {"first", "second"}) {
    CommonHudQueueItem item;
    item.caption = text;
    hud->addQueueItem(item);
  }
  hud->startQueue();
  runFor(0.2);
  hud->showNextInQueue();
  hud->setCaption("gone");
  hud->hide();
  hud->show();  // interrupts the fading
  runFor(0.2);
  EXPECT_EQ(hud->hudView()->caption(), "gone");
  hud->hide();
  runFor(0.2);
  EXPECT_EQ(delegate->log,
            (std::vector<std::string>{"willAppear", "didAppear", "willUpdate", "didUpdate", "willDisappear",
                                      "willAppear", "didAppear", "willDisappear", "didDisappear"}));
  EXPECT_EQ(hud->hudView()->caption(), "");
  EXPECT_EQ(hud->displayQueue().size(), 2u);  // only the shared HUD empties its queue
}

TEST_F(CommonHudTest, SingleTapsOnTheBoxReachTheDelegateUnlessBlocked) {
  auto delegate = std::make_shared<RecordingDelegate>();
  auto hud = CommonHud::initWithDelegate(delegate);
  window->addSubview(hud->view());
  hud->setCaption("Tap me");
  hud->show();
  runFor(0.2);
  delegate->log.clear();
  auto tap = [&](platform::Point at, int count) {
    hud->touchesEnded(platform::Touch(window, hud->view(), at, count));
  };
  tap({160, 240}, 1);
  tap({160, 240}, 2);
  tap({5, 5}, 1);
  EXPECT_EQ(delegate->log, std::vector<std::string>{"tap"});
  hud->setBlockTouches(true);
  tap({160, 240}, 1);
  EXPECT_EQ(delegate->log.size(), 1u);
}

}  // namespace
}  // namespace kavro
