#include <gtest/gtest.h>

#include "platform/graphics/Bitmap.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/UIDriver.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

using ControlsTest = UITest;

std::shared_ptr<Image> pictureOf(int w, int h) { return Image::imageWithBitmap(*Bitmap::create(w, h), 1.0); }

TEST_F(ControlsTest, ButtonLaysOutImageAndTitleAsAPairWithInsets) {
  auto b = Button::buttonWithType(ButtonType::Custom, Rect(0, 0, 100, 40));
  b->titleLabel()->setFont(Font::systemFontOfSize(10));
  b->setTitle("abcd");
  Size title = TextMetrics::sizeWithFont("abcd", Font::systemFontOfSize(10));
  b->setImage(pictureOf(20, 20));
  // The image and the title side by side, the pair centred.
  double left = (100 - 20 - title.width) / 2;
  Rect cr = b->contentRectForBounds(b->bounds());
  EXPECT_EQ(b->imageRectForContentRect(cr), Rect(left, 10, 20, 20));
  EXPECT_EQ(b->titleRectForContentRect(cr),
            Rect(left + 20, (40 - title.height) / 2, title.width, title.height));
  // Equal and opposite insets move the title left of the image.
  b->setTitleEdgeInsets({0, -20, 0, 20});
  b->setImageEdgeInsets({0, 20, 0, -20});
  EXPECT_EQ(b->titleRectForContentRect(cr), Rect(left, (40 - title.height) / 2, title.width, title.height));
  EXPECT_EQ(b->imageRectForContentRect(cr), Rect(left + 20, 10, 20, 20));
  b->setContentHorizontalAlignment(ContentHorizontalAlignment::Left);
  b->setContentEdgeInsets({0, 5, 0, 0});
  cr = b->contentRectForBounds(b->bounds());
  EXPECT_EQ(b->imageRectForContentRect(cr), Rect(25, 10, 20, 20));
  EXPECT_EQ(b->sizeThatFits({}), (Size{5 + 20 + title.width, 20}));

  // Titles and colours fall back to the normal state.
  b->setTitle("on", ControlState::Selected);
  b->setTitleColor(Color::red(), ControlState::Highlighted);
  EXPECT_EQ(b->titleForState(ControlState::Highlighted), "abcd");
  b->setSelected(true);
  EXPECT_EQ(b->currentTitle(), "on");
  EXPECT_EQ(b->currentTitleColor(), Color::white());
  b->setHighlighted(true);
  EXPECT_EQ(b->currentTitleColor(), Color::red());
}

TEST_F(ControlsTest, EveryAlignmentPlacesImageAndTitleInTheContentRect) {
  auto b = Button::buttonWithType(ButtonType::Custom, Rect(0, 0, 100, 40));
  b->titleLabel()->setFont(Font::systemFontOfSize(10));
  b->setTitle("abcd");
  b->setImage(pictureOf(20, 16));
  // Insets that differ on every side: the content rect is (5, 7, 86, 30).
  b->setContentEdgeInsets({7, 5, 3, 9});
  const Rect cr = b->contentRectForBounds(b->bounds());
  ASSERT_EQ(cr, Rect(5, 7, 86, 30));
  const Size t = TextMetrics::sizeWithFont("abcd", Font::systemFontOfSize(10));
  ASSERT_LT(t.width, 60);
  ASSERT_LT(t.height, 30);
  struct Horizontal {
    ContentHorizontalAlignment a;
    double imageX, titleX, titleWidth;
  };
  const double pair = (86 - 20 - t.width) / 2;
  const Horizontal horizontals[] = {
      {ContentHorizontalAlignment::Center, 5 + pair, 25 + pair, t.width},
      {ContentHorizontalAlignment::Left, 5, 25, t.width},
      {ContentHorizontalAlignment::Right, 91 - t.width - 20, 91 - t.width, t.width},
      {ContentHorizontalAlignment::Fill, 5, 25, 66},
  };
  struct Vertical {
    ContentVerticalAlignment a;
    double imageY, titleY, titleHeight;
  };
  const Vertical verticals[] = {
      {ContentVerticalAlignment::Center, 14, 7 + (30 - t.height) / 2, t.height},
      {ContentVerticalAlignment::Top, 7, 7, t.height},
      {ContentVerticalAlignment::Bottom, 21, 37 - t.height, t.height},
      {ContentVerticalAlignment::Fill, 7, 7, 30},
  };
  for (const Horizontal& h : horizontals) {
    for (const Vertical& v : verticals) {
      SCOPED_TRACE(testing::Message() << "horizontal " << int(h.a) << ", vertical " << int(v.a));
      b->setContentHorizontalAlignment(h.a);
      b->setContentVerticalAlignment(v.a);
      EXPECT_EQ(b->imageRectForContentRect(cr), Rect(h.imageX, v.imageY, 20, 16));
      EXPECT_EQ(b->titleRectForContentRect(cr), Rect(h.titleX, v.titleY, h.titleWidth, v.titleHeight));
    }
  }
}

