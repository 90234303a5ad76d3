#include <gtest/gtest.h>

#include "platform/net/HTTPCookie.h"
#include "platform/net/HTTPCookieStorage.h"
#include "tests/platform/net/NetTestSupport.h"
#include "tests/support/TempDir.h"

using nettest::url;
using platform::HTTPCookie;
using platform::HTTPCookieStorage;

TEST(HTTPCookie, SetCookieFieldsForAURL) {
  double now = 1'700'000'000;
  std::vector<platform::HTTPHeaderField> fields = {
      {"Set-Cookie",
       "a=1; Path=/; Expires=Wed, 09 Jun 2100 10:18:14 GMT, b=2; Domain=.example.com; Secure; HttpOnly"},
      {"Set-Cookie", "evil=1; Domain=other.com"},
      {"Content-Type", "text/html"}};
  auto cookies =
      HTTPCookie::cookiesWithResponseHeaderFields(fields, url("http://www.example.com/dir/page"), now);
  ASSERT_EQ(cookies.size(), 2u);
  EXPECT_EQ(cookies[0].name(), "a");
  EXPECT_EQ(cookies[0].domain(), "www.example.com");
  EXPECT_DOUBLE_EQ(*cookies[0].expiresDate(), 4116219494);
  EXPECT_EQ(cookies[1].domain(), ".example.com");
  EXPECT_EQ(cookies[1].path(), "/dir");
  EXPECT_TRUE(cookies[1].isSecure());
  EXPECT_TRUE(cookies[1].isSessionOnly());
  EXPECT_TRUE(cookies[1].matchesURL(url("https://api.example.com/dir/x")));
  EXPECT_FALSE(cookies[1].matchesURL(url("http://api.example.com/dir/x")));
  EXPECT_FALSE(cookies[1].matchesURL(url("https://api.example.com/directory")));
  EXPECT_FALSE(cookies[0].matchesURL(url("http://api.example.com/")));

  auto aged = HTTPCookie::fromSetCookie("m=1; Max-Age=60; Expires=Wed, 09 Jun 2100 10:18:14 GMT",
                                        url("http://h/"), now);
  EXPECT_DOUBLE_EQ(*aged->expiresDate(), now + 60);
  EXPECT_FALSE(HTTPCookie::fromSetCookie("novalue", url("http://h/"), now));
  EXPECT_EQ(platform::parseCookieDate("Wednesday, 09-Jun-21 10:18:14 GMT"), 1623233894);
  EXPECT_FALSE(platform::parseCookieDate("soon"));
}

TEST(HTTPCookieStorage, ReplacesByIdentityAndKeepsPersistentCookies) {
  kavro::test::TempDir dir;
  std::string file = dir.path() + "/Cookies/Cookies.txt";
  {
    HTTPCookieStorage storage(file);
    storage.setCookie(HTTPCookie::make("s", "1", "h", "/"));
    storage.setCookie(HTTPCookie::make("p", "1", "h", "/a", 4'000'000'000.0));
    storage.setCookie(HTTPCookie::make("p", "2", "h", "/a", 4'000'000'000.0));
    auto sent = storage.cookiesForURL(url("http://h/a/b"));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].name(), "p");  // the longer path first
    EXPECT_EQ(sent[0].value(), "2");
    storage.setCookie(HTTPCookie::make("gone", "1", "h", "/", 1.0));  // already expired
    EXPECT_EQ(storage.cookies().size(), 2u);
  }
  HTTPCookieStorage reopened(file);
  auto kept = reopened.cookies();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].value(), "2");
  reopened.deleteCookie(kept[0]);
  EXPECT_TRUE(HTTPCookieStorage(file).cookies().empty());
}
