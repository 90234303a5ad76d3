#include "platform/net/HTTPReadStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/net/HTTPConnection.h"
#include "platform/net/NetError.h"

namespace platform {

namespace {

constexpr std::size_t ReadChunk = 64 * 1024;
constexpr std::size_t PendingLimit = 1024 * 1024;  // unread body bytes before reading pauses
constexpr std::size_t BodyPiece = 64 * 1024;

std::string lowercase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool hasToken(const std::optional<std::string>& field, std::string_view token) {
  if (!field) return false;
  std::string v = lowercase(*field);
  std::size_t pos = 0;
  while (pos <= v.size()) {
    std::size_t comma = v.find(',', pos);
    std::string_view part(v.data() + pos, (comma == std::string::npos ? v.size() : comma) - pos);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    if (part == token) return true;
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return false;
}

std::shared_ptr<const Error> posixError(int e) {
  return makeUnderlyingError(POSIXErrorDomain, e, std::strerror(e));
}

Data bytesOf(std::string_view s) { return Data(s.begin(), s.end()); }

}  // namespace

std::shared_ptr<HTTPReadStream> HTTPReadStream::create(HTTPMessage request) {
  return std::shared_ptr<HTTPReadStream>(new HTTPReadStream(std::move(request), nullptr));
}

std::shared_ptr<HTTPReadStream> HTTPReadStream::create(HTTPMessage request,
                                                       std::shared_ptr<InputStream> bodyStream) {
  return std::shared_ptr<HTTPReadStream>(new HTTPReadStream(std::move(request), std::move(bodyStream)));
}

HTTPReadStream::HTTPReadStream(HTTPMessage request, std::shared_ptr<InputStream> bodyStream)
    : request_(std::move(request)), bodyStream_(std::move(bodyStream)) {}

HTTPReadStream::~HTTPReadStream() {
  if (lookup_) lookup_->cancel();
  removeFdSource();
  if (deliverTimer_) deliverTimer_->invalidate();
  if (bodyStream_ && begun_) bodyStream_->close();
}

void HTTPReadStream::closeIdleConnections() { HTTPConnectionPool::shared().closeIdleConnections(); }

void HTTPReadStream::setClient(unsigned eventMask, Client client) {
  eventMask_ = client ? eventMask : 0;
  client_ = std::move(client);
}

void HTTPReadStream::schedule(RunLoop& loop, std::string_view mode) {
  if (loop_ == &loop && mode_ == mode) return;
  if (loop_) unschedule();
  loop_ = &loop;
  mode_ = std::string(mode);
  if (status_ == Status::Closed) return;
  if (lookup_) lookup_->setLoop(loop_);
  if (status_ == Status::Opening && !begun_) begin();
  updateFdSource();
  // Events owed, bytes waiting, or a paused read: pick up where it stopped.
  postDeliver();
}

void HTTPReadStream::unschedule() {
  removeFdSource();
  if (deliverTimer_) deliverTimer_->invalidate();
  deliverTimer_.reset();
  if (lookup_) lookup_->setLoop(nullptr);
  loop_ = nullptr;
}

bool HTTPReadStream::open() {
  if (status_ != Status::NotOpen) {
    error_ = makeURLError(URLErrorBadURL, "The stream was opened already");
    return false;
  }
  const auto& url = request_.url();
  if (!url || (url->scheme() != "http" && url->scheme() != "https")) {
    error_ = makeURLError(URLErrorUnsupportedURL, "Only http and https URLs can be requested");
    status_ = Status::Error;
    return false;
  }
  if (url->host().empty()) {
    error_ = makeURLError(URLErrorBadURL, "The URL names no host: " + url->absoluteString());
    status_ = Status::Error;
    return false;
  }
  https_ = url->scheme() == "https";
  host_ = url->host();
  port_ = url->portOrDefault().value_or(https_ ? 443 : 80);
  status_ = Status::Opening;
  if (loop_) begin();
  return true;
}

void HTTPReadStream::close() {
  if (status_ == Status::Closed) return;
  status_ = Status::Closed;
  phase_ = Phase::Done;
  if (lookup_) lookup_->cancel();
  lookup_.reset();
  removeFdSource();
  if (deliverTimer_) deliverTimer_->invalidate();
  deliverTimer_.reset();
  // A finished exchange gave its connection back already; an unfinished one cannot be reused.
  connection_.reset();
  if (bodyStream_ && begun_) bodyStream_->close();
  bodyStream_.reset();
}

// --- setting up the connection ---

void HTTPReadStream::begin() {
  begun_ = true;
  viaHTTPProxy_ = proxy_.isSet() && proxy_.type == ProxySettings::Type::HTTP && !https_;
  poolKey_ = identity_ + "|" + request_.url()->scheme() + "|" + host_ + "|" + std::to_string(port_) + "|" +
             proxy_.key() + (https_ ? "|" + tls_.key() : "");
  if (bodyStream_) bodyStream_->open();
  if (!identity_.empty()) {
    connection_ = HTTPConnectionPool::shared().take(poolKey_);
    if (connection_) {
      reused_ = true;
      startExchange();
      return;
    }
  }
  std::string host = proxy_.isSet() ? proxy_.host : host_;
  int port = proxy_.isSet() ? proxy_.port : port_;
  if (auto numeric = SocketAddress::numeric(host, port)) {
    resolved({*numeric}, std::nullopt);
    return;
  }
  phase_ = Phase::Resolving;
  std::weak_ptr<HTTPReadStream> weak = weak_from_this();
  lookup_ = HostResolver::lookup(host, port, loop_,
                                 [weak](std::vector<SocketAddress> addresses, std::optional<Error> error) {
                                   if (auto self = weak.lock()) {
                                     self->inCallback_ = true;
                                     self->resolved(std::move(addresses), std::move(error));
                                     self->inCallback_ = false;
                                     self->deliverEvents();
                                   }
                                 });
}

void HTTPReadStream::resolved(std::vector<SocketAddress> addresses, std::optional<Error> error) {
  lookup_.reset();
  if (status_ == Status::Closed || status_ == Status::Error) return;
  if (error) {
    fail(*error);
    return;
  }
  addresses_ = std::move(addresses);
  addressIndex_ = 0;
  connectNext();
}

void HTTPReadStream::connectNext() {
  while (addressIndex_ < addresses_.size()) {
    const SocketAddress& a = addresses_[addressIndex_++];
    int fd = ::socket(a.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      connectError_ = *posixError(errno);
      continue;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connection_ = std::make_unique<HTTPConnection>(fd, poolKey_);
    int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&a.storage), a.length);
    if (r == 0) {
      connected();
      return;
    }
    if (errno == EINPROGRESS) {
      phase_ = Phase::Connecting;
      updateFdSource();
      return;
    }
    connectError_ = *posixError(errno);
    connection_.reset();
  }
  std::string target = proxy_.isSet() ? "the proxy " + proxy_.host : host_;
  fail(makeURLError(
      URLErrorCannotConnectToHost,
      "Could not connect to " + target + (connectError_ ? ": " + connectError_->localizedDescription : ""),
      connectError_ ? std::make_shared<const Error>(*connectError_) : nullptr));
}

void HTTPReadStream::handleConnecting() {
  int err = 0;
  socklen_t len = sizeof err;
  getsockopt(connection_->fd(), SOL_SOCKET, SO_ERROR, &err, &len);
  if (err == EINPROGRESS || err == EALREADY) return;
  if (err != 0) {
    connectError_ = *posixError(err);
    connection_.reset();
    removeFdSource();
    connectNext();
    return;
  }
  connected();
}

void HTTPReadStream::connected() {
  removeFdSource();  // the descriptor may have changed between attempts
  if (proxy_.isSet() && proxy_.type == ProxySettings::Type::SOCKS5)
    startSocks();
  else if (proxy_.isSet() && https_)
    startTunnel();
  else if (https_)
    startTLS();
  else
    startExchange();
}

// --- SOCKS5 ---

void HTTPReadStream::startSocks() {
  phase_ = Phase::Socks;
  socksStep_ = 1;
  socksOut_ = proxy_.username.empty() ? Data{5, 1, 0} : Data{5, 2, 0, 2};
  socksOutOffset_ = 0;
  socksIn_.clear();
  handleSocks();
}

void HTTPReadStream::handleSocks() {
  auto socksFail = [&](const std::string& message) {
    fail(makeURLError(URLErrorCannotConnectToHost, "The SOCKS proxy " + proxy_.host + " " + message));
  };
  for (;;) {
    while (socksOutOffset_ < socksOut_.size()) {
      std::size_t n = 0;
      auto io = connection_->write(socksOut_.data() + socksOutOffset_, socksOut_.size() - socksOutOffset_, n);
      if (io == HTTPConnection::IO::WouldBlock) return updateFdSource();
      if (io != HTTPConnection::IO::Done) return socksFail("closed the connection");
      socksOutOffset_ += n;
    }
    // How much of the reply is needed.
    std::size_t need = 2;
    if (socksStep_ == 3) {
      need = 5;
      if (socksIn_.size() >= 5) {
        std::uint8_t atyp = socksIn_[3];
        need = atyp == 1 ? 10 : atyp == 4 ? 22 : atyp == 3 ? 7u + socksIn_[4] : 0;
        if (need == 0) return socksFail("sent a malformed reply");
      }
    }
    if (socksIn_.size() < need) {
      std::uint8_t buf[300];
      std::size_t n = 0;
      auto io = connection_->read(buf, need - socksIn_.size(), n);
      if (io == HTTPConnection::IO::WouldBlock) return updateFdSource();
      if (io != HTTPConnection::IO::Done) return socksFail("closed the connection");
      socksIn_.insert(socksIn_.end(), buf, buf + n);
      continue;
    }
    auto sendConnect = [&] {
      socksStep_ = 3;
      socksOut_ = {5, 1, 0};
      unsigned char v4[4], v6[16];
      if (inet_pton(AF_INET, host_.c_str(), v4) == 1) {
        socksOut_.push_back(1);
        socksOut_.insert(socksOut_.end(), v4, v4 + 4);
      } else if (inet_pton(AF_INET6, host_.c_str(), v6) == 1) {
        socksOut_.push_back(4);
        socksOut_.insert(socksOut_.end(), v6, v6 + 16);
      } else {
        socksOut_.push_back(3);
        socksOut_.push_back(static_cast<std::uint8_t>(host_.size()));
        socksOut_.insert(socksOut_.end(), host_.begin(), host_.end());
      }
      socksOut_.push_back(static_cast<std::uint8_t>(port_ >> 8));
      socksOut_.push_back(static_cast<std::uint8_t>(port_ & 0xFF));
      socksOutOffset_ = 0;
      socksIn_.clear();
    };
    if (socksStep_ == 1) {
      if (socksIn_[0] != 5) return socksFail("does not speak SOCKS5");
      if (socksIn_[1] == 0) {
        sendConnect();
      } else if (socksIn_[1] == 2 && !proxy_.username.empty()) {
        if (proxy_.username.size() > 255 || proxy_.password.size() > 255)
          return socksFail("cannot take a user name or password that long");
        socksStep_ = 2;
        socksOut_ = {1, static_cast<std::uint8_t>(proxy_.username.size())};
        socksOut_.insert(socksOut_.end(), proxy_.username.begin(), proxy_.username.end());
        socksOut_.push_back(static_cast<std::uint8_t>(proxy_.password.size()));
        socksOut_.insert(socksOut_.end(), proxy_.password.begin(), proxy_.password.end());
        socksOutOffset_ = 0;
        socksIn_.clear();
      } else {
        return socksFail("accepts none of the offered authentication methods");
      }
    } else if (socksStep_ == 2) {
      if (socksIn_[1] != 0) return socksFail("refused the user name and password");
      if (host_.size() > 255) return socksFail("cannot take a host name that long");
      sendConnect();
    } else {
      if (socksIn_[1] != 0)
        return socksFail("could not connect to " + host_ + " (reply " + std::to_string(socksIn_[1]) + ")");
      if (https_)
        startTLS();
      else
        startExchange();
      return;
    }
  }
}

// --- CONNECT tunnel and TLS ---

void HTTPReadStream::startTunnel() {
  phase_ = Phase::TunnelSend;
  std::string authority =
      (host_.find(':') != std::string::npos ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
  std::string head = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
  if (auto auth = request_.headerField("Proxy-Authorization"))
    head += "Proxy-Authorization: " + *auth + "\r\n";
  if (auto ua = request_.headerField("User-Agent")) head += "User-Agent: " + *ua + "\r\n";
  head += "\r\n";
  segments_.clear();
  segments_.push_back({bytesOf(head), 0, false});
  requestSent_ = false;
  pump();
}

void HTTPReadStream::startTLS() {
  if (!connection_->startTLS(host_, tls_)) {
    fail(*connection_->lastError());
    return;
  }
  phase_ = Phase::TLS;
  handleTLS();
}

void HTTPReadStream::handleTLS() {
  auto io = connection_->handshake();
  if (io == HTTPConnection::IO::Done) {
    startExchange();
    return;
  }
  if (io == HTTPConnection::IO::WouldBlock) {
    updateFdSource();
    return;
  }
  fail(connection_->lastError() ? *connection_->lastError()
                                : makeURLError(URLErrorSecureConnectionFailed, "The TLS handshake failed"));
}

// --- the exchange ---

void HTTPReadStream::startExchange() {
  phase_ = Phase::Exchange;
  status_ = Status::Open;
  openEventDue_ = true;
  HTTPMessage head = request_;
  if (!viaHTTPProxy_ && proxy_.isSet()) head.removeHeaderField("Proxy-Authorization");
  Data body;
  if (bodyStream_) {
    bodyRemaining_ = bodyStream_->length();
    if (bodyRemaining_) {
      if (!head.headerField("Content-Length"))
        head.setHeaderField("Content-Length", std::to_string(*bodyRemaining_));
    } else {
      chunkedBody_ = true;
      head.removeHeaderField("Content-Length");
      head.setHeaderField("Transfer-Encoding", "chunked");
    }
  } else {
    std::string method = request_.method();
    bool wantsLength = !request_.body().empty() || method == "POST" || method == "PUT" || method == "PATCH";
    if (wantsLength && !head.headerField("Content-Length"))
      head.setHeaderField("Content-Length", std::to_string(request_.body().size()));
    body = request_.body();
  }
  head.setBody({});
  std::string text = head.serializedHeader(viaHTTPProxy_) + "\r\n";
  segments_.clear();
  segments_.push_back({bytesOf(text), 0, false});
  if (!body.empty()) segments_.push_back({std::move(body), 0, true});
  requestSent_ = false;
  eventDue();
  pump();
}

bool HTTPReadStream::fillBodySegments() {
  std::vector<std::uint8_t> buf(BodyPiece);
  std::size_t want = BodyPiece;
  if (bodyRemaining_) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *bodyRemaining_));
  std::ptrdiff_t n = want ? bodyStream_->read(buf.data(), want) : 0;
  if (n < 0) {
    fail(makeURLError(URLErrorRequestBodyStreamExhausted, "The request body could not be read"));
    return false;
  }
  if (n == 0) {
    if (bodyRemaining_ && *bodyRemaining_ > 0) {
      fail(makeURLError(URLErrorRequestBodyStreamExhausted,
                        "The request body ended before its declared length"));
      return false;
    }
    bodyStreamDone_ = true;
    if (chunkedBody_) segments_.push_back({bytesOf("0\r\n\r\n"), 0, false});
    return true;
  }
  auto count = static_cast<std::size_t>(n);
  if (bodyRemaining_) *bodyRemaining_ -= count;
  if (chunkedBody_) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", count);
    segments_.push_back({bytesOf(size), 0, false});
  }
  segments_.push_back({Data(buf.begin(), buf.begin() + n), 0, true});
  if (chunkedBody_) segments_.push_back({bytesOf("\r\n"), 0, false});
  return true;
}

