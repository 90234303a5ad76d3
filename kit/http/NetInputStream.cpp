#include "kit/http/NetInputStream.h"

#include <cstdio>

#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

namespace {

// One upload reads its allowance at a time, so that two uploads do not both take the same second's
// bandwidth. The figures it reads are under the request engine's own locks: it guards no field.
platform::Mutex uploadReadLock;

class FileInputStream : public platform::InputStream {
 public:
  FileInputStream(std::FILE* file, std::uint64_t size) : file_(file), remaining_(size) {}
  ~FileInputStream() override { close(); }
  void close() override {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }
  std::ptrdiff_t read(std::uint8_t* buffer, std::size_t maxLength) override {
    if (!file_) return -1;
    std::size_t n = std::fread(buffer, 1, maxLength, file_);
    if (n == 0 && std::ferror(file_)) return -1;
    remaining_ -= std::min<std::uint64_t>(remaining_, n);
    return static_cast<std::ptrdiff_t>(n);
  }
  std::optional<std::uint64_t> length() const override { return remaining_; }

 private:
  std::FILE* file_;
  std::uint64_t remaining_;
};

}  // namespace

std::shared_ptr<NetInputStream> NetInputStream::inputStreamWithData(platform::Data data,
                                                                    std::weak_ptr<NetHTTPRequest> request) {
  return std::shared_ptr<NetInputStream>(
      new NetInputStream(platform::InputStream::withData(std::move(data)), std::move(request)));
}

std::shared_ptr<NetInputStream> NetInputStream::inputStreamWithFileAtPath(
    std::string_view path, std::weak_ptr<NetHTTPRequest> request) {
  std::string p(path);
  std::FILE* file = std::fopen(p.c_str(), "rb");
  if (!file) return nullptr;
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  return std::shared_ptr<NetInputStream>(new NetInputStream(
      std::make_shared<FileInputStream>(file, size < 0 ? 0 : static_cast<std::uint64_t>(size)),
      std::move(request)));
}

NetInputStream::NetInputStream(std::shared_ptr<platform::InputStream> stream,
                               std::weak_ptr<NetHTTPRequest> request)
    : stream_(std::move(stream)), request_(std::move(request)) {}

std::size_t NetInputStream::readLengthFor(std::size_t maxLength) {
  if (!NetHTTPRequest::isBandwidthThrottled()) return maxLength;
  unsigned long allowance = NetHTTPRequest::maxUploadReadLength();
  if (allowance == 0) return 1;
  return allowance > maxLength ? maxLength : static_cast<std::size_t>(allowance);
}

std::ptrdiff_t NetInputStream::read(std::uint8_t* buffer, std::size_t maxLength) {
  std::size_t amount;
  {
    platform::MutexLock lock(uploadReadLock);
    amount = readLengthFor(maxLength);
    if (auto request = request_.lock()) request->performThrottling();
  }
  std::ptrdiff_t n = stream_->read(buffer, amount);
  if (n > 0) NetHTTPRequest::incrementBandwidthUsedInLastSecond(static_cast<unsigned long>(n));
  return n;
}

}  // namespace kavro
