#include <gtest/gtest.h>

#include <cmath>

#include "kit/core/DataAppCoreDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/ui/UICheckBoxView.h"
#include "kit/ui/UIKavroBarButton.h"
#include "kit/ui/UIKavroSearchCategoryControl.h"
#include "kit/ui/UIKavroSegmentControl.h"
#include "kit/ui/UIKavroTextView.h"
#include "kit/ui/UIKavroTitleView.h"
#include "kit/ui/UILoadingView.h"
#include "kit/ui/UIQuadrantView.h"
#include "kit/ui/UITipsImageView.h"
#include "kit/ui/UIUnderLineButton.h"
#include "platform/foundation/Date.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/WidgetTest.h"

namespace kavro {
namespace {

using platform::Rect;

struct SegmentRecorder : UIKavroSegmentDelegate, UIKavroSearchCategoryDelegate {
  std::vector<int> told;
  void selectItemWithIndex(int i) override { told.push_back(i); }
  void selectedItemWithIndex(int i) override { told.push_back(100 + i); }
};

class ControlsTest : public test::WidgetTest {};

TEST_F(ControlsTest, SegmentControlTellsOnTapsAndSetterButNotOnTheSilentSetter) {
  auto rec = std::make_shared<SegmentRecorder>();
  auto seg = UIKavroSegmentControl::create(Rect(0, 0, 300, 40), {"a", "b", "c"}, rec);
  window->addSubview(seg);
  ASSERT_EQ(seg->items().size(), 3u);
  EXPECT_DOUBLE_EQ(seg->segmentWidth(), 100);
  EXPECT_DOUBLE_EQ(seg->arrowView()->frame().origin.x, 43);

  ASSERT_TRUE(platform::UIDriver::tap(*seg->items()[1]));
  EXPECT_EQ(rec->told, std::vector<int>{1});
  EXPECT_EQ(seg->selectedSegmentIndex(), 1);
  EXPECT_DOUBLE_EQ(seg->arrowView()->frame().origin.x, 143);
  EXPECT_EQ(titleColour(seg->items()[1]), platform::Color::blue()) << "the chosen look";
  EXPECT_EQ(titleColour(seg->items()[0]), platform::Color::rgba(128 / 255.0, 128 / 255.0, 128 / 255.0));

  // Again on the selected tab: told again, nothing re-skinned.
  auto unskin = [&] {
    for (auto& item : seg->items())
      item->setTitleColor(platform::Color::red(), platform::ControlState::Normal);
  };
  unskin();
  seg->setSelectedIndex(1);
  EXPECT_EQ(rec->told, (std::vector<int>{1, 1}));
  EXPECT_EQ(titleColour(seg->items()[1]), platform::Color::red());

  seg->setDefaultIndex(2);
  EXPECT_EQ(rec->told.size(), 2u);
  EXPECT_EQ(seg->selectedSegmentIndex(), 2);
  EXPECT_EQ(titleColour(seg->items()[2]), platform::Color::blue());
  EXPECT_DOUBLE_EQ(seg->arrowView()->frame().origin.x, 243);

  // Out of range: stored, look unchanged.
  unskin();
  seg->setDefaultIndex(7);
  EXPECT_EQ(seg->selectedSegmentIndex(), 7);
  for (auto& item : seg->items()) EXPECT_EQ(titleColour(item), platform::Color::red());
  EXPECT_DOUBLE_EQ(seg->arrowView()->frame().origin.x, 243);
}

TEST_F(ControlsTest, SearchCategoryChosenButtonTakesNoTaps) {
  auto rec = std::make_shared<SegmentRecorder>();
  auto cat = UIKavroSearchCategoryControl::create(Rect(0, 0, 320, 44), {"job", "company", "all"}, rec);
  window->addSubview(cat);
  ASSERT_EQ(cat->items().size(), 3u);
  EXPECT_EQ(cat->items()[1]->frame(), Rect(106, 5, 106, 34));
  EXPECT_EQ(cat->items()[2]->frame().origin.x, 212);
  EXPECT_FALSE(cat->items()[0]->isUserInteractionEnabled());
  EXPECT_EQ(titleColour(cat->items()[0]), platform::Color::blue()) << "the first is chosen from the start";
  EXPECT_NE(titleColour(cat->items()[1]), platform::Color::blue());
  EXPECT_NE(titleColour(cat->items()[2]), platform::Color::blue());

  platform::UIDriver::tap(*cat->items()[0]);
  EXPECT_TRUE(rec->told.empty());
  // Each button tapped chooses itself, whichever it is.
  for (int tapped : {1, 0}) {
    rec->told.clear();
    ASSERT_TRUE(platform::UIDriver::tap(*cat->items()[static_cast<std::size_t>(tapped)]));
    EXPECT_EQ(rec->told, std::vector<int>{100 + tapped});
    EXPECT_EQ(cat->selectedSegmentIndex(), tapped);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(titleColour(cat->items()[static_cast<std::size_t>(i)]) == platform::Color::blue(),
                i == tapped)
          << i;
    }
  }
  rec->told.clear();
  platform::UIDriver::tap(*cat->items()[2]);
  EXPECT_EQ(rec->told, std::vector<int>{102});
  EXPECT_FALSE(cat->items()[2]->isUserInteractionEnabled());
  EXPECT_TRUE(cat->items()[0]->isUserInteractionEnabled());
  EXPECT_EQ(titleColour(cat->items()[2]), platform::Color::blue());
  EXPECT_NE(titleColour(cat->items()[0]), platform::Color::blue());

