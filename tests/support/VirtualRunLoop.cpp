#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

void VirtualRunLoopTest::SetUp() {
  loop().discardAll();
  clock_ = std::make_shared<platform::VirtualClock>();
  loop().setClock(clock_);
}

void VirtualRunLoopTest::TearDown() {
  // Leftovers may capture the finished test's state: drop them unrun.
  loop().discardAll();
  loop().setClock(platform::Clock::real());
}

}  // namespace kavro::test
