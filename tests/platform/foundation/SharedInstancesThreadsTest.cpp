#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TempHome.h"

using namespace platform;

namespace {

// The clock a test installs is read by every thread that asks for the date: each read is of one
// installed clock, whole. The installed clock is a plain shared pointer, so a read or an install
// without the lock shows only under the thread sanitizer build.
TEST(SharedInstancesThreads, TheDateIsReadFromOneWholeClockWhileClocksAreInstalled) {
  auto early = std::make_shared<VirtualClock>(1000.0);
  auto late = std::make_shared<VirtualClock>(2000.0);
  Date::setClock(early);
  std::atomic<bool> done{false};
  std::atomic<int> strange{0}, reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!done.load()) {
        const double now = Date::now().timeIntervalSince1970();
        if (now != 1000.0 && now != 2000.0) ++strange;
        ++reads;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) Date::setClock(i % 2 ? early : late);
  while (reads.load() < 10) std::this_thread::yield();
  done = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(strange.load(), 0);
  Date::setClock(late);
  EXPECT_EQ(Date::now().timeIntervalSince1970(), 2000.0);
  Date::setClock(nullptr);
  EXPECT_GT(Date::now().timeIntervalSince1970(), 1.7e9);  // the system's clock again
}

// Threads asking for the shared defaults at once, the first time, all get the one instance.
TEST(SharedInstancesThreads, TheSharedDefaultsAreMadeOnceForThreadsAskingAtOnce) {
  kavro::test::TempHome home;
  for (int round = 0; round < 20; ++round) {
    UserDefaults::destroyStandardUserDefaults();
    std::atomic<int> ready{0};
    std::vector<UserDefaults*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        ++ready;
        while (ready.load() < 4) std::this_thread::yield();
        seen[static_cast<std::size_t>(t)] = &UserDefaults::standardUserDefaults();
      });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(std::set<UserDefaults*>(seen.begin(), seen.end()).size(), 1u) << round;
    EXPECT_EQ(seen[0], &UserDefaults::standardUserDefaults());
  }
  UserDefaults::destroyStandardUserDefaults();
}

}  // namespace
