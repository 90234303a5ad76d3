#include "platform/net/HostResolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstring>
#include <deque>
#include <thread>

#include "platform/foundation/Mutex.h"
#include "platform/net/NetError.h"

namespace platform {

std::optional<SocketAddress> SocketAddress::numeric(std::string_view host, int port) {
  std::string h(host);
  SocketAddress a;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&a.storage);
  if (inet_pton(AF_INET, h.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<std::uint16_t>(port));
    a.length = sizeof(sockaddr_in);
    return a;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&a.storage);
  if (inet_pton(AF_INET6, h.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<std::uint16_t>(port));
    a.length = sizeof(sockaddr_in6);
    return a;
  }
  return std::nullopt;
}

std::string SocketAddress::description() const {
  char text[INET6_ADDRSTRLEN] = {0};
  if (family() == AF_INET) {
    auto* v4 = reinterpret_cast<const sockaddr_in*>(&storage);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(v4->sin_port));
  }
  if (family() == AF_INET6) {
    auto* v6 = reinterpret_cast<const sockaddr_in6*>(&storage);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6->sin6_port));
  }
  return "?";
}

HostLookup::HostLookup(std::string host, int port, Completion completion)
    : host_(std::move(host)), port_(port), completion_(std::move(completion)) {}

void HostLookup::setLoop(RunLoop* loop) {
  platform::MutexLock lock(mutex_);
  if (loop_ != loop) posted_ = false;
  loop_ = loop;
  postLocked();
}

void HostLookup::cancel() {
  Completion dropped;
  {
    platform::MutexLock lock(mutex_);
    cancelled_ = true;
    loop_ = nullptr;
    dropped = std::move(completion_);
  }
}

void HostLookup::complete(std::vector<SocketAddress> addresses, std::optional<Error> error) {
  platform::MutexLock lock(mutex_);
  if (cancelled_ || answered_) return;
  answered_ = true;
  addresses_ = std::move(addresses);
  error_ = std::move(error);
  postLocked();
}

void HostLookup::postLocked() {
  if (cancelled_ || !answered_ || posted_ || !loop_) return;
  posted_ = true;
  RunLoop* loop = loop_;
  std::weak_ptr<HostLookup> weak = weak_from_this();
  loop->performOnMain([weak, loop] {
    if (auto self = weak.lock()) self->deliver(loop);
  });
}

void HostLookup::deliver(RunLoop* postedTo) {
  Completion done;
  std::vector<SocketAddress> addresses;
  std::optional<Error> error;
  {
    platform::MutexLock lock(mutex_);
    // Moved to another loop (or none) since: that loop gets its own post.
    if (cancelled_ || loop_ != postedTo || !completion_) return;
    done = std::move(completion_);
    addresses = std::move(addresses_);
    error = std::move(error_);
  }
  done(std::move(addresses), std::move(error));
}

namespace {

// getaddrinfo on up to four threads that live as long as the process.
class SystemResolver : public HostResolver {
 public:
  void start(std::shared_ptr<HostLookup> lookup) override {
    platform::MutexLock lock(state_->mutex);
    state_->queue.push_back(std::move(lookup));
    if (state_->idle == 0 && state_->threads < 4) {
      ++state_->threads;
      std::thread([state = state_] { work(state); }).detach();
    } else {
      state_->ready.notifyOne();
    }
  }

 private:
  struct State {
    platform::Mutex mutex;
    platform::ConditionVariable ready;
    std::deque<std::shared_ptr<HostLookup>> queue GUARDED_BY(mutex);
    int threads GUARDED_BY(mutex) = 0;
    int idle GUARDED_BY(mutex) = 0;
  };

  static void work(std::shared_ptr<State> state) {
    for (;;) {
      std::shared_ptr<HostLookup> lookup;
      {
        platform::MutexLock lock(state->mutex);
        ++state->idle;
        while (state->queue.empty()) state->ready.wait(state->mutex);
        --state->idle;
        lookup = std::move(state->queue.front());
        state->queue.pop_front();
      }
      resolve(*lookup);
    }
  }

  static void resolve(HostLookup& lookup) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* result = nullptr;
    std::string port = std::to_string(lookup.port());
    int rc = getaddrinfo(lookup.host().c_str(), port.c_str(), &hints, &result);
    if (rc != 0) {
      lookup.complete(
          {}, makeURLError(URLErrorCannotFindHost,
                           "A server with the specified hostname could not be found: " + lookup.host(),
                           makeUnderlyingError(ResolverErrorDomain, rc, gai_strerror(rc))));
      return;
    }
    std::vector<SocketAddress> addresses;
    for (addrinfo* ai = result; ai; ai = ai->ai_next) {
      if (ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
      SocketAddress a;
      std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
      a.length = static_cast<socklen_t>(ai->ai_addrlen);
      addresses.push_back(a);
    }
    freeaddrinfo(result);
    if (addresses.empty())
      lookup.complete(
          {}, makeURLError(URLErrorCannotFindHost,
                           "A server with the specified hostname could not be found: " + lookup.host()));
    else
      lookup.complete(std::move(addresses), std::nullopt);
  }

  std::shared_ptr<State> state_ = std::make_shared<State>();
};

platform::Mutex resolverMutex;
std::shared_ptr<HostResolver> sharedSlot GUARDED_BY(resolverMutex);

}  // namespace

std::shared_ptr<HostResolver> HostResolver::shared() {
  platform::MutexLock lock(resolverMutex);
  if (!sharedSlot) sharedSlot = std::make_shared<SystemResolver>();
  return sharedSlot;
}

void HostResolver::setShared(std::shared_ptr<HostResolver> resolver) {
  platform::MutexLock lock(resolverMutex);
  sharedSlot = std::move(resolver);
}

std::shared_ptr<HostLookup> HostResolver::lookup(std::string host, int port, RunLoop* loop,
                                                 HostLookup::Completion done) {
  auto lookup = std::make_shared<HostLookup>(std::move(host), port, std::move(done));
  lookup->setLoop(loop);
  shared()->start(lookup);
  return lookup;
}

}  // namespace platform
