#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/TileKey.h"
#include "platform/foundation/Data.h"

namespace gmengine {

// The tile file cache of one tile layer: an index file ("Data.Index", "SatData.Index") and a data
// file ("Grid.ca", "Satllite.ca", "Traf.ca"), holding at most a number of tiles and a number of
// bytes; the oldest tiles go first.
//
// Data file: "GMDT", version 1, a 32-bit stamp (12 bytes), then tile bytes appended. Index file:
// "GMIX", version 1, the stamp of the data file it describes, entry count, next sequence number
// (20 bytes), then one 44-byte entry per tile: level, offset, size, CRC-32 of the bytes, sequence
// number (age) and the key ("%d_%d"), zero-padded to 24 bytes. All words little-endian. The index is
// rewritten whole (temporary file and rename) after each batch of changes; when the data file is
// compacted it gets a new stamp, so an index that does not match its data file (a crash between
// the two writes, or a foreign file) is not trusted and the cache starts empty. A tile whose bytes
// do not match its CRC is dropped when read. Main thread (one thread at a time).
class CGridDataFileCache {
 public:
  static constexpr std::size_t kIndexHeaderSize = 20;
  static constexpr std::size_t kIndexEntrySize = 44;
  static constexpr std::size_t kDataHeaderSize = 12;
  static constexpr std::size_t kMaxKeyLength = 23;

  struct Entry {
    TileKey key;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t crc = 0;
    std::uint32_t sequence = 0;
  };

  CGridDataFileCache() = default;
  ~CGridDataFileCache() { Close(); }
  CGridDataFileCache(const CGridDataFileCache&) = delete;
  CGridDataFileCache& operator=(const CGridDataFileCache&) = delete;

  // Opens the two files (made when missing or not trusted). capacity tiles and byteLimit bytes of
  // tile data at most; 0 when capacity or byteLimit is not positive or a file cannot be made.
  int Init(const CVString& indexPath, const CVString& dataPath, int capacity, int byteLimit);
  // Writes what is pending and closes the files.
  void Close();
  bool IsOpen() const { return data_.IsOpened(); }
  int GetCount() const { return static_cast<int>(entries_.size()); }

  // The tile's bytes into out; 1 when found and intact.
  int Read(const TileKey& key, platform::Data& out);
  // Stores the tile (replacing one under the same level and key), evicting the oldest to stay
  // within the capacity and the byte limit; 1 on success. The index is written by Flush.
  int Write(const TileKey& key, const void* data, int size);
  // 1 when the tile was there.
  int Remove(const TileKey& key);
  // Writes the index when anything changed; 1 on success.
  int Flush();

  // Reads an index file's bytes: false unless it is well formed and every entry lies within a
  // data file of dataLength bytes (past its header), with no key twice and every key a column and
  // row ("%d_%d"). For the loader and fuzzing.
  static bool ParseIndex(const std::uint8_t* bytes, std::size_t size, std::uint64_t dataLength,
                         std::uint32_t& stamp, std::uint32_t& nextSequence, std::vector<Entry>& entries);

 private:
  bool CreateEmpty();
  bool Compact();
  void EvictOldest();
  std::uint64_t LiveBytes() const;

  std::string indexPath_;
  std::string dataPath_;
  int capacity_ = 0;
  std::uint64_t byteLimit_ = 0;
  CVFile data_;
  std::uint64_t dataLength_ = 0;
  std::uint32_t stamp_ = 0;
  std::uint32_t nextSequence_ = 1;
  std::map<TileKey, Entry> entries_;
  bool dirty_ = false;
};

}  // namespace gmengine
