#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kit/codec/zip/ZBInvoker.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Text.h"

// The support routines beneath the zip component: little-endian fields, CRC-32, raw deflate,
// DOS dates and the file-system queries the archives need. Stateless; any thread.
namespace kavro::zb {

using Bytes = std::span<const std::uint8_t>;

// Reading little-endian fields; offset advances past what was read. A read past the end of the
// block is the caller's mistake and raises platform::RangeException (the record parsers check
// their bounds first).
std::uint32_t hostInt16OffsetBy(Bytes data, std::uint64_t& offset);
std::uint32_t hostInt32OffsetBy(Bytes data, std::uint64_t& offset);
std::uint64_t hostInt64OffsetBy(Bytes data, std::uint64_t& offset);
bool hostBoolOffsetBy(Bytes data, std::uint64_t& offset);
// length bytes as UTF-8; when they are not valid UTF-8, every byte of 0x80 or above reads as "?".
// A length of 0 gives "".
std::string stringOffsetBy(Bytes data, std::uint64_t& offset, std::uint64_t length);

std::uint32_t crc32(Bytes data);
std::uint32_t crc32(Bytes data, std::uint32_t crc);

// Raw deflate (no zlib or gzip framing). inflate gives nothing for empty input or a broken stream.
std::optional<platform::Data> inflate(Bytes data);
// Inflates a stream that must produce exactly expectedLength bytes; a stream that produces more
// (or fewer, or is broken) gives nothing. Never allocates more than the declared length, and
// refuses declared lengths no deflate stream of that input could reach.
std::optional<platform::Data> inflate(Bytes data, std::uint64_t expectedLength);
// Level 9. The empty input gives the two-byte empty stream 03 00.
std::optional<platform::Data> deflate(Bytes data);

// Writing little-endian fields.
platform::Data dataWithLittleInt16(std::uint16_t value);
platform::Data dataWithLittleInt32(std::uint32_t value);
platform::Data dataWithLittleInt64(std::uint64_t value);
void appendLittleInt16(platform::Data& data, std::uint16_t value);
void appendLittleInt32(platform::Data& data, std::uint32_t value);
void appendLittleInt64(platform::Data& data, std::uint64_t value);
void appendLittleBool(platform::Data& data, bool value);
// The text in canonical composition (NFC), as UTF-8, without a terminator.
void appendPrecomposedUTF8String(platform::Data& data, std::string_view text);

// NFC form of the text (the form names and comments are written in) and its byte length.
std::string precomposedUTF8String(std::string_view text);
std::uint64_t precomposedUTF8Length(std::string_view text);
// True when the first path component is "__MACOSX".
bool isResourceForkPath(std::string_view path);

// DOS date and time (date in the high 16 bits), in the local time zone (platform::localTimeZoneName).
platform::Date dateWithDosDate(std::uint32_t dosDate);
std::uint32_t dosDate(platform::Date date);

// Totals of a set of items to be archived.
struct ZBTotals {
  std::uint64_t totalFileSize = 0;
  std::uint64_t itemCount = 0;
};
// Bytes of the plain files at or below path and the number of items (the path itself, and
// everything below a folder; links are counted, not followed). Nothing at path gives zeros.
ZBTotals totalSizeAndItemCountAtPath(const std::string& path, bool usingResourceFork);

// What the archives keep of a file-system item.
struct ZBFileAttributes {
  enum class FileType { Regular, Directory, SymbolicLink, Other };
  FileType fileType = FileType::Regular;
  std::uint32_t posixPermissions = 0644;
  platform::Date creationDate;
  platform::Date modificationDate;
};

// An owned POSIX file descriptor, closed on destruction.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now; false when close reported an error (a lost write).
  bool reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Reads up to n bytes at offset (retrying short reads); the count read, or -1 on error.
std::int64_t readFully(int fd, std::uint8_t* buffer, std::uint64_t n, std::uint64_t offset);
// Writes all bytes at offset; false on any error.
bool writeFully(int fd, Bytes data, std::uint64_t offset);

// Creates the parent folders and an empty file when nothing is at path, then opens the file for
// writing; truncate empties it. An invalid descriptor on failure.
FileDescriptor newFileHandleForWritingAtPath(const std::string& path, bool truncate = false);

// Queries of the item itself; links are not followed except by isDirAtPath.
bool isSymLinkAtPath(const std::string& path);
bool isDirAtPath(const std::string& path);
std::uint64_t dataSizeAtFilePath(const std::string& path);
platform::Date modificationDateForPath(const std::string& path);
std::uint32_t posixPermissionsAtPath(const std::string& path);
// Where the link at path points, as written; nothing when it is not a link or the target is 4 KiB or more.
std::optional<std::string> linkDestination(const std::string& path);
std::optional<ZBFileAttributes> fileAttributesAtPath(const std::string& path);
// The zip attribute word: Unix type and permissions in the high 16 bits, 0x4000 in the low ones.
// 0 when nothing is at path.
std::uint32_t externalFileAttributesAtPath(const std::string& path);
std::uint32_t externalFileAttributesFor(const ZBFileAttributes& attributes);

// CRC-32 of a file's content, read 1 MiB at a time; 0 for a missing path or a folder, or when the
// invoker cancels. A leading "~" stands for the home folder.
std::uint32_t crcForPath(const std::string& path, std::weak_ptr<const ZBInvoker> invoker = {},
                         double throttleThreadSleepTime = 0);

// Exactly range.length bytes of the file from range.location; nothing for an empty range, a
// location of NotFound, a range past the end or an unreadable file.
std::optional<platform::Data> dataFromPath(const std::string& path, platform::Range range);

// The item's Finder information and resource fork (extended attributes "user.com.apple.FinderInfo"
// and "user.com.apple.ResourceFork", links not followed) as AppleDouble bytes; nothing when the
// item has neither.
std::optional<platform::Data> appleDoubleDataForPath(const std::string& path);
// Writes entries 9 and 2 of the AppleDouble bytes back to those attributes; errors are ignored.
void restoreAppleDoubleData(const platform::Data& data, const std::string& path);

}  // namespace kavro::zb
