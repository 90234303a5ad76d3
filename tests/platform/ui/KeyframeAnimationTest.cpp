#include <gtest/gtest.h>

#include "platform/ui/KeyframeAnimation.h"
#include "platform/ui/View.h"
#include "tests/support/VirtualRunLoop.h"

namespace {

using platform::KeyframeAnimation;
using platform::LayerAnimations;
using platform::View;

class KeyframeAnimationTest : public kavro::test::VirtualRunLoopTest {};

TEST_F(KeyframeAnimationTest, ValuesFollowTheKeyTimesInStraightLines) {
  KeyframeAnimation a("transform.scale", {0, 1.2, 1.0}, {0, 0.5, 1.0}, 2.0);
  EXPECT_DOUBLE_EQ(a.valueAtTime(0), 0);
  EXPECT_DOUBLE_EQ(a.valueAtTime(0.5), 0.6);
  EXPECT_DOUBLE_EQ(a.valueAtTime(1.0), 1.2);
  EXPECT_NEAR(a.valueAtTime(1.5), 1.1, 1e-12);
  EXPECT_DOUBLE_EQ(a.valueAtTime(5), 1.0);
  EXPECT_DOUBLE_EQ(a.valueAtTime(-1), 0);
  // Mismatched key times spread the values evenly.
  KeyframeAnimation even("opacity", {0, 1}, {0.3}, 1.0);
  EXPECT_DOUBLE_EQ(even.valueAtTime(0.25), 0.25);
}

TEST_F(KeyframeAnimationTest, RunsOnTheClockWithTheEndStateAppliedAtOnce) {
  auto view = std::make_shared<View>(platform::Rect(0, 0, 10, 10));
  KeyframeAnimation a("transform.scale", {0, 2, 1}, {0, 0.5, 1}, 1.0);
  std::vector<bool> heard;
  a.setCompletion([&](bool finished) { heard.push_back(finished); });
  LayerAnimations::add(*view, "pop", a);
  EXPECT_DOUBLE_EQ(view->transform().a, 1.0);  // the model holds the end state
  EXPECT_DOUBLE_EQ(LayerAnimations::presentationValue(*view, "transform.scale"), 0);
  runFor(0.25);
  EXPECT_DOUBLE_EQ(LayerAnimations::presentationValue(*view, "transform.scale"), 1.0);
  runFor(0.25);
  EXPECT_DOUBLE_EQ(LayerAnimations::presentationValue(*view, "transform.scale"), 2.0);
  EXPECT_EQ(LayerAnimations::animationKeys(*view), std::vector<std::string>{"pop"});
  EXPECT_TRUE(heard.empty());
  runFor(0.5);
  EXPECT_EQ(heard, std::vector<bool>{true});
  EXPECT_FALSE(LayerAnimations::animationForKey(*view, "pop"));
  EXPECT_DOUBLE_EQ(LayerAnimations::presentationValue(*view, "transform.scale"), 1.0);

  // One without values leaves the view as it stands and still ends.
  view->setAlpha(0.5);
  KeyframeAnimation none("opacity", {}, {}, 1.0);
  none.setCompletion([&](bool finished) { heard.push_back(finished); });
  LayerAnimations::add(*view, "none", none);
  EXPECT_DOUBLE_EQ(view->alpha(), 0.5);
  runFor(1);
  EXPECT_EQ(heard, (std::vector<bool>{true, true}));
  EXPECT_DOUBLE_EQ(view->alpha(), 0.5);
  EXPECT_DOUBLE_EQ(view->transform().a, 1.0);
}

TEST_F(KeyframeAnimationTest, ReplacedRemovedAndOrphanedAnimationsEndQuietly) {
  auto view = std::make_shared<View>();
  std::vector<bool> heard;
  KeyframeAnimation a("opacity", {0, 0.5}, {}, 1.0);
  a.setCompletion([&](bool finished) { heard.push_back(finished); });
  LayerAnimations::add(*view, "fade", a);
  EXPECT_DOUBLE_EQ(view->alpha(), 0.5);
  LayerAnimations::add(*view, "fade", a);  // replaces: the first hears false
  EXPECT_EQ(heard, std::vector<bool>{false});
  LayerAnimations::remove(*view, "fade");
  EXPECT_EQ(heard, (std::vector<bool>{false, false}));
  runFor(2);
  EXPECT_EQ(heard.size(), 2u);

  LayerAnimations::add(*view, "fade", a);
  view.reset();  // gone: nothing is heard
  runFor(2);
  EXPECT_EQ(heard.size(), 2u);
}

}  // namespace
