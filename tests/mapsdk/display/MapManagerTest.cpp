#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/offline/GMKOfflineMap.h"
#include "mapsdk/raster/CVWnd.h"
#include "mapsdk/search/GMKNotifier.h"
#include "platform/foundation/Environment.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace {

class MapManagerTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void TearDown() override {
    platform::RunLoop::main().discardAll();
    VirtualRunLoopTest::TearDown();
  }
  kavro::test::TempHome home;
};

TEST_F(MapManagerTest, TwoManagersOneAfterAnotherShareNoDelegates) {
  int heard = 0;
  {
    mapsdk::GMKMapManager first;
    ASSERT_TRUE(first.start([&](int state) { heard = state; }));
    mapsdk::GMKNotifier::msgProc(ToInt(gmengine::NotifierKind::NetworkState), 1, 0);
    EXPECT_EQ(heard, 1);
    EXPECT_TRUE(first.stop());
  }
  EXPECT_EQ(gmengine::GetMainGlobalMan(), nullptr);
  mapsdk::GMKMapManager second;
  // The first manager's engine took its delegates along.
  mapsdk::GMKNotifier::msgProc(ToInt(gmengine::NotifierKind::NetworkState), 2, 0);
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(mapsdk::GMKNotifier::searchDelegate(), nullptr);
}

TEST_F(MapManagerTest, ASlideStepOnTheUiQueueMovesTheMapOneStep) {
  mapsdk::GMKMapManager manager;
  ASSERT_TRUE(manager.start(nullptr));
  ASSERT_EQ(gmengine::initWindowAndMapControl({}), 1);
  gmengine::CMapControlBlock* control = gmengine::MapControlOfEngine();
  ASSERT_NE(control, nullptr);
  gmengine::AdjustMapWindow(control, 0, 0, 640, 960);
  // A fling of 40 pixels to the right: its first slide step carries the map 17 pixels on.
  control->OnDragEnd(0, 0, 40, 0);
  gmengine::_VPoint from;
  gmengine::GetMapCenter(from);
  const int upp = control->Status().upp;
  gmengine::GetGlobalMan()->dispatcher->SendMessage(gmengine::CVMsgDispatcher::kUIQueue,
                                                    ToInt(gmengine::EngineMsg::SlideStep), 0, 0);
  gmengine::_VPoint now;
  gmengine::GetMapCenter(now);
  EXPECT_EQ(now.x, from.x - 17 * upp);
  EXPECT_EQ(now.y, from.y);
  EXPECT_TRUE(manager.stop());
}

TEST_F(MapManagerTest, ReleasingTheMapLayersLeavesNothingToDrawOrShow) {
  mapsdk::GMKMapManager manager;
  ASSERT_EQ(gmengine::initWindowAndMapControl({}), 1);
  gmengine::CMapControlBlock* control = gmengine::MapControlOfEngine();
  ASSERT_NE(control, nullptr);
  gmengine::AdjustMapWindow(control, 0, 0, 64, 64);
  gmengine::CVWnd* window = gmengine::GetMainGlobalMan()->mapWindow;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(gmengine::DrawMapControl(control, *window->GetDC()), 1);
  EXPECT_EQ(gmengine::ReleaseMapLayers(control), 1);
  EXPECT_EQ(gmengine::DrawMapControl(control, *window->GetDC()), 0);
  EXPECT_EQ(gmengine::SetMapType(control, gmengine::MapLayerCode::Satellite, 1), 0);
}

// Hears the offline states.
class OfflineDelegate : public mapsdk::GMKOfflineMapDelegate {
 public:
  void onGetOfflineMapState(gmengine::OfflineState state, int value) override {
    states.emplace_back(state, value);
  }
  std::vector<std::pair<gmengine::OfflineState, int>> states;
};

TEST_F(MapManagerTest, OfflineStatesOfTheEngineReachTheOfflineMapsDelegate) {
  mapsdk::GMKMapManager manager;
  ASSERT_TRUE(manager.start(nullptr));
  auto offline = mapsdk::GMKOfflineMap::create();
  ASSERT_NE(offline, nullptr);
  auto delegate = std::make_shared<OfflineDelegate>();
  offline->setDelegate(delegate);
  gmengine::CVMsgDispatcher* dispatcher = gmengine::GetGlobalMan()->dispatcher.get();
  const int offlineState = ToInt(gmengine::EngineMsg::OfflineState);
  dispatcher->PostMessage(gmengine::CVMsgDispatcher::kUIQueue, offlineState,
                          ToInt(gmengine::OfflineState::Installing), 7);
  dispatcher->PostMessage(gmengine::CVMsgDispatcher::kUIQueue, offlineState,
                          ToInt(gmengine::OfflineState::CityChanged),
                          131);  // kept inside
  runFor(0);
  EXPECT_EQ(delegate->states,
            (std::vector<std::pair<gmengine::OfflineState, int>>{{gmengine::OfflineState::Installing, 7}}));
  EXPECT_TRUE(manager.stop());
}

}  // namespace
