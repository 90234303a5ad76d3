#include "kit/codec/zip/ZBCDTrailer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "kit/codec/zip/ZBRecordSupport.h"

namespace kavro {

using platform::Data;
using zb::detail::fits;
using zb::detail::Max16;
using zb::detail::Max32;

ZBCDTrailer::ZBCDTrailer() { setComment(DefaultComment); }

std::optional<ZBCDTrailer> ZBCDTrailer::parse(zb::Bytes data, std::uint64_t offset) {
  if (!fits(data, offset, FixedLength)) return std::nullopt;
  std::uint64_t at = offset;
  ZBCDTrailer t;
  t.comment_.clear();
  t.magicNumber_ = zb::hostInt32OffsetBy(data, at);
  if (t.magicNumber_ != Signature) return std::nullopt;
  t.thisDiskNumber_ = zb::hostInt16OffsetBy(data, at);
  t.diskNumberWithStartOfCentralDirectory_ = zb::hostInt16OffsetBy(data, at);
  t.entriesOnThisDisk_ = zb::hostInt16OffsetBy(data, at);
  t.totalEntries_ = zb::hostInt16OffsetBy(data, at);
  t.sizeOfCentralDirectory_ = zb::hostInt32OffsetBy(data, at);
  t.offsetOfStartOfCentralDirectory_ = zb::hostInt32OffsetBy(data, at);
  t.commentLength_ = zb::hostInt16OffsetBy(data, at);
  if (!fits(data, at, t.commentLength_)) return std::nullopt;
  if (t.commentLength_ > 0) t.comment_ = zb::stringOffsetBy(data, at, t.commentLength_);
  return t;
}

std::optional<ZBCDTrailer> ZBCDTrailer::recordWithData(zb::Bytes data, std::uint64_t offset) {
  return parse(data, offset);
}

namespace {

// A record agrees with its position when the directory it names ends where it (or the Zip64 end
// record and locator before it) starts, or when it defers to Zip64 records.
bool agreesWithPosition(const ZBCDTrailer& t, std::uint64_t at) {
  if (t.offsetOfStartOfCentralDirectory() == Max32 || t.sizeOfCentralDirectory() == Max32) return true;
  std::uint64_t end = t.offsetOfStartOfCentralDirectory() + t.sizeOfCentralDirectory();
  return end == at || end + 56 + 20 == at;
}

// The longest distance from the end of the archive to the start of its end record.
constexpr std::uint64_t Tail = ZBCDTrailer::FixedLength + Max16;

}  // namespace

// A comment may hold bytes that look like an end record. Within the tail that the real record must
// lie in, the last record that agrees with its position wins; failing that, the last that fits.
std::optional<ZBCDTrailer> ZBCDTrailer::recordWithData(zb::Bytes data, std::uint64_t* foundAt) {
  if (data.size() < FixedLength) return std::nullopt;
  std::optional<ZBCDTrailer> fallback;
  std::uint64_t fallbackAt = 0;
  std::uint64_t tailStart = data.size() > Tail ? data.size() - Tail : 0;
  for (std::uint64_t at = data.size() - 4 + 1; at-- > 0;) {
    if (zb::detail::le32(data, at) != Signature) continue;
    std::optional<ZBCDTrailer> t = parse(data, at);
    if (!t) continue;
    if (at >= tailStart && agreesWithPosition(*t, at)) {
      if (foundAt) *foundAt = at;
      return t;
    }
    if (!fallback) {
      fallback = std::move(t);
      fallbackAt = at;
    }
    if (at < tailStart) break;
  }
  if (fallback && foundAt) *foundAt = fallbackAt;
  return fallback;
}

std::optional<ZBCDTrailer> ZBCDTrailer::recordWithArchivePath(const std::string& path,
                                                              std::uint64_t* foundAt) {
  zb::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  return recordWithFileDescriptor(fd.get(), foundAt);
}

std::optional<ZBCDTrailer> ZBCDTrailer::recordWithFileDescriptor(int fd, std::uint64_t* foundAt) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(FixedLength)) return std::nullopt;
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  std::uint64_t tailStart = size > Tail ? size - Tail : 0;
  // Search backwards window by window; each window overlaps the next by a whole record with the
  // longest comment, so a record is always seen complete in some window.
  constexpr std::uint64_t Window = 1 << 20;
  std::uint64_t end = size;
  Data window;
  for (;;) {
    std::uint64_t start = end > Window ? end - Window : 0;
    std::uint64_t readEnd = std::min(size, end + Tail);
    window.resize(readEnd - start);
    if (zb::readFully(fd, window.data(), window.size(), start) != static_cast<std::int64_t>(window.size()))
      return std::nullopt;
    // Candidates lie in [start, end - 4]; a record found parses inside the window.
    std::optional<ZBCDTrailer> fallback;
    std::uint64_t fallbackAt = 0;
    for (std::uint64_t at = end - start - 4 + 1; at-- > 0;) {
      if (zb::detail::le32(window, at) != Signature) continue;
      std::optional<ZBCDTrailer> t = parse(window, at);
      if (!t) continue;
      if (start + at >= tailStart && agreesWithPosition(*t, start + at)) {
        if (foundAt) *foundAt = start + at;
        return t;
      }
      if (!fallback) {
        fallback = std::move(t);
        fallbackAt = start + at;
      }
      if (start + at < tailStart) break;
    }
    if (fallback) {
      if (foundAt) *foundAt = fallbackAt;
      return fallback;
    }
    if (start == 0) return std::nullopt;
    end = start + 3;
  }
}

