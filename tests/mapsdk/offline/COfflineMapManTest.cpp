#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COLUpdateList.h"
#include "mapsdk/offline/COfflineDataCache.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/offline/OfflineGridClient.h"
#include "platform/foundation/RunLoop.h"
#include "tests/mapsdk/offline/OfflineTestSupport.h"

using namespace gmengine;
using offline_test::MakeRecord;

namespace {

// The grid client: records each batch; the test answers it.
class FakeGridClient : public OfflineGridClient {
 public:
  int IsMapRequesting() const override { return mapRequesting; }
  void SetMapRequesting(int pending) override { mapRequesting = pending; }
  int CancelRequest() override {
    ++cancels;
    if (onCancel) onCancel();
    return 1;
  }
  int RequestGrids(int kind, int level, const CVArray<GridKey>& keys, int sequence, int flag) override {
    batches.push_back({kind, level, keys, sequence});
    return 1;
  }
  struct Batch {
    int kind;
    int level;
    CVArray<GridKey> keys;
    int sequence;
  };
  int mapRequesting = 0;
  int cancels = 0;
  std::function<void()> onCancel;
  std::vector<Batch> batches;
};

class COfflineMapManTest : public offline_test::OfflineEngineTest {
 protected:
  void SetUp() override {
    OfflineEngineTest::SetUp();
    COLUpdateList list;
    list.SetFolder(DataFolder());
    COLUpdateRecord city = MakeRecord(131, {"3_4"});
    city.local.state = OfflineCityState::Queued;
    list.Records().Add(city);
    ASSERT_EQ(list.Write(), 1);
    records = engine->InstallAs(EngineSlot::RecordMan, NewRecordMan());
    records->Init(DataFolder());
    store.Init(DataFolder(), CVString("10000001"), 0);
    man = std::make_unique<COfflineMapMan>();
    man->Init(gmengine::GetGlobalMan());
    man->SetHttpClient(&client);
    man->SetOfflineDataCache(&store);
    man->SetRecordMan(records);
    man->SetMapRequesting(0);
    mapMan = man.get();
  }
  void TearDown() override {
    mapMan = nullptr;
    man.reset();
    OfflineEngineTest::TearDown();
  }
  // Answers the last batch as the map controller does: every tile, then ContinueDownload.
  void AnswerLastBatch() {
    const FakeGridClient::Batch batch = client.batches.back();
    for (const GridKey& key : batch.keys) {
      std::string tile = offline_test::DecodableTile("tile " + key.Text());
      ASSERT_EQ(man->SaveGridData(tile.data(), static_cast<int>(tile.size()), key, batch.level), 1)
          << key.Text();
    }
    man->ContinueDownload(man->GetHeadReceived(), 1);
  }
  COLRecordMan* records = nullptr;
  COfflineDataCache store;
  FakeGridClient client;
  std::unique_ptr<COfflineMapMan> man;
};

TEST_F(COfflineMapManTest, DownloadsACityInBatchesIntoItsPackageFileAndFinishesIt) {
  // Downloading is off until switched on.
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  EXPECT_EQ(man->GetTotalCount(), 5461);
  EXPECT_TRUE(client.batches.empty());
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  ASSERT_EQ(client.batches.size(), 1u);
  EXPECT_EQ(client.batches[0].kind, OfflineGridClient::kOfflineKind);
  EXPECT_EQ(client.batches[0].level, 11);
  EXPECT_EQ(client.batches[0].sequence, 1000001);
  ASSERT_EQ(client.batches[0].keys.GetSize(), 1);
  EXPECT_EQ(client.batches[0].keys[0], (GridKey{3, 4}));

  AnswerLastBatch();
  ASSERT_EQ(client.batches.size(), 2u);
  EXPECT_EQ(client.batches[1].level, 12);
  ASSERT_EQ(client.batches[1].keys.GetSize(), 4);
  EXPECT_EQ(client.batches[1].keys[3], (GridKey{7, 9}));

  // A pause (stop) and a resume continue where the file stops.
  int id = 131;
  ASSERT_EQ(records->StopCity(id), 1);
  Drain();
  EXPECT_EQ(man->GetPackageCount(), 0);
  ASSERT_EQ(records->StartCity(id), 1);
  Drain();
  ASSERT_EQ(man->GetPackageCount(), 1);
  EXPECT_EQ(man->GetHeadReceived(), 1);
  EXPECT_EQ(client.batches.back().level, 12);

  int guard = 0;
  while (man->GetPackageCount() > 0 && ++guard < 1000) AnswerLastBatch();
  ASSERT_EQ(man->GetPackageCount(), 0);
  std::optional<COLUpdateRecord> finished = records->GetUpdateRecord(id);
  ASSERT_TRUE(finished);
  EXPECT_EQ(finished->local.ratio, 10000);
  EXPECT_EQ(finished->local.state, OfflineCityState::Finished);

  void* data = nullptr;
  int size = 0;
  ASSERT_EQ(store.ReadGridData(11, GridKey{200, 260}, 17, data, size), 1);
  EXPECT_EQ(std::string(static_cast<char*>(data), static_cast<std::size_t>(size)),
            offline_test::DecodableTile("tile 200_260"));
  VFree(data);
}

// A host that sends truncated tiles: none of them is stored, every one is counted as failed and
// the first are named; the download still ends, and the next one, from a good host, fetches them
// all again and replaces the places they left.
TEST_F(COfflineMapManTest, TilesThatDoNotDecodeAreNotStoredButCountedAndFetchedAgainNextTime) {
  const int id = 131;
  auto answerAll = [&](bool truncated) {
    int guard = 0;
    while (man->GetPackageCount() > 0 && ++guard < 1000) {
      const FakeGridClient::Batch batch = client.batches.back();
      for (const GridKey& key : batch.keys) {
        std::string tile = offline_test::DecodableTile("tile " + key.Text());
        if (truncated) tile.resize(tile.size() - 40);
        ASSERT_EQ(man->SaveGridData(tile.data(), static_cast<int>(tile.size()), key, batch.level), 1);
      }
      man->ContinueDownload(man->GetHeadReceived(), 1);
    }
  };
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  answerAll(true);
  ASSERT_EQ(man->GetPackageCount(), 0);
  EXPECT_EQ(man->GetFailedCount(), 5461);
  EXPECT_EQ(man->GetFailedTiles(),
            (std::vector<std::string>{"11/3_4", "12/6_8", "12/6_9", "12/7_8", "12/7_9"}));
  void* data = nullptr;
  int size = 0;
  EXPECT_EQ(store.ReadGridData(11, GridKey{3, 4}, 11, data, size), 0);
  EXPECT_EQ(store.ReadGridData(11, GridKey{200, 260}, 17, data, size), 0);

  // The next download starts the package again from its first missing tile.
  ASSERT_EQ(records->StartCity(id), 1);
  Drain();
  ASSERT_EQ(man->GetPackageCount(), 1);
  EXPECT_EQ(man->GetHeadReceived(), 0);
  EXPECT_EQ(man->GetReceivedCount(), 0);
  EXPECT_EQ(man->GetFailedCount(), 0);
  answerAll(false);
  ASSERT_EQ(man->GetPackageCount(), 0);
  EXPECT_EQ(man->GetFailedCount(), 0);
  EXPECT_EQ(man->GetReceivedCount(), 5461);
  ASSERT_EQ(store.ReadGridData(11, GridKey{200, 260}, 17, data, size), 1);
  EXPECT_EQ(std::string(static_cast<char*>(data), static_cast<std::size_t>(size)),
            offline_test::DecodableTile("tile 200_260"));
  VFree(data);
  std::optional<COLUpdateRecord> finished = records->GetUpdateRecord(id);
  ASSERT_TRUE(finished);
  EXPECT_EQ(finished->local.state, OfflineCityState::Finished);
}

// The service answers a place without map data with an empty tile: it is stored as such, not
// counted as broken, and the download goes on past it.
TEST_F(COfflineMapManTest, AnEmptyTileIsStoredAndNotCountedAsBroken) {
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  ASSERT_EQ(client.batches.size(), 1u);
  const GridKey first = client.batches[0].keys[0];
  ASSERT_EQ(man->SaveGridData("", 0, first, 11), 1);
  EXPECT_EQ(man->GetFailedCount(), 0);
  EXPECT_TRUE(man->GetFailedTiles().empty());
  EXPECT_EQ(man->GetHeadReceived(), 1);
  man->ContinueDownload(man->GetHeadReceived(), 1);
  ASSERT_EQ(client.batches.size(), 2u);
  EXPECT_EQ(client.batches[1].level, 12);
}

// Some tiles broken among good ones: the good are stored, and the next download starts at the first
// broken one.
TEST_F(COfflineMapManTest, TheNextDownloadStartsAtTheFirstBrokenTile) {
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  int guard = 0;
  while (man->GetPackageCount() > 0 && ++guard < 1000) {
    const FakeGridClient::Batch batch = client.batches.back();
    for (const GridKey& key : batch.keys) {
      std::string tile = offline_test::DecodableTile("tile " + key.Text());
      // Level 13's last tile comes cut short.
      if (batch.level == 13 && key == GridKey{15, 19}) tile = tile.substr(0, 100);
      ASSERT_EQ(man->SaveGridData(tile.data(), static_cast<int>(tile.size()), key, batch.level), 1);
    }
    man->ContinueDownload(man->GetHeadReceived(), 1);
  }
  EXPECT_EQ(man->GetFailedCount(), 1);
  EXPECT_EQ(man->GetFailedTiles(), std::vector<std::string>{"13/15_19"});
  ASSERT_EQ(records->StartCity(131), 1);
  Drain();
  // 1 + 4 + 16 tiles of levels 11 to 13, the broken one the last of them.
  EXPECT_EQ(man->GetHeadReceived(), 20);
  ASSERT_EQ(client.batches.back().level, 13);
  EXPECT_EQ(client.batches.back().keys[0], (GridKey{15, 19}));
}

TEST_F(COfflineMapManTest, StalledBatchesAreRequestedAgainAndMapTilesComeFirst) {
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  ASSERT_EQ(client.batches.size(), 1u);
  // A tick asks the main thread, which owns the tile client, for the check.
  auto tick = [&] {
    const std::size_t batches = client.batches.size();
    const int cancels = client.cancels;
    EXPECT_EQ(man->OnTimer(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineDownload)), 1);
    EXPECT_TRUE(client.batches.size() == batches && client.cancels == cancels) << "not on the timer's call";
    platform::RunLoop::main().runOnce(0);
  };
  tick();  // first tick remembers the count
  tick();  // silent tick without map loading
  EXPECT_EQ(client.cancels, 1);
  ASSERT_EQ(client.batches.size(), 2u);

