#pragma once
#include <gtest/gtest.h>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/search/CAppSearch.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {

inline constexpr int kSide = 200;
inline constexpr int kCentre = 100000;  // map units

// An engine with its own search object, whose stored results the vector layers build from, and a
// 200 x 200 window on the map around (100000, 100000) at level 18 (a map unit to a pixel).
class SearchResultsTest : public VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ASSERT_EQ(gmengine::InitMapEngine(), 1);
    search = gmengine::CAppSearch::install(*gmengine::GetMainGlobalMan());
    ASSERT_NE(search, nullptr);
    SetLevel(18);
  }
  void TearDown() override {
    gmengine::UnInitMapEngine();
    VirtualRunLoopTest::TearDown();
  }
  void SetLevel(int level) {
    status.SetLevel(level);
    status.SetWindow({0, 0, kSide, kSide});
    status.SetCenter(kCentre, kCentre);
    status.UpdateBounds(status.KeptCols(), status.KeptRows());
  }

  mapsdk::CMapStatus status;
  // The engine's own search object (made only through the engine).
  gmengine::CAppSearch* search = nullptr;
};

}  // namespace kavro::test
