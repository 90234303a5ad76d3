#include "kit/codec/zip/ZBArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "kit/codec/zip/ZBCDTrailer64.h"
#include "kit/codec/zip/ZBCDTrailer64Locator.h"
#include "kit/codec/zip/ZBLFHeader.h"
#include "kit/codec/zip/ZBLog.h"
#include "kit/codec/zip/ZBRecordSupport.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

namespace fs = std::filesystem;
using platform::Data;

namespace {

bool existsAt(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Where the central directory is and how many headers it holds, from the end records.
struct DirectoryLocation {
  std::uint64_t offset = 0;
  std::uint64_t count = 0;
};

// Record access over a block in memory.
struct BlockSource {
  zb::Bytes data;
  std::optional<ZBCDTrailer> trailer(std::uint64_t* at) const {
    return ZBCDTrailer::recordWithData(data, at);
  }
  std::optional<ZBCDTrailer64Locator> locator(std::uint64_t at) const {
    return ZBCDTrailer64Locator::recordWithData(data, at);
  }
  std::optional<ZBCDTrailer64> trailer64(std::uint64_t at) const {
    return ZBCDTrailer64::recordWithData(data, at);
  }
  std::optional<ZBCDHeader> header(std::uint64_t at) const { return ZBCDHeader::recordWithData(data, at); }
};

// Record access over an open file.
struct FileSource {
  int fd;
  std::optional<ZBCDTrailer> trailer(std::uint64_t* at) const {
    return ZBCDTrailer::recordWithFileDescriptor(fd, at);
  }
  std::optional<ZBCDTrailer64Locator> locator(std::uint64_t at) const {
    Data bytes(ZBCDTrailer64Locator::FixedLength);
    if (zb::readFully(fd, bytes.data(), bytes.size(), at) != static_cast<std::int64_t>(bytes.size()))
      return std::nullopt;
    return ZBCDTrailer64Locator::recordWithData(bytes, 0);
  }
  std::optional<ZBCDTrailer64> trailer64(std::uint64_t at) const {
    return ZBCDTrailer64::recordWithFileDescriptor(fd, at);
  }
  std::optional<ZBCDHeader> header(std::uint64_t at) const {
    return ZBCDHeader::recordWithFileDescriptor(fd, at);
  }
};

}  // namespace

ZBArchive::ZBArchive(std::string archivePath) : archivePath_(std::move(archivePath)) {}

ZBArchive::~ZBArchive() {
  if (sizeThread_.joinable()) sizeThread_.join();
}

bool ZBArchive::validArchiveAtPath(const std::string& path) {
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  std::uint8_t head[4];
  if (zb::readFully(fd.get(), head, 4, 0) != 4) return false;
  return validArchiveForData(zb::Bytes(head, 4));
}

bool ZBArchive::validArchiveForData(zb::Bytes data) {
  return data.size() >= 4 && zb::detail::le32(data, 0) == ZBLFHeader::Signature;
}

std::string ZBArchive::uniquify(const std::string& path) {
  if (!existsAt(path)) return path;
  fs::path p(path);
  fs::path folder = p.parent_path();
  std::string stem = p.stem().string();
  std::string extension = p.extension().string();
  for (unsigned n = 2;; ++n) {
    std::string candidate = (folder / (stem + " " + std::to_string(n) + extension)).string();
    if (!existsAt(candidate)) return candidate;
  }
}

std::string ZBArchive::uniqueExpansionDirectoryIn(const std::string& enclosingDirectory) {
  fs::path folder(enclosingDirectory);
  std::string candidate = (folder / ".ZipBox").string();
  for (unsigned n = 1; existsAt(candidate); ++n)
    candidate = (folder / (".ZipBox " + std::to_string(n))).string();
  return candidate;
}

void ZBArchive::cleanUpExpansionDirectory(const std::string& expansionDirectory) {
  fs::path expansion(expansionDirectory);
  fs::path enclosing = expansion.parent_path();
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(expansion, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (name == "__MACOSX") continue;
    std::string target = uniquify((enclosing / name).string());
    fs::rename(expansion / name, target, ec);
  }
  fs::remove_all(expansion, ec);
}

void ZBArchive::calculateSizeAndItemCount(const std::vector<std::string>& paths, bool usingResourceFork) {
  zb::ZBTotals totals;
  for (const std::string& path : paths) {
    zb::ZBTotals t = zb::totalSizeAndItemCountAtPath(path, usingResourceFork);
    totals.totalFileSize += t.totalFileSize;
    totals.itemCount += t.itemCount;
  }
  std::weak_ptr<ZBArchive> weak = weak_from_this();
  platform::RunLoop::main().performOnMain([weak, totals] {
    if (std::shared_ptr<ZBArchive> archive = weak.lock()) {
      archive->didUpdateTotalSize(totals.totalFileSize);
      archive->didUpdateTotalCount(totals.itemCount);
    }
  });
}

void ZBArchive::startSizeCalculation(std::vector<std::string> paths, bool usingResourceFork) {
  if (sizeThread_.joinable()) sizeThread_.join();
  // Settles which thread is the main one before the worker can ask.
  platform::RunLoop::main();
  sizeThread_ = std::thread([this, paths = std::move(paths), usingResourceFork] {
    calculateSizeAndItemCount(paths, usingResourceFork);
  });
}

void ZBArchive::setComment(std::string comment) {
  cdTrailer_.setCommentLength(0);
  cdTrailer_.setComment(std::move(comment));
}

std::weak_ptr<ZBArchiveDelegate> ZBArchive::delegate() const {
  platform::MutexLock guard(mutex_);
  return delegate_;
}

void ZBArchive::setDelegate(std::weak_ptr<ZBArchiveDelegate> delegate) {
  std::shared_ptr<ZBArchiveDelegate> strong = delegate.lock();
  wantsSizes_.store(strong && strong->zbDelegateWantsSizes());
  platform::MutexLock guard(mutex_);
  delegate_ = std::move(delegate);
}

std::weak_ptr<const ZBInvoker> ZBArchive::invoker() const {
  platform::MutexLock guard(mutex_);
  return invoker_;
}

void ZBArchive::setInvoker(std::weak_ptr<const ZBInvoker> invoker) {
  platform::MutexLock guard(mutex_);
  invoker_ = std::move(invoker);
}

std::string ZBArchive::description() const {
  std::string out = archivePath_ + "\n\ttrailer:" + cdTrailer_.description() + "\n\tcentral directory:(";
  for (const ZBCDHeader& h : centralDirectory_) out += "\n\t\t" + h.description();
  return out + "\n\t)";
}

void ZBArchive::deliver(DelegateCall call, bool alwaysPost) {
  std::weak_ptr<ZBArchiveDelegate> weak = delegate();
  if (weak.expired()) return;
  platform::RunLoop& loop = platform::RunLoop::main();
  if (!alwaysPost && loop.isCurrentThread()) {
    if (std::shared_ptr<ZBArchiveDelegate> d = weak.lock()) call(*d, *this);
    return;
  }
  // The posted call keeps the archive alive until it has been delivered.
  std::shared_ptr<ZBArchive> self = weak_from_this().lock();
  if (!self) return;
  loop.performOnMain([weak, self, call = std::move(call)] {
    if (std::shared_ptr<ZBArchiveDelegate> d = weak.lock()) call(*d, *self);
  });
}

void ZBArchive::didBeginZip() {
  deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidBeginZip(a); });
}
void ZBArchive::didBeginUnzip() {
  deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidBeginUnzip(a); });
}
void ZBArchive::willZipPath(const std::string& path) {
  deliver([path](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveWillZipPath(a, path); });
}
void ZBArchive::willUnzipPath(const std::string& path) {
  deliver([path](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveWillUnzipPath(a, path); });
}
void ZBArchive::didEndZip() {
  deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidEndZip(a); });
}
void ZBArchive::didEndUnzip() {
  deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidEndUnzip(a); });
}
void ZBArchive::didCancel() {
  deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidCancel(a); });
}
void ZBArchive::didFail() {
  deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidFail(a); });
}
void ZBArchive::didUpdateTotalSize(std::uint64_t size) {
  deliver([size](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidUpdateTotalSize(a, size); });
}
void ZBArchive::didUpdateTotalCount(std::uint64_t count) {
  deliver([count](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidUpdateTotalCount(a, count); });
}
void ZBArchive::didUpdateBytesWritten(std::uint64_t bytes) {
  deliver([bytes](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidUpdateBytesWritten(a, bytes); });
}

