#include <gtest/gtest.h>

#include "kit/http/NetHTTPRequestErrors.h"
#include "tests/kit/http/HttpTestSupport.h"
#include "demo/TestCertificates.h"
#include "tests/support/VirtualRunLoop.h"

using namespace httptest;

namespace {

// Synchronous requests on the main loop, on a virtual clock: time-outs without waiting for them.
class NetHTTPRequestSynchronousTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    platform::SystemProxySettings::setOverride(platform::SystemProxySettings{});
    NetHTTPRequest::resetForTesting();
  }
  void TearDown() override {
    NetHTTPRequest::resetForTesting();
    platform::HTTPReadStream::closeIdleConnections();
    platform::SystemProxySettings::setOverride(std::nullopt);
    VirtualRunLoopTest::TearDown();
  }
  // Virtual time runs on while the loop waits for the server: a slow machine must not time out.
  std::shared_ptr<NetHTTPRequest> make(const std::string& path) {
    auto r = NetHTTPRequest::requestWithURL(url(server.url(path)));
    r->setTimeOutSeconds(1000);
    return r;
  }

  kavro::test::TempHome home;
  LoopbackHttpServer server;
};

TEST_F(NetHTTPRequestSynchronousTest, SilentServersTimeOutAfterTheRetries) {
  ScriptedResponse hold;
  hold.holdWithoutResponse = true;
  server.setHandler([&](const RecordedRequest&) { return hold; });
  auto r = make("/silent");
  r->setTimeOutSeconds(2);
  double start = now();
  r->startSynchronous();
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetRequestTimedOutErrorType);
  EXPECT_EQ(r->error()->localizedDescription, "The request timed out");
  EXPECT_GT(now() - start, 2.0);
  EXPECT_LE(now() - start, 2.26);
  EXPECT_TRUE(r->isSynchronous());
  EXPECT_FALSE(r->inProgress());

  auto retried = make("/silent");
  retried->setTimeOutSeconds(1);
  retried->setNumberOfTimesToRetryOnTimeout(2);
  retried->startSynchronous();
  EXPECT_EQ(retried->error()->code, kavro::NetRequestTimedOutErrorType);
  EXPECT_EQ(retried->retryCount(), 2);
  EXPECT_EQ(server.requestCount(), 4u);
  // The silent connections were not kept.
  EXPECT_TRUE(NetHTTPRequest::persistentConnections().empty());
  server.stop();
}

TEST_F(NetHTTPRequestSynchronousTest, OptionsChangedWhileRunningDoNotReachTheRequest) {
  server.setHandler([](const RecordedRequest& r) {
    if (r.target == "/from") return ScriptedResponse::redirect(302, "/to");
    // No charset: the request's default response encoding reads the body.
    return ScriptedResponse::ok("caf\xc3\xa9", {{"Content-Type", "text/plain"}});
  });
  auto r = make("/from");
  NetHTTPRequest* running = r.get();
  int started = 0;
  r->setStartedBlock([running, &started] {
    ++started;
    running->setShouldRedirect(false);
    running->setDefaultResponseEncoding(kavro::NetUTF8StringEncoding);
  });
  r->startSynchronous();
  ASSERT_FALSE(r->error());
  EXPECT_GE(started, 1);
  // The redirect was followed and the body read as the options stood when the request started.
  EXPECT_EQ(r->redirectCount(), 1);
  ASSERT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(server.requests()[1].target, "/to");
  EXPECT_EQ(r->responseString(), std::optional<std::string>("caf\xc3\x83\xc2\xa9"));
  EXPECT_TRUE(r->shouldRedirect());
  EXPECT_EQ(r->defaultResponseEncoding(), kavro::NetISOLatin1StringEncoding);

  // Before the start the same setters take effect.
  auto before = make("/from");
  before->setShouldRedirect(false);
  before->setDefaultResponseEncoding(kavro::NetUTF8StringEncoding);
  before->startSynchronous();
  EXPECT_EQ(before->responseStatusCode(), 302);
  EXPECT_EQ(before->redirectCount(), 0);
  server.stop();
}

