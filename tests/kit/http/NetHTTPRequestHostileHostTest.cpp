// Hosts that try to keep what is not theirs: credentials on a redirect, memory through answers that
// do not inflate, the request thread through a proxy script.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "kit/http/NetHTTPRequestErrors.h"
#include "platform/foundation/FileManager.h"
#include "tests/kit/http/HttpTestSupport.h"

namespace httptest {
namespace {

class NetHTTPRequestHostileHostTest : public HttpTest {};

TEST_F(NetHTTPRequestHostileHostTest, CredentialsStayWithTheirServerAcrossRedirects) {
  LoopbackHttpServer other;
  other.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("other " + r.method); });
  std::string same = server.url("/landing");
  server.setHandler([&](const RecordedRequest& r) {
    if (r.target == "/307") return ScriptedResponse::redirect(307, other.url("/landing"));
    if (r.target == "/308") return ScriptedResponse::redirect(308, other.url("/landing"));
    if (r.target == "/here") return ScriptedResponse::redirect(307, same);
    return ScriptedResponse::ok("same");
  });
  for (std::string path : {"/307", "/308"}) {
    auto r = make(path);
    r->addRequestHeader("Authorization", "Bearer secret");
    r->addRequestHeader("Proxy-Authorization", "Basic cHJveHk6cGFzcw==");
    r->appendPostData(platform::dataFromString("body"));
    run(r);
    EXPECT_EQ(r->responseString(), "other POST") << path;
  }
  // The request's own password, presented before any challenge, does not go either.
  auto basic = make("/307");
  basic->addBasicAuthenticationHeaderWithUsername("user", "password");
  run(basic);
  // Nor does it answer the other server's challenge.
  other.enqueue(ScriptedResponse::challenge(401, "Basic realm=\"other\""));
  auto challenged = make("/307");
  challenged->setUsername("user");
  challenged->setPassword("password");
  run(challenged);
  EXPECT_EQ(challenged->responseStatusCode(), 401);
  auto seen = other.requests();
  ASSERT_EQ(seen.size(), 4u);
  for (const auto& r : seen) {
    EXPECT_FALSE(r.header("Authorization")) << r.target;
    EXPECT_FALSE(r.header("Proxy-Authorization")) << r.target;
  }
  // On the same server the credentials go on.
  auto here = make("/here");
  here->addRequestHeader("Authorization", "Bearer secret");
  run(here);
  EXPECT_EQ(here->responseString(), "same");
  EXPECT_EQ(server.requests().back().header("Authorization"), "Bearer secret");
}

// What a server sends as gzip but is not.
std::string notGzip(std::size_t size) { return std::string(size, 'x'); }

TEST_F(NetHTTPRequestHostileHostTest, ABodyKeptCompressedCountsWhetherOrNotItInflates) {
  std::string body = notGzip(4 << 20);
  server.setHandler([&](const RecordedRequest&) {
    return ScriptedResponse::ok(body, {{"Content-Encoding", "gzip"}});
  });
  auto r = make("/fake");
  r->setMaxResponseSize(1 << 20);
  ASSERT_TRUE(r->shouldWaitToInflateCompressedResponses());
  auto rec = run(r);
  EXPECT_EQ(rec->failed, 1);
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetResponseTooLargeErrorType);
  EXPECT_FALSE(r->responseData() && r->responseData()->size() > (1u << 20));
}

TEST_F(NetHTTPRequestHostileHostTest, DownloadsToAFileAreNotHeldToTheInMemoryDefault) {
  std::string body(kavro::NetDefaultMaxResponseSize + 4096, 'f');
  server.setHandler([&](const RecordedRequest&) { return ScriptedResponse::ok(body); });
  std::string destination = home.path() + "/big.bin";
  auto r = make("/big");
  r->setDownloadDestinationPath(destination);
  run(r);
  EXPECT_FALSE(r->error()) << r->error()->localizedDescription;
  EXPECT_EQ(std::filesystem::file_size(destination), body.size());
  // A limit the request sets still holds for its file.
  auto bounded = make("/big");
  bounded->setDownloadDestinationPath(home.path() + "/bounded.bin");
  bounded->setMaxResponseSize(1 << 20);
  run(bounded);
  ASSERT_TRUE(bounded->error());
  EXPECT_EQ(bounded->error()->code, kavro::NetResponseTooLargeErrorType);
}

TEST_F(NetHTTPRequestHostileHostTest, AFileThatCannotBeWrittenWholeFailsTheDownload) {
  // The disk is "full" past 1 MiB for this process.
  std::string body(2 << 20, 'd');
  server.setHandler([&](const RecordedRequest&) { return ScriptedResponse::ok(body); });
  struct FileSizeLimit {
    rlimit before{};
    void (*handler)(int) = nullptr;
    FileSizeLimit() {
      getrlimit(RLIMIT_FSIZE, &before);
      handler = signal(SIGXFSZ, SIG_IGN);
      rlimit small = before;
      small.rlim_cur = 1 << 20;
      setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
      setrlimit(RLIMIT_FSIZE, &before);
      signal(SIGXFSZ, handler);
    }
  };
  std::string destination = home.path() + "/full.bin";
  auto r = make("/full");
  r->setDownloadDestinationPath(destination);
  {
    FileSizeLimit limit;
    run(r);
  }
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetFileManagementError);
  EXPECT_FALSE(std::filesystem::exists(destination));
}

}  // namespace
}  // namespace httptest