template <class Source>
bool ZBArchive::readDirectoryFrom(const Source& source) {
  centralDirectory_.clear();
  std::uint64_t trailerAt = 0;
  std::optional<ZBCDTrailer> trailer = source.trailer(&trailerAt);
  if (!trailer) return false;
  std::uint64_t offset = trailer->offsetOfStartOfCentralDirectory();
  std::uint64_t count = trailer->totalNumberOfCentralDirectoryEntries();
  if (trailerAt >= ZBCDTrailer64Locator::FixedLength) {
    if (std::optional<ZBCDTrailer64Locator> locator =
            source.locator(trailerAt - ZBCDTrailer64Locator::FixedLength)) {
      if (std::optional<ZBCDTrailer64> trailer64 =
              source.trailer64(locator->offsetOfStartOfCentralDirectoryTrailer64())) {
        offset = trailer64->offsetOfStartOfCentralDirectory();
        trailer->setOffsetOfStartOfCentralDirectory(offset);
        trailer->setSizeOfCentralDirectory(trailer64->sizeOfCentralDirectory());
        if (count == zb::detail::Max16) {
          count = trailer64->totalNumberOfCentralDirectoryEntries();
          trailer->setTotalNumberOfCentralDirectoryEntries(count);
          trailer->setNumberOfCentralDirectoryEntriesOnThisDisk(
              trailer64->numberOfCentralDirectoryEntriesOnThisDisk());
        }
      }
    }
  }
  std::vector<ZBCDHeader> headers;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::optional<ZBCDHeader> header = source.header(offset);
    if (!header) return false;
    offset += header->length();
    headers.push_back(std::move(*header));
  }
  centralDirectory_ = std::move(headers);
  cdTrailer_ = std::move(*trailer);
  return true;
}