  client.mapRequesting = 1;
  man->ContinueDownload(man->GetHeadReceived(), 1);
  EXPECT_EQ(client.batches.size(), 2u);  // the map's own tiles first
  tick();
  tick();
  EXPECT_EQ(client.batches.size(), 2u);
  tick();  // third silent tick: cancelled and asked again
  EXPECT_EQ(client.mapRequesting, 0);
  EXPECT_EQ(client.batches.size(), 3u);
  EXPECT_EQ(client.batches.back().sequence, 1000003);
}

// A tick on its way to the main thread when the download ends (switched off, or the city paused)
// finds nothing to check: it cancels nothing the tile client does and asks for no batch.
TEST_F(COfflineMapManTest, AStallCheckArrivingAfterTheDownloadEndedTouchesNothing) {
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  for (bool switchedOff : {false, true}) {
    SCOPED_TRACE(switchedOff ? "switched off" : "paused");
    ASSERT_EQ(man->GetPackageCount(), 1);
    ASSERT_TRUE(man->IsDownloadOn());
    EXPECT_EQ(man->OnTimer(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineDownload)), 1);
    platform::RunLoop::main().runOnce(0);  // the first check remembers the count
    EXPECT_EQ(man->OnTimer(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineDownload)), 1);
    if (switchedOff) {
      ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 0), 1);
    } else {
      ASSERT_EQ(records->StopCity(131), 1);
      Drain();
      ASSERT_EQ(man->GetPackageCount(), 0);
    }
    const int cancels = client.cancels;
    const std::size_t batches = client.batches.size();
    platform::RunLoop::main().runOnce(0);
    EXPECT_EQ(client.cancels, cancels);
    EXPECT_EQ(client.batches.size(), batches);
    EXPECT_EQ(client.mapRequesting, 0);
    if (!switchedOff) {
      ASSERT_EQ(records->StartCity(131), 1);  // resumed, for the other way
      Drain();
    }
  }
}

