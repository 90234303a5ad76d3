#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/Error.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewDescription.h"
#include "platform/ui/WebView.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

using ViewTest = UITest;

TEST_F(ViewTest, AutoresizingSharesTheChangeAmongFlexibleParts) {
  auto parent = std::make_shared<View>(Rect(0, 0, 100, 100));
  auto fixed = std::make_shared<View>(Rect(10, 10, 20, 20));
  auto width = std::make_shared<View>(Rect(10, 10, 80, 20));
  width->setAutoresizingMask(View::FlexibleWidth);
  auto rightPinned = std::make_shared<View>(Rect(70, 10, 20, 20));
  rightPinned->setAutoresizingMask(View::FlexibleLeftMargin | View::FlexibleBottomMargin);
  auto both = std::make_shared<View>(Rect(20, 0, 40, 100));
  both->setAutoresizingMask(View::FlexibleLeftMargin | View::FlexibleWidth | View::FlexibleRightMargin);
  for (auto& v : {fixed, width, rightPinned, both}) parent->addSubview(v);

  parent->setFrame(Rect(0, 0, 200, 150));
  EXPECT_EQ(fixed->frame(), Rect(10, 10, 20, 20));
  EXPECT_EQ(width->frame(), Rect(10, 10, 180, 20));
  EXPECT_EQ(rightPinned->frame(), Rect(170, 10, 20, 20));
  // Left 20, width 40, right 40 share +100 as 20 : 40 : 40.
  EXPECT_EQ(both->frame(), Rect(40, 0, 80, 100));
  parent->setAutoresizesSubviews(false);
  parent->setFrame(Rect(0, 0, 50, 50));
  EXPECT_EQ(width->frame(), Rect(10, 10, 180, 20));
}

TEST_F(ViewTest, HitTestingHonoursHiddenInteractionAndTransforms) {
  auto a = std::make_shared<View>(Rect(10, 10, 100, 100));
  auto b = std::make_shared<View>(Rect(0, 0, 50, 50));
  auto label = std::make_shared<Label>(Rect(0, 0, 50, 50));
  window->addSubview(a);
  a->addSubview(b);
  a->addSubview(label);
  // The label is on top but takes no touches.
  EXPECT_EQ(window->hitTest({20, 20}), b);
  b->setHidden(true);
  EXPECT_EQ(window->hitTest({20, 20}), a);
  EXPECT_EQ(window->hitTest({5, 5}), window);

  // A view scaled twice its size around its centre answers for the larger area.
  auto scaled = std::make_shared<View>(Rect(200, 200, 20, 20));
  window->addSubview(scaled);
  scaled->setTransform(AffineTransform::makeScale(2, 2));
  EXPECT_EQ(scaled->frame(), Rect(190, 190, 40, 40));
  EXPECT_EQ(window->hitTest({192, 228}), scaled);
  Point local = scaled->convertPointFromView({192, 228}, nullptr);
  EXPECT_DOUBLE_EQ(local.x, 1);
  EXPECT_DOUBLE_EQ(local.y, 19);
  EXPECT_THROW(b->addSubview(a), InvalidArgumentException);
}

TEST_F(ViewTest, AnimationsEndAtOnceAndCompleteOnTheClock) {
  auto v = std::make_shared<View>(Rect(0, 0, 10, 10));
  std::vector<bool> finished;
  View::animate(
      0.3, [&] { v->setAlpha(0.5); }, [&](bool f) { finished.push_back(f); });
  EXPECT_DOUBLE_EQ(v->alpha(), 0.5);
  runFor(0.2);
  EXPECT_TRUE(finished.empty());
  // A later animation of the same property interrupts the first.
  View::animate(
      0.3, [&] { v->setAlpha(1); }, [&](bool f) { finished.push_back(f); });
  runFor(0.5);
  EXPECT_EQ(finished, (std::vector<bool>{false, true}));
}

TEST_F(ViewTest, TextMetricsWrapWordsAndCharactersDeterministically) {
  Font f = Font::systemFontOfSize(10);
  auto width = [&](std::string_view s) { return TextMetrics::widthOfText(s, f); };
  EXPECT_EQ(TextMetrics::lineHeight(14), 17);
  EXPECT_EQ(TextMetrics::sizeWithFont("abcd", f), (Size{std::ceil(width("abcd")), 12}));
  EXPECT_EQ(TextMetrics::sizeWithFont("中文😀", f).height, 12);
  // Words move whole to the next line; wide characters break anywhere.
  double words = width("aaa bbb");
  EXPECT_EQ(TextMetrics::linesForText("aaa bbb ccc", f, words, LineBreakMode::WordWrap),
            (std::vector<std::string>{"aaa bbb", "ccc"}));
  EXPECT_EQ(TextMetrics::linesForText("中中中中中", f, width("中中"), LineBreakMode::WordWrap),
            (std::vector<std::string>{"中中", "中中", "中"}));
  // A word wider than the line breaks between characters.
  EXPECT_EQ(TextMetrics::linesForText("aaaaaaaaaa", f, width("aaaa"), LineBreakMode::WordWrap),
            (std::vector<std::string>{"aaaa", "aaaa", "aa"}));
  EXPECT_EQ(TextMetrics::sizeWithFont("aaa bbb ccc", f, Size{words, 12}, LineBreakMode::WordWrap),
            (Size{words, 12}));
  EXPECT_EQ(TextMetrics::truncateLine("aaaaaaaa", f, width("aaa\u2026"), LineBreakMode::TailTruncation),
            "aaa\u2026");

  auto label = std::make_shared<Label>(Rect(0, 0, words, 100));
  label->setFont(f);
  label->setText("aaa bbb aaa bbb aaa");
  label->setNumberOfLines(2);
  auto lines = label->displayLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "aaa bbb");
  EXPECT_TRUE(lines[1].starts_with("aaa") && lines[1].ends_with("\u2026")) << lines[1];
  label->setNumberOfLines(0);
  EXPECT_EQ(label->sizeThatFits(Size{words, 0}).height, 36);
  // The text's place in the label wraps at the label's width, whatever its height, on either path.
  EXPECT_EQ(label->textRectForBounds(label->bounds(), 2), Rect(0, 0, words, 24));
  EXPECT_EQ(label->textRectForBounds(label->bounds(), 0), Rect(0, 0, words, 36));
}

