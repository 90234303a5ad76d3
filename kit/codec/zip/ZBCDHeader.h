#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Data.h"

namespace kavro {

class ZBLFHeader;

// A zip central-directory file header. Parsing checks every field against the block (or file) it
// comes from: a header that does not fit is no header. Plain value; one thread at a time.
class ZBCDHeader {
 public:
  static constexpr std::uint32_t Signature = 0x02014b50;
  static constexpr std::uint64_t FixedLength = 46;
  // Made by Unix, format version 2.1.
  static constexpr std::uint32_t DefaultVersionMadeBy = 789;

  ZBCDHeader();

  static std::optional<ZBCDHeader> recordWithData(zb::Bytes data, std::uint64_t offset);
  // From a file; names and comments that are not valid UTF-8 read as "".
  static std::optional<ZBCDHeader> recordWithArchivePath(const std::string& path, std::uint64_t offset);
  static std::optional<ZBCDHeader> recordWithFileDescriptor(int fd, std::uint64_t offset);
  // Sizes, date, CRC, name, method, flag and version of a local header.
  static ZBCDHeader headerFromLocalHeader(const ZBLFHeader& local);

  std::uint32_t magicNumber() const { return magicNumber_; }
  std::uint32_t versionMadeBy() const { return versionMadeBy_; }
  void setVersionMadeBy(std::uint32_t v) {
    versionMadeBy_ = v;
    changed();
  }
  std::uint32_t versionNeededToExtract() const { return versionNeededToExtract_; }
  void setVersionNeededToExtract(std::uint32_t v) {
    versionNeededToExtract_ = v;
    changed();
  }
  std::uint32_t generalPurposeBitFlag() const { return generalPurposeBitFlag_; }
  void setGeneralPurposeBitFlag(std::uint32_t v) {
    generalPurposeBitFlag_ = v;
    changed();
  }
  std::uint32_t compressionMethod() const { return compressionMethod_; }
  void setCompressionMethod(std::uint32_t v) {
    compressionMethod_ = v;
    changed();
  }
  // A parsed header converts its DOS date when asked (and writes it back unchanged).
  platform::Date lastModDate() const { return lastModDate_ ? *lastModDate_ : zb::dateWithDosDate(dosDate_); }
  void setLastModDate(platform::Date d) {
    lastModDate_ = d;
    changed();
  }
  std::uint32_t crc() const { return crc_; }
  void setCrc(std::uint32_t v) {
    crc_ = v;
    changed();
  }
  // Setting a size or the offset sets versionNeededToExtract to 45 under Zip64, else 20.
  std::uint64_t compressedSize() const { return compressedSize_; }
  void setCompressedSize(std::uint64_t v);
  std::uint64_t uncompressedSize() const { return uncompressedSize_; }
  void setUncompressedSize(std::uint64_t v);
  std::uint64_t localHeaderOffset() const { return localHeaderOffset_; }
  void setLocalHeaderOffset(std::uint64_t v);
  std::uint32_t filenameLength() const { return filenameLength_; }
  void setFilenameLength(std::uint32_t v) {
    filenameLength_ = v;
    changed();
  }
  std::uint32_t extraFieldLength() const { return extraFieldLength_; }
  void setExtraFieldLength(std::uint32_t v) {
    extraFieldLength_ = v;
    changed();
  }
  std::uint32_t commentLength() const { return commentLength_; }
  void setCommentLength(std::uint32_t v) {
    commentLength_ = v;
    changed();
  }
  std::uint32_t diskNumberStart() const { return diskNumberStart_; }
  void setDiskNumberStart(std::uint32_t v) {
    diskNumberStart_ = v;
    changed();
  }
  std::uint32_t internalFileAttributes() const { return internalFileAttributes_; }
  void setInternalFileAttributes(std::uint32_t v) {
    internalFileAttributes_ = v;
    changed();
  }
  std::uint32_t externalFileAttributes() const { return externalFileAttributes_; }
  void setExternalFileAttributes(std::uint32_t v) {
    externalFileAttributes_ = v;
    changed();
  }
  // Name and comment set their lengths (NFC UTF-8 bytes) while those are 0.
  const std::string& filename() const { return filename_; }
  void setFilename(std::string name);
  const std::string& comment() const { return comment_; }
  void setComment(std::string comment);
  const platform::Data& extraField() const { return extraField_; }
  void setExtraField(platform::Data extra);

  bool useZip64Extensions() const;
  // Header id 1 with both sizes and the offset, or empty when Zip64 is not needed.
  platform::Data zip64ExtraField() const;
  // Takes from the Zip64 block each size or offset whose 32-bit field holds 0xFFFFFFFF.
  void parseZip64ExtraField();

  bool isDirectory() const;
  bool isSymLink() const;
  bool isResourceFork() const { return zb::isResourceForkPath(filename_); }
  // mode & 0777 from the attributes, or 0755 when those bits are 0.
  std::uint32_t posixPermissions() const;

  // The serialised header (cached until a field changes): fixed part, NFC name, the Zip64 block as
  // the only extra field, NFC comment.
  const platform::Data& data() const;
  // Fixed part + filenameLength + extra field + commentLength. For a parsed header: its length in
  // the directory.
  std::uint64_t length() const;
  std::string description() const;

 private:
  static std::optional<ZBCDHeader> parse(zb::Bytes data, std::uint64_t offset, bool lenientNames);
  void changed() { cachedData_.reset(); }

  std::uint32_t magicNumber_ = Signature;
  std::uint32_t versionMadeBy_ = DefaultVersionMadeBy;
  std::uint32_t versionNeededToExtract_ = 20;
  std::uint32_t generalPurposeBitFlag_ = 0;
  std::uint32_t compressionMethod_ = 8;
  std::optional<platform::Date> lastModDate_;
  std::uint32_t dosDate_ = 0;
  std::uint32_t crc_ = 0;
  std::uint64_t compressedSize_ = 0;
  std::uint64_t uncompressedSize_ = 0;
  std::uint32_t filenameLength_ = 0;
  std::uint32_t extraFieldLength_ = 0;
  std::uint32_t commentLength_ = 0;
  std::uint32_t diskNumberStart_ = 0;
  std::uint32_t internalFileAttributes_ = 0;
  std::uint32_t externalFileAttributes_ = 0;
  std::uint64_t localHeaderOffset_ = 0;
  std::string filename_;
  std::string comment_;
  platform::Data extraField_;
  mutable std::optional<platform::Data> cachedData_;
  bool parsed_ = false;
};

}  // namespace kavro
