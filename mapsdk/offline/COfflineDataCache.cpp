#include "mapsdk/offline/COfflineDataCache.h"

#include <cstring>
#include <vector>

#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/offline/OfflineTileCheck.h"

namespace gmengine {

namespace {

constexpr int kHeaderOffset = 4;
constexpr int kCurCountOffset = kHeaderOffset + 16;
// Two of the header's reserved words: the mark of a file whose every tile was checked to decode
// as it was written, and the count of places passed without a tile (a tile that did not decode).
constexpr int kCheckedOffset = kHeaderOffset + 20;
constexpr int kHolesOffset = kHeaderOffset + 24;
constexpr std::uint32_t kTilesChecked = 0x4B434843u;  // "CHCK"

int Power4(int d) { return d < 0 || d > 15 ? 0 : 1 << (2 * d); }

// Where tile data begins in a sound file of levels first..last over base.
long long TablesEnd(int baseLevel, int firstLevel, int lastLevel) {
  if (firstLevel >= lastLevel) return 40 + 8LL * Power4(lastLevel - baseLevel);
  long long end = 44 + 8LL * (lastLevel - firstLevel + 1);
  for (int l = firstLevel; l <= lastLevel; ++l) end += 4 + 8LL * Power4(l - baseLevel);
  return end;
}

}  // namespace

int COfflineDataCache::Init(const CVString& dataFolder, const CVString& name, int mode) {
  name_ = name;
  root_ = dataFolder + CVString("data/");
  mode_ = mode;
  CreateDirectory(root_);
  return 1;
}

int COfflineDataCache::GridCount(int baseLevel, int firstLevel, int lastLevel) {
  if (firstLevel == lastLevel) return Power4(lastLevel - baseLevel);
  if (firstLevel > lastLevel) return 0;
  int total = 0;
  for (int l = firstLevel; l <= lastLevel; ++l) total += Power4(l - baseLevel);
  return total;
}

CVString COfflineDataCache::PackagePath(const CVString& name) {
  int sep = name.Find(CVString("_"));
  int x = vwtoi(name.GetBuffer());
  int y = 0;
  if (sep >= 0) {
    CVString rest = name.Mid(sep + 1);
    if (rest.Find(CVString("_")) >= 0) rest = rest.Mid(0, sep);
    y = vwtoi(rest.GetBuffer());
  }
  CVString folder;
  folder.Format("%d_%d/", x / 10, y / 10);
  CreateDirectory(root_ + folder);
  return root_ + folder + name + CVString(".dat");
}

CVString COfflineDataCache::PackageNameOfTile(int baseLevel, const GridKey& key, int level) {
  const int a = key.x, b = key.y;
  if (level < 3 || level > 18 || b < 0 || a < 0) return CVString();
  int d = level - baseLevel;
  if (d < 0 || d > 8) return CVString();
  double s = static_cast<double>(1 << d);
  int px = static_cast<int>(a / s);
  int py = static_cast<int>(b / s);
  CVString name;
  if (baseLevel != 3 && level == 18) {
    name.Format("%d_%d_18", px, py);
  } else {
    name.Format("%d_%d", px, py);
  }
  return name;
}

int COfflineDataCache::TileIndex(int baseLevel, const GridKey& key, int level) {
  const int a = key.x, b = key.y;
  if (a < 0 || b < 0) return -1;
  int d = level - baseLevel;
  if (d < 0 || d > 8) return -1;
  int s = 1 << d;
  return (a % s) * s + (b % s);
}

bool COfflineDataCache::ReadWord(int offset, std::uint32_t& value) {
  if (file_.Seek(offset, CVFile::begin) != offset) return false;
  unsigned char bytes[4];
  if (file_.Read(bytes, 4) != 4) return false;
  value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
          static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return true;
}

bool COfflineDataCache::WriteWord(int offset, std::uint32_t value) {
  if (file_.Seek(offset, CVFile::begin) != offset) return false;
  unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return file_.Write(bytes, 4) == 4;
}

int COfflineDataCache::Fail() {
  file_.Close();
  return 0;
}

int COfflineDataCache::CreateOfflineDat(int baseLevel, CVString name, int firstLevel, int lastLevel,
                                        int& storedCount) {
  if (lastLevel == 18) name += CVString("_18");
  CVString path = PackagePath(name);
  int gridCount = GridCount(baseLevel, firstLevel, lastLevel);
  if (file_.Open(path, CVFile::modeRead)) {
    std::uint32_t state = 0, current = 0;
    bool sound = ReadWord(0, state) && state == kStateComplete && ReadWord(kCurCountOffset, current) &&
                 file_.GetLength() >= TablesEnd(baseLevel, firstLevel, lastLevel);
    file_.Close();
    if (sound && static_cast<int>(current) >= 0 && static_cast<int>(current) <= gridCount) {
      storedCount = static_cast<int>(current);
      return KeepDecodingTiles(path, baseLevel, firstLevel, lastLevel, storedCount);
    }
    DeleteFile(path);
  }
  // A package spans at most eight levels (base 3: 3 to 10, base 11: 11 to 18); levels from a
  // broken record must not size a table of gigabytes.
  if (gridCount <= 0 || firstLevel < baseLevel || lastLevel - baseLevel > 7) return 0;
  if (!file_.Open(path, CVFile::modeCreate | CVFile::modeReadWrite)) return 0;
  bool multi = firstLevel < lastLevel;
  std::vector<std::uint32_t> words;
  words.push_back(kStateWriting);
  std::uint32_t storeId = static_cast<std::uint32_t>(vwtoi(name_.GetBuffer()));
  // The download stores only tiles that decode (COfflineMapMan::SaveGridData): a file made here
  // holds none other.
  std::uint32_t header[8] = {multi ? 1u : 0u, storeId, 0, static_cast<std::uint32_t>(mode_), 0,
                             kTilesChecked,   0,       0};
  words.insert(words.end(), header, header + 8);
  if (multi) {
    int count = lastLevel - firstLevel + 1;
    words.push_back(static_cast<std::uint32_t>(firstLevel));
    words.push_back(static_cast<std::uint32_t>(count));
    std::size_t directory = words.size();
    words.insert(words.end(), static_cast<std::size_t>(2 * count), 0xFFFFFFFFu);
    for (int l = firstLevel; l <= lastLevel; ++l) {
      int n = Power4(l - baseLevel);
      std::size_t table = words.size();
      words.push_back(static_cast<std::uint32_t>(n));
      words.insert(words.end(), static_cast<std::size_t>(2 * n), 0xFFFFFFFFu);
      std::size_t entry = directory + static_cast<std::size_t>(2 * (l - firstLevel));
      words[entry] = static_cast<std::uint32_t>(table * 4);
      words[entry + 1] = static_cast<std::uint32_t>(4 + 8 * n);
    }
  } else {
    int n = Power4(lastLevel - baseLevel);
    words.push_back(static_cast<std::uint32_t>(n));
    words.insert(words.end(), static_cast<std::size_t>(2 * n), 0xFFFFFFFFu);
  }
  std::vector<unsigned char> bytes(words.size() * 4);
  for (std::size_t i = 0; i < words.size(); ++i) {
    for (int k = 0; k < 4; ++k)
      bytes[i * 4 + static_cast<std::size_t>(k)] = static_cast<unsigned char>(words[i] >> (8 * k));
  }
  int length = static_cast<int>(bytes.size());
  if (file_.Write(bytes.data(), length) != length) return Fail();
  if (!WriteWord(0, kStateComplete)) return Fail();
  file_.Flush();
  file_.Close();
  curCount_ = 0;
  storedCount = 0;
  return 1;
}

int COfflineDataCache::EntryOffset(int baseLevel, int firstLevel, int lastLevel, int level, int position) {
  return firstLevel < lastLevel ? 56 + 8 * (lastLevel - firstLevel) + 4 * (level - baseLevel) + 8 * position
                                : 40 + 8 * position;
}

int COfflineDataCache::KeepDecodingTiles(const CVString& path, int baseLevel, int firstLevel, int lastLevel,
                                         int& storedCount) {
  if (!file_.Open(path, CVFile::modeReadWrite)) return 0;
  std::uint32_t checked = 0, holes = 0;
  if (!ReadWord(kCheckedOffset, checked) || !ReadWord(kHolesOffset, holes)) return Fail();
  if (checked == kTilesChecked && holes == 0) {
    file_.Close();
    return 1;
  }
  // A file from before the check (or a package installed whole) has every tile decoded once; a
  // checked one only has its holes looked for. The first tile missing or not decoding is where
  // the next download starts again: tiles enter a file only in their order.
  const int stored = storedCount;
  // The level of the tile at a position of the file's order.
  auto levelAt = [&](int position) {
    int level = firstLevel;
    for (int end = GridCount(baseLevel, level, level); position >= end && level < lastLevel;
         end += GridCount(baseLevel, level, level))
      ++level;
    return level;
  };
  int good = 0;
  std::vector<unsigned char> tile;
  for (; good < stored; ++good) {
    const int entry = EntryOffset(baseLevel, firstLevel, lastLevel, levelAt(good), good);
    std::uint32_t offset = 0, size = 0;
    if (!ReadWord(entry, offset) || !ReadWord(entry + 4, size)) return Fail();
    if (size > static_cast<std::uint32_t>(kMaxTileSize)) break;
    if (checked == kTilesChecked || size == 0) continue;
    tile.resize(size);
    if (offset > 0x7FFFFFFFu ||
        file_.Seek(static_cast<int>(offset), CVFile::begin) != static_cast<int>(offset) ||
        file_.Read(tile.data(), static_cast<int>(size)) != static_cast<int>(size) ||
        !OfflineTileDecodes(tile.data(), static_cast<int>(size))) {
      break;
    }
  }
  // The places from the first bad one on are emptied; the file is marked checked.
  if (!WriteWord(0, kStateWriting)) return Fail();
  for (int position = good; position < stored; ++position) {
    const int entry = EntryOffset(baseLevel, firstLevel, lastLevel, levelAt(position), position);
    if (!WriteWord(entry, 0xFFFFFFFFu) || !WriteWord(entry + 4, 0xFFFFFFFFu)) return Fail();
  }
  if (!WriteWord(kCurCountOffset, static_cast<std::uint32_t>(good)) || !WriteWord(kHolesOffset, 0) ||
      !WriteWord(kCheckedOffset, kTilesChecked) || !file_.Flush() || !WriteWord(0, kStateComplete) ||
      !file_.Flush()) {
    return Fail();
  }
  file_.Close();
  curCount_ = good;
  storedCount = good;
  return 1;
}

int COfflineDataCache::SkipGridData(int baseLevel, const GridKey& key, int firstLevel, int lastLevel,
                                    int level) {
  return PutGridData(baseLevel, key, firstLevel, lastLevel, level, nullptr, -1);
}

int COfflineDataCache::WriteGridData(int baseLevel, const GridKey& key, int firstLevel, int lastLevel,
                                     int level, const void* data, int size) {
  if (size < 0) {
    writeFailed_ = false;
    return 0;
  }
  return PutGridData(baseLevel, key, firstLevel, lastLevel, level, data, size);
}

int COfflineDataCache::PutGridData(int baseLevel, const GridKey& key, int firstLevel, int lastLevel,
                                   int level, const void* data, int size) {
  writeFailed_ = false;
  const bool hole = size < 0;
  if (size > kMaxTileSize || (size > 0 && !data)) return 0;
  if (level < firstLevel || level > lastLevel) return 0;
  CVString name = PackageNameOfTile(baseLevel, key, level);
  int index = TileIndex(baseLevel, key, level);
  if (name.IsEmpty() || index < 0) return 0;
  CVString path = PackagePath(name);
  if (!file_.Open(path, CVFile::modeReadWrite)) return 0;
  std::uint32_t state = 0, current = 0;
  if (!ReadWord(0, state)) return Fail();
  if (state != kStateComplete) {
    file_.Close();
    DeleteFile(path);
    return 0;
  }
  if (!ReadWord(kCurCountOffset, current)) return Fail();
  int g = static_cast<int>(current);
  int expected = -1;
  if (baseLevel == 3 || (baseLevel == 11 && firstLevel == 11)) {
    expected = GridCount(baseLevel, baseLevel, level - 1) * (level > baseLevel ? 1 : 0) + index;
  } else if (baseLevel == 11 && firstLevel == 18) {
    expected = index;
  }
  if (expected < 0 || g != expected || g >= GridCount(baseLevel, firstLevel, lastLevel)) return Fail();
  if (file_.GetLength() < TablesEnd(baseLevel, firstLevel, lastLevel)) return Fail();
  const int before = file_.GetLength();
  const int entry = EntryOffset(baseLevel, firstLevel, lastLevel, level, g);
  if (hole) {
    // The place passes without a tile: the entry stays missing, the file counts one hole more.
    std::uint32_t holes = 0;
    if (!ReadWord(kHolesOffset, holes)) return Fail();
    if (!WriteWord(0, kStateWriting) || !WriteWord(kHolesOffset, holes + 1) ||
        !WriteWord(kCurCountOffset, static_cast<std::uint32_t>(g + 1)) || !file_.Flush() ||
        !WriteWord(0, kStateComplete) || !file_.Flush()) {
      writeFailed_ = true;
      return Fail();
    }
    curCount_ = g + 1;
    file_.Close();
    return 1;
  }
  if (!WriteWord(0, kStateWriting)) return FailWrite(before, entry, g);
  int offset = file_.SeekToEnd();
  if (offset < 0) return FailWrite(before, entry, g);
  if (size > 0 && file_.Write(data, size) != size) return FailWrite(before, entry, g);
  if (!WriteWord(entry, static_cast<std::uint32_t>(offset)) ||
      !WriteWord(entry + 4, static_cast<std::uint32_t>(size)) ||
      !WriteWord(kCurCountOffset, static_cast<std::uint32_t>(g + 1)) || !file_.Flush() ||
      !WriteWord(0, kStateComplete) || !file_.Flush()) {
    return FailWrite(before, entry, g);
  }
  curCount_ = g + 1;
  file_.Close();
  return 1;
}

int COfflineDataCache::FailWrite(int length, int entry, int count) {
  writeFailed_ = true;
  // The tile's entry and the count go back and the bytes past the old end are cut, so the file
  // holds exactly the tiles it held. Should even that fail, the file stays marked as being
  // written and the next CreateOfflineDat rebuilds it: nothing half-written counts as stored.
  if (length >= 0 && file_.SetLength(length) && WriteWord(entry, 0xFFFFFFFFu) &&
      WriteWord(entry + 4, 0xFFFFFFFFu) && WriteWord(kCurCountOffset, static_cast<std::uint32_t>(count)) &&
      file_.Flush()) {
    if (WriteWord(0, kStateComplete)) file_.Flush();
  }
  file_.Close();
  return 0;
}

int COfflineDataCache::ReadGridData(int baseLevel, const GridKey& key, int level, void*& data, int& size) {
  data = nullptr;
  size = 0;
  CVString name = PackageNameOfTile(baseLevel, key, level);
  int index = TileIndex(baseLevel, key, level);
  if (name.IsEmpty() || index < 0) return 0;
  if (!file_.Open(PackagePath(name), CVFile::modeRead)) return 0;
  std::uint32_t state = 0;
  if (!ReadWord(0, state) || state != kStateComplete) return Fail();
  int d = level - baseLevel;
  std::uint32_t entryOffset = 0;
  if (level != 18) {
    std::uint32_t first = 0, count = 0, tableOffset = 0, tableCount = 0;
    if (!ReadWord(36, first) || !ReadWord(40, count)) return Fail();
    if (first > 18 || count > 18 || static_cast<int>(first) > level ||
        level > static_cast<int>(first + count) - 1) {
      return Fail();
    }
    if (!ReadWord(44 + 8 * d, tableOffset) || tableOffset > 0x7FFFFFF0u) return Fail();
    if (!ReadWord(static_cast<int>(tableOffset), tableCount) ||
        tableCount <= static_cast<std::uint32_t>(index)) {
      return Fail();
    }
    entryOffset = tableOffset + 4 + 8 * static_cast<std::uint32_t>(index);
  } else {
    std::uint32_t count = 0;
    if (!ReadWord(36, count) || count <= static_cast<std::uint32_t>(index)) return Fail();
    entryOffset = 40 + 8 * static_cast<std::uint32_t>(index);
  }
  std::uint32_t offset = 0, length = 0;
  if (entryOffset > 0x7FFFFFF0u || !ReadWord(static_cast<int>(entryOffset), offset) ||
      !ReadWord(static_cast<int>(entryOffset) + 4, length)) {
    return Fail();
  }
  if (length > static_cast<std::uint32_t>(kMaxTileSize)) return Fail();
  if (length == 0) {
    void* block = VMalloc(20);
    if (!block) return Fail();
    std::memset(block, 0, 20);
    std::memcpy(block, "taon", 4);
    data = block;
    size = 20;
    file_.Close();
    return 1;
  }
  if (offset > 0x7FFFFFFFu ||
      file_.Seek(static_cast<int>(offset), CVFile::begin) != static_cast<int>(offset)) {
    return Fail();
  }
  void* block = VMalloc(length);
  if (!block) return Fail();
  if (file_.Read(block, static_cast<int>(length)) != static_cast<int>(length)) {
    VFree(block);
    return Fail();
  }
  data = block;
  size = static_cast<int>(length);
  file_.Close();
  return 1;
}

void COfflineDataCache::LoadGridData(CVArray<tagGirdData>& requests) {
  for (tagGirdData& request : requests) {
    if (request.data || request.level < 3) continue;
    int base = request.level < 11 ? 3 : 11;
    GridKey key = request.Key().grid;
    void* data = nullptr;
    int size = 0;
    if (!ReadGridData(base, key, request.level, data, size)) continue;
    if (gridCache_) {
      CVArray<tagGirdData> one;
      tagGirdData tile = request;
      tile.data = data;
      tile.size = size;
      one.Add(tile);
      gridCache_->AddGridData(one, 0);
      one[0].data = nullptr;
      one[0].size = 0;
      if (gridCache_->GetGridData(one) > 0) {
        request.data = one[0].data;
        request.size = one[0].size;
      }
    }
    VFree(data);
  }
}

int COfflineDataCache::DeleteGridFile(int baseLevel, const CVString& name, int firstLevel, int lastLevel) {
  (void)baseLevel;
  (void)firstLevel;
  (void)lastLevel;
  return DeleteFile(PackagePath(name));
}

int COfflineDataCache::SetComplete(int flag) {
  if (!file_.IsOpened()) return 0;
  int position = file_.GetPosition();
  if (!WriteWord(0, flag ? kStateComplete : kStateWriting)) return Fail();
  file_.Flush();
  file_.Seek(position, CVFile::begin);
  return 1;
}

int COfflineDataCache::IsComplete() {
  std::uint32_t state = 0;
  if (file_.IsOpened() && ReadWord(0, state) && state == kStateComplete) return 1;
  file_.Close();
  return 0;
}

}  // namespace gmengine
