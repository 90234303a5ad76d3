#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/system/CalendarStore.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace platform {
namespace {

class CalendarStoreTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    CalendarStore::resetAuthorization();
  }
  void TearDown() override {
    CalendarStore::resetAuthorization();
    VirtualRunLoopTest::TearDown();
  }

  CalendarEvent talk(std::string title, double start, double length) {
    CalendarEvent e;
    e.title = std::move(title);
    e.location = "Hall 3";
    e.startDate = Date(start);
    e.endDate = Date(start + length);
    e.alarmOffsets = {-3600};
    return e;
  }

  kavro::test::TempHome home_;
};

TEST_F(CalendarStoreTest, AccessIsAskedOnceAndAnsweredOnTheMainLoop) {
  CalendarStore store;
  CalendarEvent e = talk("Campus talk", 1000, 3600);
  Error error;
  EXPECT_FALSE(store.saveEvent(e, &error));
  EXPECT_EQ(error.domain, CalendarErrorDomain);
  EXPECT_EQ(error.code, static_cast<int>(CalendarError::AccessDenied));

  CalendarStore::setAccessAnswer(false);
  std::optional<bool> answer;
  store.requestAccessToEvents([&](bool granted, std::optional<Error>) { answer = granted; });
  EXPECT_FALSE(answer);  // never from inside the call
  runFor(0);
  EXPECT_EQ(answer, false);
  EXPECT_EQ(CalendarStore::authorizationStatus(), CalendarAuthorizationStatus::Denied);
  // Asked again, the user is not: the status stands.
  CalendarStore::setAccessAnswer(true);
  store.requestAccessToEvents([&](bool granted, std::optional<Error>) { answer = granted; });
  runFor(0);
  EXPECT_EQ(answer, false);

  CalendarStore::setAuthorizationStatus(CalendarAuthorizationStatus::Authorized);
  EXPECT_TRUE(store.saveEvent(e));
}

TEST_F(CalendarStoreTest, EventsAreSavedUnderTheHomeRootAndFoundAgain) {
  CalendarStore::setAuthorizationStatus(CalendarAuthorizationStatus::Authorized);
  CalendarStore store;
  CalendarEvent late = talk("Late", 5000, 600), early = talk("Early", 1000, 600);
  ASSERT_TRUE(store.saveEvent(late));
  ASSERT_TRUE(store.saveEvent(early));
  EXPECT_FALSE(late.eventIdentifier.empty());
  EXPECT_NE(late.eventIdentifier, early.eventIdentifier);
  EXPECT_TRUE(FileManager::fileExistsAtPath(Environment::libraryPath() + "/Calendar/Events.archive"));

  // Another store object reads the same file.
  CalendarStore other;
  auto all = other.events();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0], early);
  EXPECT_EQ(all[1], late);
  EXPECT_EQ(other.eventsMatching(Date(1700), Date(5001)).size(), 1u);
  EXPECT_EQ(other.eventsMatching(Date(0), Date(1000)).size(), 0u);

  late.title = "Later";
  ASSERT_TRUE(other.saveEvent(late));
  EXPECT_EQ(store.eventWithIdentifier(late.eventIdentifier)->title, "Later");
  EXPECT_EQ(store.events().size(), 2u);

  CalendarEvent inverted = talk("Backwards", 100, -1);
  Error error;
  EXPECT_FALSE(store.saveEvent(inverted, &error));
  EXPECT_EQ(error.code, static_cast<int>(CalendarError::DatesInverted));

  std::string removed = early.eventIdentifier;
  EXPECT_TRUE(store.removeEvent(removed));
  EXPECT_FALSE(store.removeEvent(removed, &error));
  EXPECT_EQ(error.code, static_cast<int>(CalendarError::NoSuchEvent));
  // Identifiers are not given twice.
  CalendarEvent next = talk("Next", 10, 10);
  ASSERT_TRUE(store.saveEvent(next));
  EXPECT_NE(next.eventIdentifier, removed);
  EXPECT_EQ(CalendarStore().events(), (std::vector<CalendarEvent>{next, late}));

  CalendarStore::setAuthorizationStatus(CalendarAuthorizationStatus::Denied);
  EXPECT_TRUE(store.events().empty());
  EXPECT_FALSE(store.eventWithIdentifier(next.eventIdentifier));
  EXPECT_FALSE(store.removeEvent(next.eventIdentifier, &error));
  EXPECT_EQ(error.code, static_cast<int>(CalendarError::AccessDenied));
  CalendarStore::setAuthorizationStatus(CalendarAuthorizationStatus::Authorized);
  EXPECT_TRUE(store.eventWithIdentifier(next.eventIdentifier)) << "a refused removal removes nothing";

  // A calendar that cannot be written: saving says so and gives no identifier.
  const std::string folder = Environment::libraryPath() + "/Calendar";
  ASSERT_TRUE(FileManager::removeItemAtPath(folder));
  ASSERT_TRUE(FileManager::createDirectoryAtPath(folder + "/Events.archive/in the way", true));
  CalendarEvent unsaved = talk("Unsaved", 20, 10);
  EXPECT_FALSE(store.saveEvent(unsaved, &error));
  EXPECT_EQ(error.code, static_cast<int>(CalendarError::WriteFailed));
  EXPECT_TRUE(unsaved.eventIdentifier.empty());
  EXPECT_TRUE(store.events().empty());
}

}  // namespace
}  // namespace platform