void ZBCDTrailer::setComment(std::string comment) {
  comment_ = std::move(comment);
  if (commentLength_ == 0) commentLength_ = static_cast<std::uint32_t>(zb::precomposedUTF8Length(comment_));
}

bool ZBCDTrailer::useZip64Extensions() const {
  return zb::detail::needsZip64(sizeOfCentralDirectory_) ||
         zb::detail::needsZip64(offsetOfStartOfCentralDirectory_) || entriesOnThisDisk_ >= Max16 ||
         totalEntries_ >= Max16;
}

Data ZBCDTrailer::data() const {
  bool zip64 = useZip64Extensions();
  std::string comment = zb::precomposedUTF8String(comment_);
  if (comment.size() > Max16) comment.resize(Max16);
  auto count16 = [](std::uint64_t n) { return static_cast<std::uint16_t>(n >= Max16 ? Max16 : n); };
  Data out;
  zb::appendLittleInt32(out, magicNumber_);
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(thisDiskNumber_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(diskNumberWithStartOfCentralDirectory_));
  zb::appendLittleInt16(out, count16(entriesOnThisDisk_));
  zb::appendLittleInt16(out, count16(totalEntries_));
  std::uint32_t sentinel = static_cast<std::uint32_t>(Max32);
  zb::appendLittleInt32(out, zip64 ? sentinel : static_cast<std::uint32_t>(sizeOfCentralDirectory_));
  zb::appendLittleInt32(out, zip64 ? sentinel : static_cast<std::uint32_t>(offsetOfStartOfCentralDirectory_));
  zb::appendLittleInt16(out, static_cast<std::uint16_t>(comment.size()));
  out.insert(out.end(), comment.begin(), comment.end());
  return out;
}

std::uint64_t ZBCDTrailer::length() const {
  return FixedLength + std::min<std::uint64_t>(zb::precomposedUTF8Length(comment_), Max16);
}

std::string ZBCDTrailer::description() const {
  return std::to_string(totalEntries_) + " entries (" + std::to_string(sizeOfCentralDirectory_) +
         " bytes) @: " + std::to_string(offsetOfStartOfCentralDirectory_);
}

}  // namespace kavro
