#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "demo/TestCertificates.h"

namespace kavro::test {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// A request as the server read it.
struct RecordedRequest {
  std::string method;
  std::string target;  // as written: "/a?b", an absolute URL (proxy), or "host:port" (CONNECT)
  std::string version;
  HeaderList headers;
  std::string body;                      // chunked bodies already decoded
  bool chunked = false;                  // the body came chunked
  std::size_t connection = 0;            // 1 for the first accepted connection, 2 for the next, ...
  std::string clientCertificateSubject;  // with TLS and a client certificate: its subject's CN
  std::string serverName;                // with TLS: the name the client sent (SNI)

  std::optional<std::string> header(std::string_view name) const;
};

// What the server does with one request.
struct ScriptedResponse {
  int status = 200;
  std::string reason;  // "" for a standard phrase
  std::string version = "HTTP/1.1";
  HeaderList headers;
  std::string body;
  // Chunked transfer coding when non-empty: chunk sizes in order, the last one repeating.
  std::vector<std::size_t> chunkSizes;
  HeaderList trailers;
  bool omitContentLength = false;  // no framing: the body runs until the server closes
  double delayBeforeResponse = 0;  // seconds of real time the server waits before answering
  double delayBetweenChunks = 0;
  std::optional<std::size_t> closeAfterBytes;  // close once this many response bytes are out
  bool keepAlive = true;                       // false: "Connection: close", then the server closes
  bool closeWithoutResponse = false;
  bool holdWithoutResponse = false;           // never answer (until the server stops)
  std::optional<std::string> raw;             // written exactly as it stands instead of a built response
  std::optional<std::uint16_t> tunnelToPort;  // CONNECT: answer 200 and relay to 127.0.0.1:port

  static ScriptedResponse ok(std::string body, HeaderList headers = {});
  static ScriptedResponse redirect(int status, std::string location);
  // 401 with "WWW-Authenticate" or 407 with "Proxy-Authenticate".
  static ScriptedResponse challenge(int status, std::string challenge);
};

// An HTTP/1.1 server on 127.0.0.1 with a kernel-chosen port, for tests. It runs its own threads
// (one per connection, joined as soon as its connection ends) and answers each request from the queue of
// scripted responses, else from the handler, else with 404. Optionally TLS (with a client-certificate
// request), and a CONNECT proxy through tunnelToPort. Every request is recorded.
class LoopbackHttpServer {
 public:
  using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;
  struct Options {
    std::optional<TestIdentity> tls;
    std::optional<std::string> clientCACertificatePEM;  // ask the client for a certificate of this CA
  };

  LoopbackHttpServer();
  explicit LoopbackHttpServer(Options options);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" (https with TLS) followed by path.
  std::string url(std::string_view path = "/") const;

  void setHandler(Handler handler);
  void enqueue(ScriptedResponse response);

  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount() const;
  // Connections accepted so far, ended ones included.
  std::size_t connectionCount() const;
  std::size_t tlsHandshakeFailures() const;

  // Closes every connection that waits for its next request, as a server ending idle keep-alive
  // connections does.
  void closeIdleConnections();
  void stop();

 private:
  struct Connection;
  void acceptLoop();
  void joinFinished();
  void serve(std::shared_ptr<Connection> connection);
  ScriptedResponse responseFor(const RecordedRequest& request);
  bool respond(Connection& c, const RecordedRequest& request, const ScriptedResponse& response);
  void relay(Connection& c, std::uint16_t port);

  Options options_;
  void* sslContext_ = nullptr;  // SSL_CTX
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::thread acceptThread_;

  mutable std::mutex mutex_;
  std::condition_variable idleChanged_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  Handler handler_;
  std::deque<ScriptedResponse> queue_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::shared_ptr<Connection>> connections_;  // the open ones
  std::size_t accepted_ = 0;
  // Threads whose connection has ended, to be joined by the accept loop or stop().
  std::vector<std::thread> finished_;
  std::size_t tlsFailures_ = 0;
};

}  // namespace kavro::test
