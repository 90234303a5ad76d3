#include "kit/codec/zip/ZBFileArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>

#include "kit/codec/zip/ZBExpansion.h"
#include "kit/codec/zip/ZBLFHeader.h"
#include "kit/codec/zip/ZBLog.h"
#include "kit/codec/zip/ZBRecordSupport.h"

namespace kavro {

namespace fs = std::filesystem;
using platform::Data;
using zb::ZBFileAttributes;
using zb::detail::Deflated;
using zb::detail::Encrypted;
using zb::detail::Stored;

namespace {

// Longest link destination an entry may carry.
constexpr std::uint64_t MaxLinkLength = 4096;

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&zs, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&zs);
  }
  bool ok() const { return ok_; }
  z_stream zs{};

 private:
  bool ok_;
};

class Deflater {
 public:
  Deflater() { ok_ = deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
  ~Deflater() {
    if (ok_) deflateEnd(&zs);
  }
  bool ok() const { return ok_; }
  z_stream zs{};

 private:
  bool ok_;
};

std::string stripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string parentOf(const std::string& path) {
  std::string parent = fs::path(stripTrailingSlashes(path)).parent_path().string();
  return parent.empty() ? "." : parent;
}

// The localised name of an archive made of several items.
std::string localizedArchiveName() { return "Archive"; }

}  // namespace

// Opening and the entry point

std::shared_ptr<ZBFileArchive> ZBFileArchive::archiveWithArchivePath(const std::string& path) {
  std::shared_ptr<ZBFileArchive> archive(new ZBFileArchive(path));
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return archive;
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid() || !archive->readDirectory(fd.get())) return nullptr;
  for (const ZBCDHeader& h : archive->centralDirectory_)
    archive->useZip64Extensions_ = archive->useZip64Extensions_ || h.useZip64Extensions();
  archive->useZip64Extensions_ = archive->useZip64Extensions_ || archive->cdTrailer_.useZip64Extensions();
  return archive;
}

std::shared_ptr<ZBFileArchive> ZBFileArchive::process(const std::string& path, bool usingResourceFork,
                                                      std::weak_ptr<const ZBInvoker> invoker,
                                                      std::weak_ptr<ZBArchiveDelegate> delegate) {
  if (validArchiveAtPath(path)) return expand(path, std::move(invoker), std::move(delegate));
  std::string item = stripTrailingSlashes(path);
  std::string target = uniquify(fs::path(item).replace_extension("zip").string());
  return compress({item}, target, usingResourceFork, std::move(invoker), std::move(delegate));
}

std::shared_ptr<ZBFileArchive> ZBFileArchive::process(const std::vector<std::string>& paths,
                                                      bool usingResourceFork,
                                                      std::weak_ptr<const ZBInvoker> invoker,
                                                      std::weak_ptr<ZBArchiveDelegate> delegate) {
  if (paths.empty()) return nullptr;
  if (paths.size() == 1)
    return process(paths.front(), usingResourceFork, std::move(invoker), std::move(delegate));
  std::string folder = parentOf(paths.front());
  std::string target = uniquify((fs::path(folder) / (localizedArchiveName() + ".zip")).string());
  return compress(paths, target, usingResourceFork, std::move(invoker), std::move(delegate));
}

std::shared_ptr<ZBFileArchive> ZBFileArchive::expand(const std::string& path,
                                                     std::weak_ptr<const ZBInvoker> invoker,
                                                     std::weak_ptr<ZBArchiveDelegate> delegate) {
  std::shared_ptr<ZBFileArchive> archive = archiveWithArchivePath(path);
  if (!archive) return nullptr;
  archive->setInvoker(std::move(invoker));
  bool hasDelegate = !delegate.expired();
  if (hasDelegate) {
    archive->setDelegate(std::move(delegate));
    if (archive->delegateWantsSizes()) {
      std::uint64_t total = 0;
      for (const ZBCDHeader& h : archive->centralDirectory_) total += h.uncompressedSize();
      archive->didUpdateTotalSize(total);
      archive->didUpdateTotalCount(archive->centralDirectory_.size());
    }
    archive->didBeginUnzip();
  }
  int result = archive->inflateToDiskUsingResourceFork(false);
  if (hasDelegate) {
    if (result == 0)
      archive->didCancel();
    else if (result == 1)
      archive->didEndUnzip();
    else
      archive->didFail();
  }
  return archive;
}

