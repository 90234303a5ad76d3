#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/net/HTTPCookie.h"
#include "platform/net/HTTPCookieStorage.h"
#include "tests/platform/net/NetTestSupport.h"
#include "tests/support/TempDir.h"

using platform::HTTPCookie;
using platform::HTTPCookieStorage;

namespace {

using nettest::url;

TEST(HTTPCookieLimits, DomainsThatArePublicSuffixesAreRefused) {
  double now = 1'700'000'000;
  EXPECT_FALSE(HTTPCookie::fromSetCookie("a=1; Domain=co.uk", url("http://shop.example.co.uk/"), now));
  EXPECT_FALSE(HTTPCookie::fromSetCookie("a=1; Domain=.com.cn", url("http://www.kavro.com.cn/"), now));
  EXPECT_FALSE(HTTPCookie::fromSetCookie("a=1; Domain=com", url("http://www.kavro.com/"), now));
  auto site = HTTPCookie::fromSetCookie("a=1; Domain=example.co.uk", url("http://shop.example.co.uk/"), now);
  ASSERT_TRUE(site);
  EXPECT_EQ(site->domain(), ".example.co.uk");
  auto cn = HTTPCookie::fromSetCookie("a=1; Domain=kavro.com.cn", url("http://www.kavro.com.cn/"), now);
  ASSERT_TRUE(cn);
  EXPECT_FALSE(cn->matchesURL(url("http://other.com.cn/")));
  EXPECT_TRUE(HTTPCookie::isPublicSuffix("co.uk"));
  EXPECT_FALSE(HTTPCookie::isPublicSuffix("example.co.uk"));
}

TEST(HTTPCookieLimits, APublicSuffixWrittenWithItsFinalDotIsRefusedToo) {
  double now = 1'700'000'000;
  EXPECT_FALSE(HTTPCookie::fromSetCookie("a=1; Domain=co.uk.", url("http://attacker.co.uk./"), now));
  EXPECT_FALSE(HTTPCookie::fromSetCookie("a=1; Domain=com.", url("http://www.kavro.com./"), now));
  EXPECT_TRUE(HTTPCookie::isPublicSuffix("co.uk."));
  // A site's own domain with the dot is still the site's.
  auto site =
      HTTPCookie::fromSetCookie("a=1; Domain=example.co.uk.", url("http://shop.example.co.uk./"), now);
  ASSERT_TRUE(site);
  EXPECT_FALSE(site->matchesURL(url("http://victim.co.uk./")));
}

TEST(HTTPCookieLimits, AHostThatIsAPublicSuffixGetsItsDomainCookieForItselfOnly) {
  double now = 1'700'000'000;
  for (std::string host : {"github.io", "s3.amazonaws.com", "co.uk."}) {
    auto c = HTTPCookie::fromSetCookie("a=1; Domain=" + host, url("https://" + host + "/"), now);
    ASSERT_TRUE(c) << host;
    EXPECT_EQ(c->domain(), host);
    EXPECT_TRUE(c->matchesURL(url("https://" + host + "/x"))) << host;
    EXPECT_FALSE(c->matchesURL(url("https://victim." + host + "/"))) << host;
  }
  // A site's own host stays a domain for its subdomains.
  auto site = HTTPCookie::fromSetCookie("a=1; Domain=kavro.github.io", url("https://kavro.github.io/"), now);
  ASSERT_TRUE(site);
  EXPECT_TRUE(site->matchesURL(url("https://www.kavro.github.io/")));
}

TEST(HTTPCookieLimits, TheJarIsBoundedPerDomainAndInAllDroppingTheOldest) {
  kavro::test::TempDir dir;
  std::string file = dir.path() + "/Cookies/Cookies.txt";
  double later = 4'000'000'000.0;
  {
    HTTPCookieStorage storage(file);
    for (std::size_t i = 0; i < HTTPCookieStorage::MaxCookiesPerDomain + 5; ++i)
      storage.setCookie(HTTPCookie::make("c" + std::to_string(i), "v", "a.example", "/", later));
    auto kept = storage.cookies();
    ASSERT_EQ(kept.size(), HTTPCookieStorage::MaxCookiesPerDomain);
    EXPECT_EQ(kept.front().name(), "c5");
    EXPECT_EQ(kept.back().name(), "c" + std::to_string(HTTPCookieStorage::MaxCookiesPerDomain + 4));
    // Setting an old cookie again makes it the newest.
    storage.setCookie(HTTPCookie::make("c5", "again", "a.example", "/", later));
    storage.setCookie(HTTPCookie::make("new", "v", "a.example", "/", later));
    EXPECT_EQ(storage.cookies().front().name(), "c7");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
  }

  // A file grown past the bounds (written by hand, or by an older version) is cut on reading.
  std::ofstream out(file, std::ios::trunc);
  for (std::size_t i = 0; i < HTTPCookieStorage::MaxCookies + 10; ++i)
    out << "n\tv\td" << i << ".example\t/\t4000000000.000\t0\t0\n";
  out.close();
  HTTPCookieStorage reopened(file);
  auto all = reopened.cookies();
  ASSERT_EQ(all.size(), HTTPCookieStorage::MaxCookies);
  EXPECT_EQ(all.front().domain(), "d10.example");
}

}  // namespace
