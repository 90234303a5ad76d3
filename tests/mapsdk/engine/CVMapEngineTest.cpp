#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

using namespace gmengine;

namespace {

class CVMapEngineTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ASSERT_EQ(InitMapEngine(), 1);
    engine = GetMainGlobalMan()->engine;
    EngineHooks hooks;
    hooks.location = Recorder("location");
    hooks.mapControl = Recorder("mapControl");
    hooks.search = Recorder("search");
    hooks.offlineTask = Recorder("offlineTask");
    hooks.mapView = Recorder("mapView");
    hooks.notifier = [this](int kind, int a, int b) {
      log.push_back("notifier " + std::to_string(kind) + " " + std::to_string(a) + " " + std::to_string(b));
    };
    hooks.animationStep = [this] { log.push_back("step"); };
    hooks.resetLocation = [this] { log.push_back("reset"); };
    engine->SetHooks(hooks);
  }
  void TearDown() override {
    UnInitMapEngine();
    VirtualRunLoopTest::TearDown();
  }
  EngineMsgProc Recorder(std::string name) {
    return [this, name](int m, int w, int l) {
      log.push_back(name + " " + std::to_string(m) + " " + std::to_string(w) + " " + std::to_string(l));
      return 0;
    };
  }
  std::vector<std::string> Take() { return std::exchange(log, {}); }

  kavro::test::TempHome home;
  CVMapEngine* engine = nullptr;
  std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(CVMapEngineTest, TheGlobalCarriesTheEngineSettings) {
  CVMainGlobalMan* global = GetMainGlobalMan();
  ASSERT_NE(global, nullptr);
  EXPECT_EQ(GetGlobalMan(), global);
  EXPECT_EQ(InitMapEngine(), 1);
  EXPECT_EQ(GetMainGlobalMan(), global);  // built once
  EXPECT_EQ(global->sysInfo.dataPath.ToUtf8(), home.path() + "/Library/Caches/GeoMapSdk/");
  EXPECT_EQ(global->sysInfo.offlineDownload, -1);
  EXPECT_EQ(global->bitsPerPixel, 32);
  EXPECT_EQ(global->sysInfo.screen.width, 640);
  EXPECT_EQ(engine->dpiX, 326);
  EXPECT_NE(GetUrlTranslater(), nullptr);
  EXPECT_EQ(engine->mapControl, nullptr);
}

TEST_F(CVMapEngineTest, EngineMessagesGoToThePartsThatOwnThem) {
  engine->EngineMessageProc(8, 1004, 0);
  EXPECT_EQ(Take(), (Log{"offlineTask 8 1004 0", "location 8 1004 0", "mapControl 8 1004 0"}));
  engine->EngineMessageProc(8, 1000, 0);
  EXPECT_EQ(Take(), (Log{"location 8 1000 0", "mapControl 8 1000 0"}));
  engine->EngineMessageProc(1003, 9, 5);
  engine->EngineMessageProc(1005, 9, 5);  // the catalogue client's failures stay with it
  engine->EngineMessageProc(1120, 9, 5);
  EXPECT_EQ(Take(), (Log{"offlineTask 1003 9 5", "offlineTask 1120 9 5"}));
  engine->EngineMessageProc(1003, 0, 1);
  engine->EngineMessageProc(1004, 3, 1);
  engine->EngineMessageProc(1003, 2, 0);
  engine->EngineMessageProc(1006, 5, 0);
  engine->EngineMessageProc(1002, 1, 7);
  engine->EngineMessageProc(1003, 12, 7);
  EXPECT_EQ(Take(), (Log{"search 1003 0 1", "search 1004 3 1", "location 1003 2 0", "location 1006 5 0",
                         "mapControl 1002 1 7", "mapControl 1003 12 7"}));
  engine->EngineMessageProc(8013, 2, 3);
  EXPECT_EQ(Take(), (Log{"mapControl 8013 2 3", "location 8013 2 3"}));
}

