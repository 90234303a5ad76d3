#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "tests/support/VirtualRunLoop.h"

using namespace platform;
using kavro::test::VirtualRunLoopTest;

namespace {

constexpr std::string_view CustomMode = "NetHTTPRequestRunLoopMode";

// Both ends of a local stream socket pair, closed on destruction.
struct SocketPair {
  int fd[2] = {-1, -1};
  SocketPair() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd) != 0) throw std::runtime_error("socketpair");
  }
  ~SocketPair() {
    for (int f : fd)
      if (f >= 0) ::close(f);
  }
  void closeEnd(int i) {
    ::close(fd[i]);
    fd[i] = -1;
  }
};

void writeAll(int fd, const std::string& s) { ASSERT_EQ(::write(fd, s.data(), s.size()), ssize_t(s.size())); }

std::string readSome(int fd) {
  char buf[256];
  auto n = ::read(fd, buf, sizeof buf);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

}  // namespace

using RunLoopTimers = VirtualRunLoopTest;

TEST_F(RunLoopTimers, FireInDateOrderThenSchedulingOrderOnVirtualTime) {
  const double start = now();
  std::vector<std::string> log;
  auto note = [&](std::string what) { log.push_back(what + "@" + std::to_string(now() - start)); };
  loop().scheduleTimer(3, false, [&](Timer&) { note("c"); });
  loop().scheduleTimer(1, false, [&](Timer&) { note("a"); });
  loop().performAfter(1, this, [&] { note("b"); });
  loop().scheduleTimer(2.5, false, [&](Timer&) { note("late"); });

  runFor(2);
  EXPECT_EQ(log, (std::vector<std::string>{"a@1.000000", "b@1.000000"}));
  EXPECT_DOUBLE_EQ(now(), start + 2);

  // A timer due exactly at the end of the run fires within it.
  runFor(1);
  EXPECT_EQ(log, (std::vector<std::string>{"a@1.000000", "b@1.000000", "late@2.500000", "c@3.000000"}));
  EXPECT_DOUBLE_EQ(now(), start + 3);
}

TEST_F(RunLoopTimers, OneShotTimerIsInvalidAfterFiringAndInvalidatedOnesNeverFire) {
  int fired = 0;
  bool validInside = false;
  auto once = loop().scheduleTimer(1, false, [&](Timer& t) {
    ++fired;
    validInside = t.isValid();
  });
  auto never = loop().scheduleTimer(1, false, [&](Timer&) { ++fired; });
  EXPECT_DOUBLE_EQ(once->fireDate(), now() + 1);
  EXPECT_EQ(once->interval(), 0.0);
  never->invalidate();
  runFor(5);
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(validInside);
  EXPECT_FALSE(once->isValid());
  EXPECT_FALSE(never->isValid());
  once->invalidate();  // harmless afterwards
}

TEST_F(RunLoopTimers, RepeatingTimerKeepsItsCadenceUntilInvalidated) {
  const double start = now();
  std::vector<double> at;
  auto t = loop().scheduleTimer(1.5, true, [&](Timer& self) {
    at.push_back(now() - start);
    EXPECT_DOUBLE_EQ(self.fireDate(), now() + 1.5);
  });
  EXPECT_DOUBLE_EQ(t->interval(), 1.5);
  // Busy callbacks in between do not shift the grid.
  loop().performAfter(2, this, [&] { clock().advance(0.2); });
  runFor(6);
  EXPECT_EQ(at, (std::vector<double>{1.5, 3, 4.5, 6}));
  t->invalidate();
  runFor(10);
  EXPECT_EQ(at.size(), 4u);
}

TEST_F(RunLoopTimers, RepeatingTimerSkipsDatesMissedWhileTheLoopWasAway) {
  int fired = 0;
  auto t = loop().scheduleTimer(1, true, [&](Timer&) { ++fired; });
  const double start = now();
  clock().advance(3.5);
  loop().runOnce(0);
  EXPECT_EQ(fired, 1);
  EXPECT_DOUBLE_EQ(t->fireDate(), start + 4);
  t->invalidate();
}

