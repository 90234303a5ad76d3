#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/FileManager.h"
#include "tests/kit/http/HttpTestSupport.h"
#include "tests/support/LoopbackSocksProxy.h"

using namespace httptest;

namespace {

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
  struct Waiter {
    std::shared_ptr<NetHTTPRequest> request;
    std::shared_ptr<Recorder> recorder;
  };
  auto start = [&](const std::string& path, const std::string& pac, double timeOut) {
    Waiter w{make(path), std::make_shared<Recorder>()};
    w.request->setDelegate(w.recorder);
    w.request->setPACurl(url(pacHost.url(pac)));
    w.request->setTimeOutSeconds(timeOut);
    w.request->startAsynchronous();
    return w;
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

}  // namespace
