#pragma once
#include <zlib.h>

#include <string>

// Text gzipped as a server would send it.
inline std::string gzipText(std::string text, int level = Z_BEST_SPEED) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::string out(compressBound(static_cast<uLong>(text.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(text.data());
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}
