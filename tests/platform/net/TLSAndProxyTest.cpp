#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/x509.h>

#include "demo/LoopbackHttpServer.h"
#include "platform/net/ClientIdentity.h"
#include "platform/net/HTTPReadStream.h"
#include "tests/platform/net/NetTestSupport.h"
#include "tests/support/LoopbackSocksProxy.h"

using kavro::test::LoopbackHttpServer;
using kavro::test::LoopbackSocksProxy;
using kavro::test::RecordedRequest;
using kavro::test::ScriptedResponse;
using kavro::test::TestCertificateAuthority;
using platform::HTTPReadStream;
using namespace nettest;

namespace {

// One CA and a server certificate for kavro.test and 127.0.0.1, made once for the suite.
struct Certificates {
  TestCertificateAuthority ca;
  kavro::test::TestIdentity server = ca.issue("kavro.test", {"kavro.test"});
  kavro::test::TestIdentity client = ca.issue("kavro client", {}, {});
  kavro::test::TestIdentity expired = ca.issue("kavro.test", {"kavro.test"}, {"127.0.0.1"}, true);
};

const Certificates& certs() {
  static Certificates* c = new Certificates();
  return *c;
}

LoopbackHttpServer::Options tlsOptions(const kavro::test::TestIdentity& identity, bool askClient = false) {
  LoopbackHttpServer::Options o;
  o.tls = identity;
  if (askClient) o.clientCACertificatePEM = certs().ca.certificatePEM();
  return o;
}

platform::TLSSettings trusting() {
  platform::TLSSettings t;
  t.trustedCertificatesPEM = {certs().ca.certificatePEM()};
  return t;
}

class TLSAndProxyTest : public ::testing::Test {
 protected:
  void TearDown() override { HTTPReadStream::closeIdleConnections(); }
  std::unique_ptr<platform::RunLoop> loop = platform::RunLoop::create();

