#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "demo/LoopbackHttpServer.h"
#include "mapsdk/display/CAppLocation.h"
#include "mapsdk/display/CLocLayer.h"
#include "mapsdk/display/LocationBlock.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VCoordShift.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/engine/VTick.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "tests/mapsdk/engine/EngineTestParts.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

using namespace mapsdk;

namespace {

struct FakeGps : GpsSource {
  int Start() override {
    ++starts;
    return 1;
  }
  int Stop() override {
    ++stops;
    return 1;
  }
  GpsFix GetFix() override { return fix; }
  void Place(float longitude, float latitude, float accuracy = 30) {
    fix.state = FixState::Fix;
    fix.longitude = longitude;
    fix.latitude = latitude;
    fix.accuracy = accuracy;
    fix.valid = 1;
  }
  GpsFix fix;
  int starts = 0;
  int stops = 0;
};

struct FakeCell : CellSource {
  int Init() override { return 1; }
  int Start() override { return 1; }
  int Stop() override { return 1; }
  CellRecord GetCell() override { return cell; }
  CellRecord cell;
};

struct FakeWifi : WifiSource {
  int Start() override { return startResult; }
  void Stop() override {}
  WifiScan Scan() override { return {}; }
  int startResult = 1;
};

CellRecord Cell(int c3, int c2 = 4189, int c0 = 460, int c1 = 0) {
  CellRecord cell;
  cell.c0 = c0;
  cell.c1 = c1;
  cell.c2 = c2;
  cell.c3 = c3;
  return cell;
}

// The combiner with fake sources; ticks are driven by hand on the virtual clock.
class LocationCombinerTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    gmengine::SetTickClock(std::shared_ptr<platform::Clock>(&clock(), [](platform::Clock*) {}));
    gmengine::ResetShiftState();
    auto g = std::make_unique<FakeGps>();
    auto c = std::make_unique<FakeCell>();
    auto w = std::make_unique<FakeWifi>();
    gps = g.get();
    cell = c.get();
    wifi = w.get();
    location =
        std::make_unique<CAppLocation>(std::move(g), std::move(c), std::move(w), dir.path() + "/loc.dat");
    location->SetNotify([this](int lParam) {
      notes.push_back(lParam);
      location->GetLocation();  // as the map view does on EngineMsg::LocationChanged
    });
  }
  void TearDown() override {
    location.reset();
    gmengine::SetTickClock(nullptr);
    gmengine::ResetShiftState();
    VirtualRunLoopTest::TearDown();
  }
  void Tick(double seconds = 1.0) {
    clock().advance(seconds);
    location->OnTimer();
  }

  kavro::test::TempDir dir;
  FakeGps* gps = nullptr;
  FakeCell* cell = nullptr;
  FakeWifi* wifi = nullptr;
  std::unique_ptr<CAppLocation> location;
  std::vector<int> notes;
};

TEST_F(LocationCombinerTest, ASatelliteFixIsShiftedCappedAndAnnounced) {
  ASSERT_EQ(location->SetLocMode(LocMode::SatelliteOnly), 1);
  EXPECT_EQ(gps->starts, 1);
  gps->Place(116.404f, 39.915f, 3500);
  Tick();
  EXPECT_EQ(notes, std::vector<int>{0});
  LocationRecord record = location->GetLocation();
  EXPECT_EQ(record.source, LocationSource::Satellite);
  EXPECT_EQ(record.state, LocationState::Valid);
  EXPECT_EQ(record.radius, 2000);
  // The satellite shift (about 600 m east and 170 m north here), then the SDK's own system.
  double shiftedLon = 0, shiftedLat = 0;
  gmengine::CoordShiftToMapSystem(116.41025, 39.91641, &shiftedLon, &shiftedLat);
  EXPECT_NEAR(record.longitude, shiftedLon, 3e-5);
  EXPECT_NEAR(record.latitude, shiftedLat, 3e-5);
  double x = 0, y = 0;
  gmengine::GeoToMercator(record.longitude, record.latitude, &x, &y);
  EXPECT_NEAR(record.mapX, x, 1e-6);
  EXPECT_NEAR(record.mapY, y, 1e-6);

  // The map's location layer, shown, takes the fix where the record puts it (read again, the fix is
  // shifted again, within a few metres).
  CLocLayer layer;
  layer.SetLocation(location.get());
  layer.Show(true);
  layer.Update();
  EXPECT_TRUE(layer.HasFix());
  EXPECT_NEAR(layer.X(), record.mapX, 20);
  EXPECT_NEAR(layer.Y(), record.mapY, 20);
}

