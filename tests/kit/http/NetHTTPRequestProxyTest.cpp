#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "demo/LoopbackSocket.h"
#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "tests/kit/http/HttpTestSupport.h"
#include "tests/support/LoopbackSocksProxy.h"

using namespace httptest;

namespace {

// Time that moves only when the test moves it. A VirtualClock would not do for the network thread:
// its loop moves that one itself once the requests it runs are older than
// RunLoop::OutsideWorkHold of real time, which a busy machine reaches.
class HeldClock : public platform::Clock {
 public:
  explicit HeldClock(double start) : now_(start) {}
  double now() const override { return now_.load(); }
  void advance(double seconds) { now_.fetch_add(seconds); }

 private:
  std::atomic<double> now_;
};

// A host that writes its answer a piece at a time, each when the test says, from the test's own
// thread: what a request hears from it, and when, is the test's to decide.
class PieceByPieceHost {
 public:
  PieceByPieceHost() : listener_(kavro::test::listenOnLoopback(4, port_)) {}
  ~PieceByPieceHost() {
    hangUp();
    ::close(listener_);
  }
  PieceByPieceHost(const PieceByPieceHost&) = delete;
  PieceByPieceHost& operator=(const PieceByPieceHost&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Takes the next connection and reads its request up to the blank line: its first line, or none
  // when nothing came in time.
  std::optional<std::string> accept() {
    hangUp();
    if (!readable(listener_)) return std::nullopt;
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    std::string head;
    while (connection_ >= 0 && head.find("\r\n\r\n") == std::string::npos) {
      char buffer[1024];
      long n = readable(connection_) ? ::recv(connection_, buffer, sizeof buffer, 0) : 0;
      if (n <= 0) return std::nullopt;
      head.append(buffer, static_cast<std::size_t>(n));
    }
    if (connection_ < 0) return std::nullopt;
    return head.substr(0, head.find("\r\n"));
  }
  bool send(const std::string& bytes) {
    return connection_ >= 0 &&
           ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<long>(bytes.size());
  }
  void hangUp() {
    if (connection_ >= 0) ::close(connection_);
    connection_ = -1;
  }

 private:
  // Twenty seconds at most: only a request that never comes waits that long.
  static bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    int n;
    do n = ::poll(&p, 1, 20000);
    while (n < 0 && errno == EINTR);
    return n == 1;
  }

  std::uint16_t port_ = 0;
  int listener_;
  int connection_ = -1;
};

class NetHTTPRequestProxyTest : public HttpTest {
 protected:
  void useScript(const std::string& script) {
    std::string path = home.path() + "/proxy.pac";
    platform::FileManager::createFileAtPath(path, platform::dataFromString(script));
    platform::SystemProxySettings settings;
    settings.autoConfigurationURL = platform::URL::fileURLWithPath(path);
    platform::SystemProxySettings::setOverride(settings);
  }
  // The places lent to a request waiting for its script come back on the network thread, which may
  // run after the request ended.
  bool queueIsBackToFour() {
    return wait([] { return NetHTTPRequest::sharedQueue()->maxConcurrentOperationCount() == 4; });
  }
  // A script has two seconds of real time from the start of its process, which a loaded machine
  // can spend before the process is scheduled; the request then rightly goes direct, which says
  // nothing of how the script's answer is used: such a request is made anew, a few times at most.
  std::shared_ptr<NetHTTPRequest> runScripted(const std::function<std::shared_ptr<NetHTTPRequest>()>& make) {
    for (int attempt = 1;; ++attempt) {
      auto r = make();
      run(r);
      auto error = r->PACScriptError();
      if (attempt == 5 || !error || error->localizedDescription != "The script ran out of time") return r;
    }
  }
  // A request of its own that waits for the script at pacURL, at most timeOut without a byte.
  struct Waiter {
    std::shared_ptr<NetHTTPRequest> request;
    std::shared_ptr<Recorder> recorder;
  };
  Waiter startWaiter(const std::string& path, const std::string& pacURL, double timeOut) {
    Waiter w{make(path), std::make_shared<Recorder>()};
    w.request->setDelegate(w.recorder);
    w.request->setPACurl(url(pacURL));
    w.request->setTimeOutSeconds(timeOut);
    w.request->startAsynchronous();
    return w;
  }
};

TEST_F(NetHTTPRequestProxyTest, SystemSettingsAndOwnProxy) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("proxied " + r.target); });
  platform::SystemProxySettings settings;
  settings.httpProxy =
      platform::ProxyEntry{std::string(platform::ProxyTypeHTTP), "127.0.0.1", server.port(), {}};
  platform::SystemProxySettings::setOverride(settings);
  auto r = NetHTTPRequest::requestWithURL(url("http://far.example/a"));
  run(r);
  EXPECT_EQ(r->responseString(), "proxied http://far.example/a");
  EXPECT_EQ(r->proxyHost(), "127.0.0.1");

  // A request's own proxy wins over the system's.
  LoopbackHttpServer own;
  own.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("own"); });
  auto mine = NetHTTPRequest::requestWithURL(url("http://far.example/b"));
  mine->setProxyHost("127.0.0.1");
  mine->setProxyPort(own.port());
  run(mine);
  EXPECT_EQ(mine->responseString(), "own");
}

