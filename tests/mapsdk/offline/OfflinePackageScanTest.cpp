#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "mapsdk/engine/MD5.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/offline/GMKOfflineMap.h"
#include "mapsdk/offline/OfflinePackageScan.h"
#include "tests/mapsdk/offline/OfflineTestSupport.h"

using namespace gmengine;

namespace {

void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const auto& [name, body] : entries) {
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, body.data(), static_cast<unsigned>(body.size())), ZIP_OK);
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

std::string Md5(const std::string& bytes) {
  char digest[33] = {};
  MD5::HexDigest(digest, bytes.data(), static_cast<int>(bytes.size()));
  return digest;
}

std::string CityCfg(int id, const std::string& dv) {
  std::string half;
  for (const char* p : {"l", "s"}) {
    std::string k(p);
    half += "\"" + k + "i\":\"" + std::to_string(id) + "\",\"" + k + "n\":\"City\",\"" + k + "r\":100,\"" +
            k + "u\":4096,\"" + k + "l\":4,\"" + k + "x\":12958000,\"" + k + "y\":4825000,\"" + k +
            "dv\":\"" + dv + "\",\"" + k + "mv\":\"1\",\"" + k + "b\":\"11\",\"" + k + "s\":\"11\",\"" + k +
            "e\":\"17\",\"" + k + "cv\":\"1\",\"" + k + "t\":[{\"d\":\"3_4\"}]";
    if (k == "l") half += ",";
  }
  return "[{" + half + "}]";
}

class OfflinePackageScanTest : public offline_test::OfflineEngineTest {
 protected:
  void SetUp() override {
    OfflineEngineTest::SetUp();
    man = std::make_unique<COfflineMapMan>();
    man->Init(gmengine::GetGlobalMan());
    mapMan = man.get();
    map = mapsdk::GMKOfflineMap::create();
    ASSERT_NE(map, nullptr);
    man->SetRecordMan(engine->PartAs<COLRecordMan>(EngineSlot::RecordMan));
    Dispatcher()->KillTimer(ToInt(gmengine::EngineTimer::OfflineTask));
    map->setDelegate(delegate);
    documents = GetDocumentsPath().ToUtf8();
  }
  void TearDown() override {
    map.reset();
    mapMan = nullptr;
    man.reset();
    OfflineEngineTest::TearDown();
  }
  std::string Tile() {
    std::string tile(3000, 'a');
    for (std::size_t i = 0; i < tile.size(); ++i) tile[i] = static_cast<char>('a' + i % 26);
    return tile;
  }
  std::vector<std::pair<std::string, std::string>> CityEntries(int id, const std::string& dv = "1") {
    std::string tile = Tile();
    std::string chk = "[{\"size\":" + std::to_string(tile.size()) + ",\"name\":\"3_4.map\",\"smd5\":\"" +
                      Md5(tile.substr(0, 1024)) + "\",\"emd5\":\"" + Md5(tile.substr(tile.size() - 1024)) +
                      "\"}]";
    return {{"GeoMap/Mapdata/city.cfg", CityCfg(id, dv)},
            {"GeoMap/Mapdata/city.chk", chk},
            {"GeoMap/Mapdata/0_0/3_4.map", tile}};
  }
  std::vector<std::pair<OfflineState, int>> States() {
    std::vector<std::pair<OfflineState, int>> seen;
    for (const offline_test::State& s : delegate->states) {
      EXPECT_TRUE(s.onMainThread);
      seen.emplace_back(s.state, s.value);
    }
    return seen;
  }

  std::unique_ptr<COfflineMapMan> man;
  std::shared_ptr<mapsdk::GMKOfflineMap> map;
  std::string documents;
};

TEST_F(OfflinePackageScanTest, InstallsAZipCopiedIntoTheDocumentsFolder) {
  EXPECT_FALSE(map->getAllUpdateInfo().has_value());
  WriteZip(documents + "beijing.gmap.zip", CityEntries(131));
  ASSERT_TRUE(map->scan());
  EXPECT_FALSE(map->scan());  // one scan at a time
  ASSERT_TRUE(RunUntil([&] { return delegate->states.size() >= 3; }));
  OfflineScanThread().Join();  // the thread ends right after its last state
  EXPECT_EQ(man->scanRunning.load(), 0);
  Drain();
  EXPECT_EQ(States(), (std::vector<std::pair<OfflineState, int>>{{OfflineState::Installing, 1},
                                                                 {OfflineState::FolderInstalled, 1},
                                                                 {OfflineState::PackagesDone, 0}}));
  EXPECT_FALSE(std::filesystem::exists(documents + "beijing.gmap.zip"));
  EXPECT_EQ(FileExists(DataFolder() + CVString("data/0_0/3_4.dat")), 1);

  auto all = map->getAllUpdateInfo();
  ASSERT_TRUE(all.has_value());
  ASSERT_EQ(all->size(), 1u);
  EXPECT_EQ((*all)[0]->cityID(), 131);
  EXPECT_EQ((*all)[0]->ratio(), 100);
  EXPECT_EQ((*all)[0]->status(), gmengine::OfflineCityState::Finished);
  EXPECT_EQ((*all)[0]->cityName(), "City");
  EXPECT_EQ((*all)[0]->serversize(), 0);
  EXPECT_NEAR((*all)[0]->pt().longitude, 116.4, 0.1);

  EXPECT_TRUE(map->remove(131));
  EXPECT_FALSE(map->remove(131));
  EXPECT_EQ(map->getUpdateInfo(131), nullptr);
}

