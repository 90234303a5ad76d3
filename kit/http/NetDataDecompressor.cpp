#include "kit/http/NetDataDecompressor.h"

#include <algorithm>

#include "kit/http/NetDataCodecFile.h"
#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/Format.h"

namespace kavro {

using netcodec::MinimumGrowth;

std::unique_ptr<NetDataDecompressor> NetDataDecompressor::decompressor() {
  auto d = std::unique_ptr<NetDataDecompressor>(new NetDataDecompressor());
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
  // A small piece may inflate to a great deal: grow no further than the limit allows.
  std::uint64_t room = outputLimit_ > zStream_.total_out ? outputLimit_ - zStream_.total_out : 0;
  zStream_.next_in = const_cast<Bytef*>(bytes);
  zStream_.avail_in = static_cast<uInt>(length);
  uLong start = zStream_.total_out;
  // Also when the input is used up but the output filled the buffer: zlib may hold more.
  for (;;) {
    std::size_t produced = zStream_.total_out - start;
    if (produced > room) {
      if (error) *error = responseTooLargeError(outputLimit_);
      return std::nullopt;
    }
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
  if (zStream_.total_out - start > room) {
    if (error) *error = responseTooLargeError(outputLimit_);
    return std::nullopt;
  }
  out.resize(zStream_.total_out - start);
  return out;
}

std::optional<platform::Data> NetDataDecompressor::uncompressData(const platform::Data& data,
                                                                  platform::Error* error,
                                                                  std::uint64_t outputLimit) {
  auto d = decompressor();
  if (!d) {
    if (error) *error = inflateErrorWithCode(Z_MEM_ERROR);
    return std::nullopt;
  }
  d->setOutputLimit(outputLimit);
  platform::Error e;
  auto out = d->uncompressBytes(data.data(), data.size(), &e);
  if (!out && !data.empty() && error) *error = e;
  return out;
}

bool NetDataDecompressor::uncompressDataFromFile(std::string_view sourcePath,
                                                 std::string_view destinationPath, platform::Error* error,
                                                 std::uint64_t outputLimit) {
  return netcodec::transformFile(
      "Decompression", sourcePath, destinationPath, error,
      [outputLimit] {
        auto d = NetDataDecompressor::decompressor();
        if (d) d->setOutputLimit(outputLimit);
        return d;
      },
      [] { return inflateErrorWithCode(Z_MEM_ERROR); },
      [](NetDataDecompressor& c, const std::uint8_t* bytes, std::size_t n, bool /*last*/,
         platform::Error* e) { return c.uncompressBytes(bytes, n, e); });
}

}  // namespace kavro