  cat->setSelectedIndex(2);  // from code: told even without a change
  EXPECT_EQ(rec->told, (std::vector<int>{102, 102}));
  cat->setSearchDefaultIndex(1);
  EXPECT_EQ(rec->told.size(), 2u);
  EXPECT_EQ(cat->selectedSegmentIndex(), 1);
}

TEST_F(ControlsTest, CountedTextBoxCountsUtf16UnitsAndTurnsRedAcrossTheLimit) {
  auto box = UIKavroTextView::create(std::nullopt);
  window->addSubview(box->bgView());
  box->contentView()->setFrame(Rect(0, 0, 200, 100));
  box->setLimit(4);
  platform::Color normal = box->lblCount()->textColor();

  ASSERT_TRUE(box->contentView()->becomeFirstResponder());
  platform::UIDriver::type("中文");
  EXPECT_EQ(box->lblCount()->text(), "2");
  platform::UIDriver::type("😀");  // a surrogate pair: two units
  EXPECT_EQ(box->textCount(), 4);
  EXPECT_EQ(box->lblCount()->textColor(), normal);
  platform::UIDriver::type("a");
  EXPECT_EQ(box->textCount(), 5);
  EXPECT_EQ(box->lblCount()->textColor(), platform::Color::red());
  EXPECT_EQ(box->contentView()->text(), "中文😀a") << "the text is never cut";
  box->setTextCount(6);
  EXPECT_EQ(box->lblCount()->textColor(), platform::Color::red());
  platform::UIDriver::deleteBackward(2);
  EXPECT_EQ(box->textCount(), 2);
  EXPECT_EQ(box->lblCount()->textColor(), normal);

  auto formatted = UIKavroTextView::create(std::string("%d/140"));
  formatted->setTextCount(1000);
  EXPECT_EQ(formatted->lblCount()->text(), "1000/140");
  EXPECT_EQ(formatted->lblCount()->textColor(), normal) << "limit 0 never changes the colour";
}

TEST_F(ControlsTest, PlaceholderShowsWhileEmpty) {
  auto tv = UIPlaceHolderTextView::create(Rect(0, 0, 200, 80));
  window->addSubview(tv);
  tv->layoutIfNeeded();
  EXPECT_EQ(tv->placeHolderLabel()->alpha(), 0) << "empty placeholder never shows";
  tv->setPlaceholder("say something");
  tv->drawRect();
  EXPECT_EQ(tv->placeHolderLabel()->alpha(), 1);
  ASSERT_TRUE(tv->becomeFirstResponder());
  platform::UIDriver::type("x");
  EXPECT_EQ(tv->placeHolderLabel()->alpha(), 0);
  platform::UIDriver::deleteBackward();
  EXPECT_EQ(tv->placeHolderLabel()->alpha(), 1);
}

TEST_F(ControlsTest, TitleViewLaysItselfOut) {
  auto title = UIKavroTitleView::create();
  title->setCurrentTitle("Jobs", 0);
  EXPECT_TRUE(title->subTitle()->isHidden());
  EXPECT_EQ(title->mainTitle()->frame().size.height, 30);
  double w = title->frame().size.width;
  EXPECT_EQ(title->frame().origin.x, std::floor((320 - w) / 2));

  title->setCurrentTitle("Jobs", 12);
  EXPECT_FALSE(title->subTitle()->isHidden());
  EXPECT_NE(title->subTitle()->text().find("12"), std::string::npos);
  EXPECT_EQ(title->subTitle()->frame().origin.y, 25);
  Rect before = title->frame();
  title->setFrame(Rect(5, 5, 500, 500));
  EXPECT_EQ(title->frame(), before);

  title->onlyMainTitle(std::string(200, 'x'));
  EXPECT_EQ(title->frame().size.width, 200);
}

struct GridDelegate : UIQuadrantViewDelegate {
  std::vector<std::string> log;
  int numberOfLevelInQuadrantView(UIQuadrantView&) override { return 2; }
  int numberOfVercitalInQuadrantView(UIQuadrantView&) override { return 3; }
  void didSelectAtIndexLocation(UIQuadrantView&, platform::IndexPath p) override { note("select", p); }
  void didHighlightQuadViewAtIndexLocation(UIQuadrantView&, platform::IndexPath p) override {
    note("high", p);
  }
  void didUnhighlightAreaQuadViewAtIndexLocation(UIQuadrantView&, platform::IndexPath p) override {
    note("unhigh", p);
  }
  std::optional<bool> needDrawLineForQuadrantView(UIQuadrantView&) override { return true; }
  void note(const char* what, platform::IndexPath p) {
    log.push_back(std::string(what) + std::to_string(p.row) + std::to_string(p.section));
  }
};

TEST_F(ControlsTest, QuadrantGridCellsLinesAndTouches) {
  auto d = std::make_shared<GridDelegate>();
  auto grid = std::make_shared<UIQuadrantView>(Rect(0, 0, 300, 100));
  grid->setDelegate(d);
  window->addSubview(grid);
  grid->layoutIfNeeded();
  grid->reloadSubviews();
  ASSERT_EQ(grid->cells().size(), 6u);
  EXPECT_EQ(grid->subviews().size(), 6u) << "rebuilding replaces the cells";
  EXPECT_EQ(grid->cells()[3]->frame(), Rect(100, 50, 100, 50));
  auto lines = grid->gridLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_DOUBLE_EQ(lines[0].from.x, 100.5);
  EXPECT_DOUBLE_EQ(lines[1].from.x, 200.5);
  EXPECT_DOUBLE_EQ(lines[2].from.y, 50.5);

  platform::UIDriver::tap(*grid->cells()[3]);
  EXPECT_EQ(d->log, (std::vector<std::string>{"high11", "select11", "unhigh11"}));
  d->log.clear();
  // A touch that moves, however little, never selects.
  auto first = grid->cells()[0];
  platform::Touch touch(window, first, {10, 10}, 1);
  first->touchesBegan(touch);
  touch.moveTo({11, 10});
  first->touchesMoved(touch);
  first->touchesEnded(touch);
  EXPECT_EQ(d->log, (std::vector<std::string>{"high00", "unhigh00", "unhigh00"}));
  // Off the cells: ignored.
  d->log.clear();
  platform::Touch off(window, grid, {10, 10}, 1);
  grid->touchesBegan(off);
  grid->touchesEnded(off);
  EXPECT_TRUE(d->log.empty());
}

TEST_F(ControlsTest, TipShownOnceForeverAndOnceADay) {
  auto tip = UITipsImageView::showImageOnceForever("tip_wide");
  ASSERT_TRUE(tip);
  EXPECT_EQ(tip->frame(), Rect(110, 0, 100, 50));
  EXPECT_EQ(tip->superview(), window);
  runFor(0.6);
  EXPECT_EQ(tip->alpha(), 1);
  EXPECT_FALSE(UITipsImageView::showImageOnceForever("tip_wide")) << "never twice";
  EXPECT_TRUE(AppCoreInfo::getCoreDB()->hasIntItem(STORE_CORE_TIP_MESSAGE, "tip_wide"));

  // A tap anywhere takes it away.
  ASSERT_TRUE(platform::UIDriver::tapAt({5, 400}));
  runFor(1);
  EXPECT_FALSE(tip->superview());
  EXPECT_TRUE(window->subviews().empty());

  // A picture-less key still counts as shown.
  auto none = UITipsImageView::showImageOnceForever("nothing");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->frame().size.width, 0);
  EXPECT_FALSE(UITipsImageView::showImageOnceForever("nothing"));
}