namespace httptest {
namespace {

// A script that keeps the engine inside one native call (a backtracking regular expression) and
// catches whatever stops it.
constexpr const char* hostileScript =
    "function FindProxyForURL(u,h){var s='aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!';"
    "for(;;){try{/^(a+)+$/.test(s);}catch(e){}}}";

class NetHTTPRequestProxyScriptTest : public HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    scripts.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok(hostileScript); });
    server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("direct " + r.target); });
  }
  double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  // Starts a request for path under the hostile script and returns once the script is running.
  std::shared_ptr<NetHTTPRequest> startUnderTheScript(const std::string& path,
                                                      std::shared_ptr<Recorder> recorder) {
    auto r = make(path, recorder);
    r->setPACurl(url(scripts.url("/proxy.pac")));
    r->startAsynchronous();
    EXPECT_TRUE(wait([&] { return scripts.requestCount() == 1; }));
    platform::RunLoop::main().runFor(0.2);
    return r;
  }

  LoopbackHttpServer scripts;
};

TEST_F(NetHTTPRequestProxyScriptTest, AScriptHoldsNeitherOtherRequestsNorItsOwnPastItsDeadline) {
  auto hostileDone = std::make_shared<Recorder>();
  auto start = std::chrono::steady_clock::now();
  auto hostile = startUnderTheScript("/hostile", hostileDone);
  // Meanwhile something unrelated.
  auto unrelatedStart = std::chrono::steady_clock::now();
  auto unrelated = make("/unrelated");
  run(unrelated);
  EXPECT_EQ(unrelated->responseString(), "direct /unrelated");
  EXPECT_LT(since(unrelatedStart), 1.0);
  // The hostile script ends at its deadline and the request goes direct with the error.
  ASSERT_TRUE(wait([&] { return hostileDone->done(); }, 10));
  EXPECT_LT(since(start), 4.0);
  EXPECT_EQ(hostile->responseString(), "direct /hostile");
  ASSERT_TRUE(hostile->PACScriptError());
  EXPECT_EQ(hostile->PACScriptError()->localizedDescription, "The script ran out of time");
}

TEST_F(NetHTTPRequestProxyScriptTest, CancellingEndsARequestThatWaitsForItsScript) {
  auto rec = std::make_shared<Recorder>();
  auto r = startUnderTheScript("/cancelled", rec);
  auto cancelled = std::chrono::steady_clock::now();
  r->cancel();
  ASSERT_TRUE(wait([&] { return rec->done(); }, 10));
  EXPECT_LT(since(cancelled), 0.5);
  EXPECT_EQ(rec->failed, 1);
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetRequestCancelledErrorType);
  // The request never went out.
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NetHTTPRequestProxyScriptTest, CancellingFromAnotherThreadEndsASynchronousRequestInItsScript) {
  auto r = make("/synchronous");
  r->setPACurl(url(scripts.url("/proxy.pac")));
  std::chrono::steady_clock::time_point cancelled;
  std::thread canceller([&] {
    while (scripts.requestCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancelled = std::chrono::steady_clock::now();
    r->cancel();
  });
  r->startSynchronous();
  canceller.join();
  EXPECT_LT(since(cancelled), 0.5);
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetRequestCancelledErrorType);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NetHTTPRequestProxyScriptTest, ScriptsOverHTTPAreHeldToTheSizeOfAFileScript) {
  std::string proxied =
      "function FindProxyForURL(u,h){return 'PROXY 127.0.0.1:" + std::to_string(server.port()) + "';}\n";
  scripts.setHandler([proxied](const RecordedRequest& r) {
    if (r.target == "/big.pac") return ScriptedResponse::ok(proxied + "//" + std::string(1 << 20, 'p'));
    return ScriptedResponse::ok(proxied);
  });
  server.setHandler([](const RecordedRequest& r) {
    return ScriptedResponse::ok(r.target.rfind("http://", 0) == 0 ? "proxied" : "direct");
  });
  auto big = make("/x");
  big->setPACurl(url(scripts.url("/big.pac")));
  run(big);
  EXPECT_FALSE(big->proxyHost());
  EXPECT_EQ(big->responseString(), "direct");
  auto small = make("/x");
  small->setPACurl(url(scripts.url("/small.pac")));
  run(small);
  EXPECT_EQ(small->responseString(), "proxied");
}

}  // namespace
}  // namespace httptest
