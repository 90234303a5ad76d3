#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "mapsdk/engine/CGridDataCache.h"
#include "tests/support/TempDir.h"

using namespace gmengine;

namespace {

TileKey Key(int level, int x, int y) { return TileKey{level, GridKey{x, y}}; }

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
  EXPECT_EQ(reopened.GetCount(), 2);  // gone from the list and its index alike
  EXPECT_EQ(Found(reopened, 12, 12, 34), "");
  EXPECT_EQ(reopened.RemoveGridData(Tile(12, 12, 34), 1), 0);
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
  // A tile stored again replaces its entry rather than adding one, and pushes the other out.
  std::string again = "3 again";
  list.RemoveAll();
  list.Add(Tile(10, 3, 3, &again));
  cache.AddGridData(list, 0);
  EXPECT_EQ(cache.GetCount(), 2);
  EXPECT_EQ(Found(cache, 10, 3, 3), "3 again");
  for (int x = 4; x < 40; ++x) {  // many new tiles through a cache of two
    std::string bytes = std::to_string(x);
    list.RemoveAll();
    list.Add(Tile(10, x, x, &bytes));
    cache.AddGridData(list, 0);
    ASSERT_EQ(cache.GetCount(), 2);
    EXPECT_EQ(Found(cache, 10, x - 1, x - 1), x == 4 ? again : std::to_string(x - 1)) << x;
    EXPECT_EQ(Found(cache, 10, x, x), bytes);
    EXPECT_EQ(Found(cache, 10, x - 2, x - 2), "") << x;
  }
}

TEST_F(CGridDataCacheTest, TheFileCacheHoldsItsCapacityAndByteLimit) {
  CGridDataFileCache files;
  ASSERT_EQ(files.Init(Path("SatData.Index"), Path("Satllite.ca"), 3, 100), 1);
  std::string tile(30, 'a');
  for (int i = 0; i < 4; ++i) {
    tile[0] = static_cast<char>('0' + i);
    ASSERT_EQ(files.Write(Key(5, i, 0), tile.data(), 30), 1);
  }
  EXPECT_EQ(files.GetCount(), 3);  // the oldest went
  platform::Data out;
  EXPECT_EQ(files.Read(Key(5, 0, 0), out), 0);
  ASSERT_EQ(files.Read(Key(5, 3, 0), out), 1);
  EXPECT_EQ(out[0], '3');
  // 30 more bytes would pass 100: the oldest go and the data file is compacted.
  ASSERT_EQ(files.Write(Key(5, 4, 0), tile.data(), 30), 1);
  EXPECT_EQ(files.GetCount(), 3);
  std::string big(60, 'b');
  ASSERT_EQ(files.Write(Key(5, 5, 0), big.data(), 60), 1);
  EXPECT_EQ(files.GetCount(), 2);                                              // 30 + 60 bytes
  EXPECT_EQ(files.Write(Key(5, 6, 0), std::string(101, 'c').data(), 101), 0);  // never fits
  ASSERT_EQ(files.Read(Key(5, 4, 0), out), 1);
  files.Close();
  std::ifstream data(dir.path() + "/Satllite.ca", std::ios::binary | std::ios::ate);
  EXPECT_LE(static_cast<long>(data.tellg()), 12 + 100);
  ASSERT_EQ(files.Init(Path("SatData.Index"), Path("Satllite.ca"), 3, 100), 1);
  EXPECT_EQ(files.GetCount(), 2);
  ASSERT_EQ(files.Read(Key(5, 5, 0), out), 1);
  EXPECT_EQ(out.size(), 60u);
}