bool HTTPReadStream::writeRequest() {
  while (!requestSent_ && !writeFailed_ && connection_) {
    if (segments_.empty()) {
      if (bodyStream_ && !bodyStreamDone_ && phase_ == Phase::Exchange) {
        if (!fillBodySegments()) return false;
        continue;
      }
      requestSent_ = true;
      break;
    }
    Segment& seg = segments_.front();
    std::size_t n = 0;
    auto io = connection_->write(seg.bytes.data() + seg.offset, seg.bytes.size() - seg.offset, n);
    if (io == HTTPConnection::IO::WouldBlock) return true;
    if (io != HTTPConnection::IO::Done) {
      transportFailed(true);
      return false;
    }
    seg.offset += n;
    if (seg.isBody) bodyBytesWritten_ += n;
    if (seg.offset == seg.bytes.size()) segments_.pop_front();
  }
  if (connection_ && connection_->hasPendingOutput()) {
    if (connection_->flush() == HTTPConnection::IO::Failed) {
      transportFailed(true);
      return false;
    }
  }
  if (requestSent_ && phase_ == Phase::TunnelSend && !connection_->hasPendingOutput())
    phase_ = Phase::TunnelReceive;
  return true;
}

void HTTPReadStream::readResponse() {
  std::uint8_t buf[ReadChunk];
  for (int rounds = 0; rounds < 16 && connection_ && !responseComplete_; ++rounds) {
    if (pending_.size() - pendingOffset_ >= PendingLimit) {
      readPaused_ = true;
      return;
    }
    std::size_t n = 0;
    auto io = connection_->read(buf, sizeof buf, n);
    if (io == HTTPConnection::IO::WouldBlock) return;
    if (io == HTTPConnection::IO::Closed) return peerClosed();
    if (io == HTTPConnection::IO::Failed) return transportFailed(false);
    anyResponseByte_ = true;
    Phase before = phase_;
    if (!consume(buf, n)) return;
    if (phase_ != before) return;  // the tunnel is up: TLS takes over
  }
}

