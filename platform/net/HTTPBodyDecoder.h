#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/net/HTTPMessage.h"

namespace platform {

// Takes a response body off the wire by its framing: a "Content-Length", chunked transfer coding
// (trailer fields are read and dropped), or everything until the peer closes. It undoes no
// content coding. Bytes beyond the end of the body are left untaken.
class HTTPBodyDecoder {
 public:
  enum class Framing { None, Length, Chunked, UntilClose };

  // The framing of response to a request with requestMethod: none for HEAD, 1xx, 204 and 304,
  // and for a 2xx answer to CONNECT. An invalid or conflicting "Content-Length" gives a decoder
  // that has failed.
  static HTTPBodyDecoder forResponse(const HTTPMessage& response, std::string_view requestMethod);
  explicit HTTPBodyDecoder(Framing framing, std::uint64_t length = 0);

  Framing framing() const { return framing_; }
  // The declared length (Length framing only).
  std::optional<std::uint64_t> expectedLength() const;

  // Appends body bytes to out; answers how many input bytes it took (fewer than given once the
  // body is complete). Takes nothing after a failure.
  std::size_t decode(const std::uint8_t* bytes, std::size_t length, Data& out);
  // The peer closed: completes an UntilClose body; any other unfinished body fails.
  void peerClosed();

  bool isComplete() const { return complete_; }
  bool hasFailed() const { return !error_.empty(); }
  const std::string& errorMessage() const { return error_; }
  std::uint64_t bodyBytes() const { return bodyBytes_; }

  static constexpr std::size_t MaximumChunkLineSize = 4096;
  static constexpr std::size_t MaximumTrailerSize = 64 * 1024;

 private:
  enum class ChunkState { Size, Data, DataEnd, Trailer };
  std::size_t decodeChunked(const std::uint8_t* bytes, std::size_t length, Data& out);
  void fail(std::string message);

  Framing framing_;
  std::uint64_t remaining_ = 0;  // Length: bytes still due; Chunked: bytes left in this chunk
  std::uint64_t declared_ = 0;
  std::uint64_t bodyBytes_ = 0;
  ChunkState chunkState_ = ChunkState::Size;
  std::string line_;  // the chunk-size or trailer line being read
  std::size_t trailerBytes_ = 0;
  bool complete_ = false;
  std::string error_;
};

}  // namespace platform
