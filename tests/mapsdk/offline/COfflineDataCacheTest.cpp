#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/offline/COfflineDataCache.h"
#include "tests/mapsdk/offline/OfflineTestSupport.h"
#include "tests/support/TempDir.h"

using namespace gmengine;

namespace {

GridKey Key(const char* text) {
  GridKey key;
  EXPECT_TRUE(GridKey::Parse(text, key)) << text;
  return key;
}

class COfflineDataCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { store.Init(CVString::FromUtf8(dir.path() + "/"), CVString("10000001"), 0); }
  std::string Read(int base, const char* key, int level) {
    void* data = nullptr;
    int size = 0;
    if (!store.ReadGridData(base, Key(key), level, data, size)) return "<none>";
    std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(size));
    VFree(data);
    return bytes;
  }
  kavro::test::TempDir dir;
  COfflineDataCache store;
};

TEST_F(COfflineDataCacheTest, TilesGoInOrderAndReadBack) {
  EXPECT_EQ(COfflineDataCache::PackageNameOfTile(3, Key("5_7"), 4), CVString("2_3"));
  EXPECT_EQ(COfflineDataCache::TileIndex(3, Key("5_7"), 4), 3);
  EXPECT_EQ(COfflineDataCache::PackageNameOfTile(11, Key("300_301"), 18), CVString("2_2_18"));

  int stored = -1;
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  EXPECT_EQ(stored, 0);
  EXPECT_EQ(Read(3, "2_3", 3), "<none>");
  // Level 4 before the level-3 tile is refused.
  EXPECT_EQ(store.WriteGridData(3, Key("4_6"), 3, 10, 4, "x", 1), 0);
  ASSERT_EQ(store.WriteGridData(3, Key("2_3"), 3, 10, 3, "tile-a", 6), 1);
  for (const char* key : {"4_6", "4_7", "5_6"}) {
    ASSERT_EQ(store.WriteGridData(3, Key(key), 3, 10, 4, key, 3), 1) << key;
  }
  ASSERT_EQ(store.WriteGridData(3, Key("5_7"), 3, 10, 4, nullptr, 0), 1);
  EXPECT_EQ(store.WriteGridData(3, Key("5_7"), 3, 10, 4, "dup", 3), 0);
  EXPECT_EQ(Read(3, "2_3", 3), "tile-a");
  EXPECT_EQ(Read(3, "4_7", 4), "4_7");
  EXPECT_EQ(Read(3, "5_7", 4), std::string("taon") + std::string(16, '\0'));
  EXPECT_EQ(Read(3, "8_12", 5), "<none>");
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  EXPECT_EQ(stored, 5);
}

