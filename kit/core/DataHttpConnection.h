#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace platform {
class Timer;
class URLConnection;
}  // namespace platform

namespace kavro {

class DataHttpConnection;

// Told once how a connection ended: the whole body, or an error. Main thread only.
class DataHttpConnectionDelegate {
 public:
  virtual ~DataHttpConnectionDelegate() = default;
  virtual void connectionOnError(DataHttpConnection& connection, const platform::Error& error) = 0;
  virtual void connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) = 0;
  // Optional: the bytes received so far, after each piece of the body.
  virtual void connectionOnDownloadedSize(DataHttpConnection& connection, std::int64_t size) {}
};

// One HTTP exchange with the API server (or any absolute http/https URL): GET, or POST when a body
// is given, a 50 s time-out, no cookies, the client's user agent. It collects the whole body and
// reports exactly once to its delegate; an answer with status 400 or more is an error of domain
// "DataHttpConnection" whose code is the status. The caller owns the connection; dropping it, like
// stopLoading(), ends it without a callback. The delegate is held weakly. Main thread only.
class DataHttpConnection : public std::enable_shared_from_this<DataHttpConnection> {
 public:
  static constexpr double TimeoutInterval = 50.0;
  static constexpr std::string_view ErrorDomain = "DataHttpConnection";

  // An absolute http:// or https:// URL stays as it is. Anything else is a path under the API host
  // (platform::Environment::apiHostUrl()), below the "/api/" root unless it starts with "/", followed
  // by the common parameters partner, uuid, version and (when the client has one of 32 characters)
  // guid, their values escaped; a value the client lacks is sent empty. Nothing for text that does
  // not make a URL.
  static std::optional<platform::URL> buildFullURL(std::string_view url);

  // Started at once. No body: GET; a body (also an empty one): POST. userAgent defaults to
  // AppUtil::getUserAgent().
  static std::shared_ptr<DataHttpConnection> create(std::string_view url,
                                                    std::optional<platform::Data> postData,
                                                    std::weak_ptr<DataHttpConnectionDelegate> delegate,
                                                    std::optional<std::string> userAgent = std::nullopt);
  static std::shared_ptr<DataHttpConnection> GetUrl(std::string_view url,
                                                    std::weak_ptr<DataHttpConnectionDelegate> delegate,
                                                    std::optional<std::string> userAgent = std::nullopt) {
    return create(url, std::nullopt, std::move(delegate), std::move(userAgent));
  }
  static std::shared_ptr<DataHttpConnection> PostUrl(std::string_view url,
                                                     std::optional<platform::Data> postData,
                                                     std::weak_ptr<DataHttpConnectionDelegate> delegate,
                                                     std::optional<std::string> userAgent = std::nullopt) {
    return create(url, std::move(postData), std::move(delegate), std::move(userAgent));
  }

  ~DataHttpConnection();
  DataHttpConnection(const DataHttpConnection&) = delete;
  DataHttpConnection& operator=(const DataHttpConnection&) = delete;

  // Forgets the delegate, cancels the transfer and finishes without a callback.
  void stopLoading();
  // Every connection still on its way fails as cancelled (URLErrorCancelled), its delegate told as
  // of any failure: what a person sees of a request given up (the runner's Ctrl-C).
  static void cancelOpenConnections();

  // The text the caller gave: a relative path or an absolute URL.
  const std::string& requestURL() const { return requestURL_; }
  // The answer's "Content-Length"; 0 when it has none.
  std::int64_t contentTotalSize() const { return contentTotalSize_; }
  // The answer's status; 0 before it came.
  std::int32_t statusCode() const { return statusCode_; }
  bool isFinished() const { return finished_; }
  void setDelegate(std::weak_ptr<DataHttpConnectionDelegate> delegate) { delegate_ = std::move(delegate); }

 private:
  class Relay;
  friend class Relay;
  DataHttpConnection(std::string_view url, std::weak_ptr<DataHttpConnectionDelegate> delegate);
  void start(std::optional<platform::Data> postData, const std::string& userAgent);
  void onResponse(int statusCode, std::int64_t contentLength);
  void onData(const platform::Data& data);
  void report(const platform::Error* error);

  std::string requestURL_;
  std::weak_ptr<DataHttpConnectionDelegate> delegate_;
  std::shared_ptr<Relay> relay_;
  std::shared_ptr<platform::URLConnection> connection_;
  std::shared_ptr<platform::Timer> refusal_;  // reports a URL that could not be built
  platform::Data body_;
  std::int64_t contentTotalSize_ = 0;
  std::int32_t statusCode_ = 0;
  bool finished_ = false;
  bool indicatorRaised_ = false;
};

}  // namespace kavro
