#include <gtest/gtest.h>

#include "demo/LoopbackHttpServer.h"
#include "platform/net/URLConnection.h"
#include "tests/platform/net/NetTestSupport.h"

using kavro::test::LoopbackHttpServer;
using kavro::test::RecordedRequest;
using kavro::test::ScriptedResponse;
using platform::URLConnection;
using platform::URLRequest;
using namespace nettest;

namespace {

using Calls = std::vector<std::string>;

class URLConnectionTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::HTTPReadStream::closeIdleConnections(); }
  std::unique_ptr<platform::RunLoop> loop = platform::RunLoop::create();
  LoopbackHttpServer server;

  std::shared_ptr<Recorder> run(URLRequest request,
                                std::shared_ptr<Recorder> rec = std::make_shared<Recorder>()) {
    auto c = URLConnection::create(std::move(request), rec, *loop);
    loop->runUntil([&] { return rec->done(); }, 20);
    // Nothing more may come after the end.
    loop->runFor(0.02);
    return rec;
  }
  URLRequest request(const std::string& path) { return URLRequest(url(server.url(path))); }
};

TEST_F(URLConnectionTest, GetDeliversResponseDataAndFinishOnce) {
  server.enqueue(ScriptedResponse::ok("hello", {{"Content-Type", "text/xml"}}));
  URLRequest r = request("/api/x.php?a=1");
  r.setValue("kavro-iphone-client", "User-Agent");
  r.setValue("v", "X-Extra");
  auto rec = run(r);
  EXPECT_EQ(rec->calls, (Calls{"response", "data", "finish"}));
  EXPECT_EQ(rec->body, "hello");
  EXPECT_EQ(rec->response->statusCode(), 200);
  EXPECT_EQ(rec->response->expectedContentLength(), 5);
  EXPECT_EQ(rec->response->valueForHTTPHeaderField("content-type"), "text/xml");
  auto seen = server.requests().at(0);
  EXPECT_EQ(seen.method, "GET");
  EXPECT_EQ(seen.target, "/api/x.php?a=1");
  EXPECT_EQ(seen.header("User-Agent"), "kavro-iphone-client");
  EXPECT_EQ(seen.header("X-Extra"), "v");
  EXPECT_FALSE(seen.header("Cookie"));
  EXPECT_FALSE(seen.header("Accept-Encoding"));
}

TEST_F(URLConnectionTest, PostSendsItsBodyAndErrorStatusesAreResponses) {
  server.setHandler([](const RecordedRequest& r) {
    ScriptedResponse resp = ScriptedResponse::ok("echo:" + r.body);
    resp.status = 404;
    return resp;
  });
  URLRequest r = request("/p");
  r.HTTPMethod = "POST";
  r.HTTPBody = platform::dataFromString("k=v");
  auto rec = run(r);
  EXPECT_EQ(rec->calls, (Calls{"response", "data", "finish"}));
  EXPECT_EQ(rec->response->statusCode(), 404);
  EXPECT_EQ(rec->body, "echo:k=v");
  EXPECT_EQ(server.requests()[0].header("Content-Length"), "3");
  EXPECT_FALSE(server.requests()[0].header("Content-Type"));

  // An empty body still says so.
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok(""); });
  r.HTTPBody.clear();
  rec = run(r);
  EXPECT_EQ(rec->calls, (Calls{"response", "finish"}));
  EXPECT_EQ(server.requests()[1].header("Content-Length"), "0");
}

