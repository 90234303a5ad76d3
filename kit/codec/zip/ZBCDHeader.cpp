#include "kit/codec/zip/ZBCDHeader.h"

#include <fcntl.h>

#include "kit/codec/zip/ZBLFHeader.h"
#include "kit/codec/zip/ZBRecordSupport.h"

namespace kavro {

using platform::Data;
using zb::detail::fits;
using zb::detail::Max32;
using zb::detail::needsZip64;

ZBCDHeader::ZBCDHeader() : lastModDate_(platform::Date::now()) {}

std::optional<ZBCDHeader> ZBCDHeader::parse(zb::Bytes data, std::uint64_t offset, bool lenientNames) {
  if (!fits(data, offset, FixedLength)) return std::nullopt;
  std::uint64_t at = offset;
  ZBCDHeader h;
  h.parsed_ = true;
  h.magicNumber_ = zb::hostInt32OffsetBy(data, at);
  if (h.magicNumber_ != Signature) return std::nullopt;
  h.versionMadeBy_ = zb::hostInt16OffsetBy(data, at);
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
  h.commentLength_ = zb::hostInt16OffsetBy(data, at);
  h.diskNumberStart_ = zb::hostInt16OffsetBy(data, at);
  h.internalFileAttributes_ = zb::hostInt16OffsetBy(data, at);
  h.externalFileAttributes_ = zb::hostInt32OffsetBy(data, at);
  h.localHeaderOffset_ = zb::hostInt32OffsetBy(data, at);
  if (!fits(data, at, std::uint64_t{h.filenameLength_} + h.extraFieldLength_ + h.commentLength_))
    return std::nullopt;
  if (h.filenameLength_ > 0) h.filename_ = zb::detail::decodeText(data, at, h.filenameLength_, lenientNames);
  if (h.extraFieldLength_ > 0) {
    h.extraField_.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                         data.begin() + static_cast<std::ptrdiff_t>(at + h.extraFieldLength_));
    at += h.extraFieldLength_;
    h.parseZip64ExtraField();
  }
  if (h.commentLength_ > 0) h.comment_ = zb::detail::decodeText(data, at, h.commentLength_, lenientNames);
  return h;
}

std::optional<ZBCDHeader> ZBCDHeader::recordWithData(zb::Bytes data, std::uint64_t offset) {
  return parse(data, offset, true);
}

std::optional<ZBCDHeader> ZBCDHeader::recordWithArchivePath(const std::string& path, std::uint64_t offset) {
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  return recordWithFileDescriptor(fd.get(), offset);
}

std::optional<ZBCDHeader> ZBCDHeader::recordWithFileDescriptor(int fd, std::uint64_t offset) {
  std::optional<Data> bytes =
      zb::detail::readRecord(fd, offset, FixedLength, [](zb::Bytes fixed) -> std::optional<std::uint64_t> {
        if (zb::detail::le32(fixed, 0) != Signature) return std::nullopt;
        return std::uint64_t{zb::detail::le16(fixed, 28)} + zb::detail::le16(fixed, 30) +
               zb::detail::le16(fixed, 32);
      });
  if (!bytes) return std::nullopt;
  return parse(*bytes, 0, false);
}

ZBCDHeader ZBCDHeader::headerFromLocalHeader(const ZBLFHeader& local) {
  ZBCDHeader h;
  h.setUncompressedSize(local.uncompressedSize());
  h.setCompressedSize(local.compressedSize());
  h.lastModDate_ = local.lastModDate();
  h.setCrc(local.crc());
  h.setFilenameLength(local.filenameLength());
  h.setFilename(local.filename());
  h.setCompressionMethod(local.compressionMethod());
  h.setGeneralPurposeBitFlag(local.generalPurposeBitFlag());
  h.setVersionNeededToExtract(local.versionNeededToExtract());
  return h;
}

void ZBCDHeader::setCompressedSize(std::uint64_t v) {
  compressedSize_ = v;
  versionNeededToExtract_ = useZip64Extensions() ? 45 : 20;
  changed();
}

void ZBCDHeader::setUncompressedSize(std::uint64_t v) {
  uncompressedSize_ = v;
  versionNeededToExtract_ = useZip64Extensions() ? 45 : 20;
  changed();
}

void ZBCDHeader::setLocalHeaderOffset(std::uint64_t v) {
  localHeaderOffset_ = v;
  versionNeededToExtract_ = useZip64Extensions() ? 45 : 20;
  changed();
}

void ZBCDHeader::setFilename(std::string name) {
  filename_ = std::move(name);
  if (filenameLength_ == 0)
    filenameLength_ = static_cast<std::uint32_t>(zb::precomposedUTF8Length(filename_));
  changed();
}

