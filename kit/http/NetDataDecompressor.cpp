#include "kit/http/NetDataDecompressor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"

namespace kavro {

namespace {

constexpr std::size_t FileChunk = 262144;
constexpr std::size_t MinimumGrowth = 64;

platform::Error fileError(std::string message, std::shared_ptr<const platform::Error> underlying = nullptr) {
  return makeNetError(NetCompressionError, std::move(message), std::move(underlying));
}

std::shared_ptr<const platform::Error> errnoError(int e) {
  return std::make_shared<const platform::Error>(
      platform::Error{platform::POSIXErrorDomain, e, std::strerror(e), nullptr, nullptr});
}

}  // namespace

std::unique_ptr<NetDataDecompressor> NetDataDecompressor::decompressor() {
  auto d = std::make_unique<NetDataDecompressor>();
  if (d->setupStream()) return nullptr;
  return d;
}

NetDataDecompressor::~NetDataDecompressor() {
  if (streamReady_) closeStream();
}

std::optional<platform::Error> NetDataDecompressor::setupStream() {
  if (streamReady_) return std::nullopt;
  zStream_ = z_stream{};
  int status = inflateInit2(&zStream_, 47);
  if (status != Z_OK) return inflateErrorWithCode(status);
  streamReady_ = true;
  return std::nullopt;
}

std::optional<platform::Error> NetDataDecompressor::closeStream() {
  if (!streamReady_) return std::nullopt;
  streamReady_ = false;
  int status = inflateEnd(&zStream_);
  if (status != Z_OK) return inflateErrorWithCode(status);
  return std::nullopt;
}

platform::Error NetDataDecompressor::inflateErrorWithCode(int code) {
  return makeNetError(NetCompressionError,
                      platform::format("Decompression of data failed with code %d", code));
}

std::optional<platform::Data> NetDataDecompressor::uncompressBytes(const std::uint8_t* bytes,
                                                                   std::size_t length,
                                                                   platform::Error* error) {
  if (length == 0) return std::nullopt;
  if (!streamReady_) {
    if (error) *error = inflateErrorWithCode(Z_STREAM_ERROR);
    return std::nullopt;
  }
  std::size_t step = std::max(length / 2, MinimumGrowth);
  platform::Data out(length + length / 2);
  zStream_.next_in = const_cast<Bytef*>(bytes);
  zStream_.avail_in = static_cast<uInt>(length);
  uLong start = zStream_.total_out;
  // Also when the input is used up but the output filled the buffer: zlib may hold more.
  for (;;) {
    std::size_t produced = zStream_.total_out - start;
    if (produced >= out.size()) out.resize(out.size() + step);
    zStream_.next_out = out.data() + produced;
    zStream_.avail_out = static_cast<uInt>(out.size() - produced);
    bool hadInput = zStream_.avail_in > 0;
    int status = inflate(&zStream_, Z_NO_FLUSH);
    if (status == Z_STREAM_END) break;
    if (status == Z_BUF_ERROR && !hadInput) break;  // nothing more was pending
    if (status != Z_OK) {
      if (error) *error = inflateErrorWithCode(status);
      return std::nullopt;
    }
    if (zStream_.avail_in == 0 && zStream_.avail_out != 0) break;
  }
  out.resize(zStream_.total_out - start);
  return out;
}

std::optional<platform::Data> NetDataDecompressor::uncompressData(const platform::Data& data,
                                                                  platform::Error* error) {
  auto d = decompressor();
  if (!d) {
    if (error) *error = inflateErrorWithCode(Z_MEM_ERROR);
    return std::nullopt;
  }
  platform::Error e;
  auto out = d->uncompressBytes(data.data(), data.size(), &e);
  if (!out && !data.empty() && error) *error = e;
  return out;
}

bool NetDataDecompressor::uncompressDataFromFile(std::string_view sourcePath,
                                                 std::string_view destinationPath, platform::Error* error) {
  std::string src(sourcePath), dst(destinationPath);
  auto fail = [&](platform::Error e) {
    if (error) *error = std::move(e);
    return false;
  };
  if (!platform::FileManager::createFileAtPath(dst, {}))
    return fail(fileError(
        platform::format("Decompression of %@ failed because we were to create a file at %@", src, dst)));
  if (!platform::FileManager::fileExistsAtPath(src))
    return fail(fileError(platform::format("Decompression of %@ failed the file does not exist", src)));
  auto decompressor = NetDataDecompressor::decompressor();
  if (!decompressor) return fail(inflateErrorWithCode(Z_MEM_ERROR));
  std::FILE* in = std::fopen(src.c_str(), "rb");
  std::FILE* out = std::fopen(dst.c_str(), "wb");
  auto closeAll = [&] {
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    in = out = nullptr;
  };
  std::string readFailure = platform::format(
      "Decompression of %@ failed because we were unable to read from the source data file", src);
  std::string writeFailure = platform::format(
      "Decompression of %@ failed because we were unable to write to the destination data file at %@", src,
      dst);
  if (!in || !out) {
    int e = errno;
    closeAll();
    return fail(fileError(!in ? readFailure : writeFailure, errnoError(e)));
  }
  std::vector<std::uint8_t> buffer(FileChunk);
  while (decompressor->streamReady()) {
    std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0 && std::ferror(in)) {
      int e = errno;
      closeAll();
      decompressor->closeStream();
      return fail(fileError(readFailure, errnoError(e)));
    }
    if (n == 0) break;
    platform::Error e;
    auto piece = decompressor->uncompressBytes(buffer.data(), n, &e);
    if (!piece) {
      closeAll();
      decompressor->closeStream();
      return fail(e);
    }
    if (!piece->empty() && std::fwrite(piece->data(), 1, piece->size(), out) != piece->size()) {
      int err = errno;
      closeAll();
      decompressor->closeStream();
      return fail(fileError(writeFailure, errnoError(err)));
    }
  }
  bool flushed = std::fflush(out) == 0;
  closeAll();
  if (auto e = decompressor->closeStream()) return fail(*e);
  if (!flushed) return fail(fileError(writeFailure));
  return true;
}

}  // namespace kavro
