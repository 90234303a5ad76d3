#include "kit/codec/zip/ZBLFHeader.h"

#include <fcntl.h>

#include <algorithm>

#include "kit/codec/zip/ZBRecordSupport.h"

namespace kavro {

using platform::Data;
using zb::detail::fits;
using zb::detail::Max32;
using zb::detail::needsZip64;

ZBLFHeader::ZBLFHeader() : lastModDate_(platform::Date::now()) {}

std::optional<ZBLFHeader> ZBLFHeader::parse(zb::Bytes data, std::uint64_t offset, bool lenientNames) {
  if (!fits(data, offset, FixedLength)) return std::nullopt;
  std::uint64_t at = offset;
  ZBLFHeader h;
  h.parsed_ = true;
  h.magicNumber_ = zb::hostInt32OffsetBy(data, at);
  if (h.magicNumber_ != Signature) return std::nullopt;
  h.versionNeededToExtract_ = zb::hostInt16OffsetBy(data, at);
  h.generalPurposeBitFlag_ = zb::hostInt16OffsetBy(data, at);
  h.compressionMethod_ = zb::hostInt16OffsetBy(data, at);
  h.lastModDate_.reset();
  h.dosDate_ = zb::hostInt32OffsetBy(data, at);
  h.crc_ = zb::hostInt32OffsetBy(data, at);
  h.compressedSize_ = zb::hostInt32OffsetBy(data, at);
  h.uncompressedSize_ = zb::hostInt32OffsetBy(data, at);
  h.filenameLength_ = zb::hostInt16OffsetBy(data, at);
  h.extraFieldLength_ = zb::hostInt16OffsetBy(data, at);
  if (!fits(data, at, std::uint64_t{h.filenameLength_} + h.extraFieldLength_)) return std::nullopt;
  if (h.filenameLength_ > 0) h.filename_ = zb::detail::decodeText(data, at, h.filenameLength_, lenientNames);
  if (h.extraFieldLength_ > 0) {
    h.extraField_.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                         data.begin() + static_cast<std::ptrdiff_t>(at + h.extraFieldLength_));
    h.parseZip64ExtraField();
  }
  return h;
}

std::optional<ZBLFHeader> ZBLFHeader::recordWithData(zb::Bytes data, std::uint64_t offset) {
  return parse(data, offset, true);
}

std::optional<ZBLFHeader> ZBLFHeader::recordWithArchivePath(const std::string& path, std::uint64_t offset) {
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  return recordWithFileDescriptor(fd.get(), offset);
}

std::optional<ZBLFHeader> ZBLFHeader::recordWithFileDescriptor(int fd, std::uint64_t offset) {
  std::optional<Data> bytes =
      zb::detail::readRecord(fd, offset, FixedLength, [](zb::Bytes fixed) -> std::optional<std::uint64_t> {
        if (zb::detail::le32(fixed, 0) != Signature) return std::nullopt;
        return std::uint64_t{zb::detail::le16(fixed, 26)} + zb::detail::le16(fixed, 28);
      });
  if (!bytes) return std::nullopt;
  return parse(*bytes, 0, false);
}

void ZBLFHeader::setCompressedSize(std::uint64_t v) {
  compressedSize_ = v;
  versionNeededToExtract_ = useZip64Extensions() ? 45 : 20;
}

void ZBLFHeader::setUncompressedSize(std::uint64_t v) {
  uncompressedSize_ = v;
  versionNeededToExtract_ = useZip64Extensions() ? 45 : 20;
}

void ZBLFHeader::setFilename(std::string name) {
  filename_ = std::move(name);
  // Names beyond ASCII are marked as UTF-8, or other readers take them for their own code page.
  bool ascii = std::all_of(filename_.begin(), filename_.end(), [](char c) { return (c & 0x80) == 0; });
  if (!ascii) generalPurposeBitFlag_ |= zb::detail::UTF8Names;
  if (filenameLength_ == 0)
    filenameLength_ = static_cast<std::uint32_t>(zb::precomposedUTF8Length(filename_));
}

void ZBLFHeader::setExtraField(Data extra) {
  extraField_ = std::move(extra);
  if (extraFieldLength_ == 0) extraFieldLength_ = static_cast<std::uint32_t>(extraField_.size());
}

void ZBLFHeader::setReservesZip64(bool reserve) {
  reservesZip64_ = reserve;
  versionNeededToExtract_ = useZip64Extensions() ? 45 : 20;
}

bool ZBLFHeader::useZip64Extensions() const {
  return reservesZip64_ || needsZip64(compressedSize_) || needsZip64(uncompressedSize_);
}

Data ZBLFHeader::zip64ExtraField() const {
  Data extra;
  if (!useZip64Extensions()) return extra;
  zb::appendLittleInt16(extra, 1);
  zb::appendLittleInt16(extra, 16);
  zb::appendLittleInt64(extra, uncompressedSize_);
  zb::appendLittleInt64(extra, compressedSize_);
  return extra;
}

void ZBLFHeader::parseZip64ExtraField() {
  if (extraFieldLength_ == 0) return;
  std::optional<zb::Bytes> block = zb::detail::zip64Block(extraField_);
  if (!block) return;
  std::uint64_t at = 0;
  if (uncompressedSize_ == Max32 && fits(*block, at, 8))
    uncompressedSize_ = zb::hostInt64OffsetBy(*block, at);
  if (compressedSize_ == Max32 && fits(*block, at, 8)) compressedSize_ = zb::hostInt64OffsetBy(*block, at);
}

Data ZBLFHeader::data() const {
  Data extra = zip64ExtraField();
  bool zip64 = useZip64Extensions();
  std::string name = zb::precomposedUTF8String(filename_);
  Data out;
  out.reserve(FixedLength + name.size() + extra.size());
  zb::appendLittleInt32(out, magicNumber_);
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(versionNeededToExtract_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(generalPurposeBitFlag_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(compressionMethod_));
  zb::appendLittleInt32(out, lastModDate_ ? zb::dosDate(*lastModDate_) : dosDate_);
  zb::appendLittleInt32(out, crc_);
  zb::appendLittleInt32(
      out, zip64 ? static_cast<std::uint32_t>(Max32) : static_cast<std::uint32_t>(compressedSize_));
  zb::appendLittleInt32(
      out, zip64 ? static_cast<std::uint32_t>(Max32) : static_cast<std::uint32_t>(uncompressedSize_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(filenameLength_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(extra.size()));
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), extra.begin(), extra.end());
  return out;
}

std::uint64_t ZBLFHeader::length() const {
  // A parsed header measures what was read: its data starts right after it.
  std::uint64_t extra = parsed_ || !extraField_.empty() ? extraField_.size() : zip64ExtraField().size();
  return FixedLength + filenameLength_ + extra;
}

std::string ZBLFHeader::description() const {
  return filename_ + " modified " + zb::detail::describeDate(lastModDate()) + ", " +
         std::to_string(uncompressedSize_) + " bytes (" + std::to_string(compressedSize_) + " compressed)";
}

}  // namespace kavro