  StreamResult fetch(const std::string& u, const platform::TLSSettings& tls,
                     platform::ProxySettings proxy = {}, const std::string& identity = "") {
    auto s = get(u, identity);
    s->setTLSSettings(tls);
    s->setProxy(proxy);
    return runStream(*loop, s);
  }
};

ScriptedResponse echoTarget(const RecordedRequest& r) {
  return ScriptedResponse::ok(r.method + " " + r.target);
}

TEST_F(TLSAndProxyTest, TrustedServerSucceedsWithSNIAndReuse) {
  LoopbackHttpServer server(tlsOptions(certs().server));
  server.setHandler(echoTarget);
  ScopedResolver fake;
  fake.resolver->table["kavro.test"] = "127.0.0.1";
  std::string base = "https://kavro.test:" + std::to_string(server.port());
  auto a = fetch(base + "/a", trusting(), {}, "tls");
  ASSERT_FALSE(a.error) << a.error->description();
  EXPECT_EQ(a.body, "GET /a");
  EXPECT_EQ(server.requests()[0].serverName, "kavro.test");
  auto b = fetch(base + "/b", trusting(), {}, "tls");
  EXPECT_EQ(b.body, "GET /b");
  EXPECT_EQ(server.connectionCount(), 1u);
  // By IP address: checked against the certificate's IP entry, no SNI sent.
  auto ip = fetch(server.url("/ip"), trusting());
  ASSERT_FALSE(ip.error) << ip.error->description();
  EXPECT_EQ(server.requests().back().serverName, "");
}

TEST_F(TLSAndProxyTest, CertificateFailuresAndSwitchingChecksOff) {
  LoopbackHttpServer server(tlsOptions(certs().server));
  server.setHandler(echoTarget);
  ScopedResolver fake;
  fake.resolver->table["kavro.test"] = "127.0.0.1";
  fake.resolver->table["other.test"] = "127.0.0.1";
  std::string port = std::to_string(server.port());

  platform::TLSSettings plain;         // the system's CAs only: the test CA is unknown
  plain.usesSystemTrustStore = false;  // no dependency on the machine's store
  auto untrusted = fetch("https://kavro.test:" + port + "/", plain);
  ASSERT_TRUE(untrusted.error);
  EXPECT_EQ(untrusted.error->code, platform::URLErrorServerCertificateHasUnknownRoot);
  ASSERT_TRUE(untrusted.error->underlying);
  EXPECT_EQ(untrusted.error->underlying->domain, platform::OSStatusErrorDomain);
  EXPECT_EQ(untrusted.error->underlying->code, platform::SSLNoRootCertificate);

  auto wrongName = fetch("https://other.test:" + port + "/", trusting());
  ASSERT_TRUE(wrongName.error);
  EXPECT_EQ(wrongName.error->code, platform::URLErrorServerCertificateUntrusted);

  platform::TLSSettings noChain = plain;
  noChain.validatesCertificateChain = false;
  auto chainOff = fetch("https://kavro.test:" + port + "/", noChain);
  ASSERT_FALSE(chainOff.error) << chainOff.error->description();
  // Host-name check alone still catches the wrong name.
  auto nameOnly = fetch("https://other.test:" + port + "/", noChain);
  ASSERT_TRUE(nameOnly.error);
  noChain.validatesHostName = false;
  auto allOff = fetch("https://other.test:" + port + "/", noChain);
  ASSERT_FALSE(allOff.error) << allOff.error->description();

  platform::TLSSettings noSNI = trusting();
  noSNI.sendsServerName = false;
  ASSERT_FALSE(fetch("https://kavro.test:" + port + "/", noSNI).error);
  EXPECT_EQ(server.requests().back().serverName, "");

  LoopbackHttpServer selfSigned(
      tlsOptions(TestCertificateAuthority::selfSigned("kavro.test", {"kavro.test"})));
  auto self = fetch(selfSigned.url("/"), trusting());
  ASSERT_TRUE(self.error);
  EXPECT_EQ(self.error->code, platform::URLErrorServerCertificateHasUnknownRoot);

  LoopbackHttpServer expired(tlsOptions(certs().expired));
  auto old = fetch(expired.url("/"), trusting());
  ASSERT_TRUE(old.error);
  EXPECT_EQ(old.error->code, platform::URLErrorServerCertificateHasBadDate);
}

TEST_F(TLSAndProxyTest, PresentsClientCertificatesFromPEMOrPKCS12) {
  LoopbackHttpServer server(tlsOptions(certs().server, true));
  server.setHandler(echoTarget);
  auto none = fetch(server.url("/"), trusting());
  ASSERT_FALSE(none.error);
  EXPECT_EQ(server.requests().back().clientCertificateSubject, "");

  platform::Error error;
  auto pem = platform::ClientIdentity::fromPEM(certs().client.certificatePEM, certs().client.privateKeyPEM,
                                               "", &error);
  ASSERT_TRUE(pem) << error.description();
  EXPECT_EQ(pem->commonName(), "kavro client");
  auto tls = trusting();
  tls.clientIdentity = pem;
  ASSERT_FALSE(fetch(server.url("/"), tls).error);
  EXPECT_EQ(server.requests().back().clientCertificateSubject, "kavro client");

  auto archive = TestCertificateAuthority::pkcs12(certs().client, "secret");
  EXPECT_FALSE(platform::ClientIdentity::fromPKCS12(archive, "wrong", &error));
  EXPECT_EQ(error.domain, platform::URLErrorDomain);
  auto p12 = platform::ClientIdentity::fromPKCS12(archive, "secret");
  ASSERT_TRUE(p12);
  tls.clientIdentity = p12;
  ASSERT_FALSE(fetch(server.url("/"), tls).error);
  EXPECT_EQ(server.requests().back().clientCertificateSubject, "kavro client");

  EXPECT_FALSE(
      platform::ClientIdentity::fromPEM(certs().client.certificatePEM, certs().server.privateKeyPEM));
  EXPECT_FALSE(platform::ClientIdentity::fromPEM("junk", "junk"));
}

TEST(ClientIdentityTest, EachRefusalSaysWhatWasWrong) {
  // Each refusal is told by its own text, so a person choosing a certificate learns which part to fix.
  auto refusal = [](auto open) {
    platform::Error error;
    EXPECT_FALSE(open(&error));
    EXPECT_EQ(error.domain, platform::URLErrorDomain);
    EXPECT_EQ(error.code, platform::URLErrorClientCertificateRejected);
    // The user reads the system's words for the code; the cause stays with the error beneath.
    return error.underlying ? error.underlying->localizedDescription : error.localizedDescription;
  };
  const auto& client = certs().client;
  EXPECT_THAT(refusal([&](platform::Error* e) {
                return platform::ClientIdentity::fromPEM(client.certificatePEM, "junk", "", e);
              }),
              ::testing::StartsWith("The client identity's private key cannot be read"));
  EXPECT_THAT(refusal([&](platform::Error* e) {
                return platform::ClientIdentity::fromPEM("junk", client.privateKeyPEM, "", e);
              }),
              ::testing::StartsWith("The client certificate cannot be read"));
  EXPECT_THAT(refusal([&](platform::Error* e) {
                return platform::ClientIdentity::fromPEM(client.certificatePEM, certs().server.privateKeyPEM,
                                                         "", e);
              }),
              ::testing::StartsWith("The client certificate does not match its private key"));
  EXPECT_THAT(refusal([&](platform::Error* e) {
                return platform::ClientIdentity::fromPKCS12(platform::Data{'j', 'u', 'n', 'k'}, "secret", e);
              }),
              ::testing::StartsWith("The client identity is not a PKCS#12 archive"));
  const auto archive = TestCertificateAuthority::pkcs12(client, "secret");
  EXPECT_THAT(
      refusal([&](platform::Error* e) { return platform::ClientIdentity::fromPKCS12(archive, "wrong", e); }),
      ::testing::StartsWith("The client identity cannot be opened (wrong password?)"));

  // A refusal leaves no OpenSSL error behind for the next, unrelated, operation to report as its own.
  EXPECT_EQ(ERR_peek_last_error(), 0u);

  // The certificates after the first are the chain, in order; a lone certificate has an empty one.
  auto lone = platform::ClientIdentity::fromPEM(client.certificatePEM, client.privateKeyPEM);
  ASSERT_TRUE(lone);
  EXPECT_EQ(sk_X509_num(static_cast<STACK_OF(X509)*>(lone->chain())), 0);
  auto chained = platform::ClientIdentity::fromPEM(
      client.certificatePEM + certs().ca.certificatePEM() + certs().server.certificatePEM,
      client.privateKeyPEM);
  ASSERT_TRUE(chained);
  EXPECT_EQ(chained->commonName(), "kavro client");
  auto* chain = static_cast<STACK_OF(X509)*>(chained->chain());
  ASSERT_EQ(sk_X509_num(chain), 2);
  auto commonNameOf = [](X509* cert) {
    char cn[256] = {0};
    X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn);
    return std::string(cn);
  };
  EXPECT_EQ(commonNameOf(sk_X509_value(chain, 0)), "Kavro Test CA");
  EXPECT_EQ(commonNameOf(sk_X509_value(chain, 1)), "kavro.test");
}

