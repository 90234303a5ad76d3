#pragma once
#include <sys/socket.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

// One address to connect to.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  // For an IP literal ("127.0.0.1", "::1"); nullopt for a name.
  static std::optional<SocketAddress> numeric(std::string_view host, int port);
  int family() const { return storage.ss_family; }
  // "127.0.0.1:80", "[::1]:80".
  std::string description() const;
};

// One name look-up under way. The answer is handed to the run loop set with setLoop() and
// runs there; while no loop is set it waits. After cancel() nothing runs.
class HostLookup : public std::enable_shared_from_this<HostLookup> {
 public:
  using Completion = std::function<void(std::vector<SocketAddress> addresses, std::optional<Error> error)>;
  HostLookup(std::string host, int port, Completion completion);

  const std::string& host() const { return host_; }
  int port() const { return port_; }

  // The loop's thread only.
  void setLoop(RunLoop* loop);
  void cancel();

  // For resolvers, from any thread: the answer (addresses, or an error).
  void complete(std::vector<SocketAddress> addresses, std::optional<Error> error);

 private:
  void postLocked() REQUIRES(mutex_);
  void deliver(RunLoop* postedTo);

  std::string host_;
  int port_;
  platform::Mutex mutex_;
  Completion completion_ GUARDED_BY(mutex_);
  RunLoop* loop_ GUARDED_BY(mutex_) = nullptr;
  bool cancelled_ GUARDED_BY(mutex_) = false;
  bool answered_ GUARDED_BY(mutex_) = false;
  bool posted_ GUARDED_BY(mutex_) = false;
  std::vector<SocketAddress> addresses_ GUARDED_BY(mutex_);
  std::optional<Error> error_ GUARDED_BY(mutex_);
};

// Turns host names into addresses off the run loop's thread. The shared resolver uses
// getaddrinfo on a small pool of threads; tests may install their own.
class HostResolver {
 public:
  virtual ~HostResolver() = default;
  // Starts answering lookup (through lookup->complete, from any thread, later).
  virtual void start(std::shared_ptr<HostLookup> lookup) = 0;

  static std::shared_ptr<HostResolver> shared();
  // nullptr puts the system resolver back.
  static void setShared(std::shared_ptr<HostResolver> resolver);

  // A lookup of host on the shared resolver, answered on loop (nullptr: once a loop is set).
  static std::shared_ptr<HostLookup> lookup(std::string host, int port, RunLoop* loop,
                                            HostLookup::Completion done);
};

}  // namespace platform
