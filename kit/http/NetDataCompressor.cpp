#include "kit/http/NetDataCompressor.h"

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
// Output grows by half the input, but never by less than this (a one-byte piece would not grow).
constexpr std::size_t MinimumGrowth = 64;

platform::Error fileError(std::string message, std::shared_ptr<const platform::Error> underlying = nullptr) {
  return makeNetError(NetCompressionError, std::move(message), std::move(underlying));
}

std::shared_ptr<const platform::Error> errnoError(int e) {
  return std::make_shared<const platform::Error>(
      platform::Error{platform::POSIXErrorDomain, e, std::strerror(e), nullptr, nullptr});
}

}  // namespace

std::unique_ptr<NetDataCompressor> NetDataCompressor::compressor() {
  auto c = std::make_unique<NetDataCompressor>();
  if (c->setupStream()) return nullptr;
  return c;
}

NetDataCompressor::~NetDataCompressor() {
  if (streamReady_) closeStream();
}

std::optional<platform::Error> NetDataCompressor::setupStream() {
  if (streamReady_) return std::nullopt;
  zStream_ = z_stream{};
  int status = deflateInit2(&zStream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
  if (status != Z_OK) return deflateErrorWithCode(status);
  streamReady_ = true;
  return std::nullopt;
}

std::optional<platform::Error> NetDataCompressor::closeStream() {
  if (!streamReady_) return std::nullopt;
  streamReady_ = false;
  int status = deflateEnd(&zStream_);
  if (status != Z_OK) return deflateErrorWithCode(status);
  return std::nullopt;
}

platform::Error NetDataCompressor::deflateErrorWithCode(int code) {
  return makeNetError(NetCompressionError, platform::format("Compression of data failed with code %d", code));
}

std::optional<platform::Data> NetDataCompressor::compressBytes(const std::uint8_t* bytes, std::size_t length,
                                                               platform::Error* error, bool shouldFinish) {
  if (length == 0) return std::nullopt;
  if (!streamReady_) {
    if (error) *error = deflateErrorWithCode(Z_STREAM_ERROR);
    return std::nullopt;
  }
  std::size_t step = std::max(length / 2, MinimumGrowth);
  platform::Data out(length / 2);
  zStream_.next_in = const_cast<Bytef*>(bytes);
  zStream_.avail_in = static_cast<uInt>(length);
  zStream_.avail_out = 0;
  uLong start = zStream_.total_out;
  while (zStream_.avail_out == 0) {
    std::size_t produced = zStream_.total_out - start;
    if (produced >= out.size()) out.resize(out.size() + step);
    zStream_.next_out = out.data() + produced;
    zStream_.avail_out = static_cast<uInt>(out.size() - produced);
    int status = deflate(&zStream_, shouldFinish ? Z_FINISH : Z_NO_FLUSH);
    if (status == Z_STREAM_END) break;
    if (status != Z_OK) {
      if (error) *error = deflateErrorWithCode(status);
      return std::nullopt;
    }
  }
  out.resize(zStream_.total_out - start);
  return out;
}

std::optional<platform::Data> NetDataCompressor::compressData(const platform::Data& data,
                                                              platform::Error* error) {
  auto c = compressor();
  if (!c) {
    if (error) *error = deflateErrorWithCode(Z_MEM_ERROR);
    return std::nullopt;
  }
  platform::Error e;
  auto out = c->compressBytes(data.data(), data.size(), &e, true);
  if (!out && !data.empty() && error) *error = e;
  return out;
}

bool NetDataCompressor::compressDataFromFile(std::string_view sourcePath, std::string_view destinationPath,
                                             platform::Error* error) {
  std::string src(sourcePath), dst(destinationPath);
  auto fail = [&](platform::Error e) {
    if (error) *error = std::move(e);
    return false;
  };
  if (!platform::FileManager::createFileAtPath(dst, {}))
    return fail(fileError(
        platform::format("Compression of %@ failed because we were to create a file at %@", src, dst)));
  if (!platform::FileManager::fileExistsAtPath(src))
    return fail(fileError(platform::format("Compression of %@ failed the file does not exist", src)));
  auto compressor = NetDataCompressor::compressor();
  if (!compressor) return fail(deflateErrorWithCode(Z_MEM_ERROR));
  std::FILE* in = std::fopen(src.c_str(), "rb");
  std::FILE* out = std::fopen(dst.c_str(), "wb");
  auto closeAll = [&] {
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    in = out = nullptr;
  };
  if (!in) {
    int e = errno;
    closeAll();
    return fail(fileError(
        platform::format("Compression of %@ failed because we were unable to read from the source data file",
                         src),
        errnoError(e)));
  }
  if (!out) {
    int e = errno;
    closeAll();
    return fail(fileError(
        platform::format(
            "Compression of %@ failed because we were unable to write to the destination data file at %@",
            src, dst),
        errnoError(e)));
  }
  std::vector<std::uint8_t> buffer(FileChunk);
  while (compressor->streamReady()) {
    std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0 && std::ferror(in)) {
      int e = errno;
      closeAll();
      compressor->closeStream();
      return fail(fileError(
          platform::format(
              "Compression of %@ failed because we were unable to read from the source data file", src),
          errnoError(e)));
    }
    if (n == 0) break;
    // The last piece finishes the gzip member, also when the file is a multiple of the chunk.
    int next = std::fgetc(in);
    bool last = next == EOF;
    if (!last) std::ungetc(next, in);
    platform::Error e;
    auto piece = compressor->compressBytes(buffer.data(), n, &e, last);
    if (!piece) {
      closeAll();
      compressor->closeStream();
      return fail(e);
    }
    if (!piece->empty() && std::fwrite(piece->data(), 1, piece->size(), out) != piece->size()) {
      int err = errno;
      closeAll();
      compressor->closeStream();
      return fail(fileError(
          platform::format(
              "Compression of %@ failed because we were unable to write to the destination data file at %@",
              src, dst),
          errnoError(err)));
    }
    if (last) break;
  }
  bool flushed = std::fflush(out) == 0;
  closeAll();
  if (auto e = compressor->closeStream()) return fail(*e);
  if (!flushed)
    return fail(fileError(platform::format(
        "Compression of %@ failed because we were unable to write to the destination data file at %@", src,
        dst)));
  return true;
}

}  // namespace kavro