TEST_F(ControlsTest, TouchesTurnIntoEventsAndDisabledControlsPassThemOn) {
  auto parent = Button::buttonWithType(ButtonType::Custom, Rect(0, 100, 320, 100));
  auto b = Button::buttonWithType(ButtonType::Custom, Rect(10, 10, 100, 40));
  b->setTitle("Go");
  parent->addSubview(b);
  window->addSubview(parent);
  std::vector<unsigned> events;
  b->addTarget(this, ControlEvent::AllTouchEvents, [&](Control&) {});
  b->addTarget(&events, ControlEvent::TouchDown | ControlEvent::TouchUpInside, [&](Control& c) {
    events.push_back(c.isHighlighted() ? ControlEvent::TouchDown : ControlEvent::TouchUpInside);
  });
  int parentTaps = 0;
  parent->addTarget(this, ControlEvent::TouchUpInside, [&](Control&) { ++parentTaps; });
  ASSERT_TRUE(UIDriver::tap("Go"));
  EXPECT_EQ(events, (std::vector<unsigned>{ControlEvent::TouchDown, ControlEvent::TouchUpInside}));
  EXPECT_EQ(parentTaps, 0);

  // A touch taken back (a gesture won it) leaves nothing behind: the control, disabled since,
  // passes the next tap on and fires nothing itself.
  Touch takenBack(window, b, Point{30, 125}, 1);
  b->touchesBegan(takenBack);
  b->touchesCancelled(takenBack);
  EXPECT_FALSE(b->isHighlighted());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events.back(), ControlEvent::TouchDown);
  events.pop_back();
  b->setEnabled(false);
  ASSERT_TRUE(UIDriver::tap("Go"));
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(parentTaps, 1);

  b->setEnabled(true);
  b->removeTarget(&events, ControlEvent::TouchDown);
  EXPECT_EQ(b->allControlEvents(), ControlEvent::AllTouchEvents);
  ASSERT_TRUE(UIDriver::tap("Go"));
  EXPECT_EQ(events.size(), 3u);

  // A repeated touch is told as such only from the second tap on; the first is a plain touch down.
  std::vector<std::string> downs;
  b->addTarget(&downs, ControlEvent::TouchDown, [&](Control&) { downs.push_back("down"); });
  b->addTarget(&downs, ControlEvent::TouchDownRepeat, [&](Control&) { downs.push_back("repeat"); });
  ASSERT_TRUE(UIDriver::tap("Go"));
  EXPECT_EQ(downs, (std::vector<std::string>{"down"}));
  downs.clear();
  ASSERT_TRUE(UIDriver::tap("Go", 2));
  EXPECT_EQ(downs, (std::vector<std::string>{"down", "repeat"}));
}