TEST_F(ViewTest, DescribeTreeIndentsAndSkipsHiddenSubtrees) {
  auto box = std::make_shared<View>(Rect(0, 0, 100, 50.5));
  box->setTag(7);
  auto label = std::make_shared<Label>(Rect(1, 2, 3, 4));
  label->setText("Hi \"you\"");
  box->addSubview(label);
  auto hidden = std::make_shared<View>(Rect(0, 0, 1, 1));
  hidden->addSubview(std::make_shared<View>());
  hidden->setHidden(true);
  box->addSubview(hidden);
  EXPECT_EQ(describeTree(*box),
            "View (0, 0, 100, 50.5) tag=7\n"
            "  Label (1, 2, 3, 4) text=\"Hi \\\"you\\\"\"\n"
            "  View (0, 0, 1, 1) hidden\n");
}

TEST_F(ViewTest, EveryKindOfViewPrintsItsOwnFactsAndThoseOfAView) {
  struct Kind {
    std::shared_ptr<View> view;
    std::string own;               // a fact only the kind prints, "" for none when plain
    bool touchesByDefault = true;  // else taking none is not worth a word
  };
  auto scroll = std::make_shared<ScrollView>(Rect(0, 0, 100, 100));
  scroll->setContentSize({100, 300});
  scroll->setContentOffset({0, 40});
  auto label = std::make_shared<Label>(Rect(0, 0, 100, 20));
  label->setText("Jobs");
  auto button = Button::buttonWithType(ButtonType::Custom, Rect(0, 0, 60, 30));
  button->setTitle("Go");
  auto field = std::make_shared<TextField>(Rect(0, 0, 100, 30));
  field->setText("typed");
  auto spinner = std::make_shared<ActivityIndicatorView>();
  spinner->startAnimating();
  std::vector<Kind> kinds = {
      {scroll, "offset=(0, 40) content=100x300"},
      {std::make_shared<TableView>(Rect(0, 0, 100, 100)), "offset=(0, 0)"},
      {std::make_shared<TextView>(Rect(0, 0, 100, 100)), "offset=(0, 0)"},
      {label, "text=\"Jobs\"", false},
      {button, "title=\"Go\""},
      {field, "text=\"typed\""},
      {std::make_shared<View>(Rect(0, 0, 10, 10)), ""},
      {std::make_shared<ImageView>(Rect(0, 0, 10, 10)), "", false},
      {std::make_shared<Switch>(Rect(0, 0, 10, 10)), ""},
      {std::make_shared<PageControl>(Rect(0, 0, 10, 10)), ""},
      {std::make_shared<SegmentedControl>(std::vector<std::string>{"a", "b"}), ""},
      {spinner, ""},
      {std::make_shared<ProgressView>(), ""},
      {std::make_shared<PickerView>(Rect(0, 0, 320, 0)), ""},
      {std::make_shared<SearchBar>(Rect(0, 0, 320, 44)), ""},
      {std::make_shared<NavigationBar>(Rect(0, 0, 320, 44)), ""},
      {std::make_shared<TabBar>(Rect(0, 0, 320, 49)), ""},
      {std::make_shared<Toolbar>(Rect(0, 0, 320, 44)), ""},
      {std::make_shared<WebView>(Rect(0, 0, 100, 100)), ""},
      {std::make_shared<TableViewCell>(TableViewCellStyle::Default, "cell"), ""},
  };
  for (const Kind& k : kinds) {
    k.view->setAccessibilityLabel("named");
    k.view->setTag(3);
    k.view->setAlpha(0.5);
    k.view->setUserInteractionEnabled(false);
    std::string tree = describeTree(*k.view);
    std::string line = tree.substr(0, tree.find('\n'));
    EXPECT_NE(line.find(k.touchesByDefault ? " label=\"named\" tag=3 alpha=0.5 no-touch"
                                           : " label=\"named\" tag=3 alpha=0.5"),
              std::string::npos)
        << line;
    if (!k.touchesByDefault) {
      EXPECT_EQ(line.find("no-touch"), std::string::npos) << line;
    }
    if (!k.own.empty()) {
      EXPECT_NE(line.find(" " + k.own + " "), std::string::npos) << line;
    }
  }
}

}  // namespace
}  // namespace kavro::test