TEST_F(OfflinePackageScanTest, RefusesEntriesThatLeaveTheDataFolderAndReportsThePackage) {
  std::vector<std::pair<std::string, std::string>> entries = CityEntries(132);
  entries.insert(entries.begin(), {"../../escaped.txt", "x"});
  WriteZip(documents + "bad.zip", entries);
  ASSERT_TRUE(map->scan());
  ASSERT_TRUE(RunUntil([&] { return delegate->states.size() >= 4; }));
  OfflineScanThread().Join();  // the thread ends right after its last state
  EXPECT_EQ(man->scanRunning.load(), 0);
  Drain();
  EXPECT_EQ(States(), (std::vector<std::pair<OfflineState, int>>{{OfflineState::Installing, 1},
                                                                 {OfflineState::FolderInstalled, 0},
                                                                 {OfflineState::PackagesDone, 1},
                                                                 {OfflineState::NotInstalled, 1}}));
  EXPECT_TRUE(std::filesystem::exists(documents + "bad.zip"));
  EXPECT_EQ(man->installFailed.load(), 1);
  for (const std::string& place : {DataFolder().ToUtf8() + "../../escaped.txt",
                                   DataFolder().ToUtf8() + "../escaped.txt", home.path() + "/escaped.txt"}) {
    EXPECT_FALSE(std::filesystem::exists(place)) << place;
  }
  EXPECT_FALSE(IsSafeEntryName("/etc/x"));
  EXPECT_FALSE(IsSafeEntryName("a/../../b"));
  EXPECT_TRUE(IsSafeEntryName("GeoMap/Mapdata/0_0/"));
}

TEST_F(OfflinePackageScanTest, NothingToInstallAndCorruptFilesAreReported) {
  ASSERT_TRUE(map->scan());
  ASSERT_TRUE(RunUntil([&] { return delegate->states.size() >= 2; }));
  OfflineScanThread().Join();  // the thread ends right after its last state
  EXPECT_EQ(man->scanRunning.load(), 0);
  Drain();
  EXPECT_EQ(States(), (std::vector<std::pair<OfflineState, int>>{{OfflineState::FolderInstalled, 0},
                                                                 {OfflineState::PackagesDone, 1}}));

  // A truncated package is refused and reported as not installed.
  delegate->states.clear();
  std::filesystem::create_directories(documents);
  {
    FILE* f = std::fopen((documents + "cut.zip").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("PK\x03\x04 not really", f);
    std::fclose(f);
  }
  // A city in "GeoMap/Mapdata/" whose tile does not match its check line stays there.
  std::vector<std::pair<std::string, std::string>> entries = CityEntries(133);
  std::filesystem::create_directories(DataFolder().ToUtf8() + "GeoMap/Mapdata/0_0");
  for (auto& [name, body] : entries) {
    if (name.find(".map") != std::string::npos) body[10] = '!';
    FILE* f = std::fopen((DataFolder().ToUtf8() + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(body.data(), 1, body.size(), f);
    std::fclose(f);
  }
  ASSERT_TRUE(map->scan());
  ASSERT_TRUE(RunUntil([&] { return delegate->states.size() >= 3; }));
  OfflineScanThread().Join();  // the thread ends right after its last state
  EXPECT_EQ(man->scanRunning.load(), 0);
  Drain();
  EXPECT_EQ(States(), (std::vector<std::pair<OfflineState, int>>{{OfflineState::FolderInstalled, 0},
                                                                 {OfflineState::PackagesDone, 1},
                                                                 {OfflineState::NotInstalled, 1}}));
  EXPECT_TRUE(std::filesystem::exists(DataFolder().ToUtf8() + "GeoMap/Mapdata/city.cfg"));
}

}  // namespace