bool HTTPReadStream::consume(const std::uint8_t* bytes, std::size_t length) {
  while (length > 0 && !responseComplete_) {
    if (!response_.isHeaderComplete()) {
      auto taken = response_.appendHeaderBytes(bytes, length);
      if (!taken) {
        fail(makeURLError(URLErrorBadServerResponse,
                          "The server's response is malformed: " + response_.parseError()));
        return false;
      }
      bytes += *taken;
      length -= *taken;
      if (!response_.isHeaderComplete()) break;
      Phase before = phase_;
      if (!headerCompleted()) return false;
      if (phase_ != before && before == Phase::TunnelReceive && !tunnelRefused_) {
        if (length > 0) {
          fail(makeURLError(URLErrorBadServerResponse, "The proxy sent data before the tunnel was set up"));
          return false;
        }
        return true;
      }
      if (decoder_ && decoder_->isComplete()) responseCompleted(length > 0);
      continue;
    }
    if (!decoder_) break;
    std::size_t before = pending_.size();
    std::size_t taken = decoder_->decode(bytes, length, pending_);
    if (pending_.size() > before) bytesEventDue_ = true;
    if (decoder_->hasFailed()) {
      fail(makeURLError(URLErrorBadServerResponse,
                        "The server's response is malformed: " + decoder_->errorMessage()));
      return false;
    }
    bytes += taken;
    length -= taken;
    if (decoder_->isComplete()) responseCompleted(length > 0);
  }
  return true;
}