// The stall timer is work of a city's download: it ticks while a city downloads and never once the
// download ends, whichever way it ends.
TEST_F(COfflineMapManTest, TheStallTimerTicksOnlyWhileACityDownloads) {
  // What the timer thread does over one interval; true when the stall timer fired.
  auto fires = [&] {
    const int before = stallTicks;
    Dispatcher()->OnTimerTick(COfflineMapMan::kTimerMs);
    platform::RunLoop::main().runOnce(0);
    return stallTicks > before;
  };
  const int id = 131;
  EXPECT_FALSE(fires());
  // A city taken while downloading is switched off does not download yet.
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  ASSERT_EQ(man->GetPackageCount(), 1);
  EXPECT_FALSE(fires());
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  EXPECT_TRUE(fires());
  EXPECT_TRUE(fires());
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 0), 1);
  EXPECT_FALSE(fires());
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  EXPECT_TRUE(fires());

  // Paused, resumed.
  ASSERT_EQ(records->StopCity(id), 1);
  Drain();
  ASSERT_EQ(man->GetPackageCount(), 0);
  EXPECT_FALSE(fires());
  ASSERT_EQ(records->StartCity(id), 1);
  Drain();
  EXPECT_TRUE(fires());

  // Finished.
  int guard = 0;
  while (man->GetPackageCount() > 0 && ++guard < 1000) AnswerLastBatch();
  ASSERT_EQ(records->GetUpdateRecord(id)->local.state, OfflineCityState::Finished);
  EXPECT_FALSE(fires());

  // Started again, then the records cleared.
  COLUpdateRecord city = MakeRecord(132, {"5_6"});
  city.local.state = OfflineCityState::Queued;
  ASSERT_EQ(records->StoreRecord(city), 1);
  ASSERT_EQ(records->StartCity(132), 1);
  Drain();
  ASSERT_EQ(man->GetPackageCount(), 1);
  EXPECT_TRUE(fires());
  ASSERT_EQ(records->ClearAllRecords(), 1);
  EXPECT_FALSE(fires());

  // Removed while downloading.
  ASSERT_EQ(records->StoreRecord(city), 1);
  ASSERT_EQ(records->StartCity(132), 1);
  Drain();
  EXPECT_TRUE(fires());
  int removed = 132;
  ASSERT_EQ(records->RemoveCity(removed), 1);
  Drain();
  EXPECT_FALSE(fires());

  // Stopped by a tile it could not write; the manager gone.
  ASSERT_EQ(records->StoreRecord(city), 1);
  ASSERT_EQ(records->StartCity(132), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  Drain();
  EXPECT_TRUE(fires());
  man->StopAfterFailedSave();
  EXPECT_FALSE(fires());
  ASSERT_EQ(records->StartCity(132), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  Drain();
  EXPECT_TRUE(fires());
  mapMan = nullptr;
  man.reset();
  EXPECT_EQ(Dispatcher()->KillTimer(ToInt(EngineTimer::OfflineDownload)), 0);
}

TEST_F(COfflineMapManTest, ClearingTheRecordsStopsOnlyTheManagerWorkingThroughThem) {
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  ASSERT_EQ(man->GetPackageCount(), 1);
  // A manager that let the records go is not told.
  man->SetRecordMan(nullptr);
  ASSERT_EQ(records->ClearAllRecords(), 1);
  EXPECT_EQ(man->GetPackageCount(), 1);
  man->SetRecordMan(records);
  ASSERT_EQ(records->ClearAllRecords(), 1);
  EXPECT_EQ(man->GetPackageCount(), 0);
  // Nor is one that is gone.
  mapMan = nullptr;
  man.reset();
  EXPECT_EQ(records->ClearAllRecords(), 1);
}

TEST_F(COfflineMapManTest, RemovingTheCurrentCityDeletesItsFiles) {
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  CVString file = store.PackagePath(CVString("3_4"));
  ASSERT_EQ(FileExists(file), 1);
  int id = 131;
  ASSERT_EQ(records->RemoveCity(id), 1);
  Drain();
  EXPECT_EQ(man->GetPackageCount(), 0);
  EXPECT_EQ(FileExists(file), 0);
}

TEST_F(COfflineMapManTest, ClearingTheRecordsWhileTheTimerChecksForAStallTakesTheLocksInOneOrder) {
  ASSERT_EQ(man->OnCommand(OfflineCommand::SwitchDownload, 1), 1);
  ASSERT_EQ(man->OnCommand(OfflineCommand::StartNext, 0), 1);
  // When the clearing reaches the map manager the records are free again: a stall check, which
  // holds the manager's lock while it reports into the records, can always go on.
  bool recordsFreeWhenReached = false;
  client.onCancel = [&] {
    auto asked = std::async(std::launch::async, [&] { return records->HasCity(131); });
    recordsFreeWhenReached = asked.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  };
  ASSERT_EQ(records->ClearAllRecords(), 1);
  EXPECT_TRUE(recordsFreeWhenReached);

  // Both at once, many times: ticks on a timer thread and the clearing here, the checks they ask
  // for running between the clearings.
  client.onCancel = nullptr;
  std::atomic<bool> stop{false};
  std::atomic<int> ticks{0};
  auto timer = std::async(std::launch::async, [&] {
    while (!stop) {
      man->OnTimer(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineDownload));
      ++ticks;
      std::this_thread::sleep_for(std::chrono::microseconds(200));  // ticks faster than any timer
    }
  });
  for (int i = 0; i < 200; ++i) {
    COLUpdateRecord city = MakeRecord(131, {"3_4"});
    records->StoreRecord(city);
    records->StartCity(131);
    man->OnCommand(OfflineCommand::StartNext, 0);
    platform::RunLoop::main().runOnce(0);
    ASSERT_EQ(records->ClearAllRecords(), 1);
  }
  stop = true;
  EXPECT_EQ(timer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_GT(ticks.load(), 0);
}

}  // namespace
