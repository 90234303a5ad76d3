#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "mapsdk/engine/CGridDataCache.h"
#include "tests/support/TempDir.h"

using namespace gmengine;

namespace {

class CGridDataCacheTest : public ::testing::Test {
 protected:
  CVString Path(const char* name) { return CVString::FromUtf8(dir.path() + "/" + name); }
  int Open(CGridDataCache& cache, int memory, int files, int limit) {
    return cache.Init(Path("Data.Index"), Path("Grid.ca"), memory, files, limit);
  }
  static tagGirdData Tile(int level, int x, int y, std::string* bytes = nullptr) {
    tagGirdData t;
    t.level = level;
    t.x = x;
    t.y = y;
    if (bytes) {
      t.data = bytes->data();
      t.size = static_cast<int>(bytes->size());
    }
    return t;
  }
  static std::string Found(CGridDataCache& cache, int level, int x, int y) {
    CVArray<tagGirdData> list;
    list.Add(Tile(level, x, y));
    if (cache.GetGridData(list) != 1) return "";
    return std::string(static_cast<const char*>(list[0].data), static_cast<std::size_t>(list[0].size));
  }

  kavro::test::TempDir dir;
};

TEST_F(CGridDataCacheTest, TilesSurviveInTheFileCache) {
  std::string a = "PNG tile 12_34", b = "JFIF tile", empty = std::string("taon\0", 5) + std::string(15, '\0');
  {
    CGridDataCache cache;
    ASSERT_EQ(Open(cache, 9, 500, 104857600), 1);
    CVArray<tagGirdData> list;
    list.Add(Tile(12, 12, 34, &a));
    list.Add(Tile(12, -1, 35, &b));
    list.Add(Tile(13, 12, 34, &empty));
    list.Add(Tile(13, 0, 0));  // no data: not stored
    EXPECT_EQ(cache.AddGridData(list, 1), 3);
    EXPECT_EQ(Found(cache, 12, 12, 34), a);
  }
  CGridDataCache reopened;
  ASSERT_EQ(Open(reopened, 9, 500, 104857600), 1);
  EXPECT_EQ(reopened.GetCount(), 0);
  CVArray<tagGirdData> list;
  list.Add(Tile(12, 12, 34));
  list.Add(Tile(12, -1, 35));
  list.Add(Tile(13, 12, 34));
  list.Add(Tile(14, 12, 34));
  EXPECT_EQ(reopened.GetGridData(list), 3);
  EXPECT_EQ(std::string(static_cast<const char*>(list[1].data), list[1].size), b);
  EXPECT_EQ(list[2].size, 20);
  EXPECT_EQ(list[3].data, nullptr);
  EXPECT_EQ(reopened.GetCount(), 3);  // read through into memory

  EXPECT_EQ(reopened.RemoveGridData(Tile(12, 12, 34), 1), 1);
  reopened.RemoveAll();
  EXPECT_EQ(Found(reopened, 12, 12, 34), "");
  EXPECT_EQ(Found(reopened, 12, -1, 35), b);  // RemoveAll leaves the file cache alone
}

TEST_F(CGridDataCacheTest, MemoryKeepsTheMostRecentlyUsedTilesOnly) {
  CGridDataCache cache;
  ASSERT_EQ(Open(cache, 2, 0, 0), 1);  // no file cache
  EXPECT_FALSE(cache.HasFileCache());
  std::string one = "1", two = "2", three = "3";
  CVArray<tagGirdData> list;
  list.Add(Tile(10, 1, 1, &one));
  list.Add(Tile(10, 2, 2, &two));
  cache.AddGridData(list, 1);
  EXPECT_EQ(Found(cache, 10, 1, 1), "1");  // now the most recent
  list.RemoveAll();
  list.Add(Tile(10, 3, 3, &three));
  cache.AddGridData(list, 0);
  EXPECT_EQ(cache.GetCount(), 2);
  EXPECT_EQ(Found(cache, 10, 2, 2), "");
  EXPECT_EQ(Found(cache, 10, 1, 1), "1");
  EXPECT_EQ(Found(cache, 10, 3, 3), "3");
}

TEST_F(CGridDataCacheTest, TheFileCacheHoldsItsCapacityAndByteLimit) {
  CGridDataFileCache files;
  ASSERT_EQ(files.Init(Path("SatData.Index"), Path("Satllite.ca"), 3, 100), 1);
  std::string tile(30, 'a');
  for (int i = 0; i < 4; ++i) {
    tile[0] = static_cast<char>('0' + i);
    ASSERT_EQ(files.Write(5, CVString::FromUtf8(std::to_string(i) + "_0"), tile.data(), 30), 1);
  }
  EXPECT_EQ(files.GetCount(), 3);  // the oldest went
  platform::Data out;
  EXPECT_EQ(files.Read(5, CVString("0_0"), out), 0);
  ASSERT_EQ(files.Read(5, CVString("3_0"), out), 1);
  EXPECT_EQ(out[0], '3');
  // 30 more bytes would pass 100: the oldest go and the data file is compacted.
  ASSERT_EQ(files.Write(5, CVString("4_0"), tile.data(), 30), 1);
  EXPECT_EQ(files.GetCount(), 3);
  std::string big(60, 'b');
  ASSERT_EQ(files.Write(5, CVString("5_0"), big.data(), 60), 1);
  EXPECT_EQ(files.GetCount(), 2);                                                    // 30 + 60 bytes
  EXPECT_EQ(files.Write(5, CVString("6_0"), std::string(101, 'c').data(), 101), 0);  // never fits
  ASSERT_EQ(files.Read(5, CVString("4_0"), out), 1);
  files.Close();
  std::ifstream data(dir.path() + "/Satllite.ca", std::ios::binary | std::ios::ate);
  EXPECT_LE(static_cast<long>(data.tellg()), 12 + 100);
  ASSERT_EQ(files.Init(Path("SatData.Index"), Path("Satllite.ca"), 3, 100), 1);
  EXPECT_EQ(files.GetCount(), 2);
  ASSERT_EQ(files.Read(5, CVString("5_0"), out), 1);
  EXPECT_EQ(out.size(), 60u);
}

TEST_F(CGridDataCacheTest, DamagedFilesAreNotTrusted) {
  std::string tile = "tile bytes";
  {
    CGridDataFileCache files;
    ASSERT_EQ(files.Init(Path("Data.Index"), Path("Grid.ca"), 10, 1000), 1);
    files.Write(3, CVString("1_1"), tile.data(), static_cast<int>(tile.size()));
    files.Write(3, CVString("2_2"), tile.data(), static_cast<int>(tile.size()));
  }
  {
    // One byte of the first tile changes: its checksum no longer matches.
    std::fstream data(dir.path() + "/Grid.ca", std::ios::binary | std::ios::in | std::ios::out);
    data.seekp(12);
    data.put('X');
  }
  CGridDataFileCache files;
  ASSERT_EQ(files.Init(Path("Data.Index"), Path("Grid.ca"), 10, 1000), 1);
  platform::Data out;
  EXPECT_EQ(files.Read(3, CVString("1_1"), out), 0);
  EXPECT_EQ(files.GetCount(), 1);
  EXPECT_EQ(files.Read(3, CVString("2_2"), out), 1);
  files.Close();
  {
    std::ofstream index(dir.path() + "/Data.Index", std::ios::binary | std::ios::trunc);
    index << "GMIX garbage";
  }
  ASSERT_EQ(files.Init(Path("Data.Index"), Path("Grid.ca"), 10, 1000), 1);
  EXPECT_EQ(files.GetCount(), 0);
  EXPECT_EQ(files.Init(Path("Data.Index"), Path("Grid.ca"), 0, 1000), 0);
}

TEST(CGridDataFileCacheIndexTest, ParseIndexRejectsEntriesOutsideTheDataFile) {
  std::string index("GMIX\1\0\0\0\7\0\0\0\1\0\0\0\2\0\0\0", 20);
  std::string entry(44, '\0');
  entry[4] = 12;  // offset 12
  entry[8] = 10;  // size 10
  entry[16] = 1;  // sequence
  entry.replace(20, 3, "1_1");
  index += entry;
  std::uint32_t stamp = 0, next = 0;
  std::vector<CGridDataFileCache::Entry> entries;
  auto bytes = reinterpret_cast<const std::uint8_t*>(index.data());
  EXPECT_TRUE(CGridDataFileCache::ParseIndex(bytes, index.size(), 22, stamp, next, entries));
  EXPECT_EQ(stamp, 7u);
  EXPECT_EQ(entries.at(0).key, "1_1");
  EXPECT_FALSE(CGridDataFileCache::ParseIndex(bytes, index.size(), 21, stamp, next, entries));
  EXPECT_FALSE(CGridDataFileCache::ParseIndex(bytes, index.size() - 1, 22, stamp, next, entries));
}

}  // namespace