TEST_F(TLSAndProxyTest, HTTPProxyGetsAbsoluteFormAndTunnelsHTTPS) {
  LoopbackHttpServer proxy;
  proxy.setHandler(echoTarget);
  platform::ProxySettings p{platform::ProxySettings::Type::HTTP, "127.0.0.1", proxy.port(), "", ""};
  platform::HTTPMessage msg = platform::HTTPMessage::request("GET", url("http://origin.test:8080/path?q=1"));
  msg.setHeaderField("Proxy-Authorization", "Basic cDpx");
  auto viaProxy = HTTPReadStream::create(msg);
  viaProxy->setProxy(p);
  auto res = runStream(*loop, viaProxy);
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(res.body, "GET http://origin.test:8080/path?q=1");
  auto seen = proxy.requests().back();
  EXPECT_EQ(seen.header("Host"), "origin.test:8080");
  EXPECT_EQ(seen.header("Proxy-Authorization"), "Basic cDpx");

  // https through the proxy: CONNECT, then TLS end to end with the origin.
  LoopbackHttpServer origin(tlsOptions(certs().server));
  origin.setHandler(echoTarget);
  proxy.setHandler([&](const RecordedRequest& r) {
    ScriptedResponse t;
    t.tunnelToPort = origin.port();
    return r.method == "CONNECT" ? t : ScriptedResponse::ok("not a tunnel");
  });
  platform::HTTPMessage secure = platform::HTTPMessage::request(
      "GET", url("https://kavro.test:" + std::to_string(origin.port()) + "/s"));
  secure.setHeaderField("Proxy-Authorization", "Basic cDpx");
  auto tunnelled = HTTPReadStream::create(secure);
  tunnelled->setProxy(p);
  tunnelled->setTLSSettings(trusting());
  res = runStream(*loop, tunnelled);
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(res.body, "GET /s");
  auto connect = proxy.requests().back();
  EXPECT_EQ(connect.method, "CONNECT");
  EXPECT_EQ(connect.target, "kavro.test:" + std::to_string(origin.port()));
  EXPECT_EQ(connect.header("Proxy-Authorization"), "Basic cDpx");
  // The proxy's credentials never reach the origin.
  EXPECT_FALSE(origin.requests().back().header("Proxy-Authorization"));
  EXPECT_EQ(origin.requests().back().serverName, "kavro.test");

  // A refused tunnel is the answer the caller sees.
  proxy.enqueue(ScriptedResponse::challenge(407, "Basic realm=\"proxy\""));
  auto refused = HTTPReadStream::create(secure);
  refused->setProxy(p);
  refused->setTLSSettings(trusting());
  res = runStream(*loop, refused);
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(res.header->statusCode(), 407);
  EXPECT_EQ(res.header->headerField("Proxy-Authenticate"), "Basic realm=\"proxy\"");
  EXPECT_EQ(res.body, "authentication needed");
}