TEST_F(ControlsTest, SwitchesSegmentsPagesAndIndicators) {
  auto sw = std::make_shared<Switch>(Rect(10, 10, 0, 0));
  EXPECT_EQ(sw->frame().size, (Size{79, 27}));
  int changes = 0;
  sw->addTarget(this, ControlEvent::ValueChanged, [&](Control&) { ++changes; });
  window->addSubview(sw);
  ASSERT_TRUE(UIDriver::tap(*sw));
  EXPECT_TRUE(sw->isOn());
  sw->setOn(false);
  EXPECT_EQ(changes, 1);

  auto seg = std::make_shared<SegmentedControl>(std::vector<std::string>{"上一项", "下一项"});
  seg->setFrame(Rect(0, 100, 200, 30));
  seg->setMomentary(true);
  std::vector<int> seen;
  seg->addTarget(this, ControlEvent::ValueChanged, [&](Control& c) {
    seen.push_back(static_cast<SegmentedControl&>(c).selectedSegmentIndex());
  });
  window->addSubview(seg);
  ASSERT_TRUE(UIDriver::tap("下一项"));
  EXPECT_EQ(seen, (std::vector<int>{1}));
  EXPECT_EQ(seg->selectedSegmentIndex(), SegmentedControl::NoSegment);
  seg->setEnabled(false, 0);
  EXPECT_FALSE(seg->tapSegment(0));
  seg->insertSegmentWithTitle("first", 0);
  EXPECT_EQ(seg->titleForSegmentAtIndex(2), "下一项");
  EXPECT_FALSE(seg->isEnabledForSegmentAtIndex(1));

  auto pages = std::make_shared<PageControl>(Rect(0, 200, 320, 36));
  pages->setNumberOfPages(3);
  EXPECT_EQ(pages->subviews().size(), 3u);
  window->addSubview(pages);
  ASSERT_TRUE(UIDriver::tapAt({300, 218}));
  EXPECT_EQ(pages->currentPage(), 1);
  pages->setHidesForSinglePage(true);
  pages->setNumberOfPages(1);
  EXPECT_TRUE(pages->isHidden());

  auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorViewStyle::WhiteLarge);
  EXPECT_TRUE(spinner->isHidden());
  spinner->startAnimating();
  EXPECT_FALSE(spinner->isHidden());
  spinner->setCenter({50, 50});
  spinner->setActivityIndicatorViewStyle(ActivityIndicatorViewStyle::Gray);
  EXPECT_EQ(spinner->frame(), Rect(40, 40, 20, 20));
  auto progress = std::make_shared<ProgressView>();
  progress->setProgress(1.5);
  EXPECT_EQ(progress->progress(), 1);
}

// Every per-segment call on both sides of both ends: the first and last segments answer with
// their own values, one before the first and one past the last change and answer nothing.
TEST_F(ControlsTest, SegmentCallsStayInsideTheSegments) {
  // Four titles fill the storage exactly, so a read past the last segment leaves it.
  auto seg = std::make_shared<SegmentedControl>(std::vector<std::string>{"一", "二", "三", "四"});
  auto image = pictureOf(7, 7);
  for (int outside : {-1, 4}) {
    seg->setTitle("外", outside);
    seg->setImage(image, outside);
    seg->setEnabled(false, outside);
    seg->setWidth(55, outside);
    seg->removeSegmentAtIndex(outside);
    EXPECT_EQ(seg->titleForSegmentAtIndex(outside), "") << outside;
    EXPECT_EQ(seg->imageForSegmentAtIndex(outside), nullptr) << outside;
    EXPECT_FALSE(seg->isEnabledForSegmentAtIndex(outside)) << outside;
    EXPECT_EQ(seg->widthForSegmentAtIndex(outside), 0) << outside;
    EXPECT_FALSE(seg->tapSegment(outside)) << outside;
    seg->setSelectedSegmentIndex(outside);
    EXPECT_EQ(seg->selectedSegmentIndex(), SegmentedControl::NoSegment) << outside;
  }
  EXPECT_EQ(seg->numberOfSegments(), 4);
  seg->setWidth(31, 0);
  seg->setWidth(43, 3);
  seg->setEnabled(false, 3);
  seg->setImage(image, 3);
  EXPECT_EQ(seg->widthForSegmentAtIndex(0), 31);
  EXPECT_EQ(seg->widthForSegmentAtIndex(3), 43);
  EXPECT_EQ(seg->titleForSegmentAtIndex(0), "一");
  EXPECT_EQ(seg->titleForSegmentAtIndex(3), "四");
  EXPECT_TRUE(seg->isEnabledForSegmentAtIndex(0));
  EXPECT_FALSE(seg->isEnabledForSegmentAtIndex(3));
  EXPECT_EQ(seg->imageForSegmentAtIndex(3), image);
  EXPECT_EQ(seg->imageForSegmentAtIndex(2), nullptr);
  seg->setSelectedSegmentIndex(3);
  EXPECT_EQ(seg->selectedSegmentIndex(), 3);
  seg->setSelectedSegmentIndex(0);
  EXPECT_EQ(seg->selectedSegmentIndex(), 0);
  EXPECT_TRUE(seg->tapSegment(2));
  EXPECT_EQ(seg->selectedSegmentIndex(), 2);
  seg->setTitle("末", 3);
  EXPECT_EQ(seg->titleForSegmentAtIndex(3), "末");
  EXPECT_EQ(seg->imageForSegmentAtIndex(3), nullptr);  // a title replaces the picture
  seg->removeSegmentAtIndex(3);
  EXPECT_EQ(seg->numberOfSegments(), 3);
  EXPECT_EQ(seg->titleForSegmentAtIndex(2), "三");
  EXPECT_EQ(seg->selectedSegmentIndex(), 2);
  seg->removeSegmentAtIndex(0);
  EXPECT_EQ(seg->selectedSegmentIndex(), 1);
  EXPECT_EQ(seg->titleForSegmentAtIndex(0), "二");
}