TEST_F(RunLoopTimers, InvalidationInsideACallbackOfTheSamePassWins) {
  std::vector<std::string> log;
  std::shared_ptr<Timer> second, repeating;
  loop().scheduleTimer(1, false, [&](Timer&) {
    log.push_back("first");
    second->invalidate();
    repeating->invalidate();
  });
  second = loop().scheduleTimer(1, false, [&](Timer&) { log.push_back("second"); });
  repeating = loop().scheduleTimer(0.5, true, [&](Timer&) { log.push_back("repeating"); });
  runFor(3);
  // The repeating timer fired at 0.5 only; at 1 it comes after "first" and is gone.
  EXPECT_EQ(log, (std::vector<std::string>{"repeating", "first"}));

  // A repeating timer invalidating itself releases its callback's captures.
  auto token = std::make_shared<int>(7);
  std::weak_ptr<int> watch = token;
  loop().scheduleTimer(1, true, [token, n = 0](Timer& self) mutable {
    if (++n == 2) self.invalidate();
  });
  token.reset();
  runFor(5);
  EXPECT_TRUE(watch.expired());
}

TEST_F(RunLoopTimers, CancelledPerformsNeverRun) {
  int a = 0, b = 0;
  int targetA = 0, targetB = 0;
  loop().performAfter(1, &targetA, [&] {
    ++a;
    loop().cancelPerforms(&targetA);  // the other perform of A due in this same pass
  });
  loop().performAfter(1, &targetA, [&] { ++a; });
  loop().performAfter(1, &targetB, [&] { ++b; });
  loop().performAfter(2, &targetA, [&] { ++a; });
  loop().performAfter(3, &targetB, [&] { ++b; });
  runFor(5);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);

  loop().performAfter(0, &targetA, [&] { ++a; });
  loop().cancelPerforms(&targetA);
  loop().cancelPerforms(nullptr);
  runFor(1);
  EXPECT_EQ(a, 1);
}

TEST_F(RunLoopTimers, RunUntilStopsAtTheMomentThePredicateHolds) {
  const double start = now();
  bool done = false;
  loop().performAfter(2, this, [&] { done = true; });
  EXPECT_TRUE(runUntil([&] { return done; }, 10));
  EXPECT_DOUBLE_EQ(now(), start + 2);
  EXPECT_FALSE(runUntil([] { return false; }, 3));
  EXPECT_DOUBLE_EQ(now(), start + 5);
  // Already true: nothing runs, no time passes.
  int ran = 0;
  loop().performAfter(0, this, [&] { ++ran; });
  EXPECT_TRUE(runUntil([] { return true; }, 3));
  EXPECT_EQ(ran, 0);
  EXPECT_DOUBLE_EQ(now(), start + 5);
}

TEST_F(RunLoopTimers, RunOnceWaitsAtMostItsMaxWaitOfVirtualTime) {
  const double start = now();
  int fired = 0;
  loop().scheduleTimer(5, false, [&](Timer&) { ++fired; });
  EXPECT_FALSE(loop().runOnce(1));
  EXPECT_DOUBLE_EQ(now(), start + 1);
  EXPECT_TRUE(loop().runOnce(3600));
  EXPECT_EQ(fired, 1);
  EXPECT_DOUBLE_EQ(now(), start + 5);
}

TEST_F(RunLoopTimers, ExceptionsInCallbacksAreReportedAndTheLoopGoesOn) {
  int after = 0;
  loop().scheduleTimer(1, false, [](Timer&) { throw std::runtime_error("timer boom"); });
  loop().performAfter(1, this, [] { throw 42; });
  loop().performOnMain([] { throw std::logic_error("posted boom"); });
  loop().scheduleTimer(1, false, [&](Timer&) { ++after; });
  testing::internal::CaptureStderr();
  runFor(2);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(after, 1);
  EXPECT_NE(err.find("timer boom"), std::string::npos);
  EXPECT_NE(err.find("posted boom"), std::string::npos);
  EXPECT_NE(err.find("non-standard"), std::string::npos);
}

