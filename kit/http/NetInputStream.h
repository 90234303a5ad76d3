#pragma once
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/net/InputStream.h"

namespace kavro {

class NetHTTPRequest;

// The body stream of a request: stands in front of a stream over bytes or a file, counts every
// byte read for the upload against the shared bandwidth budget and, while bandwidth is
// throttled, hands out at most the current second's upload allowance per read. Read on the
// request's thread.
class NetInputStream : public platform::InputStream {
 public:
  static std::shared_ptr<NetInputStream> inputStreamWithData(platform::Data data,
                                                             std::weak_ptr<NetHTTPRequest> request);
  // nullptr when the file cannot be opened.
  static std::shared_ptr<NetInputStream> inputStreamWithFileAtPath(std::string_view path,
                                                                   std::weak_ptr<NetHTTPRequest> request);

  void open() override { stream_->open(); }
  void close() override { stream_->close(); }
  std::ptrdiff_t read(std::uint8_t* buffer, std::size_t maxLength) override;
  std::optional<std::uint64_t> length() const override { return stream_->length(); }

  const std::shared_ptr<platform::InputStream>& stream() const { return stream_; }
  void setStream(std::shared_ptr<platform::InputStream> stream) { stream_ = std::move(stream); }
  std::shared_ptr<NetHTTPRequest> request() const { return request_.lock(); }
  void setRequest(std::weak_ptr<NetHTTPRequest> request) { request_ = std::move(request); }

  // The number of bytes a read asks the wrapped stream for: maxLength, or the upload allowance
  // while throttled (1 when it is spent). Holds the class-wide upload read lock.
  static std::size_t readLengthFor(std::size_t maxLength);

 private:
  NetInputStream(std::shared_ptr<platform::InputStream> stream, std::weak_ptr<NetHTTPRequest> request);

  std::shared_ptr<platform::InputStream> stream_;
  std::weak_ptr<NetHTTPRequest> request_;
};

}  // namespace kavro