TEST_F(CGridDataCacheTest, DamagedFilesAreNotTrusted) {
  std::string tile = "tile bytes";
  {
    CGridDataFileCache files;
    ASSERT_EQ(files.Init(Path("Data.Index"), Path("Grid.ca"), 10, 1000), 1);
    files.Write(Key(3, 1, 1), tile.data(), static_cast<int>(tile.size()));
    files.Write(Key(3, 2, 2), tile.data(), static_cast<int>(tile.size()));
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
  EXPECT_EQ(files.Read(Key(3, 1, 1), out), 0);
  EXPECT_EQ(files.GetCount(), 1);
  EXPECT_EQ(files.Read(Key(3, 2, 2), out), 1);
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
  EXPECT_EQ(entries.at(0).key, Key(0, 1, 1));
  EXPECT_FALSE(CGridDataFileCache::ParseIndex(bytes, index.size(), 21, stamp, next, entries));
  EXPECT_FALSE(CGridDataFileCache::ParseIndex(bytes, index.size() - 1, 22, stamp, next, entries));
  // Not an index of ours: another mark, another version, a head cut short, nothing at all.
  for (std::size_t at : {std::size_t{0}, std::size_t{3}, std::size_t{4}}) {
    std::string other = index;
    other[at] ^= 0x20;
    EXPECT_FALSE(CGridDataFileCache::ParseIndex(reinterpret_cast<const std::uint8_t*>(other.data()),
                                                other.size(), 22, stamp, next, entries))
        << at;
    EXPECT_TRUE(entries.empty()) << at;
  }
  EXPECT_FALSE(CGridDataFileCache::ParseIndex(bytes, 19, 22, stamp, next, entries));
  EXPECT_FALSE(CGridDataFileCache::ParseIndex(nullptr, 0, 22, stamp, next, entries));
  EXPECT_TRUE(entries.empty());
  // A key that is not a column and a row makes the index untrusted.
  for (const char* bad : {"1_", "x_1", "1_1_1", "11"}) {
    std::string damaged = index;
    damaged.replace(20 + 20, 24, std::string(24, '\0'));
    damaged.replace(20 + 20, std::strlen(bad), bad);
    bytes = reinterpret_cast<const std::uint8_t*>(damaged.data());
    EXPECT_FALSE(CGridDataFileCache::ParseIndex(bytes, damaged.size(), 22, stamp, next, entries)) << bad;
  }
}

// Little-endian words as the tile files store them.
std::string Words(std::initializer_list<std::uint32_t> words) {
  std::string out;
  for (std::uint32_t w : words) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((w >> (8 * i)) & 0xFF);
  }
  return out;
}

std::string IndexEntry(int level, std::uint32_t offset, const std::string& bytes, std::uint32_t sequence,
                       const std::string& key) {
  std::string entry =
      Words({static_cast<std::uint32_t>(level), offset, static_cast<std::uint32_t>(bytes.size()),
             static_cast<std::uint32_t>(
                 crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()))),
             sequence});
  std::string field = key;
  field.resize(24, '\0');
  return entry + field;
}

TEST_F(CGridDataCacheTest, FilesWrittenBeforeStillReadAndKeepTheirKeyText) {
  // A data file and an index laid down byte by byte in the stored format, keys as "%d_%d" texts.
  const std::string a = "street tile 12_34", b = "tile west of zero";
  std::string data = "GMDT" + Words({1, 0xC0FFEE}) + a + b;
  std::string index = "GMIX" + Words({1, 0xC0FFEE, 2, 3}) + IndexEntry(12, 12, a, 1, "12_34") +
                      IndexEntry(12, static_cast<std::uint32_t>(12 + a.size()), b, 2, "-1_35");
  {
    std::ofstream(dir.path() + "/Grid.ca", std::ios::binary) << data;
    std::ofstream(dir.path() + "/Data.Index", std::ios::binary) << index;
  }
  {
    CGridDataCache cache;
    ASSERT_EQ(Open(cache, 9, 500, 104857600), 1);
    EXPECT_EQ(Found(cache, 12, 12, 34), a);
    EXPECT_EQ(Found(cache, 12, -1, 35), b);
    EXPECT_EQ(Found(cache, 12, 34, 12), "");  // column and row are not interchangeable
    EXPECT_EQ(Found(cache, 13, 12, 34), "");  // nor are levels
    // A new tile makes the cache write its index again.
    std::string c = "new tile";
    CVArray<tagGirdData> list;
    list.Add(Tile(7, 100, -200, &c));
    ASSERT_EQ(cache.AddGridData(list, 1), 1);
  }
  std::ifstream in(dir.path() + "/Data.Index", std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(written.size(), 20u + 3 * 44);
  std::set<std::string> keys;
  for (std::size_t e = 0; e < 3; ++e) keys.insert(written.substr(20 + e * 44 + 20, 24));
  auto field = [](std::string text) {
    text.resize(24, '\0');
    return text;
  };
  EXPECT_EQ(keys, (std::set<std::string>{field("12_34"), field("-1_35"), field("100_-200")}));
  // The two old entries are what they were.
  EXPECT_NE(written.find(index.substr(20, 44)), std::string::npos);
  EXPECT_NE(written.find(index.substr(64, 44)), std::string::npos);
  CGridDataCache reopened;
  ASSERT_EQ(Open(reopened, 9, 500, 104857600), 1);
  EXPECT_EQ(Found(reopened, 7, 100, -200), "new tile");
  EXPECT_EQ(Found(reopened, 12, -1, 35), b);
}

}  // namespace
