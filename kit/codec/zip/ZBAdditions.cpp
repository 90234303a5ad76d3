#include "kit/codec/zip/ZBAdditions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "kit/codec/zip/ZBAppleDouble.h"
#include "kit/codec/zip/ZBRecordSupport.h"
#include "platform/foundation/Error.h"

namespace kavro::zb {

namespace fs = std::filesystem;
using platform::Data;

namespace {

void require(Bytes data, std::uint64_t offset, std::uint64_t length) {
  if (!detail::fits(data, offset, length)) throw platform::RangeException("read past the end of the block");
}

platform::Date toDate(const struct timespec& ts) {
  return platform::Date(static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9);
}

bool lstatPath(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

constexpr const char* FinderInfoAttribute = "user.com.apple.FinderInfo";
constexpr const char* ResourceForkAttribute = "user.com.apple.ResourceFork";

}  // namespace

namespace detail {

bool isValidUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  std::size_t n = s.size(), i = 0;
  while (i < n) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string decodeText(Bytes data, std::uint64_t& offset, std::uint64_t length, bool lenient) {
  if (lenient) return stringOffsetBy(data, offset, length);
  require(data, offset, length);
  std::string s(reinterpret_cast<const char*>(data.data() + offset), length);
  offset += length;
  return isValidUtf8(s) ? s : std::string();
}

std::string describeDate(platform::Date date) {
  time_t t = static_cast<time_t>(std::floor(date.timeIntervalSince1970()));
  struct tm tm {};
  gmtime_r(&t, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
  return buf;
}

std::optional<Bytes> zip64Block(Bytes extra) {
  std::uint64_t at = 0;
  while (fits(extra, at, 4)) {
    std::uint32_t id = le16(extra, at);
    std::uint32_t size = le16(extra, at + 2);
    at += 4;
    if (!fits(extra, at, size)) return std::nullopt;
    if (id == 1) return extra.subspan(at, size);
    at += size;
  }
  return std::nullopt;
}

}  // namespace detail

// Reading

std::uint32_t hostInt16OffsetBy(Bytes data, std::uint64_t& offset) {
  require(data, offset, 2);
  std::uint32_t v = detail::le16(data, offset);
  offset += 2;
  return v;
}

std::uint32_t hostInt32OffsetBy(Bytes data, std::uint64_t& offset) {
  require(data, offset, 4);
  std::uint32_t v = detail::le32(data, offset);
  offset += 4;
  return v;
}

std::uint64_t hostInt64OffsetBy(Bytes data, std::uint64_t& offset) {
  require(data, offset, 8);
  std::uint64_t lo = detail::le32(data, offset);
  std::uint64_t hi = detail::le32(data, offset + 4);
  offset += 8;
  return lo | (hi << 32);
}

bool hostBoolOffsetBy(Bytes data, std::uint64_t& offset) { return hostInt32OffsetBy(data, offset) != 0; }

std::string stringOffsetBy(Bytes data, std::uint64_t& offset, std::uint64_t length) {
  require(data, offset, length);
  std::string s(reinterpret_cast<const char*>(data.data() + offset), length);
  offset += length;
  if (!detail::isValidUtf8(s)) {
    for (char& c : s)
      if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  }
  return s;
}

// CRC and deflate

std::uint32_t crc32(Bytes data) { return crc32(data, 0); }

std::uint32_t crc32(Bytes data, std::uint32_t crc) {
  uLong c = crc;
  const Bytef* p = data.data();
  std::size_t n = data.size();
  while (n > 0) {
    uInt chunk = static_cast<uInt>(std::min<std::size_t>(n, 1u << 30));
    c = ::crc32(c, p, chunk);
    p += chunk;
    n -= chunk;
  }
  return static_cast<std::uint32_t>(c);
}

std::optional<Data> inflate(Bytes data) {
  if (data.empty()) return std::nullopt;
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return std::nullopt;
  std::size_t half = std::max<std::size_t>(data.size() / 2, 1024);
  Data out(data.size() + half);
  std::size_t inLeft = data.size();
  zs.next_in = const_cast<Bytef*>(data.data());
  for (;;) {
    if (zs.total_out >= out.size()) out.resize(out.size() + half);
    std::size_t room = out.size() - zs.total_out;
    zs.next_out = out.data() + zs.total_out;
    zs.avail_out = static_cast<uInt>(std::min<std::size_t>(room, 1u << 30));
    uInt inChunk = static_cast<uInt>(std::min<std::size_t>(inLeft, 1u << 30));
    zs.avail_in = inChunk;
    int rc = ::inflate(&zs, Z_SYNC_FLUSH);
    inLeft -= inChunk - zs.avail_in;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) {
      inflateEnd(&zs);
      return std::nullopt;
    }
  }
  std::size_t produced = zs.total_out;
  if (inflateEnd(&zs) != Z_OK) return std::nullopt;
  out.resize(produced);
  return out;
}

std::optional<Data> inflate(Bytes data, std::uint64_t expectedLength) {
  // Deflate cannot expand by more than about 1032:1; a larger claim is a lie.
  if (expectedLength / 1032 > data.size() + 64) return std::nullopt;
  if (expectedLength > SIZE_MAX / 2) return std::nullopt;
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return std::nullopt;
  Data out(static_cast<std::size_t>(expectedLength));
  std::size_t inLeft = data.size(), outLeft = out.size();
  const Bytef* in = data.data();
  std::uint8_t* next = out.data();
  std::uint8_t probe = 0;
  int rc;
  for (;;) {
    uInt inChunk = static_cast<uInt>(std::min<std::size_t>(inLeft, 1u << 30));
    // Once the declared length is reached, one spare byte tells a stream that goes on.
    bool probing = outLeft == 0;
    uInt outChunk = probing ? 1 : static_cast<uInt>(std::min<std::size_t>(outLeft, 1u << 30));
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = inChunk;
    zs.next_out = probing ? &probe : next;
    zs.avail_out = outChunk;
    rc = ::inflate(&zs, Z_SYNC_FLUSH);
    in += inChunk - zs.avail_in;
    inLeft -= inChunk - zs.avail_in;
    std::size_t produced = outChunk - zs.avail_out;
    if (probing && produced > 0) {
      rc = Z_DATA_ERROR;
      break;
    }
    if (!probing) {
      next += produced;
      outLeft -= produced;
    }
    if (rc != Z_OK) break;
  }
  inflateEnd(&zs);
  if (rc != Z_STREAM_END || outLeft != 0) return std::nullopt;
  return out;
}

std::optional<Data> deflate(Bytes data) {
  z_stream zs{};
  if (deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;
  // deflateBound takes a uLong: fine for blocks of any size on 64-bit hosts.
  Data out(deflateBound(&zs, data.size()) + 16);
  std::size_t inLeft = data.size(), outLeft = out.size();
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.next_out = out.data();
  int rc = Z_OK;
  while (rc == Z_OK || rc == Z_BUF_ERROR) {
    uInt inChunk = static_cast<uInt>(std::min<std::size_t>(inLeft, 1u << 30));
    uInt outChunk = static_cast<uInt>(std::min<std::size_t>(outLeft, 1u << 30));
    if (outChunk == 0) {
      out.resize(out.size() + 16384);
      zs.next_out = out.data() + zs.total_out;
      outLeft = out.size() - zs.total_out;
      continue;
    }
    zs.avail_in = inChunk;
    zs.avail_out = outChunk;
    rc = ::deflate(&zs, inLeft == inChunk ? Z_FINISH : Z_NO_FLUSH);
    inLeft -= inChunk - zs.avail_in;
    outLeft -= outChunk - zs.avail_out;
    if (rc == Z_STREAM_END) break;
  }
  std::size_t produced = zs.total_out;
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) return std::nullopt;
  out.resize(produced);
  return out;
}

// Writing

Data dataWithLittleInt16(std::uint16_t value) {
  Data d;
  appendLittleInt16(d, value);
  return d;
}

Data dataWithLittleInt32(std::uint32_t value) {
  Data d;
  appendLittleInt32(d, value);
  return d;
}

Data dataWithLittleInt64(std::uint64_t value) {
  Data d;
  appendLittleInt64(d, value);
  return d;
}

void appendLittleInt16(Data& data, std::uint16_t value) {
  data.push_back(static_cast<std::uint8_t>(value));
  data.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendLittleInt32(Data& data, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendLittleInt64(Data& data, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendLittleBool(Data& data, bool value) { appendLittleInt32(data, value ? 1 : 0); }

void appendPrecomposedUTF8String(Data& data, std::string_view text) {
  std::string s = precomposedUTF8String(text);
  data.insert(data.end(), s.begin(), s.end());
}

// Strings

std::string precomposedUTF8String(std::string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(text);
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::string(text);
  icu::UnicodeString source =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  icu::UnicodeString composed = nfc->normalize(source, status);
  if (U_FAILURE(status)) return std::string(text);
  std::string out;
  composed.toUTF8String(out);
  return out;
}

std::uint64_t precomposedUTF8Length(std::string_view text) { return precomposedUTF8String(text).size(); }

bool isResourceForkPath(std::string_view path) {
  std::size_t start = 0;
  while (start < path.size() && path[start] == '/') ++start;
  std::string_view first = path.substr(start, path.find('/', start) - start);
  return first == "__MACOSX";
}

// Dates

platform::Date dateWithDosDate(std::uint32_t dos) {
  platform::DateComponents c;
  c.year = 1980 + static_cast<int>((dos >> 25) & 0x7F);
  c.month = static_cast<int>((dos >> 21) & 0x0F);
  c.day = static_cast<int>((dos >> 16) & 0x1F);
  c.hour = static_cast<int>((dos >> 11) & 0x1F);
  c.minute = static_cast<int>((dos >> 5) & 0x3F);
  c.second = static_cast<int>(dos & 0x1F) * 2;
  return platform::dateFromComponents(c).value_or(platform::Date());
}

std::uint32_t dosDate(platform::Date date) {
  platform::DateComponents c = platform::dateComponents(date);
  std::uint32_t year = static_cast<std::uint32_t>(c.year) - 1980u;
  std::uint32_t high =
      ((year << 9) | (static_cast<std::uint32_t>(c.month) << 5) | static_cast<std::uint32_t>(c.day)) & 0xFFFF;
  std::uint32_t low = (static_cast<std::uint32_t>(c.hour) << 11) |
                      (static_cast<std::uint32_t>(c.minute) << 5) |
                      (static_cast<std::uint32_t>(c.second) / 2);
  return (high << 16) | (low & 0xFFFF);
}

// Totals

ZBTotals totalSizeAndItemCountAtPath(const std::string& path, bool) {
  ZBTotals totals;
  struct stat st;
  if (!lstatPath(path, st)) return totals;
  totals.itemCount = 1;
  if (S_ISREG(st.st_mode)) totals.totalFileSize = static_cast<std::uint64_t>(st.st_size);
  if (!S_ISDIR(st.st_mode)) return totals;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    ++totals.itemCount;
    struct stat est;
    if (lstatPath(it->path().string(), est) && S_ISREG(est.st_mode))
      totals.totalFileSize += static_cast<std::uint64_t>(est.st_size);
  }
  return totals;
}

// File descriptors

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

bool FileDescriptor::reset(int fd) {
  bool ok = true;
  if (fd_ >= 0) ok = ::close(fd_) == 0;
  fd_ = fd;
  return ok;
}

std::int64_t readFully(int fd, std::uint8_t* buffer, std::uint64_t n, std::uint64_t offset) {
  std::uint64_t done = 0;
  while (done < n) {
    if (offset + done > static_cast<std::uint64_t>(INT64_MAX)) break;
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(n - done, 1u << 30));
    ssize_t r = ::pread(fd, buffer + done, chunk, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::uint64_t>(r);
  }
  return static_cast<std::int64_t>(done);
}

bool writeFully(int fd, Bytes data, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < data.size()) {
    std::size_t chunk = std::min<std::size_t>(data.size() - done, 1u << 30);
    ssize_t w = ::pwrite(fd, data.data() + done, chunk, static_cast<off_t>(offset + done));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) return false;
    done += static_cast<std::size_t>(w);
  }
  return true;
}

FileDescriptor newFileHandleForWritingAtPath(const std::string& path, bool truncate) {
  struct stat st;
  if (!lstatPath(path, st)) {
    fs::path parent = fs::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty()) fs::create_directories(parent, ec);
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0);
  return FileDescriptor(::open(path.c_str(), flags, 0600));
}

// File-system queries

bool isSymLinkAtPath(const std::string& path) {
  struct stat st;
  return lstatPath(path, st) && S_ISLNK(st.st_mode);
}

bool isDirAtPath(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint64_t dataSizeAtFilePath(const std::string& path) {
  struct stat st;
  return lstatPath(path, st) ? static_cast<std::uint64_t>(st.st_size) : 0;
}

platform::Date modificationDateForPath(const std::string& path) {
  struct stat st;
  return lstatPath(path, st) ? toDate(st.st_mtim) : platform::Date();
}

std::uint32_t posixPermissionsAtPath(const std::string& path) {
  struct stat st;
  return lstatPath(path, st) ? (st.st_mode & 07777) : 0;
}

std::optional<std::string> linkDestination(const std::string& path) {
  std::string target(4096, '\0');
  ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
  target.resize(static_cast<std::size_t>(n));
  return target;
}

std::optional<ZBFileAttributes> fileAttributesAtPath(const std::string& path) {
  struct stat st;
  if (!lstatPath(path, st)) return std::nullopt;
  ZBFileAttributes a;
  if (S_ISLNK(st.st_mode))
    a.fileType = ZBFileAttributes::FileType::SymbolicLink;
  else if (S_ISDIR(st.st_mode))
    a.fileType = ZBFileAttributes::FileType::Directory;
  else if (S_ISREG(st.st_mode))
    a.fileType = ZBFileAttributes::FileType::Regular;
  else
    a.fileType = ZBFileAttributes::FileType::Other;
  a.posixPermissions = st.st_mode & 07777;
  a.modificationDate = toDate(st.st_mtim);
  // The file system keeps no creation date that every Linux file system reports.
  a.creationDate = a.modificationDate;
  return a;
}

std::uint32_t externalFileAttributesAtPath(const std::string& path) {
  std::optional<ZBFileAttributes> a = fileAttributesAtPath(path);
  return a ? externalFileAttributesFor(*a) : 0;
}

std::uint32_t externalFileAttributesFor(const ZBFileAttributes& attributes) {
  std::uint32_t word;
  switch (attributes.fileType) {
    case ZBFileAttributes::FileType::SymbolicLink:
      word = 0xA0004000u;
      break;
    case ZBFileAttributes::FileType::Directory:
      word = 0x40004000u;
      break;
    default:
      word = 0x80004000u;
      break;
  }
  return word | ((attributes.posixPermissions & 0xFFFF) << 16);
}

std::uint32_t crcForPath(const std::string& path, std::weak_ptr<const ZBInvoker> invoker,
                         double throttleThreadSleepTime) {
  std::string expanded = path;
  if (!expanded.empty() && expanded[0] == '~') {
    const char* home = std::getenv("HOME");
    if (home && (expanded.size() == 1 || expanded[1] == '/'))
      expanded = std::string(home) + expanded.substr(1);
  }
  struct stat st;
  if (::stat(expanded.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
  FileDescriptor fd(::open(expanded.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return 0;
  std::vector<std::uint8_t> block(1 << 20);
  std::uint32_t crc = 0;
  std::uint64_t offset = 0;
  for (;;) {
    std::int64_t n = readFully(fd.get(), block.data(), block.size(), offset);
    if (n <= 0) break;
    crc = crc32(Bytes(block.data(), static_cast<std::size_t>(n)), crc);
    offset += static_cast<std::uint64_t>(n);
    if (auto inv = invoker.lock(); inv && inv->isCancelled()) return 0;
    if (throttleThreadSleepTime > 0)
      std::this_thread::sleep_for(std::chrono::duration<double>(throttleThreadSleepTime));
  }
  return crc;
}

std::optional<Data> dataFromPath(const std::string& path, platform::Range range) {
  if (range.length == 0 || range.location == platform::NotFound) return std::nullopt;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return std::nullopt;
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (range.location > size || range.length > size - range.location) return std::nullopt;
  Data out(range.length);
  if (readFully(fd.get(), out.data(), range.length, range.location) !=
      static_cast<std::int64_t>(range.length))
    return std::nullopt;
  return out;
}

// AppleDouble files

namespace {

std::optional<Data> readAttribute(const std::string& path, const char* name) {
  ssize_t size = ::lgetxattr(path.c_str(), name, nullptr, 0);
  if (size <= 0) return std::nullopt;
  Data value(static_cast<std::size_t>(size));
  ssize_t got = ::lgetxattr(path.c_str(), name, value.data(), value.size());
  if (got <= 0) return std::nullopt;
  value.resize(static_cast<std::size_t>(got));
  return value;
}

}  // namespace

std::optional<Data> appleDoubleDataForPath(const std::string& path) {
  struct stat st;
  if (!lstatPath(path, st)) return std::nullopt;
  ZBAppleDouble container = ZBAppleDouble::appleDouble();
  if (auto info = readAttribute(path, FinderInfoAttribute))
    container.addEntryWithID(ZBAppleDouble::FinderInfoID, std::move(*info));
  if (auto fork = readAttribute(path, ResourceForkAttribute))
    container.addEntryWithID(ZBAppleDouble::ResourceForkID, std::move(*fork));
  if (container.entries().empty()) return std::nullopt;
  return container.data();
}

void restoreAppleDoubleData(const Data& data, const std::string& path) {
  struct stat st;
  if (!lstatPath(path, st)) return;
  std::optional<ZBAppleDouble> container = ZBAppleDouble::appleDoubleWithData(data);
  if (!container) return;
  for (const ZBAppleDoubleEntry& entry : container->entries()) {
    const char* name = entry.entryID() == ZBAppleDouble::FinderInfoID     ? FinderInfoAttribute
                       : entry.entryID() == ZBAppleDouble::ResourceForkID ? ResourceForkAttribute
                                                                          : nullptr;
    if (name) ::lsetxattr(path.c_str(), name, entry.data().data(), entry.data().size(), 0);
  }
}

}  // namespace kavro::zb
