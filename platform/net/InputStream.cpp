#include "platform/net/InputStream.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

class DataInputStream : public InputStream {
 public:
  explicit DataInputStream(Data data) : data_(std::move(data)) {}
  std::ptrdiff_t read(std::uint8_t* buffer, std::size_t maxLength) override {
    std::size_t n = std::min(maxLength, data_.size() - offset_);
    if (n) std::memcpy(buffer, data_.data() + offset_, n);
    offset_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  std::optional<std::uint64_t> length() const override { return data_.size() - offset_; }

 private:
  Data data_;
  std::size_t offset_ = 0;
};

}  // namespace

std::shared_ptr<InputStream> InputStream::withData(Data data) {
  return std::make_shared<DataInputStream>(std::move(data));
}

}  // namespace platform