TEST_F(NetHTTPRequestSynchronousTest, NeverAsksTheDelegateAndDeliversAtOnce) {
  server.setHandler([](const RecordedRequest& r) {
    if (r.target == "/locked") return ScriptedResponse::challenge(401, "Basic realm=\"x\"");
    return ScriptedResponse::ok("sync");
  });
  auto rec = std::make_shared<AuthenticatingRecorder>();
  auto r = make("/locked");
  r->setDelegate(rec);
  r->startSynchronous();
  EXPECT_EQ(r->error()->code, kavro::NetAuthenticationErrorType);
  EXPECT_EQ(rec->calls.back(), "failed 3");
  EXPECT_EQ(std::count(rec->calls.begin(), rec->calls.end(), "authentication"), 0);

  auto ok = make("/ok");
  ok->setDelegate(rec);
  ok->startSynchronous();
  EXPECT_EQ(rec->calls.back(), "finished");
  EXPECT_EQ(ok->responseString(), "sync");
}

TEST_F(NetHTTPRequestSynchronousTest, IdleConnectionsExpire) {
  server.setHandler([](const RecordedRequest&) {
    return ScriptedResponse::ok("x", {{"Keep-Alive", "timeout=5, max=50"}});
  });
  auto first = make("/1");
  first->startSynchronous();
  auto second = make("/2");
  second->startSynchronous();
  EXPECT_EQ(first->connectionID(), second->connectionID());
  clock().advance(6);
  auto third = make("/3");
  third->startSynchronous();
  EXPECT_NE(third->connectionID(), first->connectionID());
  auto pool = NetHTTPRequest::persistentConnections();
  ASSERT_EQ(pool.size(), 1u);
  EXPECT_EQ(pool[0].id, *third->connectionID());

  // No host, no persistent connection (and no way to send it).
  auto bad = NetHTTPRequest::requestWithURL(url("http:/nohost"));
  bad->startSynchronous();
  EXPECT_FALSE(bad->shouldAttemptPersistentConnection());
  EXPECT_EQ(bad->error()->code, kavro::NetInternalErrorWhileBuildingRequestType);
  auto relative = NetHTTPRequest::requestWithURL(url("/relative"));
  relative->startSynchronous();
  EXPECT_EQ(relative->error()->code, kavro::NetUnableToCreateRequestErrorType);
}

TEST_F(NetHTTPRequestSynchronousTest, TheActivityIndicatorOutlivesBackToBackRequests) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("x"); });
  make("/1")->startSynchronous();
  EXPECT_FALSE(NetHTTPRequest::isNetworkInUse());
  EXPECT_TRUE(NetHTTPRequest::isNetworkActivityIndicatorVisible());
  runFor(0.2);
  make("/2")->startSynchronous();
  runFor(0.4);
  EXPECT_TRUE(NetHTTPRequest::isNetworkActivityIndicatorVisible());
  runFor(0.2);
  EXPECT_FALSE(NetHTTPRequest::isNetworkActivityIndicatorVisible());
}

// HTTPS against a loopback server whose certificate the client does not trust.
TEST_F(NetHTTPRequestSynchronousTest, AnUntrustedCertificateFailsWithTheSslTextAndPassesWhenNotValidated) {
  LoopbackHttpServer::Options options;
  options.tls = kavro::test::TestCertificateAuthority::selfSigned("localhost", {"localhost"});
  LoopbackHttpServer tls(options);
  tls.setHandler([](const RecordedRequest&) {
    ScriptedResponse ok;
    ok.body = "secret";
    return ok;
  });

  auto open = [&] {
    auto r = NetHTTPRequest::requestWithURL(url(tls.url("/tls")));
    r->setTimeOutSeconds(1000);
    return r;
  };
  auto checked = open();
  checked->startSynchronous();
  ASSERT_TRUE(checked->error());
  EXPECT_EQ(checked->error()->code, kavro::NetConnectionFailureErrorType);
  EXPECT_EQ(
      checked->error()->localizedDescription,
      "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
      "certificate, clock set to wrong date)");
  EXPECT_EQ(tls.requestCount(), 0u) << "nothing was sent over the untrusted connection";

  auto unchecked = open();
  unchecked->setValidatesSecureCertificate(false);
  unchecked->startSynchronous();
  EXPECT_FALSE(unchecked->error());
  EXPECT_EQ(unchecked->responseString(), "secret");
}

}  // namespace