TEST_F(LocationCombinerTest, AnnouncementsAreAtLeastASecondApartAndRepeatEveryTenMinutes) {
  location->SetLocMode(LocMode::SatelliteOnly);
  gps->Place(2.35f, 48.85f);  // outside the shifted box: positions are exact
  Tick();
  ASSERT_EQ(notes.size(), 1u);
  gps->Place(2.36f, 48.85f);
  Tick(0.5);
  EXPECT_EQ(notes.size(), 1u);  // moved, but too soon
  Tick(0.5);
  EXPECT_EQ(notes.size(), 2u);
  gps->Place(2.36f + 5e-8f, 48.85f);  // not a movement
  Tick();
  EXPECT_EQ(notes.size(), 2u);
  for (int i = 0; i < 597; ++i) Tick();
  EXPECT_EQ(notes.size(), 2u);
  Tick(2);  // 600 s since the last one, still valid
  EXPECT_EQ(notes.size(), 3u);
}

TEST_F(LocationCombinerTest, ModesStartWhatTheyNeed) {
  EXPECT_EQ(location->SetLocMode(static_cast<LocMode>(0)), 0);
  EXPECT_EQ(location->SetLocMode(static_cast<LocMode>(6)), 0);
  EXPECT_EQ(location->GetLocation().source, LocationSource::None);
  EXPECT_EQ(location->GetLocation().state, LocationState::Searching);
  wifi->startResult = 0;
  EXPECT_EQ(location->SetLocMode(LocMode::NetworkOnly), 0);  // no Wi-Fi: the satellite is left as it was
  EXPECT_EQ(gps->stops, 0);
  EXPECT_EQ(location->GetLocMode(), LocMode::Off);
  wifi->startResult = 1;
  EXPECT_EQ(location->SetLocMode(LocMode::SatelliteAndNetwork), 1);
  EXPECT_EQ(location->SetLocMode(LocMode::SatelliteAndNetwork), 1);
  EXPECT_EQ(gps->starts, 1);
  // Mode 2 without a fix falls back to the network result.
  EXPECT_EQ(location->GetLocation().source, LocationSource::None);
  EXPECT_EQ(location->GetLocation().state, LocationState::NotLocated);
}

TEST_F(LocationCombinerTest, AKnownCellIsLocatedFromTheCacheWithoutWaiting) {
  location->AddCell(Cell(77), 12958162, 4825907, 500);
  location->SetLocMode(LocMode::NetworkOnly);
  cell->cell = Cell(77);
  Tick();
  ASSERT_EQ(notes, std::vector<int>{0});
  LocationRecord record = location->GetLocation();
  EXPECT_EQ(record.source, LocationSource::Network);
  EXPECT_EQ(record.mapX, 12958162);
  EXPECT_EQ(record.radius, 500);
  EXPECT_EQ(record.c3, 77);
}

// The engine's block as the map view starts and stops it: started, it locates in the mode its start
// code names; stopped, its sources are off. Without a block nothing happens.
TEST(LocationBlockTest, StartingAndStoppingTheBlockTurnsItsSourcesOnAndOff) {
  kavro::test::TempDir dir;
  EXPECT_EQ(gmengine::StartAppLocation(nullptr), 0);
  EXPECT_EQ(gmengine::StopAppLocation(nullptr), 0);
  for (int startMode : {3, 1}) {
    auto g = std::make_unique<FakeGps>();
    FakeGps* gps = g.get();
    gmengine::CAppLocation block(std::move(g), std::make_unique<FakeCell>(), std::make_unique<FakeWifi>(),
                                 dir.path() + "/loc.dat");
    ASSERT_EQ(gmengine::InitAppLocation(&block), &block);
    EXPECT_EQ(block.startMode, 3);
    block.startMode = startMode;
    gmengine::StartAppLocation(&block);
    EXPECT_EQ(gmengine::GetAppLocationMode(&block),
              static_cast<int>(startMode == 3 ? LocMode::SatelliteAndNetwork : LocMode::SatelliteOnly));
    EXPECT_EQ(gps->starts, 1);
    EXPECT_EQ(gps->stops, 0);
    EXPECT_EQ(gmengine::StopAppLocation(&block), 1);
    EXPECT_EQ(gps->stops, 1);
    EXPECT_EQ(gmengine::GetAppLocationMode(&block), static_cast<int>(LocMode::Off));
  }
}

