#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Data.h"

namespace kavro {

// The Zip64 end-of-central-directory locator, which sits just before the end record. Plain value.
class ZBCDTrailer64Locator {
 public:
  static constexpr std::uint32_t Signature = 0x07064b50;
  static constexpr std::uint64_t FixedLength = 20;

  ZBCDTrailer64Locator() = default;

  static std::optional<ZBCDTrailer64Locator> recordWithData(zb::Bytes data, std::uint64_t offset);
  // The 20 bytes that end cdTrailerLength bytes before the end of the file (where the end record
  // starts); nothing when the file is shorter or they are not a locator.
  static std::optional<ZBCDTrailer64Locator> recordWithArchivePath(const std::string& path,
                                                                   std::uint64_t cdTrailerLength);

  std::uint32_t magicNumber() const { return magicNumber_; }
  std::uint32_t diskNumberWithStartOfCentralDirectory() const {
    return diskNumberWithStartOfCentralDirectory_;
  }
  void setDiskNumberWithStartOfCentralDirectory(std::uint32_t v) {
    diskNumberWithStartOfCentralDirectory_ = v;
  }
  std::uint64_t offsetOfStartOfCentralDirectoryTrailer64() const { return offsetOfTrailer64_; }
  void setOffsetOfStartOfCentralDirectoryTrailer64(std::uint64_t v) { offsetOfTrailer64_ = v; }
  std::uint32_t numberOfDisks() const { return numberOfDisks_; }
  void setNumberOfDisks(std::uint32_t v) { numberOfDisks_ = v; }

  platform::Data data() const;
  std::uint64_t length() const { return FixedLength; }
  std::string description() const;

 private:
  std::uint32_t magicNumber_ = Signature;
  std::uint32_t diskNumberWithStartOfCentralDirectory_ = 0;
  std::uint64_t offsetOfTrailer64_ = 0;
  std::uint32_t numberOfDisks_ = 1;
};

}  // namespace kavro
