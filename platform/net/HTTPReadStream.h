#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPBodyDecoder.h"
#include "platform/net/HTTPMessage.h"
#include "platform/net/HostResolver.h"
#include "platform/net/InputStream.h"
#include "platform/net/ProxySettings.h"
#include "platform/net/TLSSettings.h"

namespace platform {

class HTTPConnection;

// One HTTP request and its response, read as a stream. It sends the request (with its body from
// bytes, or pulled from an input stream: "Content-Length" when the length is known, else chunked),
// then hands out the response body bytes as they arrive, framed but never decoded
// (Content-Encoding stays). Interim 1xx answers are skipped. Redirects, authentication and
// cookies are the caller's business: each answer is handed over as it is.
//
// All work happens in the callbacks of the run loop the stream is scheduled on (name resolution
// runs on other threads and answers there); nothing happens while it is unscheduled, and the
// client's callback is never called from inside open(), read(), schedule() or close(). A stream
// serves one thread; the client may close, unschedule or drop it from inside its callback.
//
// Connection reuse: a stream with a connection identity leaves its connection in a shared pool
// once the response is complete (when HTTP allows), and takes one from there when it opens: streams
// with the same identity, scheme, host, port, proxy and TLS settings share connections. A
// connection from the pool that turns out dead before any byte of the answer came is reported
// as URLErrorNetworkConnectionLost, so the caller can try again. Closing a stream whose response
// is complete never touches the connection (it may serve a newer stream by then); closing an
// unfinished one closes its connection.
class HTTPReadStream : public std::enable_shared_from_this<HTTPReadStream> {
 public:
  enum Event : unsigned { OpenCompleted = 1, HasBytesAvailable = 2, ErrorOccurred = 8, EndEncountered = 16 };
  enum class Status { NotOpen, Opening, Open, AtEnd, Closed, Error };
  using Client = std::function<void(HTTPReadStream& stream, Event event)>;

  // The request's body (if any) is sent with a "Content-Length".
  static std::shared_ptr<HTTPReadStream> create(HTTPMessage request);
  // The body comes from bodyStream instead of the request's body.
  static std::shared_ptr<HTTPReadStream> create(HTTPMessage request, std::shared_ptr<InputStream> bodyStream);
  ~HTTPReadStream();
  HTTPReadStream(const HTTPReadStream&) = delete;
  HTTPReadStream& operator=(const HTTPReadStream&) = delete;

  // Settings: before open().
  void setTLSSettings(TLSSettings settings) { tls_ = std::move(settings); }
  const TLSSettings& tlsSettings() const { return tls_; }
  void setProxy(ProxySettings proxy) { proxy_ = std::move(proxy); }
  const ProxySettings& proxy() const { return proxy_; }
  // Connection reuse with streams of the same identity; "" (the default): a connection of its own.
  void setConnectionIdentity(std::string identity) { identity_ = std::move(identity); }
  const std::string& connectionIdentity() const { return identity_; }

  // Events in eventMask (a sum of Event values) go to client; an empty client stops them.
  void setClient(unsigned eventMask, Client client);

  void schedule(RunLoop& loop, std::string_view mode = DefaultRunLoopMode);
  void unschedule();
  bool isScheduled() const { return loop_ != nullptr; }

  // Starts the exchange. False (and error()) when the request cannot be sent at all: not an
  // absolute http or https URL, or a stream already opened.
  bool open();
  // Stops everything; no event follows.
  void close();

  Status status() const { return status_; }
  const std::optional<Error>& error() const { return error_; }

  // Response body bytes that arrived and were not yet read.
  bool hasBytesAvailable() const { return pendingOffset_ < pending_.size(); }
  // Up to maxLength body bytes: the count; 0 when none is available now (or at the end).
  std::size_t read(std::uint8_t* buffer, std::size_t maxLength);