TEST(CLocCellCacheTest, KeepsAHundredCellsOfOneNetworkOnDisk) {
  kavro::test::TempDir dir;
  std::string path = dir.path() + "/loc.dat";
  {
    CLocCellCache cache(path);
    for (int i = 1; i <= 101; ++i) cache.Add(Cell(i), i * 10.0, i * 20.0, i);
    EXPECT_EQ(cache.Count(), 100);
  }
  CLocCellCache reread(path);
  double x = 0, y = 0;
  int radius = 0;
  EXPECT_FALSE(reread.Find(Cell(1), x, y, radius));  // the oldest left
  ASSERT_TRUE(reread.Find(Cell(101), x, y, radius));
  EXPECT_EQ(x, 1010);
  EXPECT_EQ(radius, 101);
  EXPECT_FALSE(reread.Find(Cell(101, 4189, 461), x, y, radius));  // another network
  EXPECT_FALSE(reread.Find(CellRecord(), x, y, radius));
  reread.Add(Cell(5, 1, 461), 1, 2, 3);  // a new network starts afresh
  EXPECT_EQ(reread.Count(), 1);
}

TEST(CLocCellCacheTest, AFileThatDoesNotAddUpIsIgnored) {
  kavro::test::TempDir dir;
  std::string path = dir.path() + "/loc.dat";
  {
    CLocCellCache cache(path);
    cache.Add(Cell(9), 1, 2, 3);
  }
  auto bytes = platform::FileManager::contentsAtPath(path);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 16u + 28u);
  bytes->push_back(0);  // one byte too many
  ASSERT_TRUE(platform::FileManager::createFileAtPath(path, *bytes));
  CLocCellCache damaged(path);
  EXPECT_EQ(damaged.Count(), 0);
  (*bytes)[0] = 101;  // a count beyond the table
  bytes->pop_back();
  ASSERT_TRUE(platform::FileManager::createFileAtPath(path, *bytes));
  CLocCellCache tooMany(path);
  EXPECT_EQ(tooMany.Count(), 0);
}

TEST(CLocUploaderTest, PacesItselfByTheSpeedAndCollectsNewCells) {
  EXPECT_EQ(CLocUploader::IntervalForSpeed(10), 36000);
  EXPECT_EQ(CLocUploader::IntervalForSpeed(0.5), 120000);
  EXPECT_EQ(CLocUploader::IntervalForSpeed(250), 60000);
  EXPECT_EQ(CLocUploader::IntervalForSpeed(0), 120000);
  CLocUploader uploader;
  GpsFix none;
  EXPECT_EQ(uploader.Collect("", none, ""), 120000);
  EXPECT_TRUE(uploader.Entries().IsEmpty());  // no cell: nothing to say
  uploader.Collect("460|0|4189|1", none, "");
  uploader.Collect("460|0|4189|1", none, "");
  ASSERT_EQ(uploader.Entries().GetSize(), 1);
  EXPECT_EQ(uploader.Entries()[0].ToUtf8(), "&cl=460|0|4189|1&wf=");
  GpsFix fix;
  fix.state = FixState::Fix;
  fix.longitude = 116.5f;
  fix.latitude = 40;
  fix.speed = 10;
  EXPECT_EQ(uploader.Collect("460|0|4189|2", fix, "w"), 36000);
  EXPECT_EQ(uploader.Entries()[1].ToUtf8(),
            "&cl=460|0|4189|2&ll=116.500000|40.000000&s=10.000000&d=0.000000&wf=w");
  EXPECT_EQ(uploader.Collect("460|0|4189|3", fix, "w"), 30000);  // has not moved
}

