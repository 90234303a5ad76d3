#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/offline/COfflineDataCache.h"
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

}  // namespace