// Segments lie side by side across the whole control: a set width is kept, the others share
// the rest, and a tap at a point picks the segment drawn there.
TEST_F(ControlsTest, SegmentsLieSideBySideAndATapPicksTheOneUnderIt) {
  auto seg = std::make_shared<SegmentedControl>(std::vector<std::string>{"甲", "乙", "丙"});
  seg->setFrame(Rect(10, 100, 300, 40));
  seg->setWidth(60, 1);
  window->addSubview(seg);
  seg->layoutIfNeeded();
  const auto& buttons = seg->subviews();
  ASSERT_EQ(buttons.size(), 3u);
  EXPECT_EQ(buttons[0]->frame(), Rect(0, 0, 120, 40));
  EXPECT_EQ(buttons[1]->frame(), Rect(120, 0, 60, 40));
  EXPECT_EQ(buttons[2]->frame(), Rect(180, 0, 120, 40));
  for (auto [x, index] : std::vector<std::pair<double, int>>{{300, 2}, {140, 1}, {20, 0}}) {
    ASSERT_TRUE(UIDriver::tapAt({x, 130})) << x;
    EXPECT_EQ(seg->selectedSegmentIndex(), index) << x;
  }
}

TEST_F(ControlsTest, BarItemsSendTheirActionOnlyWhileEnabled) {
  int sent = 0;
  auto done =
      std::make_shared<BarButtonItem>("完成", BarButtonItemStyle::Done, [&](BarButtonItem&) { ++sent; });
  auto flex = std::make_shared<BarButtonItem>(BarButtonSystemItem::FlexibleSpace);
  auto label = std::make_shared<View>(Rect(0, 0, 80, 44));
  auto bar = std::make_shared<Toolbar>(Rect(0, 436, 320, 44));
  bar->setItems({std::make_shared<BarButtonItem>(label), flex, done});
  window->addSubview(bar);
  bar->layoutIfNeeded();
  // 6 + 80 + 6 + flexible + 6 + 44 + 6: the done button ends 6 points from the right.
  EXPECT_EQ(label->frame(), Rect(6, 0, 80, 44));
  ASSERT_TRUE(UIDriver::tap("完成"));
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(UIDriver::findView("完成")->frame().maxX(), 314);
  EXPECT_EQ(UIDriver::findView("完成")->frame().size.width, 44) << "the title and 20 points";
  done->setEnabled(false);
  EXPECT_FALSE(done->sendAction());
  UIDriver::tap("完成");
  EXPECT_EQ(sent, 1);
  // What the item says next is what the bar shows after its next layout.
  bar->layoutIfNeeded();
  auto shown = std::dynamic_pointer_cast<Control>(UIDriver::findView("完成"));
  ASSERT_TRUE(shown);
  EXPECT_FALSE(shown->isEnabled()) << "it looks off as well";
  done->setTitle("好了");
  bar->layoutIfNeeded();
  EXPECT_FALSE(UIDriver::findView("完成"));
  EXPECT_TRUE(UIDriver::findView("好了"));

  // A short title still gets 30 points; a width given is taken as it is, narrower too.
  auto narrow = std::make_shared<BarButtonItem>("A", BarButtonItemStyle::Bordered);
  auto given = std::make_shared<BarButtonItem>("Given", BarButtonItemStyle::Plain);
  given->setWidth(24);
  auto sized = std::make_shared<Toolbar>(Rect(0, 100, 320, 44));
  sized->setItems({narrow, given});
  window->addSubview(sized);
  sized->layoutIfNeeded();
  EXPECT_EQ(UIDriver::findView("A")->frame().size.width, 30);
  EXPECT_EQ(UIDriver::findView("Given")->frame().size.width, 24);

  // A fixed space takes its own width, shows nothing, and leaves the flexible spaces the rest.
  auto fixed = std::make_shared<BarButtonItem>(BarButtonSystemItem::FixedSpace);
  fixed->setWidth(30);
  auto left = std::make_shared<View>(Rect(0, 0, 40, 20));
  auto right = std::make_shared<View>(Rect(0, 0, 50, 20));
  auto last = std::make_shared<View>(Rect(0, 0, 30, 44));
  auto spaced = std::make_shared<Toolbar>(Rect(0, 0, 320, 44));
  spaced->setItems({std::make_shared<BarButtonItem>(left), fixed, std::make_shared<BarButtonItem>(right),
                    std::make_shared<BarButtonItem>(BarButtonSystemItem::FlexibleSpace),
                    std::make_shared<BarButtonItem>(last)});
  window->addSubview(spaced);
  spaced->layoutIfNeeded();
  // 6 + 40 + 6 + 30 + 6 + 50: the fixed space keeps the two views apart, each centred in the bar.
  EXPECT_EQ(left->frame(), Rect(6, 12, 40, 20));
  EXPECT_EQ(right->frame(), Rect(88, 12, 50, 20));
  EXPECT_EQ(last->frame(), Rect(284, 0, 30, 44));
  EXPECT_EQ(spaced->subviews().size(), 3u);
}

