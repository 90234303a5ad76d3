#include "demo/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "demo/LoopbackSocket.h"

namespace kavro::test {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<std::string> find(const HeaderList& headers, std::string_view name) {
  for (const auto& [n, v] : headers)
    if (equalsIgnoringCase(n, name)) return v;
  return std::nullopt;
}

std::string reasonFor(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 304:
      return "Not Modified";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 401:
      return "Unauthorized";
    case 404:
      return "Not Found";
    case 407:
      return "Proxy Authentication Required";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

void sleepFor(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  return find(headers, name);
}

ScriptedResponse ScriptedResponse::ok(std::string body, HeaderList headers) {
  ScriptedResponse r;
  r.body = std::move(body);
  r.headers = std::move(headers);
  return r;
}

ScriptedResponse ScriptedResponse::redirect(int status, std::string location) {
  ScriptedResponse r;
  r.status = status;
  r.headers = {{"Location", std::move(location)}};
  r.body = "moved";
  return r;
}

ScriptedResponse ScriptedResponse::challenge(int status, std::string challenge) {
  ScriptedResponse r;
  r.status = status;
  r.headers = {{status == 407 ? "Proxy-Authenticate" : "WWW-Authenticate", std::move(challenge)}};
  r.body = "authentication needed";
  return r;
}

struct LoopbackHttpServer::Connection {
  int fd = -1;
  SSL* ssl = nullptr;
  std::size_t index = 0;
  std::thread thread;
  bool idle = false;
  std::string pending;  // bytes read but not yet used
  std::string clientSubject;
  std::string serverName;

  // Reads more bytes into pending; false at the end or on an error.
  bool readMore() {
    char buf[16384];
    long n = ssl ? SSL_read(ssl, buf, sizeof buf) : ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending.append(buf, static_cast<std::size_t>(n));
    return true;
  }
  bool writeAll(std::string_view data) {
    while (!data.empty()) {
      long n = ssl ? SSL_write(ssl, data.data(), static_cast<int>(data.size()))
                   : ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
};

LoopbackHttpServer::LoopbackHttpServer() : LoopbackHttpServer(Options{}) {}

LoopbackHttpServer::LoopbackHttpServer(Options options) : options_(std::move(options)) {
  // A TLS peer that has gone must not kill the test process.
  signal(SIGPIPE, SIG_IGN);
  if (options_.tls) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    auto loadPEM = [](const std::string& pem) {
      return BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    };
    BIO* certBio = loadPEM(options_.tls->certificatePEM);
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    BIO_free(certBio);
    BIO* keyBio = loadPEM(options_.tls->privateKeyPEM);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    BIO_free(keyBio);
    if (!ctx || !cert || !key || SSL_CTX_use_certificate(ctx, cert) != 1 ||
        SSL_CTX_use_PrivateKey(ctx, key) != 1)
      throw std::runtime_error("loopback server: bad TLS identity");
    X509_free(cert);
    EVP_PKEY_free(key);
    if (options_.clientCACertificatePEM) {
      BIO* caBio = loadPEM(*options_.clientCACertificatePEM);
      X509* ca = PEM_read_bio_X509(caBio, nullptr, nullptr, nullptr);
      BIO_free(caBio);
      X509_STORE_add_cert(SSL_CTX_get_cert_store(ctx), ca);
      SSL_CTX_add_client_CA(ctx, ca);
      X509_free(ca);
      // Ask, but let a client without a certificate in (the test checks what came).
      SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, [](int, X509_STORE_CTX*) { return 1; });
    }
    sslContext_ = ctx;
  }
  listenFd_ = listenOnLoopback(128, port_);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop();
  if (sslContext_) SSL_CTX_free(static_cast<SSL_CTX*>(sslContext_));
}

std::string LoopbackHttpServer::url(std::string_view path) const {
  return std::string(options_.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
         std::string(path);
}

void LoopbackHttpServer::setHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void LoopbackHttpServer::enqueue(ScriptedResponse response) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(response));
}

std::vector<RecordedRequest> LoopbackHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t LoopbackHttpServer::requestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

std::size_t LoopbackHttpServer::connectionCount() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

std::size_t LoopbackHttpServer::tlsHandshakeFailures() const {
  std::lock_guard lock(mutex_);
  return tlsFailures_;
}

void LoopbackHttpServer::closeIdleConnections() {
  std::unique_lock lock(mutex_);
  // A connection that has just sent its answer may not be back at its next read yet: give it a
  // moment, so a client that saw the answer finds the connection closed.
  idleChanged_.wait_for(lock, std::chrono::seconds(2), [&] {
    for (auto& c : connections_)
      if (c->fd >= 0 && !c->idle) return false;
    return true;
  });
  for (auto& c : connections_)
    if (c->idle && c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
}

void LoopbackHttpServer::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    for (auto& c : connections_)
      if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  if (acceptThread_.joinable()) acceptThread_.join();
  // No connection comes any more: join the open ones and those that ended.
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(finished_);
    for (auto& c : connections_) threads.push_back(std::move(c->thread));
  }
  for (auto& t : threads)
    if (t.joinable()) t.join();
  ::close(listenFd_);
  listenFd_ = -1;
}

