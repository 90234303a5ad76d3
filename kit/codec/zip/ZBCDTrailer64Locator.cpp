#include "kit/codec/zip/ZBCDTrailer64Locator.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "kit/codec/zip/ZBRecordSupport.h"

namespace kavro {

using platform::Data;

std::optional<ZBCDTrailer64Locator> ZBCDTrailer64Locator::recordWithData(zb::Bytes data,
                                                                         std::uint64_t offset) {
  if (!zb::detail::fits(data, offset, FixedLength)) return std::nullopt;
  std::uint64_t at = offset;
  ZBCDTrailer64Locator l;
  l.magicNumber_ = zb::hostInt32OffsetBy(data, at);
  if (l.magicNumber_ != Signature) return std::nullopt;
  l.diskNumberWithStartOfCentralDirectory_ = zb::hostInt32OffsetBy(data, at);
  l.offsetOfTrailer64_ = zb::hostInt64OffsetBy(data, at);
  l.numberOfDisks_ = zb::hostInt32OffsetBy(data, at);
  return l;
}

std::optional<ZBCDTrailer64Locator> ZBCDTrailer64Locator::recordWithArchivePath(
    const std::string& path, std::uint64_t cdTrailerLength) {
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return std::nullopt;
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (cdTrailerLength > size || size - cdTrailerLength < FixedLength) return std::nullopt;
  Data bytes(FixedLength);
  if (zb::readFully(fd.get(), bytes.data(), FixedLength, size - cdTrailerLength - FixedLength) !=
      static_cast<std::int64_t>(FixedLength))
    return std::nullopt;
  return recordWithData(bytes, 0);
}

Data ZBCDTrailer64Locator::data() const {
  Data out;
  out.reserve(FixedLength);
  zb::appendLittleInt32(out, magicNumber_);
  zb::appendLittleInt32(out, diskNumberWithStartOfCentralDirectory_);
  zb::appendLittleInt64(out, offsetOfTrailer64_);
  zb::appendLittleInt32(out, numberOfDisks_);
  return out;
}

std::string ZBCDTrailer64Locator::description() const {
  return "offset of CD64: " + std::to_string(offsetOfTrailer64_);
}

}  // namespace kavro
