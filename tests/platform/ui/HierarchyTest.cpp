#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/View.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

// Writes down the hierarchy hooks and its layout passes.
class HookView : public View {
 public:
  HookView(std::string name, std::vector<std::string>* log)
      : View(Rect(0, 0, 10, 10)), name_(std::move(name)), log_(log) {}
  void willMoveToWindow(Window* w) override { log_->push_back(name_ + (w ? " to window" : " from window")); }
  void didMoveToSuperview() override { log_->push_back(name_ + " moved"); }
  void layoutSubviews() override { log_->push_back(name_ + " layout"); }

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

class LayoutController : public ViewController {
 public:
  std::vector<std::string>* log = nullptr;
  void viewWillLayoutSubviews() override { log->push_back("vc will layout"); }
  void viewDidLayoutSubviews() override { log->push_back("vc did layout"); }
};

using HierarchyTest = UITest;

TEST_F(HierarchyTest, SubviewOrderTagsAndHooks) {
  std::vector<std::string> log;
  auto parent = std::make_shared<HookView>("parent", &log);
  auto child = std::make_shared<HookView>("child", &log);
  auto a = std::make_shared<View>(), b = std::make_shared<View>(), c = std::make_shared<View>();
  parent->addSubview(a);
  parent->addSubview(b);
  parent->insertSubviewBelow(c, a.get());
  EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<View>>{c, a, b}));
  parent->bringSubviewToFront(c.get());
  parent->sendSubviewToBack(b.get());
  parent->insertSubviewAbove(a, c.get());
  EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<View>>{b, c, a}));
  parent->exchangeSubview(0, 2);
  EXPECT_EQ(parent->subviews().front(), a);
  b->setTag(5);
  EXPECT_EQ(parent->viewWithTag(5), b);
  EXPECT_EQ(parent->viewWithTag(6), nullptr);

  b->addSubview(child);
  window->addSubview(parent);
  child->removeFromSuperview();
  EXPECT_EQ(log, (std::vector<std::string>{"child moved", "parent to window", "child to window",
                                           "parent moved", "child from window", "child moved"}));
  EXPECT_FALSE(child->superview());
  EXPECT_EQ(b->convertPointToView({1, 1}, nullptr), (Point{1, 1}));
}

// The children list over random operations, invalid ones included (a view that is no child, an index
// past the end, a view moved from another parent, removals of many in a row), against a plain list
// kept beside it: the same children in the same order after every step, each knowing its parent, a
// removed one none, and the hooks' order unchanged.
TEST_F(HierarchyTest, TheChildrenListAgreesWithAPlainListOverRandomOperations) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    auto parent = std::make_shared<View>(), other = std::make_shared<View>();
    window->addSubview(parent);
    std::vector<std::shared_ptr<View>> plain, pool;
    for (int i = 0; i < 60; ++i) pool.push_back(std::make_shared<View>());
    auto any = [&] { return pool[random() % pool.size()]; };
    auto at = [&](const std::shared_ptr<View>& v) { return std::find(plain.begin(), plain.end(), v); };
    auto ids = [&](const std::vector<std::shared_ptr<View>>& views) {
      std::vector<long> out;
      for (const auto& v : views) out.push_back(std::find(pool.begin(), pool.end(), v) - pool.begin());
      return out;
    };
    for (int step = 0; step < 400; ++step) {
      const auto v = any();
      const bool child = at(v) != plain.end();
      const int op = int(random() % 9);
      switch (op) {
        case 0:
        case 1:  // added on top, moved from wherever it was
          if (child) plain.erase(at(v));
          plain.push_back(v);
          parent->addSubview(v);
          break;
        case 2: {  // inserted at an index, past the end too
          const std::size_t index = random() % (plain.size() + 3);
          std::size_t to = index;
          if (child) {
            const std::size_t was = std::size_t(at(v) - plain.begin());
            plain.erase(at(v));
            if (to > was) --to;
          }
          plain.insert(plain.begin() + std::ptrdiff_t(std::min(to, plain.size())), v);
          parent->insertSubview(v, index);
          break;
        }
        case 3:
        case 4:  // taken off, several in a row now and then
          for (int n = random() % 4 == 0 ? 12 : 1; n > 0 && !plain.empty(); --n) {
            const auto gone = plain[random() % plain.size()];
            plain.erase(at(gone));
            gone->removeFromSuperview();
            EXPECT_EQ(gone->superview(), nullptr);
          }
          v->removeFromSuperview();
          if (at(v) != plain.end()) plain.erase(at(v));
          break;
        case 5:  // to the front or the back, a view that is no child too
          if (random() % 2) {
            parent->bringSubviewToFront(v.get());
            if (child) {
              plain.erase(at(v));
              plain.push_back(v);
            }
          } else {
            parent->sendSubviewToBack(v.get());
            if (child) {
              plain.erase(at(v));
              plain.insert(plain.begin(), v);
            }
          }
          break;
        case 6: {  // below or above a sibling, or one that is no child
          const auto sibling = any();
          if (sibling == v) break;
          const bool below = random() % 2;
          const auto s = at(sibling);
          if (s == plain.end()) {
            if (child) plain.erase(at(v));
            if (below)
              plain.insert(plain.begin(), v);
            else
              plain.push_back(v);
          } else {
            if (child) plain.erase(at(v));
            plain.insert(at(sibling) + (below ? 0 : 1), v);
          }
          if (below)
            parent->insertSubviewBelow(v, sibling.get());
          else
            parent->insertSubviewAbove(v, sibling.get());
          break;
        }
        case 7: {  // two exchanged, an index past the end too
          const std::size_t i = random() % (plain.size() + 2), j = random() % (plain.size() + 2);
          if (i < plain.size() && j < plain.size()) std::swap(plain[i], plain[j]);
          parent->exchangeSubview(i, j);
          break;
        }
        case 8:  // moved to another parent
          if (child) plain.erase(at(v));
          other->addSubview(v);
          break;
      }
      // Read only now and then: the removals between two readings pile up unread.
      if (random() % 3 == 0 || step == 399) {
        ASSERT_EQ(ids(parent->subviews()), ids(plain)) << "step " << step;
        for (const auto& c : plain) EXPECT_EQ(c->superview(), parent);
      }
    }
  }
}

