#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/foundation/Data.h"

namespace platform {

// A source of bytes pulled by a reader (a request body). Reads do not block for long: a file
// or memory.
class InputStream {
 public:
  virtual ~InputStream() = default;
  virtual void open() {}
  virtual void close() {}
  // Up to maxLength bytes into buffer: the count, 0 at the end, -1 on an error.
  virtual std::ptrdiff_t read(std::uint8_t* buffer, std::size_t maxLength) = 0;
  // The number of bytes still to come, when known.
  virtual std::optional<std::uint64_t> length() const { return std::nullopt; }

  static std::shared_ptr<InputStream> withData(Data data);
};

}  // namespace platform
