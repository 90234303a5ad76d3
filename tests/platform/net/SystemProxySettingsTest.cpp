#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <set>
#include <string>

#include "platform/net/SystemProxySettings.h"
#include "tests/platform/net/NetTestSupport.h"

using nettest::url;
using platform::ProxyEntry;
using platform::SystemProxySettings;

TEST(SystemProxySettings, ProxiesByScheme) {
  SystemProxySettings s;
  s.httpProxy = ProxyEntry{std::string(platform::ProxyTypeHTTP), "proxy", 3128, {}};
  s.exceptions = {".internal"};
  auto far = s.proxiesForURL(url("http://far.example/"));
  ASSERT_EQ(far->size(), 2u);
  EXPECT_EQ((*far)[0].host, "proxy");
  EXPECT_EQ((*far)[1].type, platform::ProxyTypeNone);
  EXPECT_EQ(s.proxiesForURL(url("http://a.internal/"))->size(), 1u);
  EXPECT_EQ(s.proxiesForURL(url("http://127.0.0.1:8080/"))->size(), 1u);
  EXPECT_EQ(s.proxiesForURL(url("https://far.example/"))->size(), 1u);
  EXPECT_FALSE(s.proxiesForURL(url("/relative")));
}

TEST(SystemProxySettings, AutoConfigurationScripts) {
  std::string script = R"JS(
    function FindProxyForURL(url, host) {
      if (isPlainHostName(host) || dnsDomainIs(host, ".local")) return "DIRECT";
      if (isInNet(host, "10.0.0.0", "255.0.0.0")) return "SOCKS socks.example:1080";
      if (shExpMatch(url, "https://*")) return "HTTPS secure.example:8443; DIRECT";
      return "PROXY web.example:3128; PROXY [::1]; DIRECT";
    })JS";
  auto plain = platform::proxiesForAutoConfigurationScript(script, url("http://intranet/"));
  ASSERT_EQ(plain->size(), 1u);
  EXPECT_EQ((*plain)[0].type, platform::ProxyTypeNone);
  auto net10 = platform::proxiesForAutoConfigurationScript(script, url("http://10.1.2.3/"));
  EXPECT_EQ((*net10)[0], (ProxyEntry{std::string(platform::ProxyTypeSOCKS), "socks.example", 1080, {}}));
  auto web = platform::proxiesForAutoConfigurationScript(script, url("http://www.example.com/"));
  ASSERT_EQ(web->size(), 3u);
  EXPECT_EQ((*web)[0].port, 3128);
  EXPECT_EQ((*web)[1].host, "::1");
  EXPECT_EQ((*web)[1].port, 80);
  EXPECT_EQ((*platform::proxiesForAutoConfigurationScript(script, url("https://www.example.com/")))[0].type,
            platform::ProxyTypeHTTPS);

  platform::Error error;
  EXPECT_FALSE(platform::proxiesForAutoConfigurationScript("function (", url("http://h/"), &error));
  EXPECT_FALSE(error.localizedDescription.empty());
  EXPECT_FALSE(platform::proxiesForAutoConfigurationScript("var x = 1;", url("http://h/")));
  EXPECT_FALSE(platform::proxiesForAutoConfigurationScript("function FindProxyForURL() { throw 1; }",
                                                           url("http://h/")));
}

TEST(SystemProxySettings, AScriptSeesThisMachinesOwnIPv4Address) {
  // The machine's IPv4 addresses other than loopback, as the system lists them.
  std::set<std::string> own;
  ifaddrs* list = nullptr;
  ASSERT_EQ(getifaddrs(&list), 0);
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, buf, sizeof buf);
    if (std::string(buf).rfind("127.", 0) != 0) own.insert(buf);
  }
  freeifaddrs(list);
  auto proxies = platform::proxiesForAutoConfigurationScript(
      "function FindProxyForURL(url, host) { return 'PROXY ' + myIpAddress() + ':8080'; }",
      url("http://www.example.com/"));
  ASSERT_TRUE(proxies);
  ASSERT_FALSE(proxies->empty());
  const std::string seen = (*proxies)[0].host;
  if (own.empty())
    EXPECT_EQ(seen, "127.0.0.1") << "loopback only: the loopback address";
  else
    EXPECT_TRUE(own.contains(seen)) << seen;
  EXPECT_EQ((*proxies)[0].port, 8080);
}
