#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Data.h"

// Helpers shared by the record parsers; not part of the component's interface.
namespace kavro::zb::detail {

inline constexpr std::uint64_t Max32 = 0xFFFFFFFFu;
inline constexpr std::uint32_t Max16 = 0xFFFFu;

// Compression methods the archives write and read.
inline constexpr std::uint32_t Stored = 0;
inline constexpr std::uint32_t Deflated = 8;
// Bit 0 of the flag: the entry is encrypted, which this component does not read.
inline constexpr std::uint32_t Encrypted = 1;
// Bit 11: the entry's name (and comment) are UTF-8.
inline constexpr std::uint32_t UTF8Names = 1u << 11;

// A value needs Zip64 when it does not fit in 32 bits or would read as the sentinel.
inline bool needsZip64(std::uint64_t v) { return v > Max32 || (v & Max32) == Max32; }

// offset + length lies within data, computed without overflow.
inline bool fits(Bytes data, std::uint64_t offset, std::uint64_t length) {
  return offset <= data.size() && length <= data.size() - offset;
}

bool isValidUtf8(std::string_view s);

// A date as the records describe it: "2024-01-31 12:00:00 +0000".
std::string describeDate(platform::Date date);

// Decodes a name or comment of length bytes at offset (which advances). Lenient: invalid UTF-8
// reads with "?" for each byte of 0x80 or above; strict: invalid UTF-8 reads as "".
std::string decodeText(Bytes data, std::uint64_t& offset, std::uint64_t length, bool lenient);

// The data of the first Zip64 block (header id 1) of an extra field, if it has one that fits.
std::optional<Bytes> zip64Block(Bytes extra);

// Reads the fixed part of a record at offset from a file, then `variable(fixedBytes)` more bytes;
// nothing when the file ends first. variable returns nullopt to refuse the fixed part.
template <class VariableLength>
std::optional<platform::Data> readRecord(int fd, std::uint64_t offset, std::uint64_t fixedLength,
                                         VariableLength variable) {
  platform::Data bytes(fixedLength);
  if (readFully(fd, bytes.data(), fixedLength, offset) != static_cast<std::int64_t>(fixedLength))
    return std::nullopt;
  std::optional<std::uint64_t> more = variable(Bytes(bytes));
  if (!more) return std::nullopt;
  if (*more > 0) {
    if (offset > UINT64_MAX - fixedLength) return std::nullopt;
    bytes.resize(fixedLength + *more);
    if (readFully(fd, bytes.data() + fixedLength, *more, offset + fixedLength) !=
        static_cast<std::int64_t>(*more))
      return std::nullopt;
  }
  return bytes;
}

// Little-endian field at a fixed position, for callers that checked the bounds.
inline std::uint32_t le16(Bytes d, std::size_t at) { return d[at] | (d[at + 1] << 8); }
inline std::uint32_t le32(Bytes d, std::size_t at) {
  return static_cast<std::uint32_t>(d[at]) | (static_cast<std::uint32_t>(d[at + 1]) << 8) |
         (static_cast<std::uint32_t>(d[at + 2]) << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

}  // namespace kavro::zb::detail
