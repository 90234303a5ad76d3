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

// Gzips request bodies: in memory piece by piece, or a whole file into another. Errors are code 11
// of the request engine's domain. One object per body; any thread, one at a time.
class NetDataCompressor {
 public:
  // A compressor whose stream is set up; nullptr when zlib cannot set one up. zlib's stream
  // refers to itself, so the object never moves.
  static std::unique_ptr<NetDataCompressor> compressor();
  ~NetDataCompressor();
  NetDataCompressor(const NetDataCompressor&) = delete;
  NetDataCompressor& operator=(const NetDataCompressor&) = delete;
  NetDataCompressor& operator=(NetDataCompressor&&) = delete;

  bool streamReady() const { return streamReady_; }
  // nullopt on success.
  std::optional<platform::Error> setupStream();
  std::optional<platform::Error> closeStream();

  // The compressed bytes of this piece (all of them once finish is set); nullopt for an empty
  // piece (no error) or a zlib failure (*error set when given).
  std::optional<platform::Data> compressBytes(const std::uint8_t* bytes, std::size_t length,
                                              platform::Error* error, bool shouldFinish);

  static std::optional<platform::Data> compressData(const platform::Data& data,
                                                    platform::Error* error = nullptr);
  static bool compressDataFromFile(std::string_view sourcePath, std::string_view destinationPath,
                                   platform::Error* error = nullptr);
  static platform::Error deflateErrorWithCode(int code);

 private:
  // Made only by the factory, which sets up the stream.
  NetDataCompressor() = default;
  z_stream zStream_{};
  bool streamReady_ = false;
};

}  // namespace kavro
