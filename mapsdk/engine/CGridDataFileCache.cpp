#include "mapsdk/engine/CGridDataFileCache.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "mapsdk/engine/PathText.h"
#include "mapsdk/engine/VFileUtil.h"

namespace gmengine {

namespace {

constexpr char kIndexMagic[4] = {'G', 'M', 'I', 'X'};
constexpr char kDataMagic[4] = {'G', 'M', 'D', 'T'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kKeyField = CGridDataFileCache::kMaxKeyLength + 1;

std::uint32_t get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t checksum(const void* data, std::size_t size) {
  return static_cast<std::uint32_t>(crc32(0L, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

using pathtext::folderOf;

std::uint32_t freshStamp() {
  std::random_device random;
  return static_cast<std::uint32_t>(random());
}

bool writeDataHeader(CVFile& file, std::uint32_t stamp) {
  std::string header(kDataMagic, 4);
  put32(header, kVersion);
  put32(header, stamp);
  file.SeekToBegin();
  return file.Write(header.data(), static_cast<int>(header.size())) == static_cast<int>(header.size());
}

}  // namespace

bool CGridDataFileCache::ParseIndex(const std::uint8_t* bytes, std::size_t size, std::uint64_t dataLength,
                                    std::uint32_t& stamp, std::uint32_t& nextSequence,
                                    std::vector<Entry>& entries) {
  entries.clear();
  if (!bytes || size < kIndexHeaderSize || std::memcmp(bytes, kIndexMagic, 4) != 0) return false;
  if (get32(bytes + 4) != kVersion) return false;
  stamp = get32(bytes + 8);
  std::uint32_t count = get32(bytes + 12);
  nextSequence = get32(bytes + 16);
  if ((size - kIndexHeaderSize) % kIndexEntrySize != 0 ||
      (size - kIndexHeaderSize) / kIndexEntrySize != count) {
    return false;
  }
  std::set<TileKey> seen;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* p = bytes + kIndexHeaderSize + i * kIndexEntrySize;
    Entry e;
    e.key.level = static_cast<std::int32_t>(get32(p));
    e.offset = get32(p + 4);
    e.size = get32(p + 8);
    e.crc = get32(p + 12);
    e.sequence = get32(p + 16);
    const char* key = reinterpret_cast<const char*>(p + 20);
    std::size_t keyLength = strnlen(key, kKeyField);
    if (keyLength == kKeyField) return false;  // no terminating zero
    if (!GridKey::Parse(std::string_view(key, keyLength), e.key.grid)) return false;
    if (e.size == 0 || e.offset < kDataHeaderSize) return false;
    if (static_cast<std::uint64_t>(e.offset) + e.size > dataLength) return false;
    if (!seen.insert(e.key).second) return false;
    entries.push_back(std::move(e));
  }
  return true;
}

int CGridDataFileCache::Init(const CVString& indexPath, const CVString& dataPath, int capacity,
                             int byteLimit) {
  Close();
  if (capacity <= 0 || byteLimit <= 0 || indexPath.IsEmpty() || dataPath.IsEmpty()) return 0;
  indexPath_ = indexPath.ToUtf8();
  dataPath_ = dataPath.ToUtf8();
  capacity_ = capacity;
  byteLimit_ = static_cast<std::uint64_t>(byteLimit);
  for (const std::string& path : {indexPath_, dataPath_}) {
    std::string folder = folderOf(path);
    if (!folder.empty()) CreateDirectory(CVString::FromUtf8(folder));
  }

  bool loaded = false;
  if (data_.Open(dataPath, CVFile::modeReadWrite)) {
    std::uint8_t header[kDataHeaderSize];
    int length = data_.GetLength();
    if (length >= static_cast<int>(kDataHeaderSize) && data_.Read(header, sizeof header) == sizeof header &&
        std::memcmp(header, kDataMagic, 4) == 0 && get32(header + 4) == kVersion) {
      stamp_ = get32(header + 8);
      dataLength_ = static_cast<std::uint64_t>(length);
      std::ifstream in(indexPath_, std::ios::binary);
      std::string index((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::uint32_t indexStamp = 0;
      std::vector<Entry> list;
      if (in.good() || in.eof()) {
        loaded = ParseIndex(reinterpret_cast<const std::uint8_t*>(index.data()), index.size(), dataLength_,
                            indexStamp, nextSequence_, list) &&
                 indexStamp == stamp_;
      }
      if (loaded) {
        for (Entry& e : list) entries_.emplace(e.key, std::move(e));
      }
    }
  }
  if (!loaded) {
    entries_.clear();
    if (!CreateEmpty()) {
      Close();
      return 0;
    }
  }
  // A cache reopened with smaller limits gives up its oldest tiles.
  while (static_cast<int>(entries_.size()) > capacity_ || LiveBytes() > byteLimit_) EvictOldest();
  if (dataLength_ > kDataHeaderSize + byteLimit_ && !Compact()) return 0;
  Flush();
  return 1;
}

bool CGridDataFileCache::CreateEmpty() {
  data_.Close();
  stamp_ = freshStamp();
  nextSequence_ = 1;
  entries_.clear();
  if (!data_.Open(CVString::FromUtf8(dataPath_), CVFile::modeCreate | CVFile::modeReadWrite)) return false;
  if (!writeDataHeader(data_, stamp_)) return false;
  data_.Flush();
  dataLength_ = kDataHeaderSize;
  dirty_ = true;
  return Flush() == 1;
}

void CGridDataFileCache::Close() {
  if (data_.IsOpened()) Flush();
  data_.Close();
  entries_.clear();
  dirty_ = false;
}

std::uint64_t CGridDataFileCache::LiveBytes() const {
  std::uint64_t total = 0;
  for (const auto& [key, e] : entries_) total += e.size;
  return total;
}

void CGridDataFileCache::EvictOldest() {
  if (entries_.empty()) return;
  auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
    return a.second.sequence < b.second.sequence;
  });
  entries_.erase(oldest);
  dirty_ = true;
}

int CGridDataFileCache::Read(const TileKey& key, platform::Data& out) {
  out.clear();
  if (!IsOpen()) return 0;
  auto it = entries_.find(key);
  if (it == entries_.end()) return 0;
  const Entry& e = it->second;
  out.resize(e.size);
  if (data_.Seek(static_cast<int>(e.offset), CVFile::begin) != static_cast<int>(e.offset) ||
      data_.Read(out.data(), static_cast<int>(e.size)) != static_cast<int>(e.size) ||
      checksum(out.data(), out.size()) != e.crc) {
    out.clear();
    entries_.erase(it);  // damaged: fetched again next time
    dirty_ = true;
    return 0;
  }
  return 1;
}

int CGridDataFileCache::Write(const TileKey& key, const void* data, int size) {
  if (!IsOpen() || !data || size <= 0 || static_cast<std::uint64_t>(size) > byteLimit_) return 0;
  if (entries_.erase(key)) dirty_ = true;
  while (static_cast<int>(entries_.size()) >= capacity_) EvictOldest();
  if (dataLength_ + static_cast<std::uint64_t>(size) > kDataHeaderSize + byteLimit_) {
    while (LiveBytes() + static_cast<std::uint64_t>(size) > byteLimit_) EvictOldest();
    if (!Compact()) return 0;
  }
  if (dataLength_ + static_cast<std::uint64_t>(size) > 0x7FFFFFFF) return 0;
  int at = data_.Seek(0, CVFile::end);
  if (at < 0) return 0;
  if (data_.Write(data, size) != size) {
    dataLength_ = static_cast<std::uint64_t>(std::max(at, data_.SeekToEnd()));
    return 0;
  }
  dataLength_ = static_cast<std::uint64_t>(at) + static_cast<std::uint64_t>(size);
  Entry e;
  e.key = key;
  e.offset = static_cast<std::uint32_t>(at);
  e.size = static_cast<std::uint32_t>(size);
  e.crc = checksum(data, static_cast<std::size_t>(size));
  e.sequence = nextSequence_++;
  entries_.emplace(key, std::move(e));
  dirty_ = true;
  return 1;
}

int CGridDataFileCache::Remove(const TileKey& key) {
  if (!entries_.erase(key)) return 0;
  dirty_ = true;
  return 1;
}

bool CGridDataFileCache::Compact() {
  std::string temporary = dataPath_ + ".tmp";
  std::uint32_t stamp = stamp_ + 1;
  std::vector<Entry*> live;
  for (auto& [key, e] : entries_) live.push_back(&e);
  std::sort(live.begin(), live.end(), [](const Entry* a, const Entry* b) { return a->offset < b->offset; });
  std::vector<std::uint32_t> offsets;
  bool ok;
  {
    CVFile out;
    ok = out.Open(CVString::FromUtf8(temporary), CVFile::modeCreate | CVFile::modeReadWrite) &&
         writeDataHeader(out, stamp);
    std::uint32_t at = kDataHeaderSize;
    platform::Data bytes;
    for (Entry* e : live) {
      if (!ok) break;
      bytes.resize(e->size);
      ok = data_.Seek(static_cast<int>(e->offset), CVFile::begin) >= 0 &&
           data_.Read(bytes.data(), static_cast<int>(e->size)) == static_cast<int>(e->size) &&
           out.Write(bytes.data(), static_cast<int>(e->size)) == static_cast<int>(e->size);
      offsets.push_back(at);
      at += e->size;
    }
    ok = ok && out.Flush();
  }
  data_.Close();
  if (ok) ok = std::rename(temporary.c_str(), dataPath_.c_str()) == 0;
  if (!ok) {
    std::remove(temporary.c_str());
    return CreateEmpty();
  }
  for (std::size_t i = 0; i < live.size(); ++i) live[i]->offset = offsets[i];
  stamp_ = stamp;
  if (!data_.Open(CVString::FromUtf8(dataPath_), CVFile::modeReadWrite)) return false;
  dataLength_ = static_cast<std::uint64_t>(std::max(0, data_.GetLength()));
  dirty_ = true;
  return Flush() == 1;
}

int CGridDataFileCache::Flush() {
  if (!dirty_) return 1;
  if (!data_.Flush()) return 0;
  std::string index(kIndexMagic, 4);
  put32(index, kVersion);
  put32(index, stamp_);
  put32(index, static_cast<std::uint32_t>(entries_.size()));
  put32(index, nextSequence_);
  for (const auto& [key, e] : entries_) {
    put32(index, static_cast<std::uint32_t>(e.key.level));
    put32(index, e.offset);
    put32(index, e.size);
    put32(index, e.crc);
    put32(index, e.sequence);
    std::string field = e.key.grid.Text();
    field.resize(kKeyField, '\0');
    index += field;
  }
  std::string temporary = indexPath_ + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(index.data(), static_cast<std::streamsize>(index.size()));
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return 0;
    }
  }
  if (std::rename(temporary.c_str(), indexPath_.c_str()) != 0) {
    std::remove(temporary.c_str());
    return 0;
  }
  dirty_ = false;
  return 1;
}

}  // namespace gmengine
