#pragma once
// Internal to the request engine's compressor and decompressor: what their file-to-file paths share.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"

namespace kavro::netcodec {

inline constexpr std::size_t FileChunk = 262144;
// Output grows by half the input, but never by less than this (a one-byte piece would not grow).
inline constexpr std::size_t MinimumGrowth = 64;

inline platform::Error fileError(std::string message,
                                 std::shared_ptr<const platform::Error> underlying = nullptr) {
  return makeNetError(NetCompressionError, std::move(message), std::move(underlying));
}

inline std::shared_ptr<const platform::Error> errnoError(int e) {
  return std::make_shared<const platform::Error>(
      platform::Error{platform::POSIXErrorDomain, e, std::strerror(e), nullptr, nullptr});
}

// Runs the file at sourcePath through a fresh coder into destinationPath, a chunk at a time.
// `verb` opens every message ("Compression", "Decompression"). `makeCoder()` returns the coder
// (nullptr: `setupFailure` is reported); `code(coder, bytes, n, last, &error)` turns one chunk into
// output, `last` set on the file's final chunk.
template <class MakeCoder, class SetupFailure, class Code>
bool transformFile(std::string_view verb, std::string_view sourcePath, std::string_view destinationPath,
                   platform::Error* error, MakeCoder makeCoder, SetupFailure setupFailure, Code code) {
  std::string src(sourcePath), dst(destinationPath), v(verb);
  auto fail = [&](platform::Error e) {
    if (error) *error = std::move(e);
    return false;
  };
  if (!platform::FileManager::createFileAtPath(dst, {}))
    return fail(
        fileError(platform::format("%@ of %@ failed because we were to create a file at %@", v, src, dst)));
  if (!platform::FileManager::fileExistsAtPath(src))
    return fail(fileError(platform::format("%@ of %@ failed the file does not exist", v, src)));
  auto coder = makeCoder();
  if (!coder) return fail(setupFailure());
  std::FILE* in = std::fopen(src.c_str(), "rb");
  std::FILE* out = std::fopen(dst.c_str(), "wb");
  auto closeAll = [&] {
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    in = out = nullptr;
  };
  std::string readFailure =
      platform::format("%@ of %@ failed because we were unable to read from the source data file", v, src);
  std::string writeFailure = platform::format(
      "%@ of %@ failed because we were unable to write to the destination data file at %@", v, src, dst);
  if (!in || !out) {
    int e = errno;
    closeAll();
    return fail(fileError(!in ? readFailure : writeFailure, errnoError(e)));
  }
  std::vector<std::uint8_t> buffer(FileChunk);
  while (coder->streamReady()) {
    std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0 && std::ferror(in)) {
      int e = errno;
      closeAll();
      coder->closeStream();
      return fail(fileError(readFailure, errnoError(e)));
    }
    if (n == 0) break;
    // Known before coding, so a compressor can finish its stream also when the file is a multiple
    // of the chunk.
    int next = std::fgetc(in);
    bool last = next == EOF;
    if (!last) std::ungetc(next, in);
    platform::Error e;
    std::optional<platform::Data> piece = code(*coder, buffer.data(), n, last, &e);
    if (!piece) {
      closeAll();
      coder->closeStream();
      return fail(e);
    }
    if (!piece->empty() && std::fwrite(piece->data(), 1, piece->size(), out) != piece->size()) {
      int err = errno;
      closeAll();
      coder->closeStream();
      return fail(fileError(writeFailure, errnoError(err)));
    }
    if (last) break;
  }
  bool flushed = std::fflush(out) == 0;
  closeAll();
  if (auto e = coder->closeStream()) return fail(*e);
  if (!flushed) return fail(fileError(writeFailure));
  return true;
}

}  // namespace kavro::netcodec
