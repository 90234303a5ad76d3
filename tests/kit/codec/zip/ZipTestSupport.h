#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "kit/codec/zip/ZBAdditions.h"
#include "platform/foundation/Data.h"

// Tests describe entries with designated initializers and leave the rest to the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kavro::test {

// Writes zip archives field by field, so that tests can make them lie.
class ZipBuilder {
 public:
  struct Entry {
    std::string name;
    platform::Data content;
    std::uint32_t method = 8;
    std::uint32_t externalAttributes = 0x81A40000;  // regular file, 0644
    std::uint32_t versionMadeBy = 0x0314;
    std::optional<std::uint32_t> crc;               // else the content's
    std::optional<std::uint64_t> uncompressedSize;  // else the content's length
    std::optional<std::uint64_t> compressedSize;    // else the stored bytes' length
    std::optional<std::uint64_t> localHeaderOffset;
    std::optional<platform::Data> stored;  // else the content, compressed by method
  };

  ZipBuilder& add(Entry e) {
    entries_.push_back(std::move(e));
    return *this;
  }
  ZipBuilder& add(std::string name, std::string content, std::uint32_t method = 8) {
    Entry e;
    e.name = std::move(name);
    e.content = platform::dataFromString(content);
    e.method = method;
    return add(std::move(e));
  }

  platform::Data build() const {
    platform::Data out, directory;
    for (const Entry& e : entries_) {
      platform::Data stored = e.stored ? *e.stored : e.method == 8 ? *zb::deflate(e.content) : e.content;
      std::uint32_t crc = e.crc ? *e.crc : zb::crc32(e.content);
      std::uint64_t usize = e.uncompressedSize ? *e.uncompressedSize : e.content.size();
      std::uint64_t csize = e.compressedSize ? *e.compressedSize : stored.size();
      std::uint64_t offset = out.size();
      zb::appendLittleInt32(out, 0x04034b50);
      zb::appendLittleInt16(out, 20);
      zb::appendLittleInt16(out, 0);
      zb::appendLittleInt16(out, static_cast<std::uint16_t>(e.method));
      zb::appendLittleInt32(out, 0x50210000);
      zb::appendLittleInt32(out, crc);
      zb::appendLittleInt32(out, static_cast<std::uint32_t>(csize));
      zb::appendLittleInt32(out, static_cast<std::uint32_t>(usize));
      zb::appendLittleInt16(out, static_cast<std::uint16_t>(e.name.size()));
      zb::appendLittleInt16(out, 0);
      out.insert(out.end(), e.name.begin(), e.name.end());
      out.insert(out.end(), stored.begin(), stored.end());

      zb::appendLittleInt32(directory, 0x02014b50);
      zb::appendLittleInt16(directory, static_cast<std::uint16_t>(e.versionMadeBy));
      zb::appendLittleInt16(directory, 20);
      zb::appendLittleInt16(directory, 0);
      zb::appendLittleInt16(directory, static_cast<std::uint16_t>(e.method));
      zb::appendLittleInt32(directory, 0x50210000);
      zb::appendLittleInt32(directory, crc);
      zb::appendLittleInt32(directory, static_cast<std::uint32_t>(csize));
      zb::appendLittleInt32(directory, static_cast<std::uint32_t>(usize));
      zb::appendLittleInt16(directory, static_cast<std::uint16_t>(e.name.size()));
      zb::appendLittleInt16(directory, 0);
      zb::appendLittleInt16(directory, 0);
      zb::appendLittleInt16(directory, 0);
      zb::appendLittleInt16(directory, 0);
      zb::appendLittleInt32(directory, e.externalAttributes);
      zb::appendLittleInt32(directory,
                            static_cast<std::uint32_t>(e.localHeaderOffset ? *e.localHeaderOffset : offset));
      directory.insert(directory.end(), e.name.begin(), e.name.end());
    }
    std::uint64_t cdOffset = out.size();
    out.insert(out.end(), directory.begin(), directory.end());
    zb::appendLittleInt32(out, 0x06054b50);
    zb::appendLittleInt16(out, 0);
    zb::appendLittleInt16(out, 0);
    zb::appendLittleInt16(out, static_cast<std::uint16_t>(entries_.size()));
    zb::appendLittleInt16(out, static_cast<std::uint16_t>(entries_.size()));
    zb::appendLittleInt32(out, static_cast<std::uint32_t>(directory.size()));
    zb::appendLittleInt32(out, static_cast<std::uint32_t>(cdOffset));
    zb::appendLittleInt16(out, 0);
    return out;
  }

 private:
  std::vector<Entry> entries_;
};

inline void writeFile(const std::string& path, const platform::Data& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
inline void writeFile(const std::string& path, const std::string& text) {
  writeFile(path, platform::dataFromString(text));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Runs a shell command quietly; its exit status.
inline int run(const std::string& command) {
  int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Text that compresses well but not trivially.
inline std::string sampleText(std::size_t bytes, unsigned seed = 1) {
  std::string s;
  s.reserve(bytes + 64);
  std::uint32_t x = seed;
  while (s.size() < bytes) {
    x = x * 1664525u + 1013904223u;
    s += "line " + std::to_string(x % 1000) + " of the sample, value " + std::to_string(x >> 20) + "\n";
  }
  s.resize(bytes);
  return s;
}

// Bytes that do not compress.
inline platform::Data noise(std::size_t bytes, std::uint32_t seed = 7) {
  platform::Data d(bytes);
  std::uint64_t x = seed;
  for (auto& b : d) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<std::uint8_t>(x);
  }
  return d;
}

}  // namespace kavro::test
