#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Bytes: what crosses files, sockets and digests.
using Data = std::vector<std::uint8_t>;

inline Data dataFromString(std::string_view s) { return Data(s.begin(), s.end()); }
inline std::string stringFromData(const Data& d) { return std::string(d.begin(), d.end()); }
inline std::string_view viewOfData(const Data& d) {
  return std::string_view(reinterpret_cast<const char*>(d.data()), d.size());
}

}  // namespace platform
