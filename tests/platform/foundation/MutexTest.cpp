#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/Mutex.h"

namespace {

bool takenElsewhere(platform::Mutex& mutex) {
  bool taken = false;
  std::thread([&] {
    if (mutex.tryLock()) {
      taken = true;
      mutex.unlock();
    }
  }).join();
  return taken;
}

struct Box {
  platform::Mutex mutex;
  platform::ConditionVariable changed;
  int value GUARDED_BY(mutex) = 0;
};

TEST(MutexTest, ScopedLockHoldsLetsGoAndTakesAgain) {
  platform::Mutex mutex;
  {
    platform::MutexLock lock(mutex);
    EXPECT_FALSE(takenElsewhere(mutex));
    lock.unlock();
    EXPECT_TRUE(takenElsewhere(mutex));
    lock.lock();
    EXPECT_FALSE(takenElsewhere(mutex));
  }
  EXPECT_TRUE(takenElsewhere(mutex));
  // A lock taken by tryLock and handed to a scope is given back when the scope ends.
  {
    ASSERT_TRUE(mutex.tryLock());
    platform::MutexLock adopted(mutex, std::adopt_lock);
    EXPECT_FALSE(takenElsewhere(mutex));
  }
  EXPECT_TRUE(takenElsewhere(mutex));
  // The recursive lock is taken again by its holder.
  platform::RecursiveMutex recursive;
  platform::MutexLock outer(recursive);
  platform::MutexLock inner(recursive);
}

TEST(MutexTest, ConditionVariableHandsValuesBetweenThreads) {
  Box box;
  std::thread producer([&] {
    for (int i = 1; i <= 3; ++i) {
      platform::MutexLock lock(box.mutex);
      while (box.value != i - 1) box.changed.wait(box.mutex);
      box.value = i;
      box.changed.notifyAll();
    }
  });
  {
    platform::MutexLock lock(box.mutex);
    while (box.value != 3) box.changed.wait(box.mutex);
    EXPECT_EQ(box.value, 3);
  }
  producer.join();
  // A wait that nobody ends reports that its time ran out, still holding the lock.
  platform::MutexLock lock(box.mutex);
  EXPECT_FALSE(box.changed.waitFor(box.mutex, std::chrono::milliseconds(0)));
  box.value = 4;
  EXPECT_EQ(box.value, 4);
}

}  // namespace