void LoopbackHttpServer::joinFinished() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(finished_);
  }
  for (auto& t : threads)
    if (t.joinable()) t.join();
}

void LoopbackHttpServer::acceptLoop() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    // A server that takes connection after connection keeps only the threads of the open ones:
    // each ended thread still holds its stack until it is joined.
    joinFinished();
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_shared<Connection>();
    c->fd = fd;
    connections_.push_back(c);
    c->index = ++accepted_;
    c->thread = std::thread([this, c] { serve(c); });
  }
}

ScriptedResponse LoopbackHttpServer::responseFor(const RecordedRequest& request) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    if (!queue_.empty()) {
      ScriptedResponse r = std::move(queue_.front());
      queue_.pop_front();
      return r;
    }
    handler = handler_;
  }
  if (handler) return handler(request);
  ScriptedResponse r;
  r.status = 404;
  r.body = "no scripted response";
  return r;
}

void LoopbackHttpServer::serve(std::shared_ptr<Connection> c) {
  auto finish = [&] {
    std::lock_guard lock(mutex_);
    if (c->ssl) SSL_free(c->ssl);
    c->ssl = nullptr;
    ::close(c->fd);
    c->fd = -1;
    // The last thing this thread does: hand itself over to be joined.
    finished_.push_back(std::move(c->thread));
    std::erase(connections_, c);
  };
  if (sslContext_) {
    c->ssl = SSL_new(static_cast<SSL_CTX*>(sslContext_));
    SSL_set_fd(c->ssl, c->fd);
    if (SSL_accept(c->ssl) != 1) {
      ERR_clear_error();
      {
        std::lock_guard lock(mutex_);
        ++tlsFailures_;
      }
      finish();
      return;
    }
    if (const char* sni = SSL_get_servername(c->ssl, TLSEXT_NAMETYPE_host_name)) c->serverName = sni;
    if (X509* peer = SSL_get1_peer_certificate(c->ssl)) {
      char cn[256] = {0};
      X509_NAME_get_text_by_NID(X509_get_subject_name(peer), NID_commonName, cn, sizeof cn);
      c->clientSubject = cn;
      X509_free(peer);
    }
  }
  for (;;) {
    // The request head.
    std::size_t headEnd;
    {
      std::lock_guard lock(mutex_);
      c->idle = c->pending.empty();
    }
    idleChanged_.notify_all();
    bool ok = true;
    while ((headEnd = c->pending.find("\r\n\r\n")) == std::string::npos && (ok = c->readMore())) {
      std::lock_guard lock(mutex_);
      c->idle = false;
    }
    if (!ok) break;
    {
      std::lock_guard lock(mutex_);
      c->idle = false;
    }
    RecordedRequest req;
    req.connection = c->index;
    req.clientCertificateSubject = c->clientSubject;
    req.serverName = c->serverName;
    std::string head = c->pending.substr(0, headEnd);
    c->pending.erase(0, headEnd + 4);
    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t sp1 = requestLine.find(' '), sp2 = requestLine.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) break;
    req.method = requestLine.substr(0, sp1);
    req.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    req.version = requestLine.substr(sp2 + 1);
    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
      std::size_t e = head.find("\r\n", pos);
      if (e == std::string::npos) e = head.size();
      std::string line = head.substr(pos, e - pos);
      std::size_t colon = line.find(':');
      if (colon != std::string::npos) {
        std::size_t v = line.find_first_not_of(' ', colon + 1);
        req.headers.emplace_back(line.substr(0, colon), v == std::string::npos ? "" : line.substr(v));
      }
      pos = e + 2;
    }
    // The request body.
    if (auto te = req.header("Transfer-Encoding"); te && equalsIgnoringCase(*te, "chunked")) {
      req.chunked = true;
      for (;;) {
        std::size_t e;
        while ((e = c->pending.find("\r\n")) == std::string::npos && (ok = c->readMore())) {
        }
        if (!ok) break;
        std::size_t size = std::stoul(c->pending.substr(0, e), nullptr, 16);
        c->pending.erase(0, e + 2);
        while (c->pending.size() < size + 2 && (ok = c->readMore())) {
        }
        if (!ok) break;
        req.body += c->pending.substr(0, size);
        c->pending.erase(0, size + 2);
        if (size == 0) break;
      }
      if (!ok) break;
    } else if (auto cl = req.header("Content-Length")) {
      std::size_t length = std::stoul(*cl);
      while (c->pending.size() < length && (ok = c->readMore())) {
      }
      if (!ok) break;
      req.body = c->pending.substr(0, length);
      c->pending.erase(0, length);
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(req);
    }
    ScriptedResponse response = responseFor(req);
    if (!respond(*c, req, response)) break;
  }
  finish();
}