// The bottom-aligned tip: as wide and centred as the plain one, standing on the screen's bottom
// edge; asked again, it shows nothing, as the plain one does.
TEST_F(ControlsTest, ABottomTipStandsOnTheScreensBottomEdgeOnceForever) {
  auto tips = [&] {
    std::vector<std::shared_ptr<UITipsImageView>> found;
    for (const auto& v : window->subviews())
      if (auto tip = std::dynamic_pointer_cast<UITipsImageView>(v)) found.push_back(tip);
    return found;
  };
  UITipsImageView::showImageOnceForeverBottomAlign("tip_wide");
  auto shown = tips();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0]->frame(), Rect(110, 480 - 50, 100, 50));
  runFor(0.6);
  EXPECT_EQ(shown[0]->alpha(), 1);

  const std::size_t views = window->subviews().size();
  UITipsImageView::showImageOnceForeverBottomAlign("tip_wide");
  EXPECT_EQ(window->subviews().size(), views) << "never twice";
  EXPECT_EQ(tips().size(), 1u);
  EXPECT_FALSE(UITipsImageView::showImageOnceForever("tip_wide"));
  EXPECT_EQ(shown[0]->frame(), Rect(110, 480 - 50, 100, 50));
}

TEST_F(ControlsTest, OnceADayTipFadesByItselfAndWaitsADay) {
  UITipsImageView::showImageOnceADay("tip_small", "job1");
  ASSERT_EQ(window->subviews().size(), 1u);
  EXPECT_EQ(window->subviews()[0]->frame(), Rect(150, 230, 20, 20));
  runFor(2.1);
  EXPECT_TRUE(window->subviews().empty()) << "faded out about 1 s after fading in";
  UITipsImageView::showImageOnceADay("tip_small", "job1");
  EXPECT_TRUE(window->subviews().empty());
  UITipsImageView::showImageOnceADay("tip_small", "job2");
  EXPECT_EQ(window->subviews().size(), 1u) << "another key is another memory";
  runFor(3);
  runFor(86390);
  UITipsImageView::showImageOnceADay("tip_small", "job1");
  EXPECT_TRUE(window->subviews().empty()) << "not within 86400 s";
  runFor(20);
  UITipsImageView::showImageOnceADay("tip_small", "job1");
  EXPECT_EQ(window->subviews().size(), 1u);
}

