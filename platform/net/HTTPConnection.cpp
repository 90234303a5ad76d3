#include "platform/net/HTTPConnection.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

#include "platform/foundation/Mutex.h"
#include "platform/net/NetError.h"
#include "platform/net/ProxySettings.h"

namespace platform {

namespace {

double steadyNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool isIPLiteral(const std::string& host) {
  unsigned char buf[16];
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string openSSLErrorText() {
  unsigned long e = ERR_peek_last_error();
  if (!e) return "";
  char text[256];
  ERR_error_string_n(e, text, sizeof text);
  return text;
}

using ContextRef = std::shared_ptr<SSL_CTX>;

// Contexts are costly to make (the CA store): one per distinct setting, kept while in use. A
// caller's reference keeps its context alive when the cache is emptied under it.
ContextRef contextFor(const TLSSettings& settings, std::string& failure) {
  // Never destroyed: the cache lives as long as the process.
  static auto* mutex = new platform::Mutex();
  static auto* cache PT_GUARDED_BY(*mutex) =
      new std::map<std::string, std::pair<ContextRef, std::shared_ptr<const ClientIdentity>>>();
  std::string key = settings.key();
  platform::MutexLock lock(*mutex);
  if (auto it = cache->find(key); it != cache->end()) return it->second.first;
  ContextRef ref(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
  SSL_CTX* ctx = ref.get();
  if (!ctx) {
    failure = "cannot create a TLS context: " + openSSLErrorText();
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (settings.usesSystemTrustStore) SSL_CTX_set_default_verify_paths(ctx);
  X509_STORE* store = SSL_CTX_get_cert_store(ctx);
  for (const auto& pem : settings.trustedCertificatesPEM) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
      X509_STORE_add_cert(store, cert);
      X509_free(cert);
    }
    BIO_free(bio);
  }
  ERR_clear_error();
  if (const auto& id = settings.clientIdentity) {
    bool ok = SSL_CTX_use_certificate(ctx, static_cast<X509*>(id->certificate())) == 1 &&
              SSL_CTX_use_PrivateKey(ctx, static_cast<EVP_PKEY*>(id->privateKey())) == 1;
    if (auto* chain = static_cast<STACK_OF(X509)*>(id->chain()))
      for (int i = 0; ok && i < sk_X509_num(chain); ++i)
        ok = SSL_CTX_add1_chain_cert(ctx, sk_X509_value(chain, i)) == 1;
    if (!ok) {
      failure = "cannot use the client identity: " + openSSLErrorText();
      ERR_clear_error();
      return nullptr;
    }
  }
  // Streams still using an old context hold their own reference (SSL objects).
  if (cache->size() >= 32) cache->clear();
  (*cache)[key] = {ref, settings.clientIdentity};
  return ref;
}

}  // namespace

std::string ProxySettings::key() const {
  if (!isSet()) return "direct";
  return std::string(type == Type::HTTP ? "http" : "socks5") + "://" + username + "@" + host + ":" +
         std::to_string(port);
}

std::string TLSSettings::key() const {
  std::string k;
  k += sendsServerName ? 'S' : 's';
  k += usesSystemTrustStore ? 'T' : 't';
  k += validatesCertificateChain ? 'C' : 'c';
  k += validatesHostName ? 'H' : 'h';
  k += "|" + peerName.value_or("");
  for (const auto& pem : trustedCertificatesPEM) k += "|" + std::to_string(std::hash<std::string>()(pem));
  if (clientIdentity) k += "|id" + std::to_string(reinterpret_cast<std::uintptr_t>(clientIdentity.get()));
  return k;
}

HTTPConnection::HTTPConnection(int fd, std::string poolKey) : fd_(fd), poolKey_(std::move(poolKey)) {}

HTTPConnection::~HTTPConnection() { close(); }

void HTTPConnection::close() {
  if (ssl_) {
    SSL_free(static_cast<SSL*>(ssl_));  // frees both memory BIOs
    ssl_ = rbio_ = wbio_ = nullptr;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  out_.clear();
  outOffset_ = 0;
}

HTTPConnection::IO HTTPConnection::socketRead(std::uint8_t* buffer, std::size_t capacity, std::size_t& n) {
  n = 0;
  for (;;) {
    ssize_t r = ::recv(fd_, buffer, capacity, 0);
    if (r > 0) {
      n = static_cast<std::size_t>(r);
      return IO::Done;
    }
    if (r == 0) return IO::Closed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IO::WouldBlock;
    lastErrno_ = errno;
    return IO::Failed;
  }
}

HTTPConnection::IO HTTPConnection::flush() {
  if (fd_ < 0) return IO::Failed;
  auto* wbio = static_cast<BIO*>(wbio_);
  for (;;) {
    if (outOffset_ == out_.size()) {
      out_.clear();
      outOffset_ = 0;
      if (!wbio || BIO_ctrl_pending(wbio) == 0) return IO::Done;
      char buf[16384];
      int got = BIO_read(wbio, buf, sizeof buf);
      if (got <= 0) return IO::Done;
      out_.assign(buf, static_cast<std::size_t>(got));
    }
    ssize_t r = ::send(fd_, out_.data() + outOffset_, out_.size() - outOffset_, MSG_NOSIGNAL);
    if (r > 0) {
      outOffset_ += static_cast<std::size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return IO::WouldBlock;
    lastErrno_ = r < 0 ? errno : EPIPE;
    return IO::Failed;
  }
}

HTTPConnection::IO HTTPConnection::write(const std::uint8_t* bytes, std::size_t length, std::size_t& n) {
  n = 0;
  if (fd_ < 0) return IO::Failed;
  if (!ssl_) {
    for (;;) {
      ssize_t r = ::send(fd_, bytes, length, MSG_NOSIGNAL);
      if (r >= 0) {
        n = static_cast<std::size_t>(r);
        return IO::Done;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return IO::WouldBlock;
      lastErrno_ = errno;
      return IO::Failed;
    }
  }
  // TLS: first let what is waiting go out, so memory stays bounded.
  IO f = flush();
  if (f == IO::Failed) return f;
  if (hasPendingOutput()) return IO::WouldBlock;
  std::size_t written = 0;
  int ok = SSL_write_ex(static_cast<SSL*>(ssl_), bytes, std::min<std::size_t>(length, 16384), &written);
  if (ok != 1) return failTLS("TLS write failed");
  n = written;
  f = flush();
  return f == IO::Failed ? f : IO::Done;
}

HTTPConnection::IO HTTPConnection::pullTLSInput() {
  std::uint8_t buf[16384];
  std::size_t n = 0;
  IO io = socketRead(buf, sizeof buf, n);
  if (io != IO::Done) return io;
  BIO_write(static_cast<BIO*>(rbio_), buf, static_cast<int>(n));
  return IO::Done;
}

HTTPConnection::IO HTTPConnection::failTLS(const std::string& what) {
  std::string detail = openSSLErrorText();
  ERR_clear_error();
  lastError_ =
      makeURLError(URLErrorSecureConnectionFailed,
                   "A TLS error has occurred and a secure connection to the server cannot be made (" + what +
                       (detail.empty() ? "" : ": " + detail) + ")",
                   makeUnderlyingError(OSStatusErrorDomain, SSLProtocolError, what));
  return IO::Failed;
}

HTTPConnection::IO HTTPConnection::read(std::uint8_t* buffer, std::size_t capacity, std::size_t& n) {
  n = 0;
  if (fd_ < 0) return IO::Failed;
  if (!ssl_) return socketRead(buffer, capacity, n);
  auto* ssl = static_cast<SSL*>(ssl_);
  for (;;) {
    int ok = SSL_read_ex(ssl, buffer, capacity, &n);
    if (ok == 1) {
      if (flush() == IO::Failed) return IO::Failed;
      return IO::Done;
    }
    int err = SSL_get_error(ssl, 0);
    if (err == SSL_ERROR_ZERO_RETURN) return IO::Closed;
    if (err == SSL_ERROR_WANT_READ) {
      if (flush() == IO::Failed) return IO::Failed;
      IO io = pullTLSInput();
      if (io == IO::Done) continue;
      return io;
    }
    if (err == SSL_ERROR_WANT_WRITE) {
      IO f = flush();
      if (f == IO::Done) continue;
      return f;
    }
    return failTLS("TLS read failed");
  }
}

bool HTTPConnection::startTLS(const std::string& host, const TLSSettings& settings) {
  std::string failure;
  ContextRef ctx = contextFor(settings, failure);
  if (!ctx) {
    lastError_ = makeURLError(URLErrorSecureConnectionFailed, failure,
                              makeUnderlyingError(OSStatusErrorDomain, SSLProtocolError, failure));
    return false;
  }
  SSL* ssl = SSL_new(ctx.get());
  BIO* rbio = BIO_new(BIO_s_mem());
  BIO* wbio = BIO_new(BIO_s_mem());
  BIO_set_mem_eof_return(rbio, -1);
  SSL_set_bio(ssl, rbio, wbio);
  SSL_set_connect_state(ssl);
  ssl_ = ssl;
  rbio_ = rbio;
  wbio_ = wbio;
  tls_ = settings;
  tlsHost_ = settings.peerName.value_or(host);
  bool literal = isIPLiteral(tlsHost_);
  if (settings.sendsServerName && !literal && !tlsHost_.empty())
    SSL_set_tlsext_host_name(ssl, tlsHost_.c_str());
  if (settings.validatesCertificateChain) {
    SSL_set_verify(ssl, SSL_VERIFY_PEER, nullptr);
    if (settings.validatesHostName) {
      X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
      X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      if (literal)
        X509_VERIFY_PARAM_set1_ip_asc(param, tlsHost_.c_str());
      else
        X509_VERIFY_PARAM_set1_host(param, tlsHost_.c_str(), 0);
    }
  } else {
    SSL_set_verify(ssl, SSL_VERIFY_NONE, nullptr);
  }
  return true;
}

HTTPConnection::IO HTTPConnection::handshake() {
  auto* ssl = static_cast<SSL*>(ssl_);
  for (;;) {
    int r = SSL_do_handshake(ssl);
    IO f = flush();
    if (f == IO::Failed) {
      lastError_ =
          makeURLError(URLErrorSecureConnectionFailed, "The TLS connection was lost during the handshake",
                       makeUnderlyingError(POSIXErrorDomain, lastErrno_, std::strerror(lastErrno_)));
      return f;
    }
    if (r == 1) break;
    int err = SSL_get_error(ssl, r);
    if (err == SSL_ERROR_WANT_READ) {
      IO io = pullTLSInput();
      if (io == IO::Done) continue;
      if (io == IO::Closed || io == IO::Failed) {
        lastError_ = makeURLError(URLErrorSecureConnectionFailed,
                                  "The server closed the connection during the TLS handshake",
                                  makeUnderlyingError(OSStatusErrorDomain, SSLProtocolError, "closed"));
        return IO::Failed;
      }
      return io;
    }
    if (err == SSL_ERROR_WANT_WRITE) return IO::WouldBlock;
    long verify = SSL_get_verify_result(ssl);
    if (verify != X509_V_OK) {
      std::string reason = X509_verify_cert_error_string(verify);
      URLErrorCode code = URLErrorServerCertificateUntrusted;
      SSLStatusCode status = SSLCertificateChainInvalid;
      if (verify == X509_V_ERR_CERT_HAS_EXPIRED || verify == X509_V_ERR_CERT_NOT_YET_VALID) {
        code = URLErrorServerCertificateHasBadDate;
        status = SSLCertificateExpired;
      } else if (verify == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT ||
                 verify == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN ||
                 verify == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY ||
                 verify == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT) {
        code = URLErrorServerCertificateHasUnknownRoot;
        status = SSLNoRootCertificate;
      } else if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        status = SSLHostNameMismatch;
      }
      ERR_clear_error();
      lastError_ =
          makeURLError(code, "The certificate for this server is invalid (" + reason + "): " + tlsHost_,
                       makeUnderlyingError(OSStatusErrorDomain, status, reason));
      return IO::Failed;
    }
    return failTLS("TLS handshake failed");
  }
  // Host-name check without a chain check.
  if (!tls_.validatesCertificateChain && tls_.validatesHostName) {
    X509* peer = SSL_get1_peer_certificate(ssl);
    bool ok = peer && (isIPLiteral(tlsHost_) ? X509_check_ip_asc(peer, tlsHost_.c_str(), 0) == 1
                                             : X509_check_host(peer, tlsHost_.c_str(), 0, 0, nullptr) == 1);
    X509_free(peer);
    if (!ok) {
      lastError_ = makeURLError(
          URLErrorServerCertificateUntrusted, "The certificate for this server does not name " + tlsHost_,
          makeUnderlyingError(OSStatusErrorDomain, SSLHostNameMismatch, "hostname mismatch"));
      return IO::Failed;
    }
  }
  return IO::Done;
}

bool HTTPConnection::looksAlive() const {
  if (fd_ < 0) return false;
  char c;
  ssize_t r = ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  return r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

HTTPConnectionPool& HTTPConnectionPool::shared() {
  static HTTPConnectionPool* pool = new HTTPConnectionPool();
  return *pool;
}

std::unique_ptr<HTTPConnection> HTTPConnectionPool::take(const std::string& key) {
  std::vector<std::unique_ptr<HTTPConnection>> dropped;
  std::unique_ptr<HTTPConnection> found;
  {
    platform::MutexLock lock(mutex_);
    double now = steadyNow();
    for (std::size_t i = idle_.size(); i-- > 0;) {
      auto& c = idle_[i];
      bool expired = now - c->idleSince > IdleTimeout;
      if (expired || (c->poolKey() == key && !found && !c->looksAlive())) {
        dropped.push_back(std::move(c));
        idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(i));
      } else if (!found && c->poolKey() == key) {
        found = std::move(c);
        idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }
  return found;
}

void HTTPConnectionPool::put(std::unique_ptr<HTTPConnection> connection) {
  if (!connection || !connection->isOpen()) return;
  connection->idleSince = steadyNow();
  std::unique_ptr<HTTPConnection> oldest;
  platform::MutexLock lock(mutex_);
  if (idle_.size() >= MaximumIdle) {
    oldest = std::move(idle_.front());
    idle_.erase(idle_.begin());
  }
  idle_.push_back(std::move(connection));
}

void HTTPConnectionPool::closeIdleConnections() {
  std::vector<std::unique_ptr<HTTPConnection>> dropped;
  platform::MutexLock lock(mutex_);
  dropped.swap(idle_);
}

std::size_t HTTPConnectionPool::idleCount() const {
  platform::MutexLock lock(mutex_);
  return idle_.size();
}

}  // namespace platform