TEST_F(TLSAndProxyTest, Socks5WithAndWithoutAuthentication) {
  LoopbackHttpServer origin;
  origin.setHandler(echoTarget);
  LoopbackSocksProxy open(origin.port());
  platform::ProxySettings p{platform::ProxySettings::Type::SOCKS5, "127.0.0.1", open.port(), "", ""};
  auto res = fetch("http://far.test:81/x", {}, p);
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(res.body, "GET /x");
  ASSERT_EQ(open.targets().size(), 1u);
  EXPECT_EQ(open.targets()[0].host, "far.test");  // the proxy resolves the name
  EXPECT_EQ(open.targets()[0].port, 81);

  LoopbackSocksProxy guarded(origin.port(), std::make_pair(std::string("user"), std::string("pass")));
  platform::ProxySettings withAuth{platform::ProxySettings::Type::SOCKS5, "127.0.0.1", guarded.port(), "user",
                                   "pass"};
  res = fetch("http://10.1.2.3/y", {}, withAuth);
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(guarded.targets().back().host, "10.1.2.3");
  EXPECT_TRUE(guarded.targets().back().authenticated);

  withAuth.password = "wrong";
  res = fetch("http://far.test/z", {}, withAuth);
  ASSERT_TRUE(res.error);
  EXPECT_EQ(res.error->code, platform::URLErrorCannotConnectToHost);
  platform::ProxySettings noAuth{platform::ProxySettings::Type::SOCKS5, "127.0.0.1", guarded.port(), "", ""};
  res = fetch("http://far.test/z", {}, noAuth);
  ASSERT_TRUE(res.error);
  // The user reads the system's words for the code; the proxy's reason stays underneath.
  EXPECT_EQ(res.error->localizedDescription, "无法连接到服务器。");
  ASSERT_TRUE(res.error->underlying);
  EXPECT_NE(res.error->underlying->localizedDescription.find("authentication"), std::string::npos);

  // TLS through SOCKS.
  LoopbackHttpServer secure(tlsOptions(certs().server));
  secure.setHandler(echoTarget);
  LoopbackSocksProxy toSecure(secure.port());
  platform::ProxySettings sp{platform::ProxySettings::Type::SOCKS5, "127.0.0.1", toSecure.port(), "", ""};
  res = fetch("https://kavro.test/t", trusting(), sp);
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(res.body, "GET /t");
}

}  // namespace