TEST_F(ControlsTest, SmallKitWidgetsLayOut) {
  auto loading = std::make_shared<UILoadingView>(Rect(0, 0, 30, 10));
  EXPECT_EQ(loading->frame().size, (platform::Size{50, 20}));
  EXPECT_TRUE(loading->isHidden());
  loading->setFrame(Rect(0, 0, 200, 40));
  loading->setText("");
  EXPECT_FALSE(loading->isHidden());
  EXPECT_EQ(loading->activityView()->frame().origin.x, 90);
  loading->setText("abcdefghijklmnopq");  // 17 x 7 = 119 wide at 14 pt
  double w = platform::TextMetrics::sizeWithFont(loading->getText(), loading->label()->font()).width;
  EXPECT_DOUBLE_EQ(loading->activityView()->frame().origin.x, (200 - 23 - w) / 2);
  loading->setHiddenActivity(true);
  EXPECT_EQ(loading->label()->frame(), Rect(5, 5, 190, 30));

  auto box = UICheckBoxView::create(Rect(0, 0, 100, 20));
  box->setImageNotChecked(picture(40, 40));
  box->refreshUI();
  EXPECT_EQ(box->imageView()->frame(), Rect(0, 0, 20, 20));
  EXPECT_EQ(box->textLabel()->frame(), Rect(25, 0, 75, 20));
  window->addSubview(box);
  platform::UIDriver::tap(*box->clickButton());  // no delegate: fine
  EXPECT_TRUE(box->checked());

  auto item = UIKavroBarButton::barButtonWithFrame(Rect(0, 0, 60, 30), "Go", [] {});
  EXPECT_TRUE(item->customButton());
  // An item around a view that is no button (only a subclass can make one).
  struct ViewItem : UIKavroBarButton {
    explicit ViewItem(std::shared_ptr<platform::View> view) : UIKavroBarButton(std::move(view)) {}
  };
  EXPECT_FALSE(std::make_shared<ViewItem>(std::make_shared<platform::View>())->customButton());
  EXPECT_TRUE(UIKavroBarButton::flexItem()->isFlexibleSpace());

  auto link = UIUnderLineButton::underlinedButton();
  link->setFrame(Rect(0, 0, 100, 30));
  link->setTitle("more");
  auto line = link->underline();
  Rect label = link->titleLabel()->frame();
  EXPECT_DOUBLE_EQ(line.to.x - line.from.x, label.size.width);
  EXPECT_LT(line.from.y, label.origin.y + label.size.height);
}

