#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/TLSSettings.h"

namespace platform {

// The transport under HTTP read streams: one non-blocking socket, with TLS over it once
// startTLS() has run. Reads and writes never block and never raise SIGPIPE. A connection is
// driven by one stream at a time; between streams it may rest in the pool. Not thread-safe.
class HTTPConnection {
 public:
  enum class IO { Done, WouldBlock, Closed, Failed };

  HTTPConnection(int fd, std::string poolKey);
  ~HTTPConnection();
  HTTPConnection(const HTTPConnection&) = delete;
  HTTPConnection& operator=(const HTTPConnection&) = delete;

  int fd() const { return fd_; }
  const std::string& poolKey() const { return poolKey_; }
  bool isOpen() const { return fd_ >= 0; }
  bool isTLS() const { return ssl_ != nullptr; }
  // How many exchanges finished on it (more than 0: it came from the pool).
  int completedExchanges() const { return exchanges_; }
  void exchangeCompleted() { ++exchanges_; }

  // Bytes read into buffer (count in n), or why not. Closed: the peer closed (a TLS close or
  // the end of the socket). Failed: see lastError().
  IO read(std::uint8_t* buffer, std::size_t capacity, std::size_t& n);
  // Takes bytes to send (n of them); TLS output the socket cannot take yet waits in the
  // connection (hasPendingOutput) and goes out with flush().
  IO write(const std::uint8_t* bytes, std::size_t length, std::size_t& n);
  IO flush();
  std::size_t pendingOutput() const { return out_.size() - outOffset_; }
  bool hasPendingOutput() const { return pendingOutput() > 0; }

  // TLS over the socket for host; handshake() then drives it. false with lastError() when the
  // context cannot be made.
  bool startTLS(const std::string& host, const TLSSettings& settings);
  IO handshake();
  // After a failed handshake: the error to report.
  const std::optional<Error>& lastError() const { return lastError_; }
  // errno of the last Failed socket operation.
  int lastErrno() const { return lastErrno_; }

  // Idle check for a pooled connection: true when the peer has neither closed nor sent anything.
  bool looksAlive() const;
  void close();

  // When it went idle, for the pool (steady clock seconds).
  double idleSince = 0;

 private:
  IO socketRead(std::uint8_t* buffer, std::size_t capacity, std::size_t& n);
  IO pullTLSInput();
  IO failTLS(const std::string& what);

  int fd_;
  std::string poolKey_;
  int exchanges_ = 0;
  void* ssl_ = nullptr;  // SSL*
  void* rbio_ = nullptr;
  void* wbio_ = nullptr;
  std::string tlsHost_;
  TLSSettings tls_;
  std::string out_;
  std::size_t outOffset_ = 0;
  std::optional<Error> lastError_;
  int lastErrno_ = 0;
};

// Idle connections kept for reuse, by pool key (connection identity, scheme, host, port, proxy
// and TLS settings). Thread-safe: streams on different threads share it.
class HTTPConnectionPool {
 public:
  static constexpr double IdleTimeout = 60.0;
  static constexpr std::size_t MaximumIdle = 32;

  static HTTPConnectionPool& shared();

  // The most recently parked live connection for key, or nullptr.
  std::unique_ptr<HTTPConnection> take(const std::string& key);
  void put(std::unique_ptr<HTTPConnection> connection);
  void closeIdleConnections();
  std::size_t idleCount() const;

 private:
  mutable platform::Mutex mutex_;
  std::vector<std::unique_ptr<HTTPConnection>> idle_ GUARDED_BY(mutex_);
};

}  // namespace platform