TEST_F(NetHTTPRequestProxyTest, AutoConfigurationFromAFile) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("pac " + r.target); });
  // ISO Latin 1 text ("é" as one byte) is still read.
  useScript(
      "// caf\xE9\nfunction FindProxyForURL(url, host) {\n"
      "  if (shExpMatch(host, '*.example')) return 'PROXY 127.0.0.1:" +
      std::to_string(server.port()) +
      "; DIRECT';\n"
      "  return 'DIRECT';\n}\n");
  auto r = runScripted([&] { return NetHTTPRequest::requestWithURL(url("http://far.example/c")); });
  EXPECT_EQ(r->responseString(), "pac http://far.example/c");
  EXPECT_EQ(r->proxyPort(), server.port());

  auto direct = make("/direct");
  run(direct);
  EXPECT_EQ(direct->responseString(), "pac /direct");
  EXPECT_FALSE(direct->proxyHost());
}

TEST_F(NetHTTPRequestProxyTest, AutoConfigurationOverHTTPAndSOCKS) {
  LoopbackHttpServer target;
  target.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("socks " + r.target); });
  kavro::test::LoopbackSocksProxy socks(target.port());
  server.setHandler([&](const RecordedRequest&) {
    return ScriptedResponse::ok(
        "function FindProxyForURL(u, h) { return 'SOCKS 127.0.0.1:" + std::to_string(socks.port()) + "'; }");
  });
  auto r = runScripted([&] {
    auto request = NetHTTPRequest::requestWithURL(url("http://far.example/s"));
    request->setPACurl(url(server.url("/proxy.pac")));
    return request;
  });
  EXPECT_FALSE(r->PACScriptError());
  EXPECT_EQ(r->responseString(), "socks /s");
  EXPECT_EQ(r->proxyType(), std::string(platform::ProxyTypeSOCKS));
  ASSERT_EQ(socks.targets().size(), 1u);
  EXPECT_EQ(socks.targets()[0].host, "far.example");
  EXPECT_TRUE(queueIsBackToFour());

  // A script that cannot be fetched leaves the request direct; a PAC URL that is not HTTP is skipped.
  auto failed = make("/x");
  failed->setPACurl(url("http://127.0.0.1:1/none.pac"));
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("direct"); });
  run(failed);
  EXPECT_EQ(failed->responseString(), "direct");
  EXPECT_TRUE(queueIsBackToFour());
  auto ftp = make("/y");
  ftp->setPACurl(url("ftp://127.0.0.1/proxy.pac"));
  run(ftp);
  EXPECT_EQ(ftp->responseString(), "direct");
}

