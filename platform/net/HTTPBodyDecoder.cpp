#include "platform/net/HTTPBodyDecoder.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

std::string_view trimField(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Digits only, no sign, no overflow.
std::optional<std::uint64_t> parseLength(std::string_view s) {
  s = trimField(s);
  if (s.empty() || s.size() > 18) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return v;
}

}  // namespace

HTTPBodyDecoder HTTPBodyDecoder::forResponse(const HTTPMessage& response, std::string_view requestMethod) {
  int status = response.statusCode();
  if (HTTPMessage::equalsIgnoringCase(requestMethod, "HEAD") || (status >= 100 && status < 200) ||
      status == 204 || status == 304 ||
      (HTTPMessage::equalsIgnoringCase(requestMethod, "CONNECT") && status >= 200 && status < 300))
    return HTTPBodyDecoder(Framing::None);
  if (auto te = response.headerField("Transfer-Encoding")) {
    // Chunked must be the last coding; anything else runs until the peer closes.
    std::string_view codings = *te;
    std::size_t comma = codings.rfind(',');
    std::string_view last = trimField(comma == std::string_view::npos ? codings : codings.substr(comma + 1));
    if (HTTPMessage::equalsIgnoringCase(last, "chunked")) return HTTPBodyDecoder(Framing::Chunked);
    return HTTPBodyDecoder(Framing::UntilClose);
  }
  if (auto cl = response.headerField("Content-Length")) {
    // Repeated fields arrive joined with ", "; they must all agree.
    std::optional<std::uint64_t> length;
    std::string_view rest = *cl;
    bool valid = true;
    while (valid) {
      std::size_t comma = rest.find(',');
      auto v = parseLength(rest.substr(0, comma));
      if (!v || (length && *length != *v)) valid = false;
      length = v;
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    if (!valid) {
      HTTPBodyDecoder failed(Framing::Length);
      failed.fail("The response's Content-Length is invalid");
      return failed;
    }
    return HTTPBodyDecoder(Framing::Length, *length);
  }
  return HTTPBodyDecoder(Framing::UntilClose);
}

HTTPBodyDecoder::HTTPBodyDecoder(Framing framing, std::uint64_t length)
    : framing_(framing), remaining_(framing == Framing::Length ? length : 0), declared_(length) {
  if (framing == Framing::None || (framing == Framing::Length && length == 0)) complete_ = true;
}

std::optional<std::uint64_t> HTTPBodyDecoder::expectedLength() const {
  if (framing_ == Framing::Length) return declared_;
  if (framing_ == Framing::None) return 0;
  return std::nullopt;
}

void HTTPBodyDecoder::fail(std::string message) {
  if (error_.empty()) error_ = std::move(message);
}

std::size_t HTTPBodyDecoder::decode(const std::uint8_t* bytes, std::size_t length, Data& out) {
  if (complete_ || hasFailed()) return 0;
  switch (framing_) {
    case Framing::None:
      return 0;
    case Framing::UntilClose:
      out.insert(out.end(), bytes, bytes + length);
      bodyBytes_ += length;
      return length;
    case Framing::Length: {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, length));
      out.insert(out.end(), bytes, bytes + n);
      remaining_ -= n;
      bodyBytes_ += n;
      if (remaining_ == 0) complete_ = true;
      return n;
    }
    case Framing::Chunked:
      return decodeChunked(bytes, length, out);
  }
  return 0;
}

std::size_t HTTPBodyDecoder::decodeChunked(const std::uint8_t* bytes, std::size_t length, Data& out) {
  std::size_t i = 0;
  while (i < length && !complete_ && !hasFailed()) {
    switch (chunkState_) {
      case ChunkState::Size:
      case ChunkState::Trailer: {
        const std::uint8_t* nl = static_cast<const std::uint8_t*>(std::memchr(bytes + i, '\n', length - i));
        std::size_t take = nl ? static_cast<std::size_t>(nl - (bytes + i)) : length - i;
        std::size_t limit = chunkState_ == ChunkState::Size ? MaximumChunkLineSize : MaximumTrailerSize;
        // The trailer's limit counts its lines so far, this one's bytes in earlier pieces and its
        // line feed: the same bytes are refused however they are split.
        if (line_.size() + take > limit || (chunkState_ == ChunkState::Trailer &&
                                            trailerBytes_ + line_.size() + take + (nl ? 1 : 0) > limit)) {
          fail(chunkState_ == ChunkState::Size ? "A chunk-size line is too long"
                                               : "The chunked trailer is too long");
          return i;
        }
        line_.append(reinterpret_cast<const char*>(bytes + i), take);
        i += take;
        if (!nl) break;
        ++i;  // the line feed
        std::string_view line = line_;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (chunkState_ == ChunkState::Trailer) {
          trailerBytes_ += line_.size() + 1;
          if (line.empty()) complete_ = true;
          line_.clear();
          break;
        }
        // chunk-size [; extensions]
        std::string_view size = trimField(line.substr(0, line.find(';')));
        std::uint64_t v = 0;
        if (size.empty() || size.size() > 15) {
          fail("A chunk size is malformed");
          return i;
        }
        for (char c : size) {
          int d = (c >= '0' && c <= '9')   ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
          if (d < 0) {
            fail("A chunk size is malformed");
            return i;
          }
          v = v * 16 + static_cast<std::uint64_t>(d);
        }
        line_.clear();
        if (v == 0) {
          chunkState_ = ChunkState::Trailer;
        } else {
          remaining_ = v;
          chunkState_ = ChunkState::Data;
        }
        break;
      }
      case ChunkState::Data: {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, length - i));
        out.insert(out.end(), bytes + i, bytes + i + n);
        bodyBytes_ += n;
        remaining_ -= n;
        i += n;
        if (remaining_ == 0) chunkState_ = ChunkState::DataEnd;
        break;
      }
      case ChunkState::DataEnd: {
        // CRLF (or a bare LF) after the chunk's data.
        char c = static_cast<char>(bytes[i]);
        if (c == '\r' && line_.empty()) {
          line_ = "\r";
          ++i;
        } else if (c == '\n') {
          line_.clear();
          ++i;
          chunkState_ = ChunkState::Size;
        } else {
          fail("A chunk is not followed by a line end");
          return i;
        }
        break;
      }
    }
  }
  return i;
}

void HTTPBodyDecoder::peerClosed() {
  if (complete_ || hasFailed()) return;
  if (framing_ == Framing::UntilClose) {
    complete_ = true;
    return;
  }
  if (framing_ == Framing::Length)
    fail("The connection closed after " + std::to_string(bodyBytes_) + " of " + std::to_string(declared_) +
         " body bytes");
  else
    fail("The connection closed inside the chunked body");
}

}  // namespace platform
