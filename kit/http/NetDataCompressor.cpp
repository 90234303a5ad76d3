#include "kit/http/NetDataCompressor.h"

#include <algorithm>

#include "kit/http/NetDataCodecFile.h"
#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/Format.h"

namespace kavro {

using netcodec::MinimumGrowth;

std::unique_ptr<NetDataCompressor> NetDataCompressor::compressor() {
  auto c = std::unique_ptr<NetDataCompressor>(new NetDataCompressor());
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
  return netcodec::transformFile(
      "Compression", sourcePath, destinationPath, error, [] { return NetDataCompressor::compressor(); },
      [] { return deflateErrorWithCode(Z_MEM_ERROR); },
      [](NetDataCompressor& c, const std::uint8_t* bytes, std::size_t n, bool last, platform::Error* e) {
        return c.compressBytes(bytes, n, e, last);
      });
}

}  // namespace kavro