bool ZBArchive::readDirectory(zb::Bytes data) { return readDirectoryFrom(BlockSource{data}); }
bool ZBArchive::readDirectory(int fd) { return readDirectoryFrom(FileSource{fd}); }

Data ZBArchive::directoryBytes(std::uint64_t cdOffset, bool forceZip64) {
  Data out;
  bool zip64 = forceZip64;
  for (const ZBCDHeader& h : centralDirectory_) {
    const Data& bytes = h.data();
    out.insert(out.end(), bytes.begin(), bytes.end());
    zip64 = zip64 || h.useZip64Extensions();
  }
  std::uint64_t size = out.size();
  std::uint64_t count = centralDirectory_.size();
  cdTrailer_.setNumberOfCentralDirectoryEntriesOnThisDisk(count);
  cdTrailer_.setTotalNumberOfCentralDirectoryEntries(count);
  cdTrailer_.setSizeOfCentralDirectory(size);
  cdTrailer_.setOffsetOfStartOfCentralDirectory(cdOffset);
  if (zip64 || cdTrailer_.useZip64Extensions()) {
    ZBCDTrailer64 trailer64;
    trailer64.setNumberOfCentralDirectoryEntriesOnThisDisk(count);
    trailer64.setTotalNumberOfCentralDirectoryEntries(count);
    trailer64.setSizeOfCentralDirectory(size);
    trailer64.setOffsetOfStartOfCentralDirectory(cdOffset);
    ZBCDTrailer64Locator locator;
    locator.setOffsetOfStartOfCentralDirectoryTrailer64(cdOffset + size);
    Data t64 = trailer64.data(), loc = locator.data();
    out.insert(out.end(), t64.begin(), t64.end());
    out.insert(out.end(), loc.begin(), loc.end());
  }
  Data end = cdTrailer_.data();
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

std::string ZBArchive::entryName(const std::string& path, const std::string& base) {
  std::string prefix = base;
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  if (!prefix.empty()) prefix += '/';
  std::string name =
      !prefix.empty() && path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
  std::size_t start = name.find_first_not_of('/');
  return start == std::string::npos ? std::string() : name.substr(start);
}

bool ZBArchive::isCancelled() const {
  std::shared_ptr<const ZBInvoker> inv = invoker().lock();
  return inv && inv->isCancelled();
}

void ZBArchive::throttle() const {
  double seconds = throttleThreadSleepTime();
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void ZBArchive::Progress::block(std::uint64_t bytes) {
  if (!wants_) return;
  pending_ += bytes;
  if (++blocks_ % 100 == 0) {
    archive_.didUpdateBytesWritten(pending_);
    pending_ = 0;
  }
}

void ZBArchive::Progress::flush() {
  if (!wants_ || pending_ == 0) return;
  archive_.didUpdateBytesWritten(pending_);
  pending_ = 0;
}

int ZBArchive::deflateTree(const std::string& path, const DeflateFile& deflateFile) {
  std::error_code ec;
  std::vector<fs::path> children;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
    children.push_back(it->path());
  if (ec) return -1;
  std::sort(children.begin(), children.end());
  for (const fs::path& child : children) {
    std::string childPath = child.string();
    int result = deflateFile(childPath);
    if (result != 1) return result;
    if (!zb::isSymLinkAtPath(childPath) && zb::isDirAtPath(childPath)) {
      result = deflateTree(childPath, deflateFile);
      if (result != 1) return result;
    }
  }
  return 1;
}

int ZBArchive::deflateDirectoryWith(const std::string& path, const DeflateFile& deflateFile) {
  int result = deflateFile(path);
  if (result != 1) return result;
  return deflateTree(path, deflateFile);
}

int ZBArchive::deflateFilesWith(const std::vector<std::string>& paths, const DeflateFile& deflateFile) {
  for (const std::string& path : paths) {
    int result = !zb::isSymLinkAtPath(path) && zb::isDirAtPath(path) ? deflateDirectoryWith(path, deflateFile)
                                                                     : deflateFile(path);
    if (result != 1) return result;
  }
  return 1;
}

std::uint64_t ZBArchive::expandedSize() const {
  std::uint64_t total = 0;
  for (const ZBCDHeader& header : centralDirectory_) {
    std::uint64_t size = header.uncompressedSize();
    total = size > UINT64_MAX - total ? UINT64_MAX : total + size;
  }
  return total;
}

bool ZBArchive::expansionFits(const std::string& folder) const {
  std::uint64_t needed = expandedSize();
  if (needed > maxExpandedSize()) {
    ZBLOG_ERROR("Refusing to expand " + archivePath_ + ": " + std::to_string(needed) + " bytes");
    return false;
  }
  if (folder.empty()) return true;
  // The nearest folder that exists is where the space will be taken from.
  std::filesystem::path at(folder);
  std::error_code ec;
  while (!at.empty() && !std::filesystem::exists(at, ec) && at.has_parent_path() && at.parent_path() != at)
    at = at.parent_path();
  struct statvfs fs {};
  if (at.empty() || ::statvfs(at.c_str(), &fs) != 0) return true;
  std::uint64_t available = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
  if (needed > available) {
    ZBLOG_ERROR("Not enough space to expand " + archivePath_);
    return false;
  }
  return true;
}

}  // namespace kavro