void ZBCDHeader::setComment(std::string comment) {
  comment_ = std::move(comment);
  if (commentLength_ == 0) commentLength_ = static_cast<std::uint32_t>(zb::precomposedUTF8Length(comment_));
  changed();
}

void ZBCDHeader::setExtraField(Data extra) {
  extraField_ = std::move(extra);
  if (extraFieldLength_ == 0) extraFieldLength_ = static_cast<std::uint32_t>(extraField_.size());
  changed();
}

bool ZBCDHeader::useZip64Extensions() const {
  return needsZip64(compressedSize_) || needsZip64(uncompressedSize_) || needsZip64(localHeaderOffset_);
}

Data ZBCDHeader::zip64ExtraField() const {
  Data extra;
  if (!useZip64Extensions()) return extra;
  zb::appendLittleInt16(extra, 1);
  zb::appendLittleInt16(extra, 24);
  zb::appendLittleInt64(extra, uncompressedSize_);
  zb::appendLittleInt64(extra, compressedSize_);
  zb::appendLittleInt64(extra, localHeaderOffset_);
  return extra;
}

void ZBCDHeader::parseZip64ExtraField() {
  if (extraFieldLength_ == 0) return;
  std::optional<zb::Bytes> block = zb::detail::zip64Block(extraField_);
  if (!block) return;
  std::uint64_t at = 0;
  if (uncompressedSize_ == Max32 && fits(*block, at, 8))
    uncompressedSize_ = zb::hostInt64OffsetBy(*block, at);
  if (compressedSize_ == Max32 && fits(*block, at, 8)) compressedSize_ = zb::hostInt64OffsetBy(*block, at);
  if (localHeaderOffset_ == Max32 && fits(*block, at, 8))
    localHeaderOffset_ = zb::hostInt64OffsetBy(*block, at);
  changed();
}

bool ZBCDHeader::isSymLink() const { return (externalFileAttributes_ & 0xE0000000u) == 0xA0000000u; }

bool ZBCDHeader::isDirectory() const {
  if (isSymLink()) return false;
  // Tools that write no Unix mode (DOS attributes 0) still end a folder's name with "/".
  if (!filename_.empty() && filename_.back() == '/') return true;
  if ((versionMadeBy_ >> 8) != 0) return (externalFileAttributes_ & 0xE0000000u) == 0x40000000u;
  return (externalFileAttributes_ & ~0xFu) == 0x10u;
}

std::uint32_t ZBCDHeader::posixPermissions() const {
  std::uint32_t mode = (externalFileAttributes_ >> 16) & 0777;
  return mode != 0 ? mode : 0755;
}

const Data& ZBCDHeader::data() const {
  if (cachedData_ && cachedData_->size() >= FixedLength) return *cachedData_;
  Data extra = zip64ExtraField();
  bool zip64 = useZip64Extensions();
  std::string name = zb::precomposedUTF8String(filename_);
  std::string comment = zb::precomposedUTF8String(comment_);
  Data out;
  out.reserve(FixedLength + name.size() + extra.size() + comment.size());
  zb::appendLittleInt32(out, magicNumber_);
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(versionMadeBy_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(versionNeededToExtract_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(generalPurposeBitFlag_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(compressionMethod_));
  zb::appendLittleInt32(out, lastModDate_ ? zb::dosDate(*lastModDate_) : dosDate_);
  zb::appendLittleInt32(out, crc_);
  std::uint32_t sentinel = static_cast<std::uint32_t>(Max32);
  zb::appendLittleInt32(out, zip64 ? sentinel : static_cast<std::uint32_t>(compressedSize_));
  zb::appendLittleInt32(out, zip64 ? sentinel : static_cast<std::uint32_t>(uncompressedSize_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(name.size()));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(extra.size()));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(comment.size()));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(diskNumberStart_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(internalFileAttributes_));
  zb::appendLittleInt32(out, externalFileAttributes_);
  zb::appendLittleInt32(out, zip64 ? sentinel : static_cast<std::uint32_t>(localHeaderOffset_));
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), extra.begin(), extra.end());
  out.insert(out.end(), comment.begin(), comment.end());
  cachedData_ = std::move(out);
  return *cachedData_;
}

std::uint64_t ZBCDHeader::length() const {
  std::uint64_t extra = parsed_ || !extraField_.empty() ? extraField_.size() : zip64ExtraField().size();
  return FixedLength + filenameLength_ + extra + commentLength_;
}

std::string ZBCDHeader::description() const {
  return filename_ + " modified " + zb::detail::describeDate(lastModDate()) + ", " +
         std::to_string(uncompressedSize_) + " bytes (" + std::to_string(compressedSize_) +
         " compressed), @ " + std::to_string(localHeaderOffset_);
}

}  // namespace kavro