std::shared_ptr<ZBFileArchive> ZBFileArchive::compress(const std::vector<std::string>& paths,
                                                       const std::string& archivePath, bool usingResourceFork,
                                                       std::weak_ptr<const ZBInvoker> invoker,
                                                       std::weak_ptr<ZBArchiveDelegate> delegate) {
  std::shared_ptr<ZBFileArchive> archive = archiveWithArchivePath(archivePath);
  if (!archive) return nullptr;
  archive->setInvoker(std::move(invoker));
  bool hasDelegate = !delegate.expired();
  if (hasDelegate) {
    archive->setDelegate(std::move(delegate));
    archive->startSizeCalculation(paths, usingResourceFork);
    archive->didBeginZip();
  }
  int result;
  if (paths.size() == 1) {
    const std::string& item = paths.front();
    bool folder = !zb::isSymLinkAtPath(item) && zb::isDirAtPath(item);
    result = folder ? archive->deflateDirectory(item, parentOf(item), usingResourceFork)
                    : archive->deflateFile(item, parentOf(item), usingResourceFork);
  } else {
    result = archive->deflateFiles(paths, parentOf(paths.front()), usingResourceFork);
  }
  if (result != 1) {
    std::error_code ec;
    fs::remove(archivePath, ec);
  }
  if (hasDelegate) {
    if (result == 0)
      archive->deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidCancel(a); }, true);
    else if (result == 1)
      archive->didEndZip();
    else
      archive->didFail();
  }
  return archive;
}

// Expanding

int ZBFileArchive::inflateToDiskUsingResourceFork(bool usingResourceFork) {
  return inflateToDirectory(uniqueExpansionDirectoryIn(parentOf(archivePath_)), usingResourceFork);
}

int ZBFileArchive::inflateToDirectory(const std::string& expansionDirectory, bool) {
  if (!expansionFits(expansionDirectory)) return -1;
  std::error_code ec;
  fs::create_directories(expansionDirectory, ec);
  std::optional<ZBExpansion> expansion = ZBExpansion::open(expansionDirectory);
  if (ec || !expansion) return -1;
  int result = 1;
  std::vector<std::pair<std::string, const ZBCDHeader*>> written;
  for (const ZBCDHeader& header : centralDirectory_) {
    std::optional<std::string> relative = ZBExpansion::safeRelativePath(header.filename());
    if (!relative || !expansion->claim(*relative)) {
      ZBLOG_ERROR("Refusing entry " + header.filename());
      result = -1;
      break;
    }
    result = inflateEntry(header, *expansion, *relative);
    if (result != 1) break;
    written.emplace_back(*relative, &header);
  }
  if (result == 1) {
    // Innermost first, so that a folder's own permissions cannot lock its contents out.
    for (auto it = written.rbegin(); it != written.rend(); ++it)
      expansion->setAttributes(it->first, it->second->posixPermissions(), it->second->lastModDate());
  }
  cleanUpExpansionDirectory(expansionDirectory);
  return result;
}

int ZBFileArchive::inflateFile(const ZBCDHeader& header, const std::string& toDirectory) {
  std::optional<ZBExpansion> expansion = ZBExpansion::open(toDirectory);
  std::optional<std::string> relative = ZBExpansion::safeRelativePath(header.filename());
  if (!expansion || !relative) {
    ZBLOG_ERROR("Refusing entry " + header.filename());
    return -1;
  }
  return inflateEntry(header, *expansion, *relative);
}

int ZBFileArchive::cancelled() {
  deliver([](ZBArchiveDelegate& d, ZBArchive& a) { d.onZBArchiveDidCancel(a); }, true);
  return 0;
}