TEST(CLocHttpClientTest, ReadsOnlyWellFormedAnswers) {
  auto answer = CLocHttpClient::ParseLocationResult(
      R"({"result":{"error":"161"},"content":{"radius":"300","point":{"x":"12958162.5","y":"4825907"}}})");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->error, CLocHttpClient::kLocated);
  EXPECT_EQ(answer->radius, 300);
  EXPECT_EQ(answer->x, 12958162.5);
  EXPECT_FALSE(CLocHttpClient::ParseLocationResult(R"({"result":{},"content":{"point":{"x":1,"y":"2"}}})"));
  EXPECT_FALSE(CLocHttpClient::ParseLocationResult(R"({"result":{},"content":{}})"));
  EXPECT_FALSE(CLocHttpClient::ParseLocationResult("not json"));
  // An answer with an error or none is read, but not as located.
  auto refused = CLocHttpClient::ParseLocationResult(
      R"({"result":{"error":"167"},"content":{"point":{"x":"12958162","y":"4825907"}}})");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->error, 167);
  EXPECT_EQ(refused->y, 4825907);
  EXPECT_EQ(refused->radius, 0);
  auto silent = CLocHttpClient::ParseLocationResult(R"({"result":{},"content":{"point":{"x":"1","y":"2"}}})");
  ASSERT_TRUE(silent);
  EXPECT_NE(silent->error, CLocHttpClient::kLocated);
}

// Network location over the loopback server (real clock: the answers come from threads).
class NetworkLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Environment::setMapHostUrl(server.url("/"));
    gmengine::InitMapEngine();
    enginetest::Route(*gmengine::GetMainGlobalMan()->engine, gmengine::EngineSlot::Location,
                      [this](int message, int wParam, int) {
                        if (message != ToInt(gmengine::EngineMsg::Timer) && location) {
                          location->OnHttpMessage(static_cast<gmengine::EngineMsg>(message),
                                                  static_cast<gmengine::EngineClient>(wParam));
                          ++messages;
                        }
                        return 0;
                      });
    ASSERT_EQ(gmengine::GetMainGlobalMan()->engine->Start(), 1);
    auto c = std::make_unique<FakeCell>();
    cell = c.get();
    location = std::make_unique<CAppLocation>(std::make_unique<FakeGps>(), std::move(c),
                                              std::make_unique<FakeWifi>(), home.path() + "/loc.dat",
                                              gmengine::GetMainGlobalMan()->engine->Services());
    ASSERT_EQ(location->Init(), 1);
    location->SetNotify([this](int lParam) { notes.push_back(lParam); });
    location->SetLocMode(LocMode::NetworkOnly);
  }
  void TearDown() override {
    location.reset();
    gmengine::UnInitMapEngine();
    platform::RunLoop::main().discardAll();
    platform::Environment::setMapHostUrl("");
  }
  bool WaitForAnswer() {
    int before = messages;
    return platform::RunLoop::main().runUntil([&] { return messages > before; }, 20);
  }
  static kavro::test::ScriptedResponse Answer(const std::string& error, const std::string& x) {
    return kavro::test::ScriptedResponse::ok(R"({"result":{"error":")" + error +
                                             R"("},"content":{"radius":"300","point":{"x":")" + x +
                                             R"(","y":"4825907"}}})");
  }

  kavro::test::TempHome home;
  kavro::test::LoopbackHttpServer server;
  FakeCell* cell = nullptr;
  std::unique_ptr<CAppLocation> location;
  std::vector<int> notes;
  int messages = 0;
};

TEST_F(NetworkLocationTest, AnAnswerWithoutAPositionFailsOnceAndAGoodOneIsKept) {
  server.enqueue(Answer("161", "0"));
  cell->cell = Cell(1001);
  location->OnTimer();
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(notes, std::vector<int>{201});
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_NE(server.requests()[0].body.find("qt=bloc"), std::string::npos);
  location->OnTimer();  // the retry pause
  location->OnTimer();
  location->OnTimer();  // the same cell is not asked again
  EXPECT_EQ(server.requestCount(), 1u);

  server.enqueue(Answer("161", "12958162"));
  cell->cell = Cell(1002);
  location->OnTimer();  // still pausing after the unchanged cell
  location->OnTimer();
  EXPECT_EQ(server.requestCount(), 1u);
  location->OnTimer();
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(notes, (std::vector<int>{201, 0}));
  LocationRecord record = location->GetLocation();
  EXPECT_EQ(record.source, LocationSource::Network);
  EXPECT_EQ(record.mapX, 12958162);
  EXPECT_EQ(record.radius, 300);
  double x = 0, y = 0;
  int radius = 0;
  EXPECT_TRUE(location->FindCell(Cell(1002), x, y, radius));

  server.enqueue(Answer("167", "12958162"));  // not located: the result of the same cell stays
  cell->cell = Cell(1002, 4190);
  location->OnTimer();
  location->OnTimer();
  location->OnTimer();
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(notes, (std::vector<int>{201, 0, 201}));

  // An answer that carried an error is no position to keep: the cell is asked again later, and
  // this time it is located.
  server.enqueue(Answer("161", "12958100"));
  cell->cell = Cell(1003);
  location->OnTimer();
  location->OnTimer();
  location->OnTimer();
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(server.requestCount(), 4u);
  server.enqueue(Answer("161", "12958900"));
  cell->cell = Cell(1002, 4190);
  location->OnTimer();
  location->OnTimer();
  location->OnTimer();
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_EQ(server.requestCount(), 5u);
  EXPECT_EQ(location->GetLocation().mapX, 12958900);
  EXPECT_TRUE(location->FindCell(Cell(1002, 4190), x, y, radius));
  EXPECT_EQ(x, 12958900);
}

