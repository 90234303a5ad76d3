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

// Uses counted, uploads that end delivered or not, and time passing, all mixed at random and
// checked after each step against a plain model: the counts in the store and the counts handed out.
TEST_F(AppTrackingModelTest, AgreesWithAPlainModelOverRandomSequences) {
  int undelivered = 0, delivered = 0;
  for (unsigned seed : {5u, 77u, 901u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::map<std::string, long long> inStore;  // TRACE_COUNT by point
    std::vector<std::string> firstStored;      // points in the order their rows were made
    std::map<std::string, long long> handedOut;
    // What earlier rounds left: the rows in the order they were made.
    for (const auto& row : AppCoreInfo::getCoreDB()
                               ->get_all("select `TRACE_POINT`,`TRACE_COUNT` from `USER_TRACE` order by `ID`")
                               .value_or(std::vector<SqlRow>{})) {
      const std::string p = row->valueForKey("TRACE_POINT").stringValue();
      inStore[p] = integerValueOf(row->valueForKey("TRACE_COUNT"));
      firstStored.push_back(p);
    }
    auto point = [&] { return "TRACKING_P" + std::to_string(rng() % 6); };
    for (int step = 0; step < 300; ++step) {
      const unsigned op = rng() % 10;
      if (op < 6) {
        const std::string p = point();
        AppTracking::record(p);
        if (!inStore.count(p)) firstStored.push_back(p);
        ++inStore[p];
      } else if (op == 6) {
        // Nothing waits for a timer: time passing writes nothing.
        runFor((rng() % 2) ? 1 : 45);
      } else if (op < 9) {
        // An upload starts: every count not yet handed out, in the order the rows were made.
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
        const bool done = rng() % 2;
        AppTracking::trackingUploadEnded(done);
        if (done) {
          for (const auto& [p, c] : handedOut) inStore[p] = std::max(inStore[p] - c, 0LL);
          ++delivered;
        } else {
          ++undelivered;
        }
        handedOut.clear();
      }
      ASSERT_EQ(stored(), inStore) << "step " << step << " op " << op;
    }
    AppTracking::trackingUploadEnded(false);
  }
  // The sequences went through every branch.
  EXPECT_GT(delivered, 6);
  EXPECT_GT(undelivered, 6);
}

// A use is in the store as soon as it is counted, each count its own write; no timer is left to
// write it again later.
TEST_F(AppTrackingModelTest, ACountIsStoredAtOnceAndNothingFiresAfter) {
  AppTracking::record("TRACKING_A");
  EXPECT_EQ(stored()["TRACKING_A"], 1);
  AppTracking::record("TRACKING_A");
  AppTracking::record("TRACKING_B");
  EXPECT_EQ(stored(), (std::map<std::string, long long>{{"TRACKING_A", 2}, {"TRACKING_B", 1}}));
  runFor(120);
  EXPECT_EQ(stored(), (std::map<std::string, long long>{{"TRACKING_A", 2}, {"TRACKING_B", 1}}));
}

}  // namespace
}  // namespace kavro
