#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"

using namespace platform;

TEST(NotificationCenter, MatchesByNameAndSender) {
  NotificationCenter nc;
  int sender1 = 0, sender2 = 0;
  std::vector<std::string> log;
  nc.addObserver("Changed", nullptr, [&](const Notification& n) { log.push_back("any sender:" + n.name); });
  nc.addObserver("Changed", &sender1, [&](const Notification& n) {
    EXPECT_EQ(n.object, &sender1);
    log.push_back("sender1");
  });
  nc.addObserver("", nullptr, [&](const Notification& n) { log.push_back("every name:" + n.name); });
  nc.addObserver("", &sender2,
                 [&](const Notification& n) { log.push_back("every name from sender2:" + n.name); });

  nc.post("Changed", &sender1);
  EXPECT_EQ(log, (std::vector<std::string>{"any sender:Changed", "sender1", "every name:Changed"}));
  log.clear();
  nc.post("Other", &sender2);
  EXPECT_EQ(log, (std::vector<std::string>{"every name:Other", "every name from sender2:Other"}));
  log.clear();
  // Without a sender only observers of every sender hear it.
  nc.post("Changed");
  EXPECT_EQ(log, (std::vector<std::string>{"any sender:Changed", "every name:Changed"}));

  EXPECT_THROW(nc.post(""), std::invalid_argument);
  EXPECT_THROW(nc.addObserver("x", nullptr, nullptr), std::invalid_argument);
}

TEST(NotificationCenter, DeliversUserInfo) {
  NotificationCenter nc;
  auto info = MutableDictionary::create();
  info->setObject("v", "k");
  std::string got;
  nc.addObserver(MemoryWarningNotification, nullptr, [&](const Notification& n) {
    got = n.userInfo ? n.userInfo->valueForKey("k").stringValue() : "none";
  });
  nc.post(MemoryWarningNotification, nullptr, info);
  EXPECT_EQ(got, "v");
  nc.post(MemoryWarningNotification);
  EXPECT_EQ(got, "none");
}

TEST(NotificationCenter, RemovesByTokenAndByOwner) {
  NotificationCenter nc;
  int ownerA = 0, ownerB = 0;
  std::vector<std::string> log;
  auto t1 = nc.addObserver(
      "N", nullptr, [&](const Notification&) { log.push_back("a1"); }, &ownerA);
  nc.addObserver(
      "N", nullptr, [&](const Notification&) { log.push_back("a2"); }, &ownerA);
  nc.addObserver(
      "N", nullptr, [&](const Notification&) { log.push_back("b"); }, &ownerB);
  nc.addObserver("N", nullptr, [&](const Notification&) { log.push_back("none"); });

  nc.removeObserver(t1);
  nc.removeObserver(t1);      // already gone
  nc.removeObserver(123456);  // never existed
  nc.post("N");
  EXPECT_EQ(log, (std::vector<std::string>{"a2", "b", "none"}));
  log.clear();
  nc.removeObserversOwnedBy(&ownerA);
  nc.removeObserversOwnedBy(nullptr);  // does not mean "the observers without owner"
  nc.post("N");
  EXPECT_EQ(log, (std::vector<std::string>{"b", "none"}));
}

TEST(NotificationCenter, ChangesDuringAPost) {
  NotificationCenter nc;
  std::vector<std::string> log;
  NotificationCenter::Token second = 0, self = 0;
  int owner = 0;
  nc.addObserver("N", nullptr, [&](const Notification&) {
    log.push_back("first");
    nc.removeObserver(second);
    nc.removeObserversOwnedBy(&owner);
    nc.addObserver("N", nullptr, [&](const Notification&) { log.push_back("added"); });
  });
  second = nc.addObserver("N", nullptr, [&](const Notification&) { log.push_back("second"); });
  nc.addObserver(
      "N", nullptr, [&](const Notification&) { log.push_back("owned"); }, &owner);
  self = nc.addObserver("N", nullptr, [&](const Notification&) {
    log.push_back("self");
    nc.removeObserver(self);
    nc.post("Nested");  // posting from an observer is fine
  });
  nc.addObserver("Nested", nullptr, [&](const Notification&) { log.push_back("nested"); });

  nc.post("N");
  EXPECT_EQ(log, (std::vector<std::string>{"first", "self", "nested"}));
  log.clear();
  nc.post("N");
  EXPECT_EQ(log, (std::vector<std::string>{"first", "added"}));
}

TEST(NotificationCenter, RemovingAnObserverReleasesItsCapturesOutsideTheLock) {
  NotificationCenter nc;
  struct CallsBackOnDestruction {
    NotificationCenter& nc;
    ~CallsBackOnDestruction() { nc.removeObserversOwnedBy(this); }
  };
  auto guard = std::make_shared<CallsBackOnDestruction>(CallsBackOnDestruction{nc});
  auto token = nc.addObserver("N", nullptr, [guard](const Notification&) {});
  guard.reset();
  nc.removeObserver(token);  // would deadlock if the capture died under the lock
  nc.post("N");
}

TEST(NotificationCenter, ExceptionFromAnObserverReachesThePoster) {
  NotificationCenter nc;
  int later = 0;
  nc.addObserver("N", nullptr, [](const Notification&) { throw std::runtime_error("observer"); });
  nc.addObserver("N", nullptr, [&](const Notification&) { ++later; });
  EXPECT_THROW(nc.post("N"), std::runtime_error);
  EXPECT_EQ(later, 0);
}

TEST(NotificationCenter, PostsFromSeveralThreadsWhileObserversComeAndGo) {
  NotificationCenter nc;
  std::atomic<int> steady{0}, transient{0};
  int owner = 0;
  nc.addObserver("N", nullptr, [&](const Notification&) { steady.fetch_add(1); });
  constexpr int PerThread = 2000;
  auto poster = [&] {
    for (int i = 0; i < PerThread; ++i) nc.post("N");
  };
  std::thread a(poster), b(poster);
  std::thread churn([&] {
    for (int i = 0; i < 500; ++i) {
      auto t = nc.addObserver(
          "N", nullptr, [&](const Notification&) { transient.fetch_add(1); }, &owner);
      if (i % 2)
        nc.removeObserver(t);
      else
        nc.removeObserversOwnedBy(&owner);
    }
  });
  a.join();
  b.join();
  churn.join();
  EXPECT_EQ(steady.load(), 2 * PerThread);
  EXPECT_LE(transient.load(), 2 * PerThread);
  // Everything transient is gone now.
  int before = transient.load();
  nc.post("N");
  EXPECT_EQ(transient.load(), before);
}