TEST_F(HierarchyTest, LayoutRunsTopDownOnTheRunLoopAndAroundTheController) {
  std::vector<std::string> log;
  auto vc = std::make_shared<LayoutController>();
  vc->log = &log;
  auto outer = std::make_shared<HookView>("outer", &log);
  auto inner = std::make_shared<HookView>("inner", &log);
  outer->addSubview(inner);
  vc->view()->addSubview(outer);
  window->setRootViewController(vc);
  log.clear();
  runFor(0);  // every new view is laid out once
  EXPECT_EQ(log,
            (std::vector<std::string>{"vc will layout", "vc did layout", "outer layout", "inner layout"}));
  log.clear();
  inner->setNeedsLayout();
  outer->setFrame(Rect(0, 0, 50, 50));  // a new size asks for layout too
  window->layoutIfNeeded();
  EXPECT_EQ(log, (std::vector<std::string>{"outer layout", "inner layout"}));
  log.clear();
  runFor(1);
  EXPECT_TRUE(log.empty());
}

// Marks another view while it is laid out, as a view that resizes a sibling does.
class MarkingView : public HookView {
 public:
  using HookView::HookView;
  std::shared_ptr<View> other;
  void layoutSubviews() override {
    HookView::layoutSubviews();
    if (other) other->setNeedsLayout();
    other.reset();
  }
};

TEST_F(HierarchyTest, APassReachesEveryMarkedViewHoweverDeepAndOnlyThose) {
  std::vector<std::string> log;
  auto a = std::make_shared<MarkingView>("a", &log);
  auto a1 = std::make_shared<HookView>("a1", &log);
  auto a2 = std::make_shared<HookView>("a2", &log);
  auto b = std::make_shared<HookView>("b", &log);
  auto b1 = std::make_shared<HookView>("b1", &log);
  auto deep = std::make_shared<HookView>("deep", &log);
  a->addSubview(a1);
  a->addSubview(a2);
  b->addSubview(b1);
  b1->addSubview(deep);
  window->addSubview(a);
  window->addSubview(b);
  window->layoutIfNeeded();
  log.clear();

  deep->setNeedsLayout();
  window->layoutIfNeeded();
  EXPECT_EQ(log, (std::vector<std::string>{"deep layout"})) << "the settled branches are left alone";
  log.clear();
  window->layoutIfNeeded();
  EXPECT_TRUE(log.empty());

  // Added under a settled view: laid out by the window's next pass, with what it holds.
  auto late = std::make_shared<HookView>("late", &log);
  auto lateChild = std::make_shared<HookView>("late child", &log);
  late->addSubview(lateChild);
  deep->addSubview(late);
  log.clear();  // the hierarchy hooks
  window->layoutIfNeeded();
  EXPECT_EQ(log, (std::vector<std::string>{"late layout", "late child layout"}));
  log.clear();

  // Moved from one settled branch to another, marked on the way.
  lateChild->setNeedsLayout();
  a2->addSubview(lateChild);
  log.clear();
  window->layoutIfNeeded();
  EXPECT_EQ(log, (std::vector<std::string>{"late child layout"}));
  log.clear();

  // A view marked by a layout after its pass went by: taken by the next pass.
  a->setNeedsLayout();
  a->other = a1;
  window->layoutIfNeeded();
  EXPECT_EQ(log, (std::vector<std::string>{"a layout", "a1 layout"})) << "below the marking view: this pass";
  log.clear();
  a2->setNeedsLayout();
  b->setNeedsLayout();
  auto c = std::make_shared<MarkingView>("c", &log);
  c->other = a1;
  window->addSubview(c);
  log.clear();
  window->layoutIfNeeded();
  EXPECT_EQ(log, (std::vector<std::string>{"a2 layout", "b layout", "c layout"}));
  log.clear();
  window->layoutIfNeeded();
  EXPECT_EQ(log, (std::vector<std::string>{"a1 layout"}));
}