TEST_F(URLConnectionTest, FollowsRedirectsAndChangesMethodAsHTTPSays) {
  std::string base = server.url("");
  server.setHandler([&](const RecordedRequest& r) {
    if (r.target == "/302") return ScriptedResponse::redirect(302, "/landing");
    if (r.target == "/307") return ScriptedResponse::redirect(307, base + "/landing");
    if (r.target == "/303") return ScriptedResponse::redirect(303, "landing");
    return ScriptedResponse::ok(r.method + ":" + r.body);
  });
  for (auto [path, expected] : std::vector<std::pair<std::string, std::string>>{
           {"/302", "GET:"}, {"/303", "GET:"}, {"/307", "POST:data"}}) {
    URLRequest r = request(path);
    r.HTTPMethod = "POST";
    r.HTTPBody = platform::dataFromString("data");
    r.setValue("text/plain", "Content-Type");
    r.setValue("agent", "User-Agent");
    auto rec = run(r);
    EXPECT_EQ(rec->calls, (Calls{"response", "data", "finish"})) << path;
    EXPECT_EQ(rec->body, expected) << path;
    EXPECT_EQ(rec->response->url().absoluteString(), base + "/landing");
    auto last = server.requests().back();
    EXPECT_EQ(last.header("User-Agent"), "agent");
    EXPECT_EQ(last.header("Content-Type").has_value(), expected == "POST:data") << path;
  }
  // The redirects and their landings share one kept-alive connection.
  EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(URLConnectionTest, RedirectLimitAndUnsupportedTargets) {
  server.setHandler([](const RecordedRequest& r) {
    int n = std::stoi(r.target.substr(1));
    return ScriptedResponse::redirect(301, "/" + std::to_string(n + 1));
  });
  auto rec = run(request("/0"));
  EXPECT_EQ(rec->calls, (Calls{"fail"}));
  EXPECT_EQ(rec->error->code, platform::URLErrorHTTPTooManyRedirects);
  EXPECT_EQ(server.requestCount(), static_cast<std::size_t>(URLConnection::MaximumRedirects + 1));

  // Exactly the bound is fine.
  server.setHandler([](const RecordedRequest& r) {
    int n = std::stoi(r.target.substr(1));
    return n < URLConnection::MaximumRedirects ? ScriptedResponse::redirect(301, "/" + std::to_string(n + 1))
                                               : ScriptedResponse::ok("arrived");
  });
  rec = run(request("/0"));
  EXPECT_EQ(rec->body, "arrived");

  server.setHandler(
      [](const RecordedRequest&) { return ScriptedResponse::redirect(302, "ftp://files.test/x"); });
  rec = run(request("/x"));
  EXPECT_EQ(rec->calls, (Calls{"fail"}));
  EXPECT_EQ(rec->error->code, platform::URLErrorUnsupportedURL);
}

TEST_F(URLConnectionTest, ABodyOrCredentialsSentOverHttpsAreNotRedirectedToHttp) {
  kavro::test::TestCertificateAuthority ca;
  LoopbackHttpServer::Options options;
  options.tls = ca.issue("kavro.test", {"kavro.test"});
  LoopbackHttpServer secure(options);
  std::string clear = server.url("/landing");
  secure.setHandler([&](const RecordedRequest& r) {
    return ScriptedResponse::redirect(r.target == "/308" ? 308 : r.target == "/302" ? 302 : 307, clear);
  });
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.method + ":" + r.body); });
  auto secureRequest = [&](const std::string& path) {
    URLRequest r(url(secure.url(path)));
    r.tlsSettings.trustedCertificatesPEM = {ca.certificatePEM()};
    return r;
  };

  for (std::string path : {"/307", "/308"}) {
    URLRequest login = secureRequest(path);
    login.HTTPMethod = "POST";
    login.HTTPBody = platform::dataFromString("username=u&pwd=secret");
    auto rec = run(login);
    EXPECT_EQ(rec->calls, (Calls{"fail"})) << path;
    EXPECT_EQ(rec->error->code, platform::URLErrorUnsupportedURL) << path;
  }
  URLRequest authorized = secureRequest("/307");
  authorized.setValue("Basic dTpzZWNyZXQ=", "Authorization");
  EXPECT_EQ(run(authorized)->calls, (Calls{"fail"}));
  EXPECT_EQ(server.requestCount(), 0u);

  // Nothing secret goes along: followed as before, a POST turned GET by a 302 included.
  auto plain = run(secureRequest("/307"));
  EXPECT_EQ(plain->body, "GET:");
  URLRequest form = secureRequest("/302");
  form.HTTPMethod = "POST";
  form.HTTPBody = platform::dataFromString("q=1");
  EXPECT_EQ(run(form)->body, "GET:");
  EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(URLConnectionTest, TimesOutOnTheLoopsClock) {
  auto clock = std::make_shared<platform::VirtualClock>();
  loop->setClock(clock);
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.enqueue(held);
  auto rec = std::make_shared<Recorder>();
  double start = clock->now();
  auto c = URLConnection::create(request("/slow"), rec, *loop);
  loop->runUntil([&] { return server.requestCount() == 1; }, 1);
  loop->runFor(49.0 - (clock->now() - start));
  EXPECT_TRUE(rec->calls.empty());
  loop->runUntil([&] { return rec->done(); }, 1.5);
  EXPECT_EQ(rec->calls, (Calls{"fail"}));
  ASSERT_TRUE(rec->error);
  EXPECT_EQ(rec->error->domain, platform::URLErrorDomain);
  EXPECT_EQ(rec->error->code, platform::URLErrorTimedOut);
  EXPECT_NEAR(clock->now() - start, 50.0, 0.01);
  server.stop();
}