TEST_F(CVMapEngineTest, UiMessagesReachTheNotifierAndTheMapView) {
  engine->UIMessageProc(2000, 14, 12);
  engine->UIMessageProc(2000, 11, 0);
  engine->UIMessageProc(2000, 999, 3);
  engine->UIMessageProc(2000, 506, 101);
  engine->UIMessageProc(65289, 4, 55);
  engine->UIMessageProc(2004, 0, 0);
  engine->UIMessageProc(9, 0, 0);
  engine->UIMessageProc(8016, 65537, 0);
  EXPECT_EQ(Take(), (Log{"notifier 2 100 14", "notifier 1 0 11", "notifier 0 3 999", "notifier 15 101 506",
                         "notifier 13 4 55", "mapView 9 0 0", "mapView 8016 65537 0"}));
  EXPECT_EQ(CVMapEngine::NotifierKindForResultType(-1), 7);
  EXPECT_EQ(CVMapEngine::NotifierKindForResultType(507), 12);
}

TEST_F(CVMapEngineTest, AnimationMessagesPostNotificationsAndStepLater) {
  auto& center = platform::NotificationCenter::defaultCenter();
  auto begin = center.addObserver(NotificationEngineAnimationBegin, nullptr,
                                  [this](const platform::Notification&) { log.push_back("begin"); });
  auto end = center.addObserver(NotificationEngineAnimationEnd, nullptr,
                                [this](const platform::Notification&) { log.push_back("end"); });
  engine->UIMessageProc(8015, 0, 0);
  EXPECT_EQ(Take(), Log{"begin"});
  runFor(0.005);
  EXPECT_TRUE(Take().empty());
  runFor(0.005);
  EXPECT_EQ(Take(), Log{"step"});
  engine->UIMessageProc(8018, 0, 0);
  EXPECT_EQ(Take(), Log{"end"});
  center.removeObserver(begin);
  center.removeObserver(end);
}

TEST_F(CVMapEngineTest, StartRedrawsAndResetsWhatExistsAndRoutesQueuedMessages) {
  int block = 0;
  engine->mapControl = reinterpret_cast<CMapControl*>(&block);
  engine->location = reinterpret_cast<CAppLocation*>(&block);
  EXPECT_EQ(engine->Start(), 1);
  EXPECT_TRUE(engine->IsStarted());
  EXPECT_EQ(Take(), (Log{"mapView 9 0 0", "reset"}));
  GetGlobalMan()->dispatcher->PostMessage(1, 8010, 510, 0);
  GetGlobalMan()->dispatcher->PostMessage(2, 2000, 44, 0);
  runFor(0);
  EXPECT_EQ(Take(), (Log{"notifier 6 0 44", "mapControl 8010 510 0", "location 8010 510 0"}));
  EXPECT_EQ(engine->Stop(), 1);
  EXPECT_FALSE(GetGlobalMan()->dispatcher->IsTimerRunning());
  engine->mapControl = nullptr;
  engine->location = nullptr;
}

TEST_F(CVMapEngineTest, CreateMapWindowNeedsAMapControlBlockAndAWindow) {
  int block = 0, window = 0;
  auto* wnd = reinterpret_cast<CVWnd*>(&window);
  EXPECT_EQ(engine->CreateMapWindow(wnd, 12958162, 4825907, 0, 0, 5, 5, 12), 0);
  engine->mapControl = reinterpret_cast<CMapControl*>(&block);
  EXPECT_EQ(engine->CreateMapWindow(nullptr, 0, 0, 0, 0, 5, 5, 12), 0);
  EngineHooks hooks = engine->GetHooks();
  hooks.initMapWindow = [this](CVWnd*, int x, int y, int, int, int r, int b, int level) {
    log.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(r) + "x" +
                  std::to_string(b) + " " + std::to_string(level));
    return 1;
  };
  engine->SetHooks(hooks);
  EXPECT_EQ(engine->CreateMapWindow(wnd, 12958162, 4825907, 0, 0, 5, 5, 12), 1);
  EXPECT_EQ(GetMainGlobalMan()->mapWindow, wnd);
  EXPECT_EQ(Take(), Log{"12958162,4825907 5x5 12"});
  engine->mapControl = nullptr;
}

TEST(CVMapEngineGlobalTest, NothingWithoutAnEngine) {
  EXPECT_EQ(GetMainGlobalMan(), nullptr);
  EXPECT_EQ(GetUrlTranslater(), nullptr);
  UnInitMapEngine();  // nothing to do
}

}  // namespace
