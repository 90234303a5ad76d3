#include "tests/support/LoopbackSocksProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "demo/LoopbackSocket.h"

namespace kavro::test {

namespace {

bool readExactly(int fd, void* buf, std::size_t n) {
  auto* p = static_cast<unsigned char*>(buf);
  while (n > 0) {
    long r = ::recv(fd, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

bool writeAll(int fd, const void* buf, std::size_t n) {
  return ::send(fd, buf, n, MSG_NOSIGNAL) == static_cast<long>(n);
}

}  // namespace

LoopbackSocksProxy::LoopbackSocksProxy(std::uint16_t targetPort,
                                       std::optional<std::pair<std::string, std::string>> credentials)
    : targetPort_(targetPort), credentials_(std::move(credentials)) {
  listenFd_ = listenOnLoopback(16, port_);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackSocksProxy::~LoopbackSocksProxy() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
  }
  acceptThread_.join();
  for (auto& t : threads_) t.join();
  for (int fd : fds_) ::close(fd);
  ::close(listenFd_);
}

std::vector<LoopbackSocksProxy::Target> LoopbackSocksProxy::targets() const {
  std::lock_guard lock(mutex_);
  return targets_;
}

std::size_t LoopbackSocksProxy::refusedCount() const {
  std::lock_guard lock(mutex_);
  return refused_;
}

void LoopbackSocksProxy::acceptLoop() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    if (fd < 0) continue;
    fds_.push_back(fd);
    threads_.emplace_back([this, fd] { serve(fd); });
  }
}

void LoopbackSocksProxy::serve(int fd) {
  auto refuse = [&] {
    std::lock_guard lock(mutex_);
    ++refused_;
  };
  unsigned char hello[2];
  if (!readExactly(fd, hello, 2) || hello[0] != 5) return refuse();
  std::vector<unsigned char> methods(hello[1]);
  if (!readExactly(fd, methods.data(), methods.size())) return refuse();
  unsigned char want = credentials_ ? 2 : 0;
  bool offered = std::find(methods.begin(), methods.end(), want) != methods.end();
  unsigned char choice[2] = {5, offered ? want : static_cast<unsigned char>(0xFF)};
  if (!writeAll(fd, choice, 2) || !offered) return refuse();
  Target target;
  if (credentials_) {
    unsigned char ver, ulen, plen;
    std::string user, pass;
    if (!readExactly(fd, &ver, 1) || !readExactly(fd, &ulen, 1)) return refuse();
    user.resize(ulen);
    if (!readExactly(fd, user.data(), ulen) || !readExactly(fd, &plen, 1)) return refuse();
    pass.resize(plen);
    if (!readExactly(fd, pass.data(), plen)) return refuse();
    bool good = user == credentials_->first && pass == credentials_->second;
    unsigned char status[2] = {1, static_cast<unsigned char>(good ? 0 : 1)};
    writeAll(fd, status, 2);
    if (!good) return refuse();
    target.authenticated = true;
  }
  unsigned char req[4];
  if (!readExactly(fd, req, 4) || req[0] != 5 || req[1] != 1) return refuse();
  if (req[3] == 3) {
    unsigned char n;
    if (!readExactly(fd, &n, 1)) return refuse();
    target.host.resize(n);
    if (!readExactly(fd, target.host.data(), n)) return refuse();
  } else if (req[3] == 1) {
    unsigned char ip[4];
    if (!readExactly(fd, ip, 4)) return refuse();
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, ip, text, sizeof text);
    target.host = text;
  } else {
    return refuse();
  }
  unsigned char port[2];
  if (!readExactly(fd, port, 2)) return refuse();
  target.port = static_cast<std::uint16_t>(port[0] << 8 | port[1]);
  {
    std::lock_guard lock(mutex_);
    targets_.push_back(target);
  }
  int up = connectToLoopback(targetPort_);
  bool connected = up >= 0;
  unsigned char reply[10] = {5, static_cast<unsigned char>(connected ? 0 : 5), 0, 1, 127, 0, 0, 1, 0, 0};
  if (!writeAll(fd, reply, sizeof reply) || !connected) {
    if (up >= 0) ::close(up);
    return;
  }
  relayBetween(fd, up);
  ::close(up);
}

}  // namespace kavro::test
