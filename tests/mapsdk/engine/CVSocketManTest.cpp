#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "mapsdk/engine/CVSocketMan.h"
#include "platform/foundation/Mutex.h"

namespace {

// What the socket thread reported back; the test threads and the socket thread share it.
struct Answers {
  platform::Mutex mutex;
  platform::ConditionVariable changed;
  std::map<std::string, int> lookups GUARDED_BY(mutex);  // "thread/port" -> times answered
  std::vector<std::vector<int>> performed GUARDED_BY(mutex);
  int count GUARDED_BY(mutex) = 0;
  bool offThread GUARDED_BY(mutex) = false;
};

// Threads that look names up and hand work over at the same time, while the resolver thread takes
// the lookups off the same queue: each lookup is answered once, with its own address, on the socket
// thread, and each thread's work runs in the order it was handed over.
TEST(CVSocketManTest, LookupsAndWorkFromManyThreadsAreEachAnsweredOnce) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 150;
  gmengine::CVSocketMan sockets;
  ASSERT_EQ(sockets.Start(), 1);
  Answers answers;
  std::thread::id socketThread;
  {
    platform::Mutex idMutex;
    platform::ConditionVariable idKnown;
    bool known = false;
    sockets.Perform([&] {
      platform::MutexLock lock(idMutex);
      socketThread = std::this_thread::get_id();
      known = true;
      idKnown.notifyAll();
    });
    platform::MutexLock lock(idMutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!known && idKnown.waitUntil(idMutex, deadline)) {
    }
    ASSERT_TRUE(known);
  }
  {
    platform::MutexLock lock(answers.mutex);
    answers.performed.resize(kThreads);
  }

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const int port = 20000 + t * 1000 + i;
        sockets.Resolve("127.0.0.1", port, [&, t](std::vector<platform::SocketAddress> found) {
          platform::MutexLock lock(answers.mutex);
          if (std::this_thread::get_id() != socketThread) answers.offThread = true;
          const std::string got = found.size() == 1 ? found[0].description() : "none";
          ++answers.lookups[std::to_string(t) + "/" + got];
          ++answers.count;
          answers.changed.notifyAll();
        });
        sockets.Perform([&, t, i] {
          platform::MutexLock lock(answers.mutex);
          answers.performed[std::size_t(t)].push_back(i);
          ++answers.count;
          answers.changed.notifyAll();
        });
      }
    });
  }
  for (auto& thread : threads) thread.join();

  platform::MutexLock lock(answers.mutex);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (answers.count < 2 * kThreads * kPerThread && answers.changed.waitUntil(answers.mutex, deadline)) {
  }
  EXPECT_EQ(answers.count, 2 * kThreads * kPerThread);
  EXPECT_FALSE(answers.offThread);
  EXPECT_EQ(answers.lookups.size(), std::size_t(kThreads * kPerThread));
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      const std::string key = std::to_string(t) + "/127.0.0.1:" + std::to_string(20000 + t * 1000 + i);
      EXPECT_EQ(answers.lookups[key], 1) << key;
    }
    std::vector<int> inOrder(kPerThread);
    for (int i = 0; i < kPerThread; ++i) inOrder[std::size_t(i)] = i;
    EXPECT_EQ(answers.performed[std::size_t(t)], inOrder);
  }
  lock.unlock();
  sockets.Stop();
}

}  // namespace