TEST_F(URLConnectionTest, CancelSilencesEverythingAlsoFromInsideACallback) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("body"); });
  auto rec = std::make_shared<Recorder>();
  auto c = URLConnection::create(request("/a"), rec, *loop);
  c->cancel();
  loop->runFor(0.1);
  EXPECT_TRUE(rec->calls.empty());

  for (std::string at : {"response", "data"}) {
    auto r2 = std::make_shared<Recorder>();
    r2->hook = [at](URLConnection& conn, const std::string& what) {
      if (what == at) conn.cancel();
    };
    auto c2 = URLConnection::create(request("/b"), r2, *loop);
    loop->runUntil([&] { return !r2->calls.empty() && r2->calls.back() == at; }, 10);
    loop->runFor(0.1);
    EXPECT_EQ(r2->calls.back(), at);
    EXPECT_EQ(std::count(r2->calls.begin(), r2->calls.end(), "finish"), 0);
  }

  // Dropping the connection itself from a callback is safe too.
  auto r3 = std::make_shared<Recorder>();
  std::shared_ptr<URLConnection> held;
  r3->hook = [&](URLConnection&, const std::string& what) {
    if (what == "response") held.reset();
  };
  held = URLConnection::create(request("/c"), r3, *loop);
  loop->runUntil([&] { return !held; }, 10);
  loop->runFor(0.1);
  EXPECT_EQ(r3->calls.front(), "response");
  EXPECT_EQ(std::count(r3->calls.begin(), r3->calls.end(), "finish"), 0);
}

TEST_F(URLConnectionTest, AGoneDelegateCancelsTheConnection) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("body"); });
  auto rec = std::make_shared<Recorder>();
  std::weak_ptr<Recorder> weak = rec;
  auto c = URLConnection::create(request("/a"), rec, *loop);
  rec.reset();
  // The answer comes to nobody; the connection notices and stops.
  ASSERT_TRUE(loop->runUntil([&] { return server.requestCount() == 1; }, 10));
  loop->runFor(0.05);
  EXPECT_TRUE(weak.expired());
  c->cancel();
}

TEST_F(URLConnectionTest, FailuresAreReportedOnce) {
  int port;
  {
    LoopbackHttpServer gone;
    port = gone.port();
  }
  auto rec = run(URLRequest(url("http://127.0.0.1:" + std::to_string(port) + "/")));
  EXPECT_EQ(rec->calls, (Calls{"fail"}));
  EXPECT_EQ(rec->error->code, platform::URLErrorCannotConnectToHost);

  ScopedResolver fake;
  rec = run(URLRequest(url("http://nowhere.test/")));
  EXPECT_EQ(rec->calls, (Calls{"fail"}));
  EXPECT_EQ(rec->error->code, platform::URLErrorCannotFindHost);

  rec = run(URLRequest(url("mailto:someone@example.test")));
  EXPECT_EQ(rec->calls, (Calls{"fail"}));
  EXPECT_EQ(rec->error->code, platform::URLErrorUnsupportedURL);

  URLRequest bad = request("/");
  bad.setValue("a\r\nInjected: 1", "X-Bad");
  rec = run(bad);
  EXPECT_EQ(rec->calls, (Calls{"fail"}));
  EXPECT_EQ(server.requestCount(), 0u);

  ScriptedResponse cut = ScriptedResponse::ok(std::string(1000, 'x'));
  cut.closeAfterBytes = 200;
  server.enqueue(cut);
  rec = run(request("/cut"));
  EXPECT_EQ(rec->calls, (Calls{"response", "data", "fail"}));
  EXPECT_EQ(rec->error->code, platform::URLErrorBadServerResponse);
}

TEST_F(URLConnectionTest, ADeadKeptAliveConnectionIsRetriedOnce) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  EXPECT_EQ(run(request("/1"))->body, "/1");
  ScriptedResponse drop;
  drop.closeWithoutResponse = true;
  server.enqueue(drop);
  auto rec = run(request("/2"));
  EXPECT_EQ(rec->calls, (Calls{"response", "data", "finish"}));
  EXPECT_EQ(rec->body, "/2");
  EXPECT_EQ(server.requestCount(), 3u);
  EXPECT_EQ(server.connectionCount(), 2u);
}

}  // namespace
