#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Data.h"

namespace kavro {

// A zip local file header. Parsing checks every field against the block (or file) it comes from:
// a header that does not fit is no header. Plain value; one thread at a time.
class ZBLFHeader {
 public:
  static constexpr std::uint32_t Signature = 0x04034b50;
  static constexpr std::uint64_t FixedLength = 30;

  // Signature, version 20, deflate, dated now, everything else 0 or empty.
  ZBLFHeader();

  // Nothing when the signature is not at offset or the header does not fit. Names that are not
  // valid UTF-8 read with "?" for every byte of 0x80 or above.
  static std::optional<ZBLFHeader> recordWithData(zb::Bytes data, std::uint64_t offset);
  // Reads the header from a file; a name that is not valid UTF-8 reads as "" (no name).
  static std::optional<ZBLFHeader> recordWithArchivePath(const std::string& path, std::uint64_t offset);
  static std::optional<ZBLFHeader> recordWithFileDescriptor(int fd, std::uint64_t offset);

  std::uint32_t magicNumber() const { return magicNumber_; }
  std::uint32_t versionNeededToExtract() const { return versionNeededToExtract_; }
  void setVersionNeededToExtract(std::uint32_t v) { versionNeededToExtract_ = v; }
  std::uint32_t generalPurposeBitFlag() const { return generalPurposeBitFlag_; }
  void setGeneralPurposeBitFlag(std::uint32_t v) { generalPurposeBitFlag_ = v; }
  std::uint32_t compressionMethod() const { return compressionMethod_; }
  void setCompressionMethod(std::uint32_t v) { compressionMethod_ = v; }
  // A parsed header converts its DOS date when asked (and writes it back unchanged).
  platform::Date lastModDate() const { return lastModDate_ ? *lastModDate_ : zb::dateWithDosDate(dosDate_); }
  void setLastModDate(platform::Date d) { lastModDate_ = d; }
  std::uint32_t crc() const { return crc_; }
  void setCrc(std::uint32_t v) { crc_ = v; }
  // Setting a size sets versionNeededToExtract to 45 when Zip64 is needed, else 20.
  std::uint64_t compressedSize() const { return compressedSize_; }
  void setCompressedSize(std::uint64_t v);
  std::uint64_t uncompressedSize() const { return uncompressedSize_; }
  void setUncompressedSize(std::uint64_t v);
  std::uint32_t filenameLength() const { return filenameLength_; }
  void setFilenameLength(std::uint32_t v) { filenameLength_ = v; }
  std::uint32_t extraFieldLength() const { return extraFieldLength_; }
  void setExtraFieldLength(std::uint32_t v) { extraFieldLength_ = v; }
  // Sets filenameLength to the name's NFC UTF-8 length while filenameLength is 0.
  const std::string& filename() const { return filename_; }
  void setFilename(std::string name);
  // Sets extraFieldLength to the block's length while extraFieldLength is 0.
  const platform::Data& extraField() const { return extraField_; }
  void setExtraField(platform::Data extra);

  // Writes the Zip64 block even when the sizes fit, so that a header rewritten later with larger
  // sizes keeps its length.
  bool reservesZip64() const { return reservesZip64_; }
  void setReservesZip64(bool reserve);

  // Either size overflows 32 bits (or is reserved).
  bool useZip64Extensions() const;
  // Header id 1 with both sizes, or empty when Zip64 is not needed.
  platform::Data zip64ExtraField() const;
  // Takes from the Zip64 block of the extra field each size whose 32-bit field holds 0xFFFFFFFF.
  void parseZip64ExtraField();
  bool isResourceFork() const { return zb::isResourceForkPath(filename_); }

  // The serialised header: fixed part, name (NFC) and the Zip64 block as its only extra field.
  platform::Data data() const;
  // Fixed part + filenameLength + extra field. For a parsed header: where its data begins.
  std::uint64_t length() const;
  std::string description() const;

 private:
  static std::optional<ZBLFHeader> parse(zb::Bytes data, std::uint64_t offset, bool lenientNames);

  std::uint32_t magicNumber_ = Signature;
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
  std::string filename_;
  platform::Data extraField_;
  bool reservesZip64_ = false;
  bool parsed_ = false;
};

}  // namespace kavro
