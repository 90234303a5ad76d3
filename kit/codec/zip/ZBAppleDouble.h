#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/foundation/Data.h"

namespace kavro {

// One entry of an AppleDouble container: 9 is the Finder information, 2 the resource fork.
class ZBAppleDoubleEntry {
 public:
  // Id 0 is no entry.
  static std::optional<ZBAppleDoubleEntry> entryWithID(std::int32_t entryID, platform::Data data);

  std::int32_t entryID() const { return entryID_; }
  const platform::Data& data() const { return data_; }

 private:
  ZBAppleDoubleEntry(std::int32_t entryID, platform::Data data) : entryID_(entryID), data_(std::move(data)) {}
  std::int32_t entryID_;
  platform::Data data_;
};

// The AppleDouble container (version 2, big-endian) that carries a file's Finder information and
// resource fork. Plain value; any thread.
class ZBAppleDouble {
 public:
  static constexpr std::int32_t FinderInfoID = 9;
  static constexpr std::int32_t ResourceForkID = 2;

  static ZBAppleDouble appleDouble() { return {}; }
  // The parsed container, or nothing when the bytes are not a complete AppleDouble block.
  static std::optional<ZBAppleDouble> appleDoubleWithData(const platform::Data& data);

  void addEntry(ZBAppleDoubleEntry entry) { entries_.push_back(std::move(entry)); }
  // False (nothing added) for id 0.
  bool addEntryWithID(std::int32_t entryID, platform::Data data);
  // Adds the entries of an AppleDouble block in order. False when the header is wrong or an entry
  // does not fit in the block; the entries added before it stay.
  bool addEntriesFromAppleDoubleData(const platform::Data& data);

  const std::vector<ZBAppleDoubleEntry>& entries() const { return entries_; }
  // The serialised container.
  platform::Data data() const;

 private:
  std::vector<ZBAppleDoubleEntry> entries_;
};

}  // namespace kavro
