#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"

namespace kavro::test {

// Runs a test on RunLoop::main() with a fresh VirtualClock. Before and after the test every timer,
// perform, fd source and posted work left on the main loop is dropped unrun, and the real clock
// comes back afterwards, so the next test starts clean.
class VirtualRunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::RunLoop& loop() { return platform::RunLoop::main(); }
  platform::VirtualClock& clock() { return *clock_; }
  double now() const { return clock_->now(); }

  // Shorthands for the main loop in the default mode.
  void runFor(double seconds) { loop().runFor(seconds); }
  bool runUntil(const std::function<bool()>& pred, double timeout = 60) {
    return loop().runUntil(pred, timeout);
  }

 private:
  std::shared_ptr<platform::VirtualClock> clock_;
};

}  // namespace kavro::test