bool LoopbackHttpServer::respond(Connection& c, const RecordedRequest& req, const ScriptedResponse& r) {
  sleepFor(r.delayBeforeResponse);
  if (r.closeWithoutResponse) return false;
  if (r.holdWithoutResponse) {
    std::unique_lock lock(mutex_);
    stopped_.wait(lock, [this] { return stopping_; });
    return false;
  }
  if (r.tunnelToPort && req.method == "CONNECT") {
    if (!c.writeAll("HTTP/1.1 200 Connection established\r\n\r\n")) return false;
    relay(c, *r.tunnelToPort);
    return false;
  }
  std::size_t budget = r.closeAfterBytes.value_or(SIZE_MAX);
  auto send = [&](std::string_view data) {
    if (data.size() > budget) {
      c.writeAll(data.substr(0, budget));
      budget = 0;
      return false;
    }
    budget -= data.size();
    return c.writeAll(data);
  };
  if (r.raw) {
    if (!send(*r.raw)) return false;
    return r.keepAlive;
  }
  bool chunked = !r.chunkSizes.empty();
  bool noBody =
      req.method == "HEAD" || r.status == 204 || r.status == 304 || (r.status >= 100 && r.status < 200);
  std::string head = r.version + " " + std::to_string(r.status) + " " +
                     (r.reason.empty() ? reasonFor(r.status) : r.reason) + "\r\n";
  for (const auto& [n, v] : r.headers) head += n + ": " + v + "\r\n";
  if (chunked) {
    if (!find(r.headers, "Transfer-Encoding")) head += "Transfer-Encoding: chunked\r\n";
  } else if (!r.omitContentLength && !find(r.headers, "Content-Length") && r.status != 204 &&
             r.status != 304 && r.status >= 200) {
    head += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
  }
  bool keepAlive = r.keepAlive && !r.omitContentLength;
  if (auto conn = req.header("Connection"); conn && equalsIgnoringCase(*conn, "close")) keepAlive = false;
  if (!keepAlive && !find(r.headers, "Connection")) head += "Connection: close\r\n";
  head += "\r\n";
  if (!send(head)) return false;
  if (!noBody) {
    if (chunked) {
      std::size_t pos = 0, i = 0;
      while (pos < r.body.size()) {
        std::size_t size = std::min(r.chunkSizes[std::min(i, r.chunkSizes.size() - 1)], r.body.size() - pos);
        if (size == 0) size = r.body.size() - pos;
        char hex[32];
        std::snprintf(hex, sizeof hex, "%zx\r\n", size);
        if (!send(std::string(hex) + r.body.substr(pos, size) + "\r\n")) return false;
        pos += size;
        ++i;
        if (pos < r.body.size()) sleepFor(r.delayBetweenChunks);
      }
      std::string tail = "0\r\n";
      for (const auto& [n, v] : r.trailers) tail += n + ": " + v + "\r\n";
      if (!send(tail + "\r\n")) return false;
    } else {
      if (!send(r.body)) return false;
    }
  }
  return keepAlive && budget > 0;
}

void LoopbackHttpServer::relay(Connection& c, std::uint16_t port) {
  int up = connectToLoopback(port);
  if (up < 0) return;
  if (!c.pending.empty()) {
    ::send(up, c.pending.data(), c.pending.size(), MSG_NOSIGNAL);
    c.pending.clear();
  }
  relayBetween(c.fd, up);
  ::close(up);
}

}  // namespace kavro::test
