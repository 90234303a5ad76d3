#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/AppCoreInfoApp.h"
#include "app/shell/AppTracking.h"
#include "kit/core/DataItemDetail.h"
#include "platform/foundation/StringTable.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

class AppTrackingModelTest : public test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::StringTable::clearCache();
    appcore::install();
  }
  void TearDown() override {
    AppTracking::flush();
    AppCoreInfo::destroyAppCoreInfo();
    AppCoreInfo::setUpgradeDataBases({});
    AppCoreInfo::setLocalizedString({});
    VirtualRunLoopTest::TearDown();
  }
  // The counts written in the store, by point.
  static std::map<std::string, long long> stored() {
    std::map<std::string, long long> out;
    auto rows = AppCoreInfo::getCoreDB()->get_all("select `TRACE_POINT`,`TRACE_COUNT` from `USER_TRACE`");
    for (const auto& row : rows.value_or(std::vector<SqlRow>{}))
      out[row->valueForKey("TRACE_POINT").stringValue()] = integerValueOf(row->valueForKey("TRACE_COUNT"));
    return out;
  }
  static std::string body() { return platform::stringFromData(AppTracking::getTrackingPostData()); }
  test::TempHome home_;
};

// Uses counted now and later, flushes, the flush timer, uploads that end delivered or not, all
// mixed at random and checked after each step against a plain model: the counts in the store, the
// counts waiting (in the order first counted), the counts handed out, and when the timer is due.
TEST_F(AppTrackingModelTest, AgreesWithAPlainModelOverRandomSequences) {
  int timerWrites = 0, undelivered = 0;
  for (unsigned seed : {5u, 77u, 901u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::map<std::string, long long> inStore;  // TRACE_COUNT by point
    std::vector<std::string> firstStored;      // points in the order their rows were made
    std::vector<std::pair<std::string, long long>> waiting;
    std::map<std::string, long long> handedOut;
    double due = -1;  // when the waiting counts are written by the timer; -1: no timer
    // What earlier rounds left: the rows in the order they were made.
    for (const auto& row : AppCoreInfo::getCoreDB()
                               ->get_all("select `TRACE_POINT`,`TRACE_COUNT` from `USER_TRACE` order by `ID`")
                               .value_or(std::vector<SqlRow>{})) {
      const std::string p = row->valueForKey("TRACE_POINT").stringValue();
      inStore[p] = integerValueOf(row->valueForKey("TRACE_COUNT"));
      firstStored.push_back(p);
    }

    auto writeWaiting = [&] {
      for (const auto& [p, c] : waiting) {
        if (!inStore.count(p)) firstStored.push_back(p);
        inStore[p] += c;
      }
      waiting.clear();
      due = -1;
    };
    auto point = [&] { return "TRACKING_P" + std::to_string(rng() % 6); };
    for (int step = 0; step < 300; ++step) {
      // Counted later more often than now, so that the timer comes due now and then.
      const unsigned op = rng() % 12;
      if (op < 2) {
        const std::string p = point();
        AppTracking::record(p);
        writeWaiting();
        if (!inStore.count(p)) firstStored.push_back(p);
        ++inStore[p];
      } else if (op < 7) {
        const std::string p = point();
        AppTracking::recordLater(p);
        auto it = std::find_if(waiting.begin(), waiting.end(), [&](const auto& w) { return w.first == p; });
        if (it != waiting.end()) {
          ++it->second;
        } else {
          if (waiting.empty()) due = now() + AppTracking::FlushDelay;
          waiting.emplace_back(p, 1);
        }
      } else if (op == 7) {
        AppTracking::flush();
        writeWaiting();
      } else if (op < 10) {
        const double step = (rng() % 2) ? 1 : AppTracking::FlushDelay * 0.6;
        const double until = now() + step;
        runFor(step);
        if (due >= 0 && due <= until) {
          writeWaiting();
          ++timerWrites;
        }
      } else if (op == 10) {
        // An upload starts: every count not yet handed out, in the order the rows were made.
        writeWaiting();
        std::string expected;
        for (const auto& p : firstStored) {
          const long long give = inStore[p] - handedOut[p];
          if (give <= 0) continue;
          handedOut[p] += give;
          if (!expected.empty()) expected += '&';
          expected += p + "=" + std::to_string(give);
        }
        ASSERT_EQ(body(), expected) << "step " << step;
      } else {
        const bool delivered = rng() % 2;
        AppTracking::trackingUploadEnded(delivered);
        if (delivered) {
          for (const auto& [p, c] : handedOut) inStore[p] = std::max(inStore[p] - c, 0LL);
        } else {
          ++undelivered;
        }
        handedOut.clear();
      }
      std::map<std::string, long long> expected;
      for (const auto& [p, c] : inStore) expected[p] = c;
      ASSERT_EQ(stored(), expected) << "step " << step << " op " << op;
    }
    AppTracking::flush();
    AppTracking::trackingUploadEnded(false);
  }
  // The sequences went through every branch.
  EXPECT_GT(timerWrites, 3);
  EXPECT_GT(undelivered, 6);
}

// The timer that writes counts later is the waiting counts' own: a write before it ends it, and a
// count made after that waits its own full delay, not what was left of the old one.
TEST_F(AppTrackingModelTest, AWriteBeforeTheDelayEndsItsTimer) {
  const double delay = AppTracking::FlushDelay;
  AppTracking::recordLater("TRACKING_A");
  runFor(delay - 1);
  EXPECT_EQ(stored().count("TRACKING_A"), 0u);
  runFor(1);
  EXPECT_EQ(stored()["TRACKING_A"], 1);

  AppTracking::recordLater("TRACKING_A");  // a new timer: due at now + delay
  runFor(delay / 3);
  AppTracking::record("TRACKING_B");  // writes A with it and ends that timer
  EXPECT_EQ(stored()["TRACKING_A"], 2);
  runFor(delay / 3);
  AppTracking::recordLater("TRACKING_C");
  runFor(delay / 3 + 1);  // past the first timer's time: C must still wait
  EXPECT_EQ(stored().count("TRACKING_C"), 0u);
  runFor(delay * 2 / 3 - 2);
  EXPECT_EQ(stored().count("TRACKING_C"), 0u);
  runFor(1);
  EXPECT_EQ(stored()["TRACKING_C"], 1);

  // Flushed by hand: the timer has nothing left to do, and nothing is written twice.
  AppTracking::recordLater("TRACKING_D");
  AppTracking::flush();
  EXPECT_EQ(stored()["TRACKING_D"], 1);
  runFor(delay * 2);
  EXPECT_EQ(stored()["TRACKING_D"], 1);
  EXPECT_EQ(stored(), (std::map<std::string, long long>{
                          {"TRACKING_A", 2}, {"TRACKING_B", 1}, {"TRACKING_C", 1}, {"TRACKING_D", 1}}));
}

}  // namespace
}  // namespace kavro
