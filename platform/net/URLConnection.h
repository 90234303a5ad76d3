#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

namespace platform {

class URLConnection;
class HTTPReadStream;

// Hears how a URL connection goes: didReceiveResponse once (for the final answer, after any
// redirects), didReceiveData for each piece of the body as it arrives, then exactly one of
// didFinishLoading and didFailWithError. Nothing after cancel().
class URLConnectionDelegate {
 public:
  virtual ~URLConnectionDelegate() = default;
  virtual void didReceiveResponse(URLConnection& connection, const HTTPURLResponse& response) = 0;
  virtual void didReceiveData(URLConnection& connection, const Data& data) = 0;
  virtual void didFinishLoading(URLConnection& connection) = 0;
  virtual void didFailWithError(URLConnection& connection, const Error& error) = 0;
};

// One HTTP or HTTPS request on a run loop, with redirects followed. Connections are kept alive
// and shared between URL connections. Answers of any status are delivered (a 404 is a response,
// not an error); 401 and 407 challenges are not answered. Redirects (301, 302, 303, 307, 308 with
// a "Location") to http and https are followed up to MaximumRedirects; 301, 302 and 303 turn a
// POST into a GET without body. A request with a body or credentials is not redirected from https
// to http: it fails with URLErrorUnsupportedURL. A connection found dead in the pool is retried once on a new
// one. Errors are in URLErrorDomain. For the loop's thread; the delegate is held weakly, and a connection
// whose delegate is gone cancels itself.
class URLConnection : public std::enable_shared_from_this<URLConnection> {
 public:
  static constexpr int MaximumRedirects = 16;
  // Shared by every URL connection's streams.
  static constexpr std::string_view ConnectionIdentity = "URLConnection";

  static std::shared_ptr<URLConnection> create(URLRequest request,
                                               std::weak_ptr<URLConnectionDelegate> delegate,
                                               RunLoop& loop = RunLoop::main(), bool startImmediately = true);
  ~URLConnection();
  URLConnection(const URLConnection&) = delete;
  URLConnection& operator=(const URLConnection&) = delete;

  void start();
  // No callback after this, also when called from inside one.
  void cancel();

  const URLRequest& originalRequest() const { return original_; }
  // The request now under way (after redirects).
  const URLRequest& currentRequest() const { return current_; }

 private:
  URLConnection(URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate, RunLoop& loop);
  void openStream();
  void onStreamEvent(HTTPReadStream& stream, unsigned event);
  void handleResponseHeader();
  void finish(std::optional<Error> error);
  void armTimeout();
  void onTimeout();
  void dropStream();
  std::shared_ptr<URLConnectionDelegate> delegateOrCancel();

  URLRequest original_;
  URLRequest current_;
  std::weak_ptr<URLConnectionDelegate> delegate_;
  RunLoop& loop_;
  std::shared_ptr<HTTPReadStream> stream_;
  std::shared_ptr<Timer> timer_;
  double lastActivity_ = 0;
  std::uint64_t lastBytesWritten_ = 0;
  int redirects_ = 0;
  bool retried_ = false;
  bool started_ = false;
  bool done_ = false;  // finished, failed or cancelled: silent from now on
  // Until done: a virtual clock waits for the peer's answer.
  std::optional<RunLoop::OutsideWork> awaitingPeer_;
  bool responseSent_ = false;
  bool redirecting_ = false;  // draining a redirect's body
  std::optional<URL> redirectTo_;
};

}  // namespace platform
