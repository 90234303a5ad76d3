#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/CredentialStorage.h"
#include "platform/net/HTTPCookieStorage.h"
#include "tests/support/FaultShim.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

using kavro::test::FaultShim;

const bool shimLoaded = FaultShim::rerunWithShim(KAVRO_FAULT_SHIM);

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class StoreFileFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(shimLoaded && FaultShim::loaded()); }
  void TearDown() override { FaultShim::disarm(); }
  kavro::test::TempDir dir_;
};

// A credential file that could not be read was taken for an empty one: the next credential saved
// rewrote the file with that one alone, and every saved login was lost.
TEST_F(StoreFileFaultTest, CredentialsThatCouldNotBeReadAreNeitherLostNorRewritten) {
  const std::string file = dir_.path() + "/Library/Credentials.txt";
  std::vector<ProtectionSpace> spaces;
  std::vector<URLCredential> logins;
  for (int i = 0; i < 5; ++i) {
    spaces.push_back(ProtectionSpace::server("host" + std::to_string(i), 443, "https", "kavro"));
    logins.push_back(
        {"user" + std::to_string(i), "pw" + std::to_string(i), URLCredential::Persistence::Permanent});
  }
  auto holds = [&](CredentialStorage& store, int count) {
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(store.defaultCredentialForProtectionSpace(spaces[i]),
                i < count ? std::optional(logins[i]) : std::nullopt)
          << i;
  };
  {
    CredentialStorage first(file);
    first.setDefaultCredential(logins[0], spaces[0]);
    first.setDefaultCredential(logins[1], spaces[1]);
  }

  // Failing once: the use that met it finds nothing, the next reads again; a save that meets it
  // reads again before writing.
  CredentialStorage store(file);
  FaultShim::arm({.path = "Credentials.txt$", .calls = FaultShim::Reads, .times = 1});
  EXPECT_FALSE(store.defaultCredentialForProtectionSpace(spaces[0]));
  EXPECT_EQ(FaultShim::failed(), 1);
  holds(store, 2);
  CredentialStorage another(file);
  FaultShim::arm({.path = "Credentials.txt$", .calls = FaultShim::Reads, .times = 1});
  another.setDefaultCredential(logins[2], spaces[2]);
  EXPECT_EQ(FaultShim::failed(), 1);
  FaultShim::disarm();
  holds(another, 3);
  CredentialStorage reread(file);
  holds(reread, 3);

  // Failing for good: changes stay in memory and the file is left as it was, until it reads again.
  const std::string before = bytesOf(file);
  CredentialStorage failing(file);
  FaultShim::arm({.path = "Credentials.txt$", .calls = FaultShim::Reads, .times = 0});
  failing.setDefaultCredential(logins[3], spaces[3]);
  failing.removeCredential(logins[3], spaces[3]);
  failing.setDefaultCredential(logins[3], spaces[3]);
  EXPECT_EQ(failing.defaultCredentialForProtectionSpace(spaces[3]), logins[3]);
  EXPECT_GE(FaultShim::failed(), 4);
  FaultShim::disarm();
  EXPECT_EQ(bytesOf(file), before);
  failing.setDefaultCredential(logins[4], spaces[4]);
  holds(failing, 5);
  CredentialStorage last(file);
  holds(last, 5);
}

// The same for the cookie jar: a jar file that could not be read lost every kept session cookie at
// the next cookie set.
TEST_F(StoreFileFaultTest, CookiesThatCouldNotBeReadAreNeitherLostNorRewritten) {
  const std::string file = dir_.path() + "/Library/Cookies/Cookies.txt";
  const double later = 4'000'000'000.0;
  auto cookie = [later](int i, std::string value = "v") {
    return HTTPCookie::make("c" + std::to_string(i), std::move(value), "a.example", "/", later);
  };
  auto names = [](HTTPCookieStorage& jar) {
    std::vector<std::string> out;
    for (const HTTPCookie& c : jar.cookies()) out.push_back(c.name() + "=" + c.value());
    return out;
  };
  {
    HTTPCookieStorage first(file);
    first.setCookies({cookie(0), cookie(1)});
  }

  HTTPCookieStorage jar(file);
  FaultShim::arm({.path = "Cookies.txt$", .calls = FaultShim::Reads, .times = 1});
  EXPECT_TRUE(jar.cookies().empty());
  EXPECT_EQ(FaultShim::failed(), 1);
  EXPECT_EQ(names(jar), (std::vector<std::string>{"c0=v", "c1=v"}));
  HTTPCookieStorage another(file);
  FaultShim::arm({.path = "Cookies.txt$", .calls = FaultShim::Reads, .times = 1});
  // A cookie set while the file could not be read is newer than the file's of the same name.
  another.setCookies({cookie(1, "new"), cookie(2)});
  EXPECT_EQ(FaultShim::failed(), 1);
  FaultShim::disarm();
  const std::vector<std::string> three = {"c0=v", "c1=new", "c2=v"};
  EXPECT_EQ(names(another), three);
  HTTPCookieStorage reread(file);
  EXPECT_EQ(names(reread), three);

  const std::string before = bytesOf(file);
  HTTPCookieStorage failing(file);
  FaultShim::arm({.path = "Cookies.txt$", .calls = FaultShim::Reads, .times = 0});
  failing.setCookie(cookie(3));
  failing.deleteCookie(cookie(3));
  failing.setCookie(cookie(3));
  EXPECT_EQ(names(failing), (std::vector<std::string>{"c3=v"}));
  EXPECT_GE(FaultShim::failed(), 4);
  FaultShim::disarm();
  EXPECT_EQ(bytesOf(file), before);
  failing.setCookie(cookie(4));
  const std::vector<std::string> five = {"c0=v", "c1=new", "c2=v", "c3=v", "c4=v"};
  EXPECT_EQ(names(failing), five);
  HTTPCookieStorage last(file);
  EXPECT_EQ(names(last), five);
}

}  // namespace
}  // namespace platform
