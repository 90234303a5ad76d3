#include "kit/codec/zip/ZBDataArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Where an entry's stored bytes begin: after its local header's name and extra field.
std::optional<std::uint64_t> dataStart(zb::Bytes localHeader) {
  if (localHeader.size() < ZBLFHeader::FixedLength ||
      zb::detail::le32(localHeader, 0) != ZBLFHeader::Signature)
    return std::nullopt;
  return ZBLFHeader::FixedLength + zb::detail::le16(localHeader, 26) + zb::detail::le16(localHeader, 28);
}

// Decodes stored bytes and checks them against the central directory.
std::optional<Data> decodeEntry(const ZBCDHeader& header, const Data& stored) {
  if (header.generalPurposeBitFlag() & Encrypted) return std::nullopt;
  std::optional<Data> content;
  if (header.compressionMethod() == Stored) {
    if (stored.size() == header.uncompressedSize()) content = stored;
  } else if (header.compressionMethod() == Deflated) {
    content = zb::inflate(stored, header.uncompressedSize());
  } else {
    ZBLOG_ERROR("Unknown compression method " + std::to_string(header.compressionMethod()) + " for " +
                header.filename());
    return std::nullopt;
  }
  if (!content || zb::crc32(*content) != header.crc()) return std::nullopt;
  return content;
}

ZBFileAttributes attributesOf(const ZBCDHeader& header) {
  ZBFileAttributes a;
  a.fileType = header.isSymLink()     ? ZBFileAttributes::FileType::SymbolicLink
               : header.isDirectory() ? ZBFileAttributes::FileType::Directory
                                      : ZBFileAttributes::FileType::Regular;
  a.posixPermissions = header.posixPermissions();
  a.creationDate = a.modificationDate = header.lastModDate();
  return a;
}

std::optional<Data> readWholeFile(const std::string& path) {
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.valid()) return std::nullopt;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  Data bytes(static_cast<std::size_t>(st.st_size));
  if (zb::readFully(fd.get(), bytes.data(), bytes.size(), 0) != static_cast<std::int64_t>(bytes.size()))
    return std::nullopt;
  return bytes;
}

}  // namespace

std::shared_ptr<ZBDataArchive> ZBDataArchive::create() {
  return std::shared_ptr<ZBDataArchive>(new ZBDataArchive({}));
}

std::shared_ptr<ZBDataArchive> ZBDataArchive::archiveWithArchivePath(const std::string& path) {
  std::shared_ptr<ZBDataArchive> archive(new ZBDataArchive(path));
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid() || !archive->readDirectory(fd.get())) return nullptr;
  return archive;
}

std::shared_ptr<ZBDataArchive> ZBDataArchive::archiveWithArchiveData(Data data) {
  std::shared_ptr<ZBDataArchive> archive(new ZBDataArchive({}));
  archive->data_ = std::move(data);
  if (!archive->readDirectory(zb::Bytes(archive->data_))) return nullptr;
  return archive;
}

const ZBCDHeader* ZBDataArchive::headerNamed(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const ZBCDHeader& h : centralDirectory_)
    if (h.filename() == name) return &h;
  return nullptr;
}

bool ZBDataArchive::file_exists(std::string_view name) const { return headerNamed(name) != nullptr; }

bool ZBDataArchive::is_dir(std::string_view name) const {
  const ZBCDHeader* h = headerNamed(name);
  return h && h->isDirectory();
}

bool ZBDataArchive::is_link(std::string_view name) const {
  const ZBCDHeader* h = headerNamed(name);
  return h && h->isSymLink();
}

bool ZBDataArchive::is_file(std::string_view name) const {
  const ZBCDHeader* h = headerNamed(name);
  return h && !h->isDirectory() && !h->isSymLink();
}

std::optional<Data> ZBDataArchive::file_get_contents(std::string_view name) const {
  const ZBCDHeader* h = headerNamed(name);
  if (!h || h->isDirectory() || h->isSymLink()) return std::nullopt;
  return entryBytes(*h);
}

std::vector<std::string> ZBDataArchive::files_name_list() const {
  std::vector<std::string> names;
  names.reserve(centralDirectory_.size());
  for (const ZBCDHeader& h : centralDirectory_)
    if (!h.filename().empty()) names.push_back(h.filename());
  return names;
}