bool HTTPReadStream::headerCompleted() {
  int status = response_.statusCode();
  if (phase_ == Phase::TunnelReceive) {
    if (status >= 200 && status < 300) {
      response_ = HTTPMessage::emptyResponse();
      startTLS();
      return status_ != Status::Error;
    }
    // The proxy's refusal (407 included) is the answer the caller sees.
    tunnelRefused_ = true;
    phase_ = Phase::Exchange;
    status_ = Status::Open;
    openEventDue_ = true;
  } else if (status >= 100 && status < 200 && status != 101) {
    response_ = HTTPMessage::emptyResponse();
    return true;
  }
  decoder_ = status == 101
                 ? HTTPBodyDecoder(HTTPBodyDecoder::Framing::None)
                 : HTTPBodyDecoder::forResponse(response_, tunnelRefused_ ? "GET" : request_.method());
  if (decoder_->hasFailed()) {
    fail(makeURLError(URLErrorBadServerResponse,
                      "The server's response is malformed: " + decoder_->errorMessage()));
    return false;
  }
  responseHeader_ = std::make_shared<const HTTPMessage>(response_);
  bytesEventDue_ = true;
  return true;
}

void HTTPReadStream::responseCompleted(bool leftoverBytes) {
  responseComplete_ = true;
  int status = response_.statusCode();
  bool keepAlive = response_.version() == HTTPVersion1_0
                       ? hasToken(response_.headerField("Connection"), "keep-alive")
                       : !hasToken(response_.headerField("Connection"), "close");
  bool reusable = !identity_.empty() && !leftoverBytes && requestSent_ && !writeFailed_ && !tunnelRefused_ &&
                  status != 101 && decoder_ && decoder_->framing() != HTTPBodyDecoder::Framing::UntilClose &&
                  keepAlive && !hasToken(request_.headerField("Connection"), "close") && connection_ &&
                  !connection_->hasPendingOutput();
  releaseConnection(reusable);
  if (bodyStream_) bodyStream_->close();
  eventDue();
}

