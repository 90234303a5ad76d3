#include <gtest/gtest.h>

#include "kit/http/NetHTTPRequestErrors.h"
#include "tests/kit/http/HttpTestSupport.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/VirtualRunLoop.h"

using namespace httptest;

namespace {

// HTTPS against a loopback server whose certificate the client does not trust.
class NetHTTPRequestTlsTest : public kavro::test::VirtualRunLoopTest {
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
  std::shared_ptr<NetHTTPRequest> make(LoopbackHttpServer& server) {
    auto r = NetHTTPRequest::requestWithURL(url(server.url("/tls")));
    r->setTimeOutSeconds(1000);
    return r;
  }

  kavro::test::TempHome home;
};

}  // namespace

TEST_F(NetHTTPRequestTlsTest, AnUntrustedCertificateFailsWithTheSslTextAndPassesWhenNotValidated) {
  LoopbackHttpServer::Options options;
  options.tls = kavro::test::TestCertificateAuthority::selfSigned("localhost", {"localhost"});
  LoopbackHttpServer server(options);
  server.setHandler([](const RecordedRequest&) {
    ScriptedResponse ok;
    ok.body = "secret";
    return ok;
  });

  auto checked = make(server);
  checked->startSynchronous();
  ASSERT_TRUE(checked->error());
  EXPECT_EQ(checked->error()->code, kavro::NetConnectionFailureErrorType);
  EXPECT_EQ(
      checked->error()->localizedDescription,
      "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
      "certificate, clock set to wrong date)");
  EXPECT_EQ(server.requestCount(), 0u) << "nothing was sent over the untrusted connection";

  auto unchecked = make(server);
  unchecked->setValidatesSecureCertificate(false);
  unchecked->startSynchronous();
  EXPECT_FALSE(unchecked->error());
  EXPECT_EQ(unchecked->responseString(), "secret");
}