std::optional<Data> ZBDataArchive::storedBytes(const ZBCDHeader& header) const {
  std::uint64_t offset = header.localHeaderOffset();
  std::uint64_t length = header.compressedSize();
  if (!data_.empty()) {
    if (!zb::detail::fits(data_, offset, ZBLFHeader::FixedLength)) return std::nullopt;
    std::optional<std::uint64_t> start = dataStart(zb::Bytes(data_).subspan(offset, ZBLFHeader::FixedLength));
    if (!start || !zb::detail::fits(data_, offset + *start, length)) return std::nullopt;
    auto from = data_.begin() + static_cast<std::ptrdiff_t>(offset + *start);
    return Data(from, from + static_cast<std::ptrdiff_t>(length));
  }
  zb::FileDescriptor fd(::open(archivePath_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  std::uint8_t fixed[ZBLFHeader::FixedLength];
  if (zb::readFully(fd.get(), fixed, sizeof fixed, offset) != static_cast<std::int64_t>(sizeof fixed))
    return std::nullopt;
  std::optional<std::uint64_t> start = dataStart(zb::Bytes(fixed, sizeof fixed));
  struct stat st;
  if (!start || ::fstat(fd.get(), &st) != 0) return std::nullopt;
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (offset > size || *start > size - offset || length > size - offset - *start) return std::nullopt;
  Data bytes(static_cast<std::size_t>(length));
  if (zb::readFully(fd.get(), bytes.data(), length, offset + *start) != static_cast<std::int64_t>(length))
    return std::nullopt;
  return bytes;
}

std::optional<Data> ZBDataArchive::entryBytes(const ZBCDHeader& header) const {
  std::optional<Data> stored = storedBytes(header);
  if (!stored) return std::nullopt;
  return decodeEntry(header, *stored);
}

std::optional<Data> ZBDataArchive::inflateFile(const ZBCDHeader& header, ZBFileAttributes* attributes) const {
  std::optional<Data> bytes;
  if (header.isDirectory())
    bytes = platform::dataFromString(header.filename());
  else
    bytes = entryBytes(header);
  if (bytes && attributes) *attributes = attributesOf(header);
  return bytes;
}

int ZBDataArchive::inflateAll() {
  inflatedFiles_.clear();
  if (!expansionFits({})) return -1;
  for (const ZBCDHeader& header : centralDirectory_) {
    ZBInflatedFile record;
    std::optional<Data> bytes = inflateFile(header, &record.fileAttributes);
    if (!bytes) return -1;
    record.path = header.filename();
    if (record.fileAttributes.fileType != ZBFileAttributes::FileType::Directory)
      record.fileData = std::move(bytes);
    inflatedFiles_.push_back(std::move(record));
  }
  return 1;
}

int ZBDataArchive::inflateInFolder(const std::string& folder, const std::string&, bool) {
  if (!expansionFits(folder) || inflateAll() != 1) return -1;
  if (inflatedFiles_.empty()) return 1;
  if (!zb::isDirAtPath(folder)) return -1;
  std::string expansionPath = uniqueExpansionDirectoryIn(folder);
  std::error_code ec;
  fs::create_directories(expansionPath, ec);
  std::optional<ZBExpansion> expansion = ZBExpansion::open(expansionPath);
  if (ec || !expansion) return -1;

  int result = 1;
  std::vector<std::pair<std::string, const ZBInflatedFile*>> written;
  for (const ZBInflatedFile& record : inflatedFiles_) {
    std::optional<std::string> relative = ZBExpansion::safeRelativePath(record.path);
    if (!relative || !expansion->claim(*relative)) {
      ZBLOG_ERROR("Refusing entry " + record.path);
      result = -1;
      break;
    }
    bool ok = false;
    switch (record.fileAttributes.fileType) {
      case ZBFileAttributes::FileType::Directory:
        ok = expansion->createDirectory(*relative);
        break;
      case ZBFileAttributes::FileType::SymbolicLink:
        ok = expansion->createLink(*relative, platform::stringFromData(*record.fileData));
        break;
      default: {
        zb::FileDescriptor out = expansion->createFile(*relative);
        ok = out.valid() && zb::writeFully(out.get(), *record.fileData, 0);
        ok = out.reset() && ok;
        break;
      }
    }
    if (!ok) {
      ZBLOG_ERROR("Cannot write " + expansionPath + "/" + *relative);
      result = -1;
      break;
    }
    written.emplace_back(*relative, &record);
  }
  // Innermost first, so that a folder's own permissions cannot lock its contents out.
  for (auto it = written.rbegin(); it != written.rend(); ++it)
    expansion->setAttributes(it->first, it->second->fileAttributes.posixPermissions,
                             it->second->fileAttributes.modificationDate);
  cleanUpExpansionDirectory(expansionPath);
  return result;
}

bool ZBDataArchive::loadForWriting() {
  if (!data_.empty()) return true;
  if (archivePath_.empty()) return true;
  std::optional<Data> bytes = readWholeFile(archivePath_);
  if (!bytes) return false;
  // The file may have changed since it was opened: take the directory it has now.
  Data previous = std::move(data_);
  data_ = std::move(*bytes);
  if (!readDirectory(zb::Bytes(data_))) {
    data_ = std::move(previous);
    return false;
  }
  return true;
}

int ZBDataArchive::appendEntry(const Data& localHeader, const Data& payload, ZBCDHeader header) {
  std::uint64_t offset = cdTrailer_.offsetOfStartOfCentralDirectory();
  if (offset > data_.size()) return -1;
  data_.resize(static_cast<std::size_t>(offset));
  // The version chosen for the entry (10 for folders and links) stays unless the offset needs Zip64.
  std::uint32_t version = header.versionNeededToExtract();
  header.setLocalHeaderOffset(offset);
  if (!header.useZip64Extensions()) header.setVersionNeededToExtract(version);
  data_.insert(data_.end(), localHeader.begin(), localHeader.end());
  data_.insert(data_.end(), payload.begin(), payload.end());
  centralDirectory_.push_back(std::move(header));
  std::uint64_t cdOffset = data_.size();
  Data directory = directoryBytes(cdOffset, false);
  data_.insert(data_.end(), directory.begin(), directory.end());
  return 1;
}

int ZBDataArchive::deflateData(const Data& data, const std::string& filename,
                               const std::optional<ZBFileAttributes>& attributes) {
  if (filename.empty() || zb::precomposedUTF8Length(filename) > zb::detail::Max16) return -1;
  std::optional<Data> compressed = zb::deflate(data);
  if (!compressed) return -1;
  if (!loadForWriting() || cdTrailer_.offsetOfStartOfCentralDirectory() > data_.size()) return -1;

  ZBLFHeader local;
  local.setGeneralPurposeBitFlag(0);
  local.setUncompressedSize(data.size());
  local.setFilename(filename);
  local.setCrc(zb::crc32(data));
  local.setCompressedSize(compressed->size());
  local.setCompressionMethod(Deflated);
  if (attributes) local.setLastModDate(attributes->modificationDate);
  ZBCDHeader header = ZBCDHeader::headerFromLocalHeader(local);
  // Without attributes the entry is a plain 0644 file: a zero word extracts as mode 000 elsewhere.
  header.setExternalFileAttributes(
      zb::externalFileAttributesFor(attributes ? *attributes : ZBFileAttributes{}));
  return appendEntry(local.data(), *compressed, std::move(header));
}

int ZBDataArchive::deflateFile(const std::string& path, const std::string& relativeToPath, bool) {
  std::optional<ZBFileAttributes> attributes = zb::fileAttributesAtPath(path);
  if (!attributes) return -1;
  bool isLink = attributes->fileType == ZBFileAttributes::FileType::SymbolicLink;
  bool isDir = attributes->fileType == ZBFileAttributes::FileType::Directory;
  std::string entryPath = isDir && (path.empty() || path.back() != '/') ? path + "/" : path;
  std::string name = entryName(entryPath, relativeToPath);
  if (isDir && name.empty()) return 1;  // the base folder itself
  if (name.empty()) return -1;

  if (!isLink && !isDir) {
    std::optional<Data> bytes = readWholeFile(path);
    if (!bytes) return -1;
    return deflateData(*bytes, name, attributes);
  }
  if (zb::precomposedUTF8Length(name) > zb::detail::Max16) return -1;
  Data payload;
  if (isLink) {
    std::optional<std::string> destination = zb::linkDestination(path);
    if (!destination) return -1;
    payload = platform::dataFromString(*destination);
  }
  if (!loadForWriting() || cdTrailer_.offsetOfStartOfCentralDirectory() > data_.size()) return -1;
  ZBLFHeader local;
  local.setLastModDate(attributes->modificationDate);
  local.setFilename(name);
  local.setUncompressedSize(payload.size());
  local.setCompressedSize(payload.size());
  local.setCrc(payload.empty() ? 0 : zb::crc32(payload));
  local.setCompressionMethod(Stored);
  local.setVersionNeededToExtract(10);
  ZBCDHeader header = ZBCDHeader::headerFromLocalHeader(local);
  header.setExternalFileAttributes(zb::externalFileAttributesFor(*attributes));
  return appendEntry(local.data(), payload, std::move(header));
}

int ZBDataArchive::deflateDirectory(const std::string& path, const std::string& relativeToPath, bool) {
  return deflateDirectoryWith(path, [&](const std::string& p) { return deflateFile(p, relativeToPath); });
}

int ZBDataArchive::deflateFiles(const std::vector<std::string>& paths, const std::string& relativeToPath,
                                bool) {
  return deflateFilesWith(paths, [&](const std::string& p) { return deflateFile(p, relativeToPath); });
}

}  // namespace kavro
