#include <gtest/gtest.h>

#include "platform/ui/ViewController.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

using DismissNothingTest = UITest;

// A screen that presents nothing and was presented by nothing has nothing to dismiss: the call
// leaves it where it is, on screen, and no completion runs for a dismissal that did not happen.
TEST_F(DismissNothingTest, DismissingWhenNothingIsPresentedChangesNothing) {
  auto screen = std::make_shared<ViewController>();
  window->setRootViewController(screen);
  ViewController::finishPendingTransitions();
  ASSERT_EQ(screen->view()->window(), window);
  int completions = 0;
  screen->dismissViewControllerAnimated(false, [&] { ++completions; });
  screen->dismissViewControllerAnimated(true, [&] { ++completions; });
  ViewController::finishPendingTransitions();
  runFor(1);
  EXPECT_EQ(completions, 0);
  EXPECT_EQ(screen->view()->window(), window);
  EXPECT_EQ(window->rootViewController(), screen);
  EXPECT_EQ(screen->presentedViewController(), nullptr);
}

}  // namespace
}  // namespace kavro::test