// Whether every pixel of the row at y (points) from x to maxX is the colour, at scale 2.
bool rowIs(platform::View& v, double x, double maxX, double y, platform::Pixel colour) {
  auto picture = platform::Snapshot::imageOfView(v, 2);
  const int row = int(std::floor(y * 2));
  for (int px = int(std::ceil(x * 2)); px < int(std::floor(maxX * 2)); ++px)
    if (picture->bitmap()->pixelAt(px, row) != colour) return false;
  return true;
}

TEST_F(ControlsTest, AnUnderlinedLinkShowsALineUnderItsTitleInTheTitlesColour) {
  constexpr platform::Pixel kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kNothing{};
  auto link = UIUnderLineButton::underlinedButton();
  link->setFrame(Rect(0, 0, 120, 30));
  link->setTitle("more");
  link->setTitleColor(platform::Color::red());
  link->setTitleColor(platform::Color::blue(), platform::ControlState::Highlighted);
  // Asked before anything laid the button out, the line is already where the title will be.
  UIUnderLineButton::Line line = link->underline();
  link->layoutIfNeeded();
  Rect label = link->titleLabel()->frame();
  ASSERT_GT(label.size.width, 0);
  EXPECT_EQ(line.from, (platform::Point{label.origin.x, line.from.y}));
  EXPECT_EQ(line.to, (platform::Point{label.maxX(), line.from.y}));
  EXPECT_GT(line.from.y, label.origin.y);
  EXPECT_LT(line.from.y, label.maxY());
  EXPECT_EQ(line.color, platform::Color::red());

  // On screen: one unbroken line under the whole title, no further.
  const double y = line.from.y + 0.5;
  EXPECT_TRUE(rowIs(*link, label.origin.x, label.maxX(), y, kRed));
  EXPECT_TRUE(rowIs(*link, 0, label.origin.x - 1, y, kNothing));
  EXPECT_TRUE(rowIs(*link, label.maxX() + 1, 120, y, kNothing));
  EXPECT_TRUE(rowIs(*link, label.origin.x, label.maxX(), y + 1.5, kNothing)) << "one point thick";
  // Pressed, the line takes the title's pressed colour.
  link->setHighlighted(true);
  EXPECT_TRUE(rowIs(*link, label.origin.x, label.maxX(), y, kBlue));
  EXPECT_EQ(link->underline().color, platform::Color::blue());
  link->setHighlighted(false);

  // A longer title: the line follows it at once.
  link->setTitle("more jobs");
  line = link->underline();
  label = link->titleLabel()->frame();
  EXPECT_EQ(line.to.x - line.from.x, label.size.width);
  EXPECT_TRUE(rowIs(*link, label.origin.x, label.maxX(), line.from.y + 0.5, kRed));
  // Without a title there is nothing to underline.
  link->setTitle(std::nullopt);
  EXPECT_TRUE(rowIs(*link, 0, 120, y, kNothing));
}

}  // namespace
}  // namespace kavro
