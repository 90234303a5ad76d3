#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/system/CalendarStore.h"
#include "tests/support/FaultShim.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace platform {
namespace {

using kavro::test::FaultShim;

const bool shimLoaded = FaultShim::rerunWithShim(KAVRO_FAULT_SHIM);

CalendarEvent talk(std::string title, double start) {
  CalendarEvent e;
  e.title = std::move(title);
  e.startDate = Date(start);
  e.endDate = Date(start + 3600);
  return e;
}

class CalendarStoreFaultTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ASSERT_TRUE(shimLoaded && FaultShim::loaded());
    CalendarStore::resetAuthorization();
    CalendarStore::setAuthorizationStatus(CalendarAuthorizationStatus::Authorized);
  }
  void TearDown() override {
    FaultShim::disarm();
    CalendarStore::resetAuthorization();
    VirtualRunLoopTest::TearDown();
  }
  kavro::test::TempHome home_;
};

// A calendar file that could not be read is not taken for an empty one: a save or removal then
// would have written the calendar anew with the one event it was given, and every other was lost.
TEST_F(CalendarStoreFaultTest, AReadThatFailsChangesNothingAndTheNextCallWorks) {
  CalendarStore store;
  std::vector<CalendarEvent> saved = {talk("First", 100), talk("Second", 200)};
  for (CalendarEvent& e : saved) ASSERT_TRUE(store.saveEvent(e));

  for (bool removing : {false, true}) {
    SCOPED_TRACE(removing ? "removing" : "saving");
    FaultShim::arm({.path = "Events.archive", .calls = FaultShim::Reads, .times = 1});
    Error error;
    CalendarEvent third = talk("Third", 300);
    EXPECT_FALSE(removing ? store.removeEvent(saved[0].eventIdentifier, &error)
                          : store.saveEvent(third, &error));
    EXPECT_EQ(error.code, static_cast<int>(CalendarError::ReadFailed));
    EXPECT_EQ(FaultShim::failed(), 1);
    FaultShim::disarm();
    EXPECT_TRUE(third.eventIdentifier.empty());
    EXPECT_EQ(store.events(), saved);
  }
  // Reads work again: the calendar is used as before.
  CalendarEvent third = talk("Third", 300);
  ASSERT_TRUE(store.saveEvent(third));
  ASSERT_TRUE(store.removeEvent(saved[0].eventIdentifier));
  EXPECT_EQ(store.events(), (std::vector<CalendarEvent>{saved[1], third}));
}

}  // namespace
}  // namespace platform