int ZBFileArchive::inflateEntry(const ZBCDHeader& header, ZBExpansion& expansion,
                                const std::string& relative) {
  willUnzipPath(header.filename());
  std::string target = expansion.path() + "/" + relative;

  zb::FileDescriptor archive(::open(archivePath_.c_str(), O_RDONLY | O_CLOEXEC));
  std::optional<ZBLFHeader> local;
  if (archive.valid())
    local = ZBLFHeader::recordWithFileDescriptor(archive.get(), header.localHeaderOffset());
  if (!local) {
    ZBLOG_ERROR("No local header for " + target);
    return -1;
  }
  std::uint64_t readOffset = header.localHeaderOffset() + local->length();
  std::uint64_t compressedSize = header.compressedSize();
  std::uint64_t expected = header.uncompressedSize();
  std::uint32_t method = header.compressionMethod();
  if (header.generalPurposeBitFlag() & Encrypted) {
    ZBLOG_ERROR("Encrypted entry: " + target);
    return -1;
  }

  if (header.isSymLink()) {
    if (compressedSize > MaxLinkLength || expected > MaxLinkLength) return -1;
    Data stored(static_cast<std::size_t>(compressedSize));
    if (zb::readFully(archive.get(), stored.data(), compressedSize, readOffset) !=
        static_cast<std::int64_t>(compressedSize))
      return -1;
    std::optional<Data> destination;
    if (method == Stored && stored.size() == expected)
      destination = std::move(stored);
    else if (method == Deflated)
      destination = zb::inflate(stored, expected);
    if (!destination || destination->empty() || zb::crc32(*destination) != header.crc() ||
        std::find(destination->begin(), destination->end(), 0) != destination->end()) {
      ZBLOG_ERROR("Bad link entry: " + target);
      return -1;
    }
    if (!expansion.createLink(relative, platform::stringFromData(*destination))) {
      ZBLOG_ERROR("Cannot create link " + target);
      return -1;
    }
    expansion.setAttributes(relative, header.posixPermissions(), header.lastModDate());
    return 1;
  }

  if (header.isDirectory()) {
    if (!expansion.createDirectory(relative)) {
      ZBLOG_ERROR("Cannot create folder " + target);
      return -1;
    }
    return 1;
  }

  if (method != Stored && method != Deflated) {
    ZBLOG_ERROR("Unknown compression method " + std::to_string(method) + " for " + target);
    return -1;
  }
  zb::FileDescriptor output = expansion.createFile(relative);
  if (!output.valid()) {
    ZBLOG_ERROR("Cannot write " + target);
    return -1;
  }

  Data input(BlockSize), block(BlockSize);
  Progress progress(*this);
  std::uint64_t remaining = compressedSize, produced = 0;
  std::uint32_t crc = 0;
  bool ended = false;
  // Counts, checks and writes what one step produced; false when the entry must stop.
  auto emit = [&](const std::uint8_t* bytes, std::size_t n) {
    if (n > expected - produced) {
      ZBLOG_ERROR("Entry longer than declared: " + target);
      return false;
    }
    crc = zb::crc32(zb::Bytes(bytes, n), crc);
    if (!zb::writeFully(output.get(), zb::Bytes(bytes, n), produced)) {
      ZBLOG_ERROR("Cannot write " + target);
      return false;
    }
    produced += n;
    progress.block(n);
    return true;
  };

  if (method == Deflated) {
    Inflater inflater;
    if (!inflater.ok()) return -1;
    z_stream& zs = inflater.zs;
    while (!ended && remaining > 0) {
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(BlockSize, remaining));
      std::int64_t got = zb::readFully(archive.get(), input.data(), want, readOffset);
      if (got <= 0) break;
      readOffset += static_cast<std::uint64_t>(got);
      remaining -= static_cast<std::uint64_t>(got);
      zs.next_in = input.data();
      zs.avail_in = static_cast<uInt>(got);
      do {
        zs.next_out = block.data();
        zs.avail_out = static_cast<uInt>(BlockSize);
        int rc = ::inflate(&zs, Z_SYNC_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
          ZBLOG_ERROR("Stream error: " + target);
          return -1;
        }
        if (!emit(block.data(), BlockSize - zs.avail_out)) return -1;
        if (isCancelled()) return cancelled();
        if (rc == Z_STREAM_END) {
          ended = true;
          break;
        }
      } while (zs.avail_out == 0);
      throttle();
    }
  } else {
    while (remaining > 0) {
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(BlockSize, remaining));
      std::int64_t got = zb::readFully(archive.get(), input.data(), want, readOffset);
      if (got <= 0) break;
      readOffset += static_cast<std::uint64_t>(got);
      remaining -= static_cast<std::uint64_t>(got);
      if (!emit(input.data(), static_cast<std::size_t>(got))) return -1;
      if (isCancelled()) return cancelled();
      throttle();
    }
    ended = remaining == 0;
  }
  progress.flush();
  if (!output.reset()) {
    ZBLOG_ERROR("Cannot write " + target);
    return -1;
  }
  if (!ended || produced != expected) {
    ZBLOG_ERROR("Inflation length mismatch for " + target + " - stored: " + std::to_string(expected) +
                ", calculated: " + std::to_string(produced));
    return -1;
  }
  if (crc != header.crc()) {
    ZBLOG_ERROR("Inflation CRC mismatch for " + target + " - stored: " + std::to_string(header.crc()) +
                ", calculated: " + std::to_string(crc));
    return -1;
  }
  expansion.setAttributes(relative, header.posixPermissions(), header.lastModDate());
  return 1;
}