TEST_F(RunLoopTimers, SwitchingClocksKeepsTheTimeLeft) {
  int fired = 0;
  loop().scheduleTimer(5, false, [&](Timer&) { ++fired; });
  runFor(2);
  auto other = std::make_shared<VirtualClock>(100);
  loop().setClock(other);
  loop().runFor(2.5);
  EXPECT_EQ(fired, 0);
  loop().runFor(0.5);
  EXPECT_EQ(fired, 1);
  EXPECT_DOUBLE_EQ(other->now(), 103);
  EXPECT_THROW(loop().setClock(nullptr), std::invalid_argument);
}

TEST_F(RunLoopTimers, RecordSecondsFollowTheClockInUseButNeverPassTheRealTime) {
  auto other = std::make_shared<VirtualClock>(1'700'000'000.75);
  loop().setClock(other);
  EXPECT_EQ(loop().recordWholeSeconds(), 1'700'000'000);
  other->advance(0.25);
  EXPECT_EQ(loop().recordWholeSeconds(), 1'700'000'001);
  // A virtual clock that waited its way ahead of the real one dates records at the real time,
  // while its timers go on at its own.
  // Bounded by real readings taken on either side: a busy machine may stop the test between them.
  other->set(Clock::realNow() + 3600);
  const std::int64_t realBefore = Clock::realWholeSeconds();
  const std::int64_t ahead = loop().recordWholeSeconds();
  // Against the fine reading: the coarse one may trail it by a tick just after a second turns.
  EXPECT_LE(ahead, static_cast<std::int64_t>(std::floor(Clock::realNow())));
  EXPECT_GE(ahead, realBefore - 1);
  const double record = other->recordNow();
  EXPECT_LE(record, Clock::realNow());
  EXPECT_GT(loop().now(), Clock::realNow() + 3000);
  // Back on the real clock the coarse reading may trail now() by a tick, never by a second.
  loop().setClock(Clock::real());
  const double before = loop().now();
  const std::int64_t whole = loop().recordWholeSeconds();
  EXPECT_GE(whole, static_cast<std::int64_t>(before) - 1);
  EXPECT_LE(whole, static_cast<std::int64_t>(loop().now()));
}

using RunLoopModes = VirtualRunLoopTest;

TEST_F(RunLoopModes, ItemsRunOnlyInTheirModes) {
  std::vector<std::string> log;
  loop().scheduleTimer(
      1, false, [&](Timer&) { log.push_back("custom-timer"); }, CustomMode);
  loop().scheduleTimer(
      1, false, [&](Timer&) { log.push_back("default-timer"); }, DefaultRunLoopMode);
  loop().scheduleTimer(1, false, [&](Timer&) { log.push_back("common-timer"); });
  loop().performAfter(1, this, [&] { log.push_back("perform"); });

  loop().runFor(2, CustomMode);
  EXPECT_EQ(log, (std::vector<std::string>{"custom-timer", "common-timer"}));
  loop().performOnMain([&] { log.push_back("posted"); });
  loop().runOnce(0, CustomMode);
  EXPECT_EQ(log.back(), "posted");
  log.clear();
  runFor(0);
  EXPECT_EQ(log, (std::vector<std::string>{"default-timer", "perform"}));

  EXPECT_THROW(loop().runOnce(0, CommonRunLoopModes), std::invalid_argument);
  EXPECT_THROW(loop().runFor(1, ""), std::invalid_argument);
}

TEST_F(RunLoopModes, FdSourcesRunOnlyInTheirModes) {
  SocketPair p;
  int custom = 0, common = 0;
  loop().addFdSource(
      p.fd[0], RunLoop::Readable, [&](unsigned) { ++custom; }, CustomMode);
  loop().addFdSource(p.fd[0], RunLoop::Readable, [&](unsigned) { ++common; });
  writeAll(p.fd[1], "x");
  loop().runOnce(0);
  EXPECT_EQ(custom, 0);
  EXPECT_EQ(common, 1);
  loop().runOnce(0, CustomMode);
  EXPECT_EQ(custom, 1);
  EXPECT_EQ(common, 2);
}

using RunLoopSources = VirtualRunLoopTest;

TEST_F(RunLoopSources, ReadableAndWritableEventsReachTheCallback) {
  SocketPair p;
  const double start = now();
  std::string got;
  std::vector<unsigned> events;
  RunLoop::SourceId reader = loop().addFdSource(p.fd[0], RunLoop::Readable, [&](unsigned ev) {
    events.push_back(ev);
    got += readSome(p.fd[0]);
    if (got == "hello") loop().removeFdSource(reader);  // removing itself from inside
  });
  int writable = 0;
  RunLoop::SourceId writer = loop().addFdSource(p.fd[1], RunLoop::Writable, [&](unsigned ev) {
    EXPECT_EQ(ev, unsigned(RunLoop::Writable));
    if (++writable == 1) writeAll(p.fd[1], "hello");
    loop().updateFdSource(writer, 0);  // paused
  });

  EXPECT_TRUE(runUntil([&] { return got == "hello"; }, 10));
  EXPECT_EQ(writable, 1);
  EXPECT_EQ(events, (std::vector<unsigned>{RunLoop::Readable}));
  // Ready fds are handled at the current virtual time.
  EXPECT_DOUBLE_EQ(now(), start);

  writeAll(p.fd[1], "more");
  runFor(1);
  EXPECT_EQ(got, "hello");        // the reader is gone
  loop().removeFdSource(reader);  // unknown by now: nothing happens
  loop().updateFdSource(writer, RunLoop::Writable);
  runFor(0);
  EXPECT_EQ(writable, 2);
}

TEST_F(RunLoopSources, HangUpCountsAsReadable) {
  SocketPair p;
  std::string got = "none";
  RunLoop::SourceId id = loop().addFdSource(p.fd[0], RunLoop::Readable, [&](unsigned ev) {
    EXPECT_EQ(ev, unsigned(RunLoop::Readable));
    got = readSome(p.fd[0]);
    loop().updateFdSource(id, 0);
  });
  p.closeEnd(1);
  runFor(0);
  EXPECT_EQ(got, "");
}

TEST_F(RunLoopSources, ClosedFdIsReportedAndDropped) {
  // Capture first: its file must not reuse the closed fd's number.
  testing::internal::CaptureStderr();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int calls = 0;
  loop().addFdSource(fds[0], RunLoop::Readable, [&](unsigned) { ++calls; });
  ::close(fds[0]);
  ::close(fds[1]);
  runFor(1);
  runFor(1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(calls, 0);
  EXPECT_NE(err.find("not open"), std::string::npos);
  EXPECT_THROW(loop().addFdSource(-1, RunLoop::Readable, [](unsigned) {}), std::invalid_argument);
}

// A source watching for news that may never come does not hold virtual time: a hundred timer
// steps would wait 25 ms of real time each for an active source.
TEST_F(RunLoopSources, APassiveSourceIsPolledButNotWaitedFor) {
  SocketPair p;
  std::string got;
  RunLoop::SourceId id =
      loop().addFdSource(p.fd[0], RunLoop::Readable, [&](unsigned) { got += readSome(p.fd[0]); });
  loop().setFdSourcePassive(id, true);
  int ticks = 0;
  loop().scheduleTimer(0.01, true, [&](Timer&) { ++ticks; });
  const auto realStart = std::chrono::steady_clock::now();
  runFor(1);
  EXPECT_EQ(ticks, 100);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::milliseconds(1500));
  writeAll(p.fd[1], "news");
  runFor(0);
  EXPECT_EQ(got, "news");
}

TEST_F(RunLoopSources, PeerThreadOnALocalSocketCanAnswerUnderVirtualTime) {
  SocketPair p;
  std::thread echo([fd = p.fd[1]] {
    std::string in = readSome(fd);
    writeAll(fd, "echo:" + in);
  });
  std::string got;
  bool timedOut = false;
  loop().scheduleTimer(1000, false, [&](Timer&) { timedOut = true; });
  loop().addFdSource(p.fd[0], RunLoop::Readable, [&](unsigned) { got += readSome(p.fd[0]); });
  loop().performOnMain([&] { writeAll(p.fd[0], "ping"); });
  // Each idle step polls for real a little before moving the clock one second on.
  for (int i = 0; i < 400 && got != "echo:ping"; ++i) runUntil([&] { return got == "echo:ping"; }, 1);
  echo.join();
  EXPECT_EQ(got, "echo:ping");
  EXPECT_FALSE(timedOut);
}

// A caller holding virtual time still while a peer answers: the answer is handled as soon as it
// arrives, however long the wait allowed, and no timer of the virtual clock comes due meanwhile.
TEST_F(RunLoopSources, AHeldPassHandlesTheAnswerAtOnceAndNeverMovesTheClock) {
  SocketPair p;
  const double start = now();
  bool timedOut = false;
  loop().scheduleTimer(1, false, [&](Timer&) { timedOut = true; });
  std::string got;
  loop().addFdSource(p.fd[0], RunLoop::Readable, [&](unsigned) { got += readSome(p.fd[0]); });
  EXPECT_FALSE(loop().runOnceHoldingClock(0.01));
  EXPECT_DOUBLE_EQ(now(), start);
  std::thread peer([fd = p.fd[1]] { writeAll(fd, "answer"); });
  // The wait ends with the answer, not after an hour.
  EXPECT_TRUE(loop().runOnceHoldingClock(3600));
  peer.join();
  EXPECT_EQ(got, "answer");
  int posted = 0;
  std::thread poster([&] { loop().performOnMain([&] { ++posted; }); });
  EXPECT_TRUE(loop().runOnceHoldingClock(3600));
  poster.join();
  EXPECT_EQ(posted, 1);
  EXPECT_DOUBLE_EQ(now(), start);
  EXPECT_FALSE(timedOut);
  // What is due at the standing time still runs.
  loop().performAfter(0, nullptr, [&] { ++posted; });
  EXPECT_TRUE(loop().runOnceHoldingClock(0));
  EXPECT_EQ(posted, 2);
}

using RunLoopNesting = VirtualRunLoopTest;

TEST_F(RunLoopNesting, NestedRunUntilLeavesTheOuterPassConsistent) {
  std::vector<std::string> log;
  bool answered = false;
  int ticks = 0;
  auto ticker = loop().scheduleTimer(1, true, [&](Timer&) {
    ++ticks;
    if (ticks == 1) {
      // A modal wait inside a callback: the ticker itself is not re-entered meanwhile.
      log.push_back("modal");
      EXPECT_TRUE(runUntil([&] { return answered; }, 10));
      log.push_back("modal done");
    }
  });
  loop().scheduleTimer(1, false, [&](Timer&) { log.push_back("same pass"); });
  loop().scheduleTimer(3, false, [&](Timer&) {
    log.push_back("answer");
    answered = true;
  });
  loop().performAfter(2, this, [&] {
    log.push_back("perform");
    loop().scheduleTimer(0.5, false, [&](Timer&) { log.push_back("added inside"); });
  });
  runFor(3);
  ticker->invalidate();
  // "same pass" was due in the outer pass and ran once, inside the nested run.
  EXPECT_EQ(log, (std::vector<std::string>{"modal", "same pass", "perform", "added inside", "answer",
                                           "modal done"}));
  // After the modal the ticker fired once for the date it missed, not once per missed date.
  EXPECT_EQ(ticks, 2);
}

TEST_F(RunLoopNesting, NestedRunsKeepPostedWorkInOrder) {
  std::vector<int> order;
  loop().performOnMain([&] {
    order.push_back(1);
    loop().runOnce(0);
    order.push_back(99);
  });
  loop().performOnMain([&] { order.push_back(2); });
  loop().performOnMain([&] {
    order.push_back(3);
    loop().performOnMain([&] { order.push_back(4); });
  });
  EXPECT_TRUE(runUntil([&] { return order.size() == 5; }, 1));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 99, 4}));
}