void HTTPReadStream::releaseConnection(bool reusable) {
  removeFdSource();
  if (!connection_) return;
  if (reusable) {
    connection_->exchangeCompleted();
    HTTPConnectionPool::shared().put(std::move(connection_));
  }
  connection_.reset();
}

void HTTPReadStream::peerClosed() {
  if (!response_.isHeaderComplete()) {
    if (reused_ && !anyResponseByte_)
      fail(makeURLError(URLErrorNetworkConnectionLost,
                        "The network connection was lost: the server closed the reused connection"));
    else
      fail(makeURLError(URLErrorBadServerResponse,
                        anyResponseByte_
                            ? "The server closed the connection before the response header was complete"
                            : "The server closed the connection without answering"));
    return;
  }
  decoder_->peerClosed();
  if (decoder_->isComplete()) {
    responseCompleted(false);
    return;
  }
  fail(makeURLError(URLErrorBadServerResponse, "The response is incomplete: " + decoder_->errorMessage()));
}

void HTTPReadStream::transportFailed(bool whileWriting) {
  if (!connection_) return;
  if (whileWriting) {
    // The server may have answered (and closed) before taking the whole request: read what came.
    writeFailed_ = true;
    segments_.clear();
    if (connection_->lastError()) {
      fail(*connection_->lastError());
      return;
    }
    readResponse();
    if (status_ != Status::Error && !responseComplete_) updateFdSource();
    return;
  }
  if (connection_->lastError() && connection_->isTLS()) {
    fail(*connection_->lastError());
    return;
  }
  int e = connection_->lastErrno();
  if (reused_ && !anyResponseByte_ && (e == ECONNRESET || e == EPIPE || e == ENOTCONN))
    fail(makeURLError(URLErrorNetworkConnectionLost,
                      "The network connection was lost: the server reset the reused connection",
                      posixError(e)));
  else
    fail(makeURLError(URLErrorBadServerResponse,
                      "The connection to the server broke before the response was complete", posixError(e)));
}

