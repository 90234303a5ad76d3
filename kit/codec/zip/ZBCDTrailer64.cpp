#include "kit/codec/zip/ZBCDTrailer64.h"

#include <fcntl.h>

#include "kit/codec/zip/ZBRecordSupport.h"

namespace kavro {

using platform::Data;

std::optional<ZBCDTrailer64> ZBCDTrailer64::recordWithData(zb::Bytes data, std::uint64_t offset) {
  if (!zb::detail::fits(data, offset, FixedLength)) return std::nullopt;
  std::uint64_t at = offset;
  ZBCDTrailer64 t;
  t.magicNumber_ = zb::hostInt32OffsetBy(data, at);
  if (t.magicNumber_ != Signature) return std::nullopt;
  t.sizeOfTrailer_ = zb::hostInt64OffsetBy(data, at);
  t.versionMadeBy_ = zb::hostInt16OffsetBy(data, at);
  t.versionNeededToExtract_ = zb::hostInt16OffsetBy(data, at);
  t.thisDiskNumber_ = zb::hostInt32OffsetBy(data, at);
  t.diskNumberWithStartOfCentralDirectory_ = zb::hostInt32OffsetBy(data, at);
  t.entriesOnThisDisk_ = zb::hostInt64OffsetBy(data, at);
  t.totalEntries_ = zb::hostInt64OffsetBy(data, at);
  t.sizeOfCentralDirectory_ = zb::hostInt64OffsetBy(data, at);
  t.offsetOfStartOfCentralDirectory_ = zb::hostInt64OffsetBy(data, at);
  return t;
}

std::optional<ZBCDTrailer64> ZBCDTrailer64::recordWithArchivePath(const std::string& path,
                                                                  std::uint64_t offset) {
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  return recordWithFileDescriptor(fd.get(), offset);
}

std::optional<ZBCDTrailer64> ZBCDTrailer64::recordWithFileDescriptor(int fd, std::uint64_t offset) {
  Data bytes(FixedLength);
  if (zb::readFully(fd, bytes.data(), FixedLength, offset) != static_cast<std::int64_t>(FixedLength))
    return std::nullopt;
  return recordWithData(bytes, 0);
}

Data ZBCDTrailer64::data() const {
  Data out;
  out.reserve(FixedLength);
  zb::appendLittleInt32(out, magicNumber_);
  zb::appendLittleInt64(out, sizeOfTrailer_);
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(versionMadeBy_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(versionNeededToExtract_));
  zb::appendLittleInt32(out, thisDiskNumber_);
  zb::appendLittleInt32(out, diskNumberWithStartOfCentralDirectory_);
  zb::appendLittleInt64(out, entriesOnThisDisk_);
  zb::appendLittleInt64(out, totalEntries_);
  zb::appendLittleInt64(out, sizeOfCentralDirectory_);
  zb::appendLittleInt64(out, offsetOfStartOfCentralDirectory_);
  return out;
}

std::string ZBCDTrailer64::description() const {
  return std::to_string(entriesOnThisDisk_) +
         " entries @ offset of CD: " + std::to_string(offsetOfStartOfCentralDirectory_) + " (" +
         std::to_string(sizeOfCentralDirectory_) + " bytes)";
}

}  // namespace kavro
