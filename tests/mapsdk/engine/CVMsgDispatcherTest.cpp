#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/EngineTypes.h"
#include "tests/support/VirtualRunLoop.h"

using namespace gmengine;

// The queues and a few of the engine's messages, as the engine posts them.
constexpr int kEngine = CVMsgDispatcher::kEngineQueue;
constexpr int kUI = CVMsgDispatcher::kUIQueue;
constexpr int kData = ToInt(EngineMsg::HttpData);  // progress: a later one says the same
constexpr int kComplete = ToInt(EngineMsg::HttpComplete);
constexpr int kAttemptsOver = ToInt(EngineMsg::HttpAttemptsOver);
constexpr int kOffline = ToInt(EngineMsg::OfflineCommand);
constexpr int kSearch = ToInt(EngineMsg::SearchResult);
constexpr int kRepaint = ToInt(EngineMsg::Repaint);
constexpr int kPoiInCity = ToInt(SearchType::PoiInCity);

namespace {

struct Seen {
  int queue;
  int message;
  int wParam;
  int lParam;
  bool operator==(const Seen&) const = default;
};

// Hands each queue's messages to a function.
class Handler : public CVMsgHandler {
 public:
  using Proc = std::function<int(int message, int wParam, int lParam)>;
  Handler(Proc engine, Proc ui) : engine_(std::move(engine)), ui_(std::move(ui)) {}
  int EngineMessageProc(const VMessage& m) override {
    return engine_ ? engine_(m.message, m.wParam, m.lParam) : 0;
  }
  int UIMessageProc(const VMessage& m) override { return ui_ ? ui_(m.message, m.wParam, m.lParam) : 0; }

 private:
  Proc engine_;
  Proc ui_;
};

class CVMsgDispatcherTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void StartRecording() {
    handler = std::make_unique<Handler>([this](int m, int w, int l) { return Record(1, m, w, l); },
                                        [this](int m, int w, int l) { return Record(2, m, w, l); });
    dispatcher.Start(handler.get(), false);
  }
  void StartWith(Handler::Proc engine, bool runTimerThread) {
    handler = std::make_unique<Handler>(std::move(engine), nullptr);
    dispatcher.Start(handler.get(), runTimerThread);
  }
  int Record(int queue, int m, int w, int l) {
    std::lock_guard lock(mutex);
    seen.push_back({queue, m, w, l});
    return 0;
  }
  std::vector<Seen> Recorded() {
    std::lock_guard lock(mutex);
    return seen;
  }

  std::unique_ptr<Handler> handler;
  CVMsgDispatcher dispatcher;
  std::mutex mutex;
  std::vector<Seen> seen;
};

TEST_F(CVMsgDispatcherTest, TheMainThreadTakesOneMessagePerPostUiQueueFirst) {
  StartRecording();
  EXPECT_EQ(dispatcher.PostMessage(kEngine, kComplete, 0, 1), 1);
  EXPECT_EQ(dispatcher.PostMessage(kUI, kRepaint, 0, 0), 1);
  EXPECT_EQ(dispatcher.PostMessage(kEngine, kComplete, 0, 2), 1);
  EXPECT_EQ(dispatcher.PostMessage(kUI, kSearch, kPoiInCity, 0), 1);
  EXPECT_EQ(dispatcher.PostMessage(3, 1, 0, 0), 0);  // no such queue
  EXPECT_TRUE(Recorded().empty());                   // nothing runs on the posting call
  runFor(0);
  EXPECT_EQ(Recorded(), (std::vector<Seen>{{kUI, kRepaint, 0, 0},
                                           {kUI, kSearch, kPoiInCity, 0},
                                           {kEngine, kComplete, 0, 1},
                                           {kEngine, kComplete, 0, 2}}));
}

TEST_F(CVMsgDispatcherTest, AFullQueueRefusesOnlyRepeatableMessages) {
  StartRecording();
  for (int i = 0; i < CVMsgDispatcher::kQueueCapacity; ++i)
    ASSERT_EQ(dispatcher.PostMessage(kEngine, kData, 7, i), 1);
  EXPECT_EQ(dispatcher.PostMessage(kEngine, kData, 7, 50), 0);      // progress: a later one says the same
  EXPECT_EQ(dispatcher.PostMessage(kEngine, kComplete, 7, 51), 1);  // the answer itself is never lost
  EXPECT_EQ(dispatcher.PostMessage(kEngine, kAttemptsOver, 8, 52), 1);
  EXPECT_EQ(dispatcher.PostMessage(kEngine, kOffline, 14, 1), 1);
  EXPECT_EQ(dispatcher.PostMessage(kUI, kRepaint, 0, 0), 1);  // the other queue has its own room
  EXPECT_EQ(dispatcher.GetQueueCount(kEngine), 53);
  runFor(0);
  auto all = Recorded();
  ASSERT_EQ(all.size(), 54u);
  EXPECT_EQ(all.front(), (Seen{kUI, kRepaint, 0, 0}));
  EXPECT_EQ(all[51], (Seen{kEngine, kComplete, 7, 51}));
  EXPECT_EQ(all.back(), (Seen{kEngine, kOffline, 14, 1}));
  EXPECT_EQ(dispatcher.GetQueueCount(kEngine), 0);
  EXPECT_EQ(dispatcher.PostMessage(kEngine, kData, 7, 53), 1);  // room again once taken

  for (int i = 0; i < CVMsgDispatcher::kQueueCapacity; ++i)
    ASSERT_EQ(dispatcher.PostMessage(kUI, kRepaint, 0, i), 1);
  EXPECT_EQ(dispatcher.PostMessage(kUI, kRepaint, 0, 50), 0);
  EXPECT_EQ(dispatcher.PostMessage(kUI, kSearch, kPoiInCity, 0), 1);
}

