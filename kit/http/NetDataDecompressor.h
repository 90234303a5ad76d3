#pragma once
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace kavro {

// Inflates gzip (or zlib) response bodies: piece by piece as they arrive, all at once, or a
// whole file into another. Errors are code 11 of the request engine's domain. Any thread, one at
// a time.
class NetDataDecompressor {
 public:
  // A decompressor whose stream is set up; nullptr when zlib cannot set one up.
  static std::unique_ptr<NetDataDecompressor> decompressor();
  ~NetDataDecompressor();
  NetDataDecompressor(const NetDataDecompressor&) = delete;
  NetDataDecompressor& operator=(const NetDataDecompressor&) = delete;
  NetDataDecompressor& operator=(NetDataDecompressor&&) = delete;

  bool streamReady() const { return streamReady_; }
  // The most bytes the stream may inflate to, in all; past it uncompressBytes fails with code 12.
  void setOutputLimit(std::uint64_t limit) { outputLimit_ = limit; }
  std::optional<platform::Error> setupStream();
  std::optional<platform::Error> closeStream();

  // The inflated bytes of this piece; nullopt for an empty piece (no error) or a zlib failure
  // (*error set when given).
  std::optional<platform::Data> uncompressBytes(const std::uint8_t* bytes, std::size_t length,
                                                platform::Error* error);

  static std::optional<platform::Data> uncompressData(const platform::Data& data,
                                                      platform::Error* error = nullptr,
                                                      std::uint64_t outputLimit = UINT64_MAX);
  static bool uncompressDataFromFile(std::string_view sourcePath, std::string_view destinationPath,
                                     platform::Error* error = nullptr,
                                     std::uint64_t outputLimit = UINT64_MAX);
  static platform::Error inflateErrorWithCode(int code);

 private:
  // Made only by the factory, which sets up the stream.
  NetDataDecompressor() = default;
  z_stream zStream_{};
  bool streamReady_ = false;
  std::uint64_t outputLimit_ = UINT64_MAX;
};

}  // namespace kavro