// Changes its siblings while it is laid out, as a bar that swaps its buttons does.
class RearrangingView : public HookView {
 public:
  using HookView::HookView;
  std::shared_ptr<View> removes, adds;
  void layoutSubviews() override {
    HookView::layoutSubviews();
    auto parent = superview();
    if (removes) removes->removeFromSuperview();
    if (adds && parent) parent->addSubview(adds);
    removes.reset();
    adds.reset();
  }
};

TEST_F(HierarchyTest, ALayoutThatRearrangesItsSiblingsLeavesNoMarkedSiblingBehind) {
  std::vector<std::string> log;
  auto parent = std::make_shared<HookView>("parent", &log);
  auto first = std::make_shared<HookView>("first", &log);
  auto mover = std::make_shared<RearrangingView>("mover", &log);
  auto next = std::make_shared<HookView>("next", &log);
  auto last = std::make_shared<HookView>("last", &log);
  for (const auto& v : std::vector<std::shared_ptr<View>>{first, mover, next, last}) parent->addSubview(v);
  window->addSubview(parent);
  window->layoutIfNeeded();
  log.clear();

  auto added = std::make_shared<HookView>("added", &log);
  mover->removes = first;  // the views after it move up by one
  mover->adds = added;
  mover->setNeedsLayout();
  next->setNeedsLayout();
  last->setNeedsLayout();
  auto layouts = [&] {
    std::vector<std::string> passed;
    for (const auto& l : log)
      if (l.ends_with(" layout")) passed.push_back(l);
    log.clear();
    return passed;
  };
  window->layoutIfNeeded();
  auto pass = layouts();
  ASSERT_GE(pass.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(pass.begin(), pass.begin() + 3),
            (std::vector<std::string>{"mover layout", "next layout", "last layout"}))
      << "the marked views after the rearranging one are laid out in the same pass";
  window->layoutIfNeeded();
  auto again = layouts();
  pass.insert(pass.end(), again.begin(), again.end());
  EXPECT_EQ(std::count(pass.begin(), pass.end(), "added layout"), 1) << "the added view by the next pass";
  EXPECT_EQ(pass.size(), 4u);
  window->layoutIfNeeded();
  EXPECT_TRUE(layouts().empty());
}

TEST_F(HierarchyTest, ConversionsBetweenSiblingsAndScrolledViews) {
  auto left = std::make_shared<View>(Rect(10, 20, 100, 100));
  auto right = std::make_shared<View>(Rect(200, 20, 100, 100));
  right->setBounds(Rect(0, 50, 100, 100));  // scrolled by 50
  window->addSubview(left);
  window->addSubview(right);
  EXPECT_EQ(left->convertPointToView({5, 5}, right.get()), (Point{-185, 55}));
  EXPECT_EQ(right->convertRectToView(Rect(0, 50, 10, 10), left.get()), Rect(190, 0, 10, 10));
  EXPECT_EQ(UIDriver::visibleRect(*left), Rect(10, 20, 100, 100));
  // Clipped by a parent that clips: only the part inside counts.
  auto clip = std::make_shared<View>(Rect(0, 300, 50, 50));
  clip->setClipsToBounds(true);
  auto wide = std::make_shared<Label>(Rect(40, 0, 100, 20));
  wide->setText("far");
  clip->addSubview(wide);
  window->addSubview(clip);
  EXPECT_EQ(UIDriver::visibleRect(*wide), Rect(40, 300, 10, 20));
  wide->setFrame(Rect(60, 0, 100, 20));
  EXPECT_FALSE(UIDriver::findView("far"));
  EXPECT_FALSE(UIDriver::tap(*wide));
  EXPECT_NE(UIDriver::lastError().find("not on screen"), std::string::npos);
}

TEST_F(HierarchyTest, HidingOrEndingEditingTakesTheFocusAway) {
  auto box = std::make_shared<View>(Rect(0, 0, 320, 200));
  auto field = std::make_shared<TextField>(Rect(0, 0, 100, 30));
  box->addSubview(field);
  window->addSubview(box);
  EXPECT_FALSE(std::make_shared<TextField>()->becomeFirstResponder());  // not in a window
  ASSERT_TRUE(field->becomeFirstResponder());
  EXPECT_EQ(window->firstResponder(), field);
  box->setHidden(true);
  EXPECT_FALSE(field->isEditing());
  box->setHidden(false);
  field->setEnabled(false);
  EXPECT_FALSE(field->becomeFirstResponder());
  EXPECT_FALSE(UIDriver::type("x"));
}

}  // namespace
}  // namespace kavro::test