TEST_F(NetHTTPRequestProxyTest, RequestsWaitingForTheirScriptLeaveTheQueueToOthers) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  std::string path = home.path() + "/looping.pac";
  platform::FileManager::createFileAtPath(
      path, platform::dataFromString("function FindProxyForURL(u, h) { for (;;) {} }"));
  // As many waiting requests as the queue runs at once: the script runs until its deadline.
  std::vector<std::shared_ptr<Recorder>> waiting;
  std::vector<std::shared_ptr<NetHTTPRequest>> scripted;
  for (int i = 0; i < NetHTTPRequest::sharedQueue()->maxConcurrentOperationCount(); ++i) {
    auto r = make("/scripted", waiting.emplace_back(std::make_shared<Recorder>()));
    r->setPACurl(platform::URL::fileURLWithPath(path));
    r->startAsynchronous();
    scripted.push_back(r);
  }
  auto plain = run(make("/plain"));
  EXPECT_EQ(plain->calls.back(), "finished");
  ASSERT_GE(server.requestCount(), 1u);
  EXPECT_EQ(server.requests().front().target, "/plain");

  // The scripts fail at their deadline and the requests go direct; the queue is as it was.
  EXPECT_TRUE(
      wait([&] { return std::all_of(waiting.begin(), waiting.end(), [](auto& w) { return w->done(); }); }));
  for (auto& r : scripted) EXPECT_TRUE(r->PACScriptError());
  EXPECT_EQ(server.requestCount(), scripted.size() + 1);
  EXPECT_TRUE(queueIsBackToFour());
}

// A proxy script host that answers late: more requests wait for its script than the queue has
// places, and a plain request still goes ahead; all of them share one download of the script.
TEST_F(NetHTTPRequestProxyTest, RequestsWaitingForADownloadingScriptShareItAndHoldNoPlace) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  std::vector<std::string> events;
  LoopbackHttpServer pacHost;
  pacHost.setHandler([&](const RecordedRequest&) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return open; });
    events.push_back("script answered");
    return ScriptedResponse::ok("function FindProxyForURL(u, h) { return 'DIRECT'; }");
  });
  auto release = [&] {
    std::lock_guard<std::mutex> lock(m);
    open = true;
    cv.notify_all();
  };
  // The host is let go however the test ends, or its connection thread would hold the server.
  std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { release(); });

  const int places = NetHTTPRequest::sharedQueue()->maxConcurrentOperationCount();
  std::vector<std::shared_ptr<Recorder>> waiting;
  std::vector<std::shared_ptr<NetHTTPRequest>> scripted;
  for (int i = 0; i < 2 * places; ++i) {
    auto r = make("/scripted", waiting.emplace_back(std::make_shared<Recorder>()));
    r->setPACurl(url(pacHost.url("/proxy.pac")));
    // Waits for the host far longer than the test waits for the plain request.
    r->setTimeOutSeconds(120);
    r->startAsynchronous();
    scripted.push_back(r);
  }
  auto plainRecorder = std::make_shared<Recorder>();
  auto plain = make("/plain", plainRecorder);
  plain->startAsynchronous();
  wait([&] { return plainRecorder->done(); }, 60);
  {
    std::lock_guard<std::mutex> lock(m);
    events.push_back(plainRecorder->done() ? "plain finished" : "plain still waiting");
  }
  release();
  EXPECT_TRUE(
      wait([&] { return std::all_of(waiting.begin(), waiting.end(), [](auto& w) { return w->done(); }); }));
  {
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(events, (std::vector<std::string>{"plain finished", "script answered"}));
  }
  EXPECT_EQ(plainRecorder->calls.back(), "finished");
  EXPECT_EQ(pacHost.requestCount(), 1u);
  for (auto& w : waiting) EXPECT_EQ(w->calls.back(), "finished");
  EXPECT_EQ(server.requestCount(), scripted.size() + 1);
  EXPECT_TRUE(queueIsBackToFour());
}