TEST_F(CVMsgDispatcherTest, PostsFromOtherThreadsReachTheMainThreadInTheirOrder) {
  StartRecording();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 10; ++i) dispatcher.PostMessage(kEngine, kData, t, i);
    });
  }
  for (auto& thread : threads) thread.join();
  runFor(0);
  auto all = Recorded();
  ASSERT_EQ(all.size(), 40u);
  int next[4] = {};
  for (const Seen& s : all) EXPECT_EQ(s.lParam, next[s.wParam]++);
}

TEST_F(CVMsgDispatcherTest, MessagesPostedBeforeStartWaitForIt) {
  dispatcher.PostMessage(kEngine, kComplete, 0, 7);
  runFor(0);
  StartRecording();
  runFor(0);
  EXPECT_EQ(Recorded(), (std::vector<Seen>{{kEngine, kComplete, 0, 7}}));
}

TEST_F(CVMsgDispatcherTest, SendMessageRunsTheQueueProcedureAtOnce) {
  StartRecording();
  constexpr int kLocation = ToInt(EngineMsg::LocationChanged);
  std::thread other([this] { dispatcher.SendMessage(kUI, kLocation, 0, 0); });
  other.join();
  EXPECT_EQ(Recorded(), (std::vector<Seen>{{kUI, kLocation, 0, 0}}));
  EXPECT_EQ(dispatcher.GetQueueCount(kUI), 0);
}

TEST_F(CVMsgDispatcherTest, TimersCountTicksOfOneHundredMilliseconds) {
  StartRecording();
  dispatcher.SetTimer(ToInt(EngineTimer::Location), 1000);
  dispatcher.SetTimer(5, 150);
  for (int tick = 0; tick < 10; ++tick) dispatcher.OnTimerTick();
  int location = 0, fast = 0;
  for (const Seen& s : Recorded()) {
    EXPECT_EQ(s.queue, kEngine);
    EXPECT_EQ(s.message, ToInt(EngineMsg::Timer));
    (s.wParam == ToInt(EngineTimer::Location) ? location : fast)++;
  }
  EXPECT_EQ(location, 1);  // the 10th tick
  EXPECT_EQ(fast, 5);      // every second tick
  EXPECT_EQ(dispatcher.KillTimer(5), 1);
  EXPECT_EQ(dispatcher.KillTimer(5), 0);
  dispatcher.SetTimer(ToInt(EngineTimer::Location), 1000);  // set again: counts from 0
  for (int tick = 0; tick < 9; ++tick) dispatcher.OnTimerTick();
  EXPECT_EQ(Recorded().size(), 6u);
  dispatcher.OnTimerTick();
  EXPECT_EQ(Recorded().size(), 7u);
  EXPECT_EQ(dispatcher.SetTimer(1, -1), 0);
}

TEST_F(CVMsgDispatcherTest, ATimerKilledByAnEarlierTimerOfTheSameTickDoesNotRun) {
  StartWith(
      [this](int m, int w, int) {
        if (w == 1) dispatcher.KillTimer(2);
        return Record(1, m, w, 0);
      },
      false);
  dispatcher.SetTimer(1, 100);
  dispatcher.SetTimer(2, 100);
  dispatcher.OnTimerTick();
  EXPECT_EQ(Recorded(), (std::vector<Seen>{{kEngine, ToInt(EngineMsg::Timer), 1, 0}}));
}

TEST_F(CVMsgDispatcherTest, TheTimerThreadRunsTimersAndStopJoinsIt) {
  std::mutex m;
  std::condition_variable fired;
  int count = 0;
  std::thread::id timerThread;
  StartWith(
      [&](int, int, int) {
        std::lock_guard lock(m);
        ++count;
        timerThread = std::this_thread::get_id();
        fired.notify_all();
        return 0;
      },
      true);
  EXPECT_TRUE(dispatcher.IsTimerRunning());
  dispatcher.SetTimer(3, 100);
  {
    std::unique_lock lock(m);
    ASSERT_TRUE(fired.wait_for(lock, std::chrono::seconds(10), [&] { return count > 0; }));
    EXPECT_NE(timerThread, std::this_thread::get_id());
  }
  dispatcher.KillTimer(3);
  int after;
  {
    std::lock_guard lock(m);
    after = count;
  }
  EXPECT_EQ(dispatcher.Stop(), 1);
  EXPECT_FALSE(dispatcher.IsTimerRunning());
  std::lock_guard lock(m);
  EXPECT_EQ(count, after);  // nothing ran once KillTimer returned
}

}  // namespace
