#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Data.h"

namespace kavro {

// The zip end-of-central-directory record. Plain value; one thread at a time.
class ZBCDTrailer {
 public:
  static constexpr std::uint32_t Signature = 0x06054b50;
  static constexpr std::uint64_t FixedLength = 22;
  static constexpr const char* DefaultComment = "Archive created with ZipBox";

  // Signature, all numbers 0, the default comment.
  ZBCDTrailer();

  // The record at offset; nothing when the signature is not there or the record does not fit.
  static std::optional<ZBCDTrailer> recordWithData(zb::Bytes data, std::uint64_t offset);
  // Searches backwards from the end for the last record that fits; foundAt receives its offset.
  static std::optional<ZBCDTrailer> recordWithData(zb::Bytes data, std::uint64_t* foundAt = nullptr);
  static std::optional<ZBCDTrailer> recordWithArchivePath(const std::string& path,
                                                          std::uint64_t* foundAt = nullptr);
  static std::optional<ZBCDTrailer> recordWithFileDescriptor(int fd, std::uint64_t* foundAt = nullptr);

  std::uint32_t magicNumber() const { return magicNumber_; }
  std::uint32_t thisDiskNumber() const { return thisDiskNumber_; }
  void setThisDiskNumber(std::uint32_t v) { thisDiskNumber_ = v; }
  std::uint32_t diskNumberWithStartOfCentralDirectory() const {
    return diskNumberWithStartOfCentralDirectory_;
  }
  void setDiskNumberWithStartOfCentralDirectory(std::uint32_t v) {
    diskNumberWithStartOfCentralDirectory_ = v;
  }
  std::uint64_t numberOfCentralDirectoryEntriesOnThisDisk() const { return entriesOnThisDisk_; }
  void setNumberOfCentralDirectoryEntriesOnThisDisk(std::uint64_t v) { entriesOnThisDisk_ = v; }
  std::uint64_t totalNumberOfCentralDirectoryEntries() const { return totalEntries_; }
  void setTotalNumberOfCentralDirectoryEntries(std::uint64_t v) { totalEntries_ = v; }
  std::uint64_t sizeOfCentralDirectory() const { return sizeOfCentralDirectory_; }
  void setSizeOfCentralDirectory(std::uint64_t v) { sizeOfCentralDirectory_ = v; }
  std::uint64_t offsetOfStartOfCentralDirectory() const { return offsetOfStartOfCentralDirectory_; }
  void setOffsetOfStartOfCentralDirectory(std::uint64_t v) { offsetOfStartOfCentralDirectory_ = v; }
  std::uint32_t commentLength() const { return commentLength_; }
  void setCommentLength(std::uint32_t v) { commentLength_ = v; }
  // Sets commentLength (NFC UTF-8 bytes) while it is 0.
  const std::string& comment() const { return comment_; }
  void setComment(std::string comment);

  // The directory's size or offset overflows 32 bits, or the entry count does not fit the 16-bit
  // fields: the Zip64 end record must follow.
  bool useZip64Extensions() const;
  platform::Data data() const;
  // 22 + the comment as written.
  std::uint64_t length() const;
  std::string description() const;

 private:
  static std::optional<ZBCDTrailer> parse(zb::Bytes data, std::uint64_t offset);

  std::uint32_t magicNumber_ = Signature;
  std::uint32_t thisDiskNumber_ = 0;
  std::uint32_t diskNumberWithStartOfCentralDirectory_ = 0;
  std::uint64_t entriesOnThisDisk_ = 0;
  std::uint64_t totalEntries_ = 0;
  std::uint64_t sizeOfCentralDirectory_ = 0;
  std::uint64_t offsetOfStartOfCentralDirectory_ = 0;
  std::uint32_t commentLength_ = 0;
  std::string comment_;
};

}  // namespace kavro