// Compressing

bool ZBFileArchive::writeDirectory(int fd, std::uint64_t offset) {
  Data directory = directoryBytes(offset, useZip64Extensions_);
  useZip64Extensions_ = useZip64Extensions_ || cdTrailer_.useZip64Extensions();
  return zb::writeFully(fd, directory, offset) &&
         ::ftruncate(fd, static_cast<off_t>(offset + directory.size())) == 0;
}

int ZBFileArchive::deflateFile(const std::string& path, const std::string& relativeToPath, bool) {
  std::optional<ZBFileAttributes> attributes = zb::fileAttributesAtPath(path);
  if (!attributes) return -1;
  bool isLink = attributes->fileType == ZBFileAttributes::FileType::SymbolicLink;
  bool isDir = attributes->fileType == ZBFileAttributes::FileType::Directory;
  std::string entryPath = isDir && (path.empty() || path.back() != '/') ? path + "/" : path;
  std::string name = entryName(entryPath, relativeToPath);
  if (isDir && name.empty()) return 1;  // the base folder itself
  if (name.empty() || zb::precomposedUTF8Length(name) > zb::detail::Max16) return -1;

  zb::FileDescriptor archive = zb::newFileHandleForWritingAtPath(archivePath_);
  if (!archive.valid()) return -1;
  struct stat self, item;
  // The archive never swallows itself when it lies inside a folder being added.
  if (::fstat(archive.get(), &self) == 0 && ::lstat(path.c_str(), &item) == 0 && self.st_dev == item.st_dev &&
      self.st_ino == item.st_ino)
    return 1;
  willZipPath(path);

  std::uint64_t entryOffset = cdTrailer_.offsetOfStartOfCentralDirectory();
  ZBLFHeader local;
  std::uint64_t size = isDir ? 0 : zb::dataSizeAtFilePath(path);
  local.setUncompressedSize(size);
  local.setLastModDate(attributes->modificationDate);
  local.setFilename(name);
  local.setCrc(0);
  local.setCompressedSize(0);
  // Room for the Zip64 sizes when the compressed size could still overflow.
  if (!isLink && !isDir && zb::detail::needsZip64(size + size / 64 + 65536)) local.setReservesZip64(true);
  std::uint64_t headerLength = local.data().size();

  // Whatever goes wrong from here puts the previous directory back.
  auto rollback = [&](int result) {
    writeDirectory(archive.get(), entryOffset);
    return result;
  };
  if (!zb::writeFully(archive.get(), local.data(), entryOffset)) return rollback(-1);
  std::uint64_t writePosition = entryOffset + headerLength;

  if (isLink || isDir) {
    Data payload;
    if (isLink) {
      std::optional<std::string> destination = zb::linkDestination(path);
      if (!destination) return rollback(-1);
      payload = platform::dataFromString(*destination);
    }
    local.setCrc(payload.empty() ? 0 : zb::crc32(payload));
    local.setUncompressedSize(payload.size());
    local.setCompressedSize(payload.size());
    local.setCompressionMethod(Stored);
    local.setVersionNeededToExtract(10);
    if (!zb::writeFully(archive.get(), payload, writePosition)) return rollback(-1);
    writePosition += payload.size();
  } else {
    zb::FileDescriptor input(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!input.valid()) return rollback(-1);
    Deflater deflater;
    if (!deflater.ok()) {
      ZBLOG_ERROR("Error in deflate");
      return rollback(-1);
    }
    z_stream& zs = deflater.zs;
    Data in(BlockSize), out(BlockSize);
    Progress progress(*this);
    std::uint64_t readOffset = 0, compressed = 0;
    std::uint32_t crc = 0;
    int rc = Z_OK;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
      std::int64_t got = zb::readFully(input.get(), in.data(), BlockSize, readOffset);
      if (got < 0) return rollback(-1);
      std::size_t n = static_cast<std::size_t>(got);
      readOffset += n;
      if (n > 0) crc = zb::crc32(zb::Bytes(in.data(), n), crc);
      flush = n > 0 ? Z_SYNC_FLUSH : Z_FINISH;
      zs.next_in = in.data();
      zs.avail_in = static_cast<uInt>(n);
      do {
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(BlockSize);
        rc = ::deflate(&zs, flush);
        if (rc == Z_STREAM_ERROR) {
          ZBLOG_ERROR("Error in deflate");
          return rollback(-1);
        }
        std::size_t have = BlockSize - zs.avail_out;
        if (!zb::writeFully(archive.get(), zb::Bytes(out.data(), have), writePosition)) return rollback(-1);
        writePosition += have;
        compressed += have;
        if (isCancelled()) return rollback(cancelled());
      } while (zs.avail_out == 0);
      if (zs.avail_in != 0) {
        ZBLOG_ERROR("All input not used");
        return rollback(-1);
      }
      progress.block(n);
      throttle();
    }
    progress.flush();
    if (rc != Z_STREAM_END) {
      ZBLOG_ERROR("Stream incomplete");
      return rollback(-1);
    }
    local.setCrc(crc);
    local.setUncompressedSize(readOffset);
    local.setCompressedSize(compressed);
  }

  // The final header must fit where the first one went.
  Data finalHeader = local.data();
  if (finalHeader.size() != headerLength) {
    ZBLOG_ERROR("Entry grew past its header: " + path);
    return rollback(-1);
  }
  ZBCDHeader header = ZBCDHeader::headerFromLocalHeader(local);
  std::uint32_t version = header.versionNeededToExtract();
  header.setLocalHeaderOffset(entryOffset);
  if (!header.useZip64Extensions()) header.setVersionNeededToExtract(version);
  header.setExternalFileAttributes(zb::externalFileAttributesFor(*attributes));
  useZip64Extensions_ = useZip64Extensions_ || header.useZip64Extensions();
  centralDirectory_.push_back(std::move(header));
  if (!writeDirectory(archive.get(), writePosition) ||
      !zb::writeFully(archive.get(), finalHeader, entryOffset)) {
    centralDirectory_.pop_back();
    return rollback(-1);
  }
  if (!archive.reset()) return -1;
  return 1;
}

int ZBFileArchive::deflateDirectory(const std::string& path, const std::string& relativeToPath, bool) {
  return deflateDirectoryWith(path, [&](const std::string& p) { return deflateFile(p, relativeToPath); });
}

int ZBFileArchive::deflateFiles(const std::vector<std::string>& paths, const std::string& relativeToPath,
                                bool) {
  return deflateFilesWith(paths, [&](const std::string& p) { return deflateFile(p, relativeToPath); });
}

}  // namespace kavro
