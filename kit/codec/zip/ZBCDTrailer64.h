#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Data.h"

namespace kavro {

// The Zip64 end-of-central-directory record (without extensible data). Plain value.
class ZBCDTrailer64 {
 public:
  static constexpr std::uint32_t Signature = 0x06064b50;
  static constexpr std::uint64_t FixedLength = 56;

  ZBCDTrailer64() = default;

  static std::optional<ZBCDTrailer64> recordWithData(zb::Bytes data, std::uint64_t offset);
  static std::optional<ZBCDTrailer64> recordWithArchivePath(const std::string& path, std::uint64_t offset);
  static std::optional<ZBCDTrailer64> recordWithFileDescriptor(int fd, std::uint64_t offset);

  std::uint32_t magicNumber() const { return magicNumber_; }
  std::uint64_t sizeOfTrailer() const { return sizeOfTrailer_; }
  void setSizeOfTrailer(std::uint64_t v) { sizeOfTrailer_ = v; }
  std::uint32_t versionMadeBy() const { return versionMadeBy_; }
  void setVersionMadeBy(std::uint32_t v) { versionMadeBy_ = v; }
  std::uint32_t versionNeededToExtract() const { return versionNeededToExtract_; }
  void setVersionNeededToExtract(std::uint32_t v) { versionNeededToExtract_ = v; }
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

  platform::Data data() const;
  std::uint64_t length() const { return FixedLength; }
  std::string description() const;

 private:
  std::uint32_t magicNumber_ = Signature;
  std::uint64_t sizeOfTrailer_ = 44;
  std::uint32_t versionMadeBy_ = 789;
  std::uint32_t versionNeededToExtract_ = 45;
  std::uint32_t thisDiskNumber_ = 0;
  std::uint32_t diskNumberWithStartOfCentralDirectory_ = 0;
  std::uint64_t entriesOnThisDisk_ = 0;
  std::uint64_t totalEntries_ = 0;
  std::uint64_t sizeOfCentralDirectory_ = 0;
  std::uint64_t offsetOfStartOfCentralDirectory_ = 0;
};

}  // namespace kavro