TEST_F(RunLoopNesting, FdSourceIsNotReenteredByANestedRun) {
  SocketPair p;
  int depth = 0, maxDepth = 0, calls = 0;
  loop().addFdSource(p.fd[0], RunLoop::Readable, [&](unsigned) {
    ++calls;
    maxDepth = std::max(maxDepth, ++depth);
    if (calls == 1) loop().runFor(1);  // the fd stays readable meanwhile
    readSome(p.fd[0]);
    --depth;
  });
  writeAll(p.fd[1], "x");
  runFor(0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(maxDepth, 1);
}

using RunLoopThreads = VirtualRunLoopTest;

TEST_F(RunLoopThreads, StopEndsTheInnermostRun) {
  std::vector<std::string> log;
  loop().performAfter(1, this, [&] {
    log.push_back("inner start");
    loop().performAfter(1, this, [&] { loop().stop(); });
    EXPECT_FALSE(runUntil([] { return false; }, 100));
    log.push_back("inner stopped");
  });
  loop().performAfter(5, this, [&] {
    log.push_back("outer stop");
    loop().stop();
  });
  loop().run();
  EXPECT_EQ(log, (std::vector<std::string>{"inner start", "inner stopped", "outer stop"}));
  // A stop with no run going ends the next run after one pass.
  loop().stop();
  loop().run();
}

TEST_F(RunLoopThreads, DiscardAllDropsEverythingUnrun) {
  int ran = 0;
  SocketPair p;
  auto t = loop().scheduleTimer(1, true, [&](Timer&) { ++ran; });
  loop().performAfter(1, this, [&] { ++ran; });
  loop().performOnMain([&] { ++ran; });
  loop().addFdSource(p.fd[0], RunLoop::Readable | RunLoop::Writable, [&](unsigned) { ++ran; });
  writeAll(p.fd[1], "x");
  loop().discardAll();
  runFor(5);
  EXPECT_EQ(ran, 0);
  EXPECT_FALSE(t->isValid());
}

TEST(RunLoopCrossThread, PerformOnMainFromAnotherThreadArrivesInOrder) {
  auto loop = RunLoop::create();
  std::vector<int> got;
  loop->performOnMain([&] { got.push_back(-1); });  // posted before any run: kept
  std::atomic<bool> otherThreadSaw{true};
  std::thread poster([&] {
    otherThreadSaw = loop->isCurrentThread();
    for (int i = 0; i < 200; ++i) loop->performOnMain([&got, i] { got.push_back(i); });
  });
  EXPECT_TRUE(loop->isCurrentThread());
  // Real clock: a short real wait for the other thread.
  EXPECT_TRUE(loop->runUntil([&] { return got.size() == 201; }, 10));
  poster.join();
  EXPECT_FALSE(otherThreadSaw);
  ASSERT_EQ(got.size(), 201u);
  for (int i = 0; i < 201; ++i) EXPECT_EQ(got[size_t(i)], i - 1);
}

TEST(RunLoopCrossThread, StopFromAnotherThreadWakesARunningLoop) {
  auto loop = RunLoop::create();
  std::atomic<bool> running{false};
  loop->performOnMain([&] { running = true; });
  std::thread stopper([&] {
    while (!running) std::this_thread::yield();
    loop->stop();
  });
  loop->run();  // blocks on the wake-up until the stop arrives
  stopper.join();
  EXPECT_TRUE(running);
}

TEST(RunLoopCrossThread, ACreatedLoopCanBeHandedToAnotherThread) {
  auto loop = RunLoop::create();
  int fired = 0;
  loop->scheduleTimer(0, false, [&](Timer&) { ++fired; });
  bool wasCurrent = false;
  std::thread worker([&] {
    loop->runOnce(0);
    wasCurrent = loop->isCurrentThread();
  });
  worker.join();
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(wasCurrent);
  EXPECT_FALSE(loop->isCurrentThread());

  RunLoop::main();  // this thread owns main() (when no earlier test asked for it)
  bool refused = false;
  std::thread intruder([&] {
    try {
      RunLoop::main().runOnce(0);
    } catch (const std::logic_error&) {
      refused = true;
    }
  });
  intruder.join();
  EXPECT_TRUE(refused);
  EXPECT_TRUE(RunLoop::main().isCurrentThread());
}
