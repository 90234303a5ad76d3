#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kavro::test {

// A SOCKS5 proxy on 127.0.0.1 with a kernel-chosen port, for tests: it accepts the CONNECT
// command, records the host and port asked for, and relays to 127.0.0.1:targetPort whatever
// was asked. With credentials set it insists on user/password authentication.
class LoopbackSocksProxy {
 public:
  struct Target {
    std::string host;
    std::uint16_t port = 0;
    bool authenticated = false;
  };

  explicit LoopbackSocksProxy(std::uint16_t targetPort,
                              std::optional<std::pair<std::string, std::string>> credentials = {});
  ~LoopbackSocksProxy();
  LoopbackSocksProxy(const LoopbackSocksProxy&) = delete;
  LoopbackSocksProxy& operator=(const LoopbackSocksProxy&) = delete;

  std::uint16_t port() const { return port_; }
  std::vector<Target> targets() const;
  std::size_t refusedCount() const;

 private:
  void acceptLoop();
  void serve(int fd);

  std::uint16_t targetPort_;
  std::optional<std::pair<std::string, std::string>> credentials_;
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  bool stopping_ = false;
  std::vector<int> fds_;
  std::vector<std::thread> threads_;
  std::vector<Target> targets_;
  std::size_t refused_ = 0;
};

}  // namespace kavro::test
