#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "mapsdk/engine/CVThread.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HostResolver.h"

namespace gmengine {

// The engine's two network threads: the socket thread, a run loop on which every HTTP exchange of
// the engine's clients runs, and the host-name resolver thread, which looks names up one at a
// time and hands the answers to the socket thread. Start and Stop from one thread (the main
// thread); Perform and Resolve from any thread.
class CVSocketMan {
 public:
  // Something running on the socket thread that Stop must end.
  class Job {
   public:
    virtual ~Job() = default;
    // Socket thread: close everything at once and tell nobody.
    virtual void Abort() = 0;
  };
  using ResolveDone = std::function<void(std::vector<platform::SocketAddress> addresses)>;

  CVSocketMan();
  ~CVSocketMan();
  CVSocketMan(const CVSocketMan&) = delete;
  CVSocketMan& operator=(const CVSocketMan&) = delete;

  // Starts both threads when they are not running; 0 when a thread cannot be made.
  int Start();
  // Aborts every job (on the socket thread), then ends and joins both threads. Work performed
  // afterwards waits for the next Start.
  void Stop();

  // fn on the socket thread, in order.
  void Perform(std::function<void()> fn);
  // Socket thread only.
  platform::RunLoop& Loop() { return *loop_; }
  void Attach(std::shared_ptr<Job> job);
  void Detach(Job* job);
  // Socket thread, or with it stopped: the jobs attached and not yet detached.
  std::size_t JobCount() const {
    onSocketThread_.claim();
    return jobs_.size();
  }
  // Looks host up on the resolver thread; done runs on the socket thread with the addresses
  // (none when the name is unknown).
  void Resolve(std::string host, int port, ResolveDone done);

 private:
  struct Lookup {
    std::string host;
    int port;
    ResolveDone done;
  };
  void ResolverThread();

  std::unique_ptr<platform::RunLoop> loop_;
  std::thread socketThread_;
  ThreadRole onSocketThread_;
  std::unordered_map<Job*, std::shared_ptr<Job>> jobs_ GUARDED_BY(onSocketThread_);

  platform::Mutex mutex_;  // resolver queue and flag
  platform::ConditionVariable wake_;
  std::deque<Lookup> lookups_ GUARDED_BY(mutex_);
  bool resolverStop_ GUARDED_BY(mutex_) = false;
  std::thread resolverThread_ GUARDED_BY(mutex_);
};

}  // namespace gmengine
