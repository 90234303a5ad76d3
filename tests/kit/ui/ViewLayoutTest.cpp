#include <gtest/gtest.h>

#include "kit/ui/LabelExt.h"
#include "kit/ui/ScrollViewHorizontalPager.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewMisc.h"
#include "kit/ui/ViewSibling.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextMetrics.h"

namespace kavro {
namespace {

using platform::Rect;
using platform::View;

std::shared_ptr<View> child(View& parent, Rect frame) {
  auto v = std::make_shared<View>(frame);
  parent.addSubview(v);
  return v;
}

TEST(ViewLayoutTest, VerticalSpreadingUsesEvenGapsOrThePadding) {
  View parent(Rect(0, 0, 100, 200));
  auto a = child(parent, {0, 0, 10, 50});
  auto b = child(parent, {0, 0, 10, 50});
  auto c = child(parent, {0, 0, 10, 50});
  EXPECT_TRUE(view::verticalCenterWithSubviews(parent, {a, b, c}, 10));
  EXPECT_DOUBLE_EQ(a->frame().y(), 12.5);
  EXPECT_DOUBLE_EQ(b->frame().y(), 75);
  EXPECT_DOUBLE_EQ(c->frame().y(), 137.5);

  EXPECT_TRUE(view::verticalCenterWithSubviews(parent, {a, b, c}, 20));
  EXPECT_DOUBLE_EQ(a->frame().y(), 20);
  EXPECT_DOUBLE_EQ(b->frame().y(), 75);
  EXPECT_DOUBLE_EQ(c->frame().y(), 130);

  for (auto& v : {a, b, c}) view::setHeight(*v, 20);
  EXPECT_FALSE(view::verticalCenterWithSubviews(parent, {a, b, c}, 70));
  EXPECT_TRUE(view::verticalCenterWithSubviews(parent, {a, b, c}, 10));
  EXPECT_DOUBLE_EQ(a->frame().y(), 35);
  EXPECT_DOUBLE_EQ(b->frame().y(), 90);
  EXPECT_DOUBLE_EQ(c->frame().y(), 145);

  EXPECT_TRUE(view::horizontalCenterWithSubviews(parent, {a}, 0));
  EXPECT_DOUBLE_EQ(a->frame().x(), 45);
}

TEST(ViewLayoutTest, SpreadingLeavesOutViewsThatShowNothing) {
  View parent(Rect(0, 0, 100, 200));
  View other;
  auto emptyLabel = std::make_shared<platform::Label>(Rect(0, 1, 10, 20));
  parent.addSubview(emptyLabel);
  auto noImage = std::make_shared<platform::ImageView>(Rect(0, 2, 10, 20));
  parent.addSubview(noImage);
  auto hidden = child(parent, {0, 3, 10, 20});
  hidden->setHidden(true);
  auto faint = child(parent, {0, 4, 10, 20});
  faint->setAlpha(0.04);
  auto flat = child(parent, {0, 5, 10, 0.05});
  auto elsewhere = child(other, {0, 6, 10, 20});
  EXPECT_FALSE(
      view::verticalCenterWithSubviews(parent, {emptyLabel, noImage, hidden, faint, flat, elsewhere}, 0));

  auto shown = child(parent, {0, 0, 10, 20});
  EXPECT_TRUE(view::verticalCenterWithSubviews(parent, {emptyLabel, shown, elsewhere}, 0));
  EXPECT_DOUBLE_EQ(shown->frame().y(), 90);
  EXPECT_DOUBLE_EQ(emptyLabel->frame().y(), 1);
  EXPECT_DOUBLE_EQ(elsewhere->frame().y(), 6);
}

TEST(ViewLayoutTest, SizesAndSiblings) {
  View parent(Rect(0, 0, 100, 10));
  auto low = child(parent, {0, 100, 0, 20});  // zero width still counts
  auto hidden = child(parent, {0, 300, 10, 10});
  hidden->setHidden(true);
  view::heightFromSubViewsWithBottomMargin(parent, 5);
  EXPECT_DOUBLE_EQ(parent.frame().height(), 125);

  View a(Rect(0, 10, 10, 40)), b(Rect(50, 30, 10, 20));
  view::sameTopAndHeightOfView(a, &b);
  EXPECT_EQ(a.frame(), Rect(0, 10, 10, 40));
  EXPECT_EQ(b.frame(), Rect(50, 10, 10, 40));

  View s(Rect(1, 2, 30, 8));
  view::bottomOfView(s, nullptr, 4);
  EXPECT_EQ(s.frame(), Rect(1, 2, 30, 8));
  view::bottomOfView(s, &a, 4);
  EXPECT_DOUBLE_EQ(s.frame().y(), 54);
  view::rightOfView(s, &b, 2, true);
  EXPECT_EQ(s.frame(), Rect(62, 10, 30, 40));
  view::leftOfView(s, &b, 5);
  EXPECT_DOUBLE_EQ(s.frame().x(), 15);
  view::verticalCenterInView(s, nullptr);
  EXPECT_DOUBLE_EQ(s.frame().y(), -20);
  view::horizontalCenterInView(s, &parent);
  EXPECT_DOUBLE_EQ(s.frame().x(), 35);
  EXPECT_DOUBLE_EQ(view::getHeight(nullptr), 0);
}

TEST(ViewLayoutTest, FindsViewsUpAndDownOneLevel) {
  auto root = std::make_shared<platform::Label>(Rect(0, 0, 10, 10));
  auto middle = std::make_shared<View>();
  auto leaf = std::make_shared<platform::Label>();
  root->addSubview(middle);
  middle->addSubview(leaf);
  EXPECT_EQ(view::parentViewWithClass<platform::Label>(*leaf), root);
  EXPECT_EQ(view::parentViewWithClass<platform::Label>(*root), nullptr);
  EXPECT_EQ(view::findSubViewWithClass<platform::Label>(*root), nullptr);
  EXPECT_EQ(view::findSubViewWithClass<platform::Label>(*middle), leaf);
}

TEST(ViewLayoutTest, LabelFittingAndPageIndex) {
  platform::Label label(Rect(5, 6, 40, 10));
  label.setText("one two three four five six");
  label::autoFitHeight(label);
  EXPECT_DOUBLE_EQ(label.frame().x(), 5);
  EXPECT_DOUBLE_EQ(label.frame().width(), 40);
  EXPECT_GT(label.frame().height(), 30);

  label.setText("abcd");  // narrower than the limit: as wide as the text
  label::autoFitSizeWithMaxWidth(label, 100);
  EXPECT_DOUBLE_EQ(label.frame().width(), platform::TextMetrics::sizeWithFont("abcd", label.font()).width);
  EXPECT_EQ(label.displayLines(), (std::vector<std::string>{"abcd"}));
  label.setText(std::string(100, 'x'));
  label::autoFitSizeWithMaxWidth(label, 100);
  EXPECT_DOUBLE_EQ(label.frame().width(), 100);

  platform::ScrollView scroll(Rect(0, 0, 320, 100));
  scroll.setContentSize({1280, 100});
  for (auto [offset, page] : std::vector<std::pair<double, int>>{{0, 0}, {319, 1}, {318.5, 0}, {640, 2}}) {
    scroll.setContentOffset({offset, 0});
    EXPECT_EQ(scrollview::getHorizontalPageIndex(scroll), page) << offset;
  }
}

}  // namespace
}  // namespace kavro