// --- run-loop plumbing ---

void HTTPReadStream::onFdReady(unsigned) {
  auto self = shared_from_this();
  inCallback_ = true;
  pump();
  inCallback_ = false;
  deliverEvents();
}

void HTTPReadStream::pump() {
  if (!connection_ || !loop_) return;
  switch (phase_) {
    case Phase::Connecting:
      handleConnecting();
      break;
    case Phase::Socks:
      handleSocks();
      break;
    case Phase::TLS:
      handleTLS();
      break;
    case Phase::TunnelSend:
    case Phase::TunnelReceive:
    case Phase::Exchange:
      if (!writeRequest()) break;
      if (connection_ && phase_ != Phase::TunnelSend) readResponse();
      break;
    default:
      break;
  }
  updateFdSource();
}

void HTTPReadStream::updateFdSource() {
  if (!loop_ || !connection_ || !connection_->isOpen() || status_ == Status::Closed ||
      status_ == Status::Error) {
    removeFdSource();
    return;
  }
  unsigned events = 0;
  switch (phase_) {
    case Phase::Connecting:
      events = RunLoop::Writable;
      break;
    case Phase::Socks:
      events = socksOutOffset_ < socksOut_.size() ? RunLoop::Writable : RunLoop::Readable;
      break;
    case Phase::TLS:
      events = RunLoop::Readable | (connection_->hasPendingOutput() ? RunLoop::Writable : 0u);
      break;
    case Phase::TunnelSend:
    case Phase::TunnelReceive:
    case Phase::Exchange:
      if (!readPaused_ && !responseComplete_ && phase_ != Phase::TunnelSend) events |= RunLoop::Readable;
      if ((!requestSent_ && !writeFailed_) || connection_->hasPendingOutput()) events |= RunLoop::Writable;
      break;
    default:
      removeFdSource();
      return;
  }
  if (source_ == 0) {
    std::weak_ptr<HTTPReadStream> weak = weak_from_this();
    source_ = loop_->addFdSource(
        connection_->fd(), events,
        [weak](unsigned ready) {
          if (auto self = weak.lock()) self->onFdReady(ready);
        },
        mode_);
    sourceEvents_ = events;
  } else if (events != sourceEvents_) {
    loop_->updateFdSource(source_, events);
    sourceEvents_ = events;
  }
}