// Requests waiting for one download leave it one by one: the others still get the script, and the
// download is cancelled only when none waits; the queue's limit comes back either way.
TEST_F(NetHTTPRequestProxyTest, CancelledWaitersLeaveTheSharedDownloadToTheOthers) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  LoopbackHttpServer pacHost;
  pacHost.setHandler([&](const RecordedRequest&) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return open; });
    return ScriptedResponse::ok("function FindProxyForURL(u, h) { return 'DIRECT'; }");
  });
  auto release = [&] {
    std::lock_guard<std::mutex> lock(m);
    open = true;
    cv.notify_all();
  };
  std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { release(); });

  std::vector<std::shared_ptr<Recorder>> waiting;
  std::vector<std::shared_ptr<NetHTTPRequest>> scripted;
  for (int i = 0; i < 3; ++i) {
    auto r = make("/scripted", waiting.emplace_back(std::make_shared<Recorder>()));
    r->setPACurl(url(pacHost.url("/shared.pac")));
    r->setTimeOutSeconds(120);
    r->startAsynchronous();
    scripted.push_back(r);
  }
  ASSERT_TRUE(wait([&] { return pacHost.requestCount() == 1; }));
  scripted[0]->cancel();
  scripted[1]->cancel();
  EXPECT_TRUE(wait([&] { return waiting[0]->done() && waiting[1]->done(); }));
  release();
  EXPECT_TRUE(wait([&] { return waiting[2]->done(); }));
  EXPECT_EQ(waiting[2]->calls.back(), "finished");
  EXPECT_EQ(pacHost.requestCount(), 1u);
  EXPECT_TRUE(queueIsBackToFour());

  // Every waiter gone: the download is cancelled and its place given back.
  {
    std::lock_guard<std::mutex> lock(m);
    open = false;
  }
  auto alone = make("/alone", std::make_shared<Recorder>());
  alone->setPACurl(url(pacHost.url("/alone.pac")));
  alone->setTimeOutSeconds(120);
  alone->startAsynchronous();
  ASSERT_TRUE(wait([&] { return pacHost.requestCount() == 2; }));
  alone->cancel();
  EXPECT_TRUE(queueIsBackToFour());
  release();
}