TEST_F(COfflineDataCacheTest, BrokenFilesAreRebuiltAndBadEntriesRefused) {
  int stored = -1;
  ASSERT_EQ(store.CreateOfflineDat(11, CVString("2_2"), 18, 18, stored), 1);
  ASSERT_EQ(store.WriteGridData(11, Key("256_256"), 18, 18, 18, "abc", 3), 1);
  EXPECT_EQ(Read(11, "256_256", 18), "abc");
  CVString path = store.PackagePath(CVString("2_2_18"));

  // A huge size in the tile's entry is refused.
  {
    CVFile file;
    ASSERT_EQ(file.Open(path, CVFile::modeReadWrite), 1);
    ASSERT_EQ(file.Seek(44), 44);
    unsigned char huge[4] = {0xFF, 0xFF, 0xFF, 0x7F};
    ASSERT_EQ(file.Write(huge, 4), 4);
  }
  EXPECT_EQ(Read(11, "256_256", 18), "<none>");

  // A file left being written is rebuilt empty.
  {
    CVFile file;
    ASSERT_EQ(file.Open(path, CVFile::modeReadWrite), 1);
    unsigned char writing[4] = {0xCC, 0xCC, 0xCC, 0xCC};
    ASSERT_EQ(file.Write(writing, 4), 4);
  }
  EXPECT_EQ(Read(11, "256_256", 18), "<none>");
  ASSERT_EQ(store.CreateOfflineDat(11, CVString("2_2"), 18, 18, stored), 1);
  EXPECT_EQ(stored, 0);

  // A truncated file never reads outside itself.
  {
    CVFile file;
    ASSERT_EQ(file.Open(path, CVFile::modeCreate | CVFile::modeReadWrite), 1);
    unsigned char head[40] = {0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(file.Write(head, 40), 40);
  }
  EXPECT_EQ(Read(11, "256_256", 18), "<none>");
  EXPECT_EQ(store.WriteGridData(11, Key("256_256"), 18, 18, 18, "abc", 3), 0);
  EXPECT_EQ(store.DeleteGridFile(11, CVString("2_2_18"), 18, 18), 1);
  // Levels no package spans (a broken record) make no file.
  EXPECT_EQ(store.CreateOfflineDat(3, CVString("1_1"), 3, 18, stored), 0);
}

// Package files written before tiles were checked (or installed whole from a package) may hold
// tiles that do not decode: the next CreateOfflineDat cuts such a file back to its first broken
// tile, so the download fetches from there and replaces it. Places passed without a tile are
// fetched again the same way.
class OfflineTileRepairTest : public COfflineDataCacheTest {
 protected:
  std::string Path() { return store.PackagePath(CVString("2_3")).ToUtf8(); }
  // Zeroes the header word that marks a file whose tiles were checked, as an earlier version left it.
  void Unmark() {
    CVFile file;
    ASSERT_TRUE(file.Open(store.PackagePath(CVString("2_3")), CVFile::modeReadWrite));
    ASSERT_EQ(file.Seek(24, CVFile::begin), 24);
    const unsigned char zero[4] = {0, 0, 0, 0};
    ASSERT_EQ(file.Write(zero, 4), 4);
    file.Close();
  }
};

TEST_F(OfflineTileRepairTest, AnEarlierFilesFirstBrokenTileIsWhereTheNextDownloadStarts) {
  int stored = -1;
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  const std::string good = offline_test::DecodableTile("good");
  const std::string truncated = good.substr(0, good.size() / 2);
  ASSERT_EQ(store.WriteGridData(3, Key("2_3"), 3, 10, 3, good.data(), static_cast<int>(good.size())), 1);
  ASSERT_EQ(store.WriteGridData(3, Key("4_6"), 3, 10, 4, nullptr, 0), 1);  // an empty tile decodes
  ASSERT_EQ(
      store.WriteGridData(3, Key("4_7"), 3, 10, 4, truncated.data(), static_cast<int>(truncated.size())), 1);
  ASSERT_EQ(store.WriteGridData(3, Key("5_6"), 3, 10, 4, good.data(), static_cast<int>(good.size())), 1);
  // A checked file is trusted: tiles reach it through the download's check.
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  EXPECT_EQ(stored, 4);

  Unmark();
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  EXPECT_EQ(stored, 2);
  EXPECT_EQ(Read(3, "2_3", 3), good);
  EXPECT_EQ(Read(3, "4_7", 4), "<none>");
  EXPECT_EQ(Read(3, "5_6", 4), "<none>");
  // The download replaces the broken tile and goes on; the file is checked once, not at every start.
  const std::string again = offline_test::DecodableTile("again");
  ASSERT_EQ(store.WriteGridData(3, Key("4_7"), 3, 10, 4, again.data(), static_cast<int>(again.size())), 1);
  EXPECT_EQ(Read(3, "4_7", 4), again);
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  EXPECT_EQ(stored, 3);
}

TEST_F(OfflineTileRepairTest, PlacesPassedWithoutATileAreFetchedAgainFromTheFirst) {
  int stored = -1;
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  const std::string good = offline_test::DecodableTile("good");
  ASSERT_EQ(store.WriteGridData(3, Key("2_3"), 3, 10, 3, good.data(), static_cast<int>(good.size())), 1);
  ASSERT_EQ(store.WriteGridData(3, Key("4_6"), 3, 10, 4, good.data(), static_cast<int>(good.size())), 1);
  ASSERT_EQ(store.SkipGridData(3, Key("4_7"), 3, 10, 4), 1);
  ASSERT_EQ(store.WriteGridData(3, Key("5_6"), 3, 10, 4, good.data(), static_cast<int>(good.size())), 1);
  ASSERT_EQ(store.SkipGridData(3, Key("5_7"), 3, 10, 4), 1);
  EXPECT_EQ(Read(3, "4_7", 4), "<none>");
  EXPECT_EQ(Read(3, "5_6", 4), good);
  // Out of order is refused as for a tile.
  EXPECT_EQ(store.SkipGridData(3, Key("4_6"), 3, 10, 4), 0);

  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  EXPECT_EQ(stored, 2);
  EXPECT_EQ(Read(3, "4_6", 4), good);
  EXPECT_EQ(Read(3, "5_6", 4), "<none>");
  for (const char* key : {"4_7", "5_6", "5_7"})
    ASSERT_EQ(store.WriteGridData(3, Key(key), 3, 10, 4, good.data(), static_cast<int>(good.size())), 1)
        << key;
  ASSERT_EQ(store.CreateOfflineDat(3, CVString("2_3"), 3, 10, stored), 1);
  EXPECT_EQ(stored, 5);
}

// The single-level file of level 18 is cut back the same way.
TEST_F(OfflineTileRepairTest, ALevel18FileIsCutBackToItsFirstHole) {
  int stored = -1;
  ASSERT_EQ(store.CreateOfflineDat(11, CVString("2_2"), 18, 18, stored), 1);
  const std::string good = offline_test::DecodableTile("good");
  ASSERT_EQ(store.WriteGridData(11, Key("256_256"), 18, 18, 18, good.data(), static_cast<int>(good.size())),
            1);
  ASSERT_EQ(store.SkipGridData(11, Key("256_257"), 18, 18, 18), 1);
  ASSERT_EQ(store.CreateOfflineDat(11, CVString("2_2"), 18, 18, stored), 1);
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(Read(11, "256_256", 18), good);
}

}  // namespace
