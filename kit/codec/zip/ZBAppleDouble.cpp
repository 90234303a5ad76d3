#include "kit/codec/zip/ZBAppleDouble.h"

namespace kavro {

using platform::Data;

namespace {

constexpr std::uint32_t Magic = 0x00051607;
constexpr std::uint32_t Version = 0x00020000;
constexpr std::size_t HeaderLength = 26;
constexpr std::size_t DescriptorLength = 12;

std::uint32_t be32(const Data& d, std::size_t at) {
  return (static_cast<std::uint32_t>(d[at]) << 24) | (static_cast<std::uint32_t>(d[at + 1]) << 16) |
         (static_cast<std::uint32_t>(d[at + 2]) << 8) | d[at + 3];
}

void appendBE32(Data& d, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) d.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::optional<ZBAppleDoubleEntry> ZBAppleDoubleEntry::entryWithID(std::int32_t entryID, Data data) {
  if (entryID == 0) return std::nullopt;
  return ZBAppleDoubleEntry(entryID, std::move(data));
}

std::optional<ZBAppleDouble> ZBAppleDouble::appleDoubleWithData(const Data& data) {
  ZBAppleDouble container;
  if (!container.addEntriesFromAppleDoubleData(data)) return std::nullopt;
  return container;
}

bool ZBAppleDouble::addEntryWithID(std::int32_t entryID, Data data) {
  std::optional<ZBAppleDoubleEntry> entry = ZBAppleDoubleEntry::entryWithID(entryID, std::move(data));
  if (!entry) return false;
  addEntry(std::move(*entry));
  return true;
}

bool ZBAppleDouble::addEntriesFromAppleDoubleData(const Data& data) {
  if (data.size() < HeaderLength) return false;
  if (be32(data, 0) != Magic || be32(data, 4) != Version) return false;
  std::size_t count = (static_cast<std::size_t>(data[24]) << 8) | data[25];
  if (data.size() < HeaderLength + DescriptorLength * count) return false;
  bool allAdded = true;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = HeaderLength + DescriptorLength * i;
    std::int32_t id = static_cast<std::int32_t>(be32(data, at));
    std::uint64_t offset = be32(data, at + 4);
    std::uint64_t length = be32(data, at + 8);
    if (offset > data.size() || length > data.size() - offset) return false;
    allAdded &= addEntryWithID(id, Data(data.begin() + static_cast<std::ptrdiff_t>(offset),
                                        data.begin() + static_cast<std::ptrdiff_t>(offset + length)));
  }
  return allAdded;
}

Data ZBAppleDouble::data() const {
  Data out;
  appendBE32(out, Magic);
  appendBE32(out, Version);
  out.insert(out.end(), 16, 0);
  std::size_t count = entries_.size();
  out.push_back(static_cast<std::uint8_t>(count >> 8));
  out.push_back(static_cast<std::uint8_t>(count));
  std::uint64_t offset = HeaderLength + DescriptorLength * count;
  for (const ZBAppleDoubleEntry& e : entries_) {
    appendBE32(out, static_cast<std::uint32_t>(e.entryID()));
    appendBE32(out, static_cast<std::uint32_t>(offset));
    appendBE32(out, static_cast<std::uint32_t>(e.data().size()));
    offset += e.data().size();
  }
  for (const ZBAppleDoubleEntry& e : entries_) out.insert(out.end(), e.data().begin(), e.data().end());
  return out;
}

}  // namespace kavro