// The block in the engine's location slot, started as the map starts it: the engine hands it the
// ticks of its timer and the answers to its requests, so a tick asks the service for the cell's
// place and the answer places the device there.
class EngineLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Environment::setMapHostUrl(server.url("/"));
    gmengine::InitMapEngine();
  }
  void TearDown() override {
    gmengine::UnInitMapEngine();
    platform::RunLoop::main().discardAll();
    platform::Environment::setMapHostUrl("");
  }
  kavro::test::TempHome home;
  kavro::test::LoopbackHttpServer server;
};

TEST_F(EngineLocationTest, ATickOfItsTimerAsksTheServiceAndTheAnswerPlacesTheDevice) {
  gmengine::CVMapEngine& engine = *gmengine::GetMainGlobalMan()->engine;
  ASSERT_EQ(engine.Start(), 1);
  auto c = std::make_unique<FakeCell>();
  c->cell = Cell(1002);
  auto* block = gmengine::InitAppLocation(engine.InstallAs(
      gmengine::EngineSlot::Location,
      std::make_unique<gmengine::CAppLocation>(std::make_unique<FakeGps>(), std::move(c),
                                               std::make_unique<FakeWifi>(), home.path() + "/loc.dat",
                                               engine.Services())));
  ASSERT_TRUE(block);
  std::vector<int> notes;
  block->SetNotify([&](int lParam) { notes.push_back(lParam); });
  block->startMode = 2;  // the network alone
  server.enqueue(kavro::test::ScriptedResponse::ok(
      R"({"result":{"error":"161"},"content":{"radius":"300","point":{"x":"12958162","y":"4825907"}}})"));
  ASSERT_NE(gmengine::StartAppLocation(block), 0);
  EXPECT_EQ(gmengine::GetAppLocationMode(block), static_cast<int>(LocMode::NetworkOnly));

  // The tick is given by hand, not by the timer thread's clock.
  gmengine::CVMsgDispatcher& dispatcher = *engine.Services().Dispatcher();
  ASSERT_EQ(dispatcher.KillTimer(ToInt(gmengine::EngineTimer::Location)), 1)
      << "the start set the block's timer";
  dispatcher.SendMessage(gmengine::CVMsgDispatcher::kEngineQueue, ToInt(gmengine::EngineMsg::Timer),
                         ToInt(gmengine::EngineTimer::Location), 0);
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return !notes.empty(); }, 20));
  EXPECT_EQ(notes, std::vector<int>{0});
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_NE(server.requests()[0].body.find("qt=bloc"), std::string::npos);
  LocationRecord record = gmengine::GetAppLocationInfo(block);
  EXPECT_EQ(record.source, LocationSource::Network);
  EXPECT_EQ(record.mapX, 12958162);
  EXPECT_EQ(record.mapY, 4825907);
  EXPECT_EQ(record.radius, 300);

  // Started again and then taken out of its slot, the block takes its timer with it: no tick is
  // left running for a block that is gone.
  ASSERT_NE(gmengine::StartAppLocation(block), 0);
  engine.Remove(gmengine::EngineSlot::Location);
  EXPECT_EQ(dispatcher.KillTimer(ToInt(gmengine::EngineTimer::Location)), 0);
}

}  // namespace
