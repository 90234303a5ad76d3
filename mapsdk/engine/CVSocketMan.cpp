#include "mapsdk/engine/CVSocketMan.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <system_error>

#include "platform/foundation/Mutex.h"

namespace gmengine {

CVSocketMan::CVSocketMan() : loop_(platform::RunLoop::create()) {}

CVSocketMan::~CVSocketMan() {
  Stop();
  // Work that never ran may hold jobs; they go with the loop, on this thread, now that no other
  // thread touches it.
  onSocketThread_.claim();
  jobs_.clear();
  loop_->discardAll();
}

int CVSocketMan::Start() {
  try {
    if (!socketThread_.joinable()) {
      socketThread_ = std::thread([this] { loop_->run(); });
    }
    platform::MutexLock lock(mutex_);
    if (!resolverThread_.joinable()) {
      resolverStop_ = false;
      resolverThread_ = std::thread([this] { ResolverThread(); });
    }
  } catch (const std::system_error&) {
    return 0;
  }
  return 1;
}

void CVSocketMan::Stop() {
  if (socketThread_.joinable()) {
    loop_->performOnMain([this] {
      onSocketThread_.claim();
      auto jobs = std::move(jobs_);
      jobs_.clear();
      for (auto& [raw, job] : jobs) job->Abort();
      loop_->stop();
    });
    socketThread_.join();
  }
  std::thread resolver;
  {
    platform::MutexLock lock(mutex_);
    resolverStop_ = true;
    wake_.notifyAll();
    resolver = std::move(resolverThread_);
  }
  if (resolver.joinable()) resolver.join();
  platform::MutexLock lock(mutex_);
  lookups_.clear();
}

void CVSocketMan::Perform(std::function<void()> fn) { loop_->performOnMain(std::move(fn)); }

void CVSocketMan::Attach(std::shared_ptr<Job> job) {
  onSocketThread_.claim();
  Job* raw = job.get();
  jobs_[raw] = std::move(job);
}

void CVSocketMan::Detach(Job* job) {
  onSocketThread_.claim();
  jobs_.erase(job);
}

void CVSocketMan::Resolve(std::string host, int port, ResolveDone done) {
  platform::MutexLock lock(mutex_);
  lookups_.push_back({std::move(host), port, std::move(done)});
  wake_.notifyAll();
}

void CVSocketMan::ResolverThread() {
  platform::MutexLock lock(mutex_);
  while (true) {
    while (!resolverStop_ && lookups_.empty()) wake_.wait(mutex_);
    if (resolverStop_) return;
    Lookup lookup = std::move(lookups_.front());
    lookups_.pop_front();
    lock.unlock();

    std::vector<platform::SocketAddress> addresses;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(lookup.port);
    if (::getaddrinfo(lookup.host.c_str(), service.c_str(), &hints, &found) == 0) {
      for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        platform::SocketAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        addresses.push_back(address);
      }
      ::freeaddrinfo(found);
    }
    Perform([done = std::move(lookup.done), addresses = std::move(addresses)]() mutable {
      done(std::move(addresses));
    });
    lock.lock();
  }
}

}  // namespace gmengine