// A proxy script host that answers when the test lets it. Each request waiting for a shared script
// ends at its own time-out, as a request alone ends when its own download hears nothing for that
// long; the download goes on while one still waits. A round that ended (the script came, failed, or
// every waiter left) leaves nothing behind: the next request for that script fetches it afresh.
TEST_F(NetHTTPRequestProxyTest, EveryWaiterForASharedScriptKeepsItsOwnTimeOut) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("via " + r.target); });
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  bool closeUnanswered = false;
  // Before the host: its threads read the script until it stops.
  const std::string script =
      "function FindProxyForURL(u, h) { return 'PROXY 127.0.0.1:" + std::to_string(server.port()) + "'; }";
  LoopbackHttpServer pacHost;
  pacHost.setHandler([&](const RecordedRequest&) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return open; });
    ScriptedResponse answer = ScriptedResponse::ok(script);
    answer.closeWithoutResponse = closeUnanswered;
    return answer;
  });
  auto gate = [&](bool opened, bool unanswered = false) {
    std::lock_guard<std::mutex> lock(m);
    open = opened;
    closeUnanswered = unanswered;
    cv.notify_all();
  };
  std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { gate(true); });
  auto fetches = [&](const std::string& pac) {
    auto all = pacHost.requests();
    return std::count_if(all.begin(), all.end(), [&](const RecordedRequest& r) { return r.target == pac; });
  };
  auto reached = [&](const std::string& target) {
    auto all = server.requests();
    return std::any_of(all.begin(), all.end(), [&](const RecordedRequest& r) { return r.target == target; });
  };
  auto start = [&](const std::string& path, const std::string& pac, double timeOut) {
    return startWaiter(path, pacHost.url(pac), timeOut);
  };
  const std::string proxied = "via " + server.url("");
  // The script reached the request: it went through the proxy the script names, or the script
  // ran and failed (a machine too busy to run it within its deadline sends the request direct).
  auto gotScript = [&](const Waiter& w, const std::string& path) -> ::testing::AssertionResult {
    if (w.request->responseString() == proxied + path) return ::testing::AssertionSuccess();
    if (auto error = w.request->PACScriptError())
      return ::testing::AssertionSuccess() << "the script failed: " << error->localizedDescription;
    return ::testing::AssertionFailure()
           << path << " got no script, answer " << w.request->responseString().value_or("none");
  };

  // A short wait joins a long one's download: it goes direct at its own time-out, the long one
  // still gets the script.
  auto longFirst = start("/long", "/one.pac", 120);
  ASSERT_TRUE(wait([&] { return fetches("/one.pac") == 1; }));
  auto shortLater = start("/short", "/one.pac", 1);
  ASSERT_TRUE(wait([&] { return shortLater.recorder->done(); }));
  EXPECT_TRUE(wait([&] { return reached("/short"); }));
  EXPECT_FALSE(longFirst.recorder->done());
  gate(true);
  ASSERT_TRUE(wait([&] { return longFirst.recorder->done(); }));
  EXPECT_EQ(longFirst.recorder->calls.back(), "finished");
  EXPECT_TRUE(gotScript(longFirst, "/long"));
  EXPECT_EQ(fetches("/one.pac"), 1);

  // Long waits join a short one's download: the short one leaves, the script comes after, and the
  // others use it.
  gate(false);
  auto shortFirst = start("/short-first", "/two.pac", 1);
  ASSERT_TRUE(wait([&] { return fetches("/two.pac") == 1; }));
  std::vector<Waiter> longLater;
  for (int i = 0; i < 3; ++i) longLater.push_back(start("/later" + std::to_string(i), "/two.pac", 120));
  ASSERT_TRUE(wait([&] { return shortFirst.recorder->done(); }));
  EXPECT_TRUE(wait([&] { return reached("/short-first"); }));
  for (auto& w : longLater) EXPECT_FALSE(w.recorder->done());
  gate(true);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(wait([&] { return longLater[i].recorder->done(); }));
    EXPECT_TRUE(gotScript(longLater[i], "/later" + std::to_string(i)));
  }
  EXPECT_EQ(fetches("/two.pac"), 1);
  // The script came: the next request for it fetches it again.
  auto again = start("/again", "/two.pac", 120);
  ASSERT_TRUE(wait([&] { return again.recorder->done(); }));
  EXPECT_TRUE(gotScript(again, "/again"));
  EXPECT_EQ(fetches("/two.pac"), 2);

  // The one that started the download is cancelled: its time-out goes with it. A wait as long,
  // started after the cancel, shows that its time has passed; long enough that a busy machine
  // cancels before the time runs out.
  gate(false);
  auto cancelled = start("/cancelled", "/five.pac", 10);
  ASSERT_TRUE(wait([&] { return fetches("/five.pac") == 1; }));
  auto stays = start("/stays", "/five.pac", 120);
  cancelled.request->cancel();
  auto marker = start("/marker", "/five.pac", 10);
  ASSERT_TRUE(wait([&] { return cancelled.recorder->done() && marker.recorder->done(); }));
  EXPECT_EQ(cancelled.recorder->calls.back(),
            "failed " + std::to_string(kavro::NetRequestCancelledErrorType));
  EXPECT_FALSE(reached("/cancelled"));
  EXPECT_FALSE(stays.recorder->done());
  gate(true);
  ASSERT_TRUE(wait([&] { return stays.recorder->done(); }));
  EXPECT_TRUE(gotScript(stays, "/stays"));
  EXPECT_EQ(fetches("/five.pac"), 1);

  // Every waiter timed out: the download is given up, and the next round starts afresh.
  gate(false);
  auto first = start("/gone-first", "/three.pac", 1);
  ASSERT_TRUE(wait([&] { return fetches("/three.pac") == 1; }));
  auto second = start("/gone-second", "/three.pac", 1);
  ASSERT_TRUE(wait([&] { return first.recorder->done() && second.recorder->done(); }));
  EXPECT_TRUE(queueIsBackToFour());
  gate(true);
  auto afterTimeOuts = start("/after-time-outs", "/three.pac", 120);
  ASSERT_TRUE(wait([&] { return afterTimeOuts.recorder->done(); }));
  EXPECT_TRUE(gotScript(afterTimeOuts, "/after-time-outs"));
  EXPECT_EQ(fetches("/three.pac"), 2);

  // The host closes without an answer: the waiters go direct, and the next round fetches again.
  gate(true, true);
  auto failedOne = start("/failed-one", "/four.pac", 120);
  auto failedTwo = start("/failed-two", "/four.pac", 120);
  ASSERT_TRUE(wait([&] { return failedOne.recorder->done() && failedTwo.recorder->done(); }));
  EXPECT_EQ(failedOne.request->responseString(), "via /failed-one");
  EXPECT_EQ(failedTwo.request->responseString(), "via /failed-two");
  const auto failedFetches = fetches("/four.pac");
  gate(true);
  auto afterFailure = start("/after-failure", "/four.pac", 120);
  ASSERT_TRUE(wait([&] { return afterFailure.recorder->done(); }));
  EXPECT_TRUE(gotScript(afterFailure, "/after-failure"));
  EXPECT_EQ(fetches("/four.pac"), failedFetches + 1);
  EXPECT_TRUE(queueIsBackToFour());
}

