#include "tests/support/VirtualRunLoop.h"

#include "platform/foundation/Date.h"

namespace kavro::test {

void VirtualRunLoopTest::SetUp() {
  loop().discardAll();
  clock_ = std::make_shared<platform::VirtualClock>();
  loop().setClock(clock_);
  // Dates read the same time as the loop's timers.
  platform::Date::setClock(clock_);
}

void VirtualRunLoopTest::TearDown() {
  // Leftovers may capture the finished test's state: drop them unrun.
  loop().discardAll();
  loop().setClock(platform::Clock::real());
  platform::Date::setClock(nullptr);
}

}  // namespace kavro::test
