#pragma once
#include <cstdint>
#include <string>

namespace kavro {

class ZBArchive;

// Hears about an archive's progress, always on the main thread. Every operation is optional.
class ZBArchiveDelegate {
 public:
  virtual ~ZBArchiveDelegate() = default;
  // Asked once, when the delegate is set: whether totals and byte counts should be computed.
  virtual bool zbDelegateWantsSizes() { return false; }
  virtual void onZBArchiveDidBeginZip(ZBArchive& archive) {}
  virtual void onZBArchiveDidBeginUnzip(ZBArchive& archive) {}
  virtual void onZBArchiveWillZipPath(ZBArchive& archive, const std::string& path) {}
  virtual void onZBArchiveWillUnzipPath(ZBArchive& archive, const std::string& path) {}
  virtual void onZBArchiveDidEndZip(ZBArchive& archive) {}
  virtual void onZBArchiveDidEndUnzip(ZBArchive& archive) {}
  virtual void onZBArchiveDidCancel(ZBArchive& archive) {}
  virtual void onZBArchiveDidFail(ZBArchive& archive) {}
  virtual void onZBArchiveDidUpdateTotalSize(ZBArchive& archive, std::uint64_t size) {}
  virtual void onZBArchiveDidUpdateTotalCount(ZBArchive& archive, std::uint64_t count) {}
  // Uncompressed bytes processed since the last report.
  virtual void onZBArchiveDidUpdateBytesWritten(ZBArchive& archive, std::uint64_t bytes) {}
};

}  // namespace kavro