  // The response header once it is complete, else nullptr.
  std::shared_ptr<const HTTPMessage> responseHeader() const { return responseHeader_; }
  // Body bytes of the request sent so far (without chunk framing).
  std::uint64_t requestBytesWritten() const { return bodyBytesWritten_; }
  const HTTPMessage& request() const { return request_; }
  // True when the connection came from the pool.
  bool usedPooledConnection() const { return reused_; }

  // Drops the idle connections of the shared pool.
  static void closeIdleConnections();

 private:
  enum class Phase { Idle, Resolving, Connecting, Socks, TunnelSend, TunnelReceive, TLS, Exchange, Done };
  struct Segment {
    Data bytes;
    std::size_t offset = 0;
    bool isBody = false;  // counts toward requestBytesWritten
  };

  HTTPReadStream(HTTPMessage request, std::shared_ptr<InputStream> bodyStream);

  void begin();
  void resolved(std::vector<SocketAddress> addresses, std::optional<Error> error);
  void connectNext();
  void connected();
  void startSocks();
  void startTunnel();
  void startTLS();
  void startExchange();

  void onFdReady(unsigned events);
  void pump();
  void handleConnecting();
  void handleSocks();
  void handleTLS();
  bool writeRequest();
  bool fillBodySegments();
  void readResponse();
  bool consume(const std::uint8_t* bytes, std::size_t length);
  bool headerCompleted();
  void responseCompleted(bool leftoverBytes);
  void peerClosed();
  void transportFailed(bool whileWriting);

  void fail(Error error);
  void eventDue();
  void dispatch(Event event);
  void updateFdSource();
  void removeFdSource();
  void postDeliver();
  void deliverEvents();
  void releaseConnection(bool reusable);

  HTTPMessage request_;
  std::shared_ptr<InputStream> bodyStream_;
  TLSSettings tls_;
  ProxySettings proxy_;
  std::string identity_;
  unsigned eventMask_ = 0;
  Client client_;

  RunLoop* loop_ = nullptr;
  std::string mode_;
  RunLoop::SourceId source_ = 0;
  unsigned sourceEvents_ = 0;
  std::shared_ptr<Timer> deliverTimer_;

  Status status_ = Status::NotOpen;
  Phase phase_ = Phase::Idle;
  bool begun_ = false;
  std::optional<Error> error_;
  std::string host_;
  int port_ = 0;
  bool https_ = false;
  bool viaHTTPProxy_ = false;  // plain http through an HTTP proxy: absolute form, no tunnel

  std::shared_ptr<HostLookup> lookup_;
  std::vector<SocketAddress> addresses_;
  std::size_t addressIndex_ = 0;
  std::optional<Error> connectError_;
  std::unique_ptr<HTTPConnection> connection_;
  std::string poolKey_;
  bool reused_ = false;

  // SOCKS handshake.
  int socksStep_ = 0;
  Data socksOut_;
  std::size_t socksOutOffset_ = 0;
  Data socksIn_;

  // Request.
  std::deque<Segment> segments_;
  bool bodyStreamDone_ = false;
  std::optional<std::uint64_t> bodyRemaining_;  // declared length not yet pulled
  bool chunkedBody_ = false;
  bool requestSent_ = false;
  bool writeFailed_ = false;
  std::uint64_t bodyBytesWritten_ = 0;

  // Response.
  HTTPMessage response_ = HTTPMessage::emptyResponse();
  std::optional<HTTPBodyDecoder> decoder_;
  std::shared_ptr<const HTTPMessage> responseHeader_;
  bool anyResponseByte_ = false;
  bool responseComplete_ = false;
  bool tunnelRefused_ = false;  // the proxy's answer to CONNECT is the response
  Data pending_;
  std::size_t pendingOffset_ = 0;
  std::uint64_t totalRead_ = 0;  // body bytes the client took
  bool readPaused_ = false;

  // Events owed to the client.
  bool openEventDue_ = false;
  bool bytesEventDue_ = false;
  bool endEventSent_ = false;
  bool errorEventSent_ = false;
  bool delivering_ = false;
  bool inCallback_ = false;  // inside a run-loop callback: events go out at its end
};

}  // namespace platform