void HTTPReadStream::removeFdSource() {
  if (source_ != 0 && loop_) loop_->removeFdSource(source_);
  source_ = 0;
  sourceEvents_ = 0;
}

void HTTPReadStream::fail(Error error) {
  if (status_ == Status::Closed || status_ == Status::Error) return;
  error_ = std::move(error);
  status_ = Status::Error;
  phase_ = Phase::Done;
  if (lookup_) lookup_->cancel();
  lookup_.reset();
  removeFdSource();
  connection_.reset();
  if (bodyStream_ && begun_) bodyStream_->close();
  eventDue();
}

void HTTPReadStream::eventDue() {
  if (!inCallback_) postDeliver();
}

void HTTPReadStream::postDeliver() {
  if (!loop_ || status_ == Status::Closed || (deliverTimer_ && deliverTimer_->isValid())) return;
  std::weak_ptr<HTTPReadStream> weak = weak_from_this();
  deliverTimer_ = loop_->scheduleTimer(
      0, false,
      [weak](Timer&) {
        auto self = weak.lock();
        if (!self) return;
        self->deliverTimer_.reset();
        if (self->readPaused_ && self->pending_.size() - self->pendingOffset_ < PendingLimit / 2) {
          self->readPaused_ = false;
          self->inCallback_ = true;
          // TLS may hold decrypted bytes the socket will not signal again.
          self->pump();
          self->inCallback_ = false;
        }
        self->deliverEvents();
      },
      mode_);
}

void HTTPReadStream::dispatch(Event event) {
  if (!(eventMask_ & event) || !client_) return;
  Client client = client_;  // the callback may replace it
  client(*this, event);
}

void HTTPReadStream::deliverEvents() {
  if (delivering_) return;
  auto self = shared_from_this();
  delivering_ = true;
  for (;;) {
    if (status_ == Status::Closed || !loop_) break;
    if (openEventDue_) {
      openEventDue_ = false;
      dispatch(OpenCompleted);
      continue;
    }
    // Bytes that came before a failure are handed out first.
    if (bytesEventDue_) {
      bytesEventDue_ = false;
      std::uint64_t before = totalRead_;
      bool hadBytes = hasBytesAvailable();
      dispatch(HasBytesAvailable);
      // A client that reads part of what waits hears again; one that reads nothing waits for more.
      if (hasBytesAvailable() && (totalRead_ != before || !hadBytes)) bytesEventDue_ = true;
      continue;
    }
    if (status_ == Status::Error) {
      if (!errorEventSent_) {
        errorEventSent_ = true;
        dispatch(ErrorOccurred);
      }
      break;
    }
    if (responseComplete_ && !hasBytesAvailable() && !endEventSent_) {
      endEventSent_ = true;
      status_ = Status::AtEnd;
      dispatch(EndEncountered);
    }
    break;
  }
  delivering_ = false;
  if (readPaused_ && status_ == Status::Open && pending_.size() - pendingOffset_ < PendingLimit / 2)
    postDeliver();
}

std::size_t HTTPReadStream::read(std::uint8_t* buffer, std::size_t maxLength) {
  std::size_t n = std::min(maxLength, pending_.size() - pendingOffset_);
  if (n) std::memcpy(buffer, pending_.data() + pendingOffset_, n);
  pendingOffset_ += n;
  totalRead_ += n;
  if (pendingOffset_ == pending_.size()) {
    pending_.clear();
    pendingOffset_ = 0;
  } else if (pendingOffset_ > PendingLimit) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingOffset_));
    pendingOffset_ = 0;
  }
  if ((responseComplete_ && !hasBytesAvailable() && !endEventSent_) || readPaused_) eventDue();
  return n;
}

}  // namespace platform