// A request waiting for a shared script gives up when it heard nothing for its own time-out since
// the later of its own start and the script's last byte. The network thread's clock moves only
// when the test moves it, and the host writes each piece of the script when the test says: bytes
// that keep coming keep a waiter past its time-out counted from its start, and a waiter that joins
// a download quiet for longer than its time-out still has the whole of it.
TEST_F(NetHTTPRequestProxyTest, AWaiterCountsItsTimeOutFromTheLaterOfItsStartAndTheLastByte) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("via " + r.target); });
  const std::string script =
      "function FindProxyForURL(u, h) { return 'PROXY 127.0.0.1:" + std::to_string(server.port()) + "'; }";
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(script.size()) + "\r\nConnection: close\r\n\r\n";
  const std::size_t half = script.size() / 2;
  PieceByPieceHost pacHost;

  // What fn answers on the network thread; none when the thread never got to it.
  auto onNetworkThread = [&](auto fn) -> std::optional<decltype(fn())> {
    auto answer = std::make_shared<std::promise<decltype(fn())>>();
    auto future = answer->get_future();
    NetHTTPRequest::threadForRequest().performOnMain([answer, fn] { answer->set_value(fn()); });
    if (!wait([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }))
      return std::nullopt;
    return future.get();
  };
  // Two turns of the network thread: the first starts after what the test did, the second after
  // the timers the first found due.
  auto settle = [&] { return onNetworkThread([] { return true; }) && onNetworkThread([] { return true; }); };
  auto clock = std::make_shared<HeldClock>(platform::Clock::realNow());
  ASSERT_TRUE(onNetworkThread([clock] {
    NetHTTPRequest::threadForRequest().setClock(clock);
    return true;
  }));
  std::shared_ptr<void> realTimeAgain(nullptr, [&](void*) {
    onNetworkThread([] {
      NetHTTPRequest::threadForRequest().setClock(platform::Clock::real());
      return true;
    });
  });
  // The waiters look at their time-outs when the clock has moved.
  auto moveClock = [&](double seconds) {
    clock->advance(seconds);
    return settle();
  };
  // The request that downloads a script for its waiters, on the shared queue as every request is.
  auto downloadOf = [&](const std::string& pac) -> std::shared_ptr<NetHTTPRequest> {
    for (auto& operation : NetHTTPRequest::sharedQueue()->operations()) {
      auto request = std::dynamic_pointer_cast<NetHTTPRequest>(operation);
      if (request && request->url() && request->url()->absoluteString() == pacHost.url(pac)) return request;
    }
    return nullptr;
  };
  // Asked on the network thread, where a request reads its answer as it comes.
  auto hasRead = [&](const std::shared_ptr<NetHTTPRequest>& download, std::uint64_t bytes) {
    return wait([&] {
      return onNetworkThread([download] { return download->totalBytesRead(); }).value_or(0) >= bytes;
    });
  };
  auto start = [&](const std::string& path, const std::string& pac, double timeOut) {
    return startWaiter(path, pacHost.url(pac), timeOut);
  };
  // The script reached the request: it went through the proxy the script names, or the script
  // ran out of its time (a machine too busy to run it sends the request direct).
  auto gotScript = [&](const Waiter& w, const std::string& path) -> ::testing::AssertionResult {
    const auto& r = *w.request;
    const auto answer = r.responseString();
    if (w.recorder->calls.back() != "finished")
      return ::testing::AssertionFailure() << path << " ended with " << w.recorder->calls.back();
    if (answer == "via " + server.url(path) && r.proxyHost() == "127.0.0.1" && r.proxyPort() == server.port())
      return ::testing::AssertionSuccess();
    auto error = r.PACScriptError();
    if (error && error->localizedDescription == "The script ran out of time" && answer == "via " + path)
      return ::testing::AssertionSuccess() << "the script ran out of time";
    return ::testing::AssertionFailure() << path << " got no script, answer " << answer.value_or("none");
  };

  // Half the script eight seconds into a ten-second wait, the rest eight seconds later.
  auto trickled = start("/trickled", "/trickle.pac", 10);
  ASSERT_EQ(pacHost.accept(), "GET /trickle.pac HTTP/1.1");
  auto download = downloadOf("/trickle.pac");
  ASSERT_TRUE(download);
  ASSERT_TRUE(moveClock(8));
  ASSERT_TRUE(pacHost.send(head + script.substr(0, half)));
  ASSERT_TRUE(hasRead(download, half));
  ASSERT_TRUE(moveClock(8));
  ASSERT_TRUE(pacHost.send(script.substr(half)));
  pacHost.hangUp();
  ASSERT_TRUE(wait([&] { return trickled.recorder->done(); }));
  EXPECT_TRUE(gotScript(trickled, "/trickled"));

  // A long wait's download hears half the script and goes quiet; fifty seconds later a ten-second
  // wait joins it, and the rest comes eight seconds after that.
  auto patient = start("/long", "/quiet.pac", 100);
  ASSERT_EQ(pacHost.accept(), "GET /quiet.pac HTTP/1.1");
  download = downloadOf("/quiet.pac");
  ASSERT_TRUE(download);
  ASSERT_TRUE(pacHost.send(head + script.substr(0, half)));
  ASSERT_TRUE(hasRead(download, half));
  ASSERT_TRUE(moveClock(50));
  auto joins = start("/joins", "/quiet.pac", 10);
  // Started, and so waiting from this time on once the network thread has turned.
  ASSERT_TRUE(wait([&] { return joins.request->isExecuting(); }));
  ASSERT_TRUE(settle());
  ASSERT_TRUE(moveClock(8));
  ASSERT_TRUE(pacHost.send(script.substr(half)));
  pacHost.hangUp();
  ASSERT_TRUE(wait([&] { return patient.recorder->done() && joins.recorder->done(); }));
  EXPECT_TRUE(gotScript(joins, "/joins"));
  EXPECT_TRUE(gotScript(patient, "/long"));
  EXPECT_TRUE(queueIsBackToFour());
}

}  // namespace