// The blue-grey of the bars, as a person sees it.
constexpr Pixel kBarColour{115, 143, 179, 255};

TEST_F(ControlsTest, BarsAreOpaqueBlueGreyAcrossTheirSuperviewUnderTheirItems) {
  constexpr Pixel kRed{255, 0, 0, 255};
  auto holder = std::make_shared<View>(Rect(0, 0, 320, 104));
  auto top = std::make_shared<NavigationBar>(Rect(0, 0, 320, 44));
  auto mark = std::make_shared<View>(Rect(0, 0, 20, 20));
  mark->setBackgroundColor(Color::red());
  auto bottom = std::make_shared<Toolbar>(Rect(0, 60, 320, Toolbar::Height));
  bottom->setItems({std::make_shared<BarButtonItem>(BarButtonSystemItem::FlexibleSpace),
                    std::make_shared<BarButtonItem>(mark)});
  holder->addSubview(top);
  holder->addSubview(bottom);
  auto pixel = [&](int x, int y) { return Snapshot::imageOfView(*holder, 1)->bitmap()->pixelAt(x, y); };

  for (int x : {0, 160, 319}) {
    EXPECT_EQ(pixel(x, 2), kBarColour) << "the navigation bar at " << x;
    EXPECT_EQ(pixel(x, 50), Pixel{}) << "between the bars at " << x;
    EXPECT_EQ(pixel(x, 62), kBarColour) << "the toolbar at " << x;
  }
  // The item is drawn over the bar, 6 points from its right edge.
  EXPECT_EQ(pixel(304, 82), kRed);
  EXPECT_EQ(pixel(316, 82), kBarColour);

  // Made wider, both bars still reach across, and the item keeps to the right edge.
  holder->setFrame(Rect(0, 0, 480, 104));
  for (int x : {400, 479}) {
    EXPECT_EQ(pixel(x, 2), kBarColour) << "the navigation bar at " << x;
    EXPECT_EQ(pixel(x, 62), kBarColour) << "the toolbar at " << x;
  }
  EXPECT_EQ(pixel(464, 82), kRed);
  EXPECT_EQ(pixel(304, 82), kBarColour) << "where the item was";
}

}  // namespace
}  // namespace kavro::test
