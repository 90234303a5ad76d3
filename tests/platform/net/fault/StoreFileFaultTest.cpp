#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/net/CredentialStorage.h"
#include "platform/net/HTTPCookieStorage.h"
#include "tests/support/FaultShim.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

using kavro::test::FaultShim;
using kavro::test::FaultTurns;

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
  // Set after a reading, and read again: the reading does not swallow the change after it.
  failing.setCookie(cookie(5));
  EXPECT_EQ(names(failing), (std::vector<std::string>{"c3=v", "c5=v"}));
  EXPECT_GE(FaultShim::failed(), 4);
  FaultShim::disarm();
  EXPECT_EQ(bytesOf(file), before);
  failing.setCookie(cookie(4));
  const std::vector<std::string> six = {"c0=v", "c1=new", "c2=v", "c3=v", "c5=v", "c4=v"};
  EXPECT_EQ(names(failing), six);
  HTTPCookieStorage last(file);
  EXPECT_EQ(names(last), six);
}

// A logout while the file could not be read: the cookie the server expired, the one deleted and the
// login removed came back once the file read, and were written back.
TEST_F(StoreFileFaultTest, RemovalsMadeWhileTheFileCouldNotBeReadStayMade) {
  const std::string cookieFile = dir_.path() + "/Library/Cookies/Cookies.txt";
  const double later = 4'000'000'000.0;
  auto cookie = [later](const std::string& name, double expires = 0) {
    return HTTPCookie::make(name, "v", "a.example", "/", expires ? expires : later);
  };
  auto names = [](HTTPCookieStorage& jar) {
    std::string out;
    for (const HTTPCookie& c : jar.cookies()) out += c.name() + " ";
    return out;
  };
  {
    HTTPCookieStorage first(cookieFile);
    first.setCookies({cookie("session"), cookie("tracking"), cookie("theme")});
  }
  const std::string before = bytesOf(cookieFile);
  HTTPCookieStorage jar(cookieFile);
  FaultShim::arm({.path = "Cookies.txt$", .calls = FaultShim::Reads, .times = 0});
  jar.setCookie(cookie("session", 1.0));  // the server's logout expires it
  jar.deleteCookie(cookie("tracking"));
  jar.setCookie(cookie("theme"));  // set again: newer than the file's, and last
  jar.deleteCookie(cookie("absent"));
  EXPECT_EQ(names(jar), "theme ");
  FaultShim::disarm();
  EXPECT_EQ(bytesOf(cookieFile), before);
  EXPECT_EQ(names(jar), "theme ");
  HTTPCookieStorage reread(cookieFile);
  EXPECT_EQ(names(reread), "theme ");

  const std::string loginFile = dir_.path() + "/Library/Credentials.txt";
  auto space = [](int i) {
    return ProtectionSpace::server("host" + std::to_string(i), 443, "https", "kavro");
  };
  auto login = [](const std::string& user) {
    return URLCredential{user, "pw", URLCredential::Persistence::Permanent};
  };
  {
    CredentialStorage first(loginFile);
    for (int i = 0; i < 4; ++i) first.setDefaultCredential(login("u" + std::to_string(i)), space(i));
  }
  CredentialStorage store(loginFile);
  FaultShim::arm({.path = "Credentials.txt$", .calls = FaultShim::Reads, .times = 0});
  store.removeCredential(login("u0"), space(0));     // the logout
  store.removeCredential(login("other"), space(1));  // not the one saved: it stays
  store.setDefaultCredential(login("new"), space(2));
  store.removeCredential(login("new"), space(2));  // the file's u2 was replaced, then this removed
  store.removeCredential(login("x"), space(3));
  store.removeCredential(login("u3"), space(3));  // the second of two removals is the file's
  EXPECT_FALSE(store.defaultCredentialForProtectionSpace(space(1)));
  FaultShim::disarm();
  auto holds = [&](CredentialStorage& s) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
      auto c = s.defaultCredentialForProtectionSpace(space(i));
      out += c ? c->user + " " : "- ";
    }
    return out;
  };
  EXPECT_EQ(holds(store), "- u1 - - ");
  CredentialStorage rereadLogins(loginFile);
  EXPECT_EQ(holds(rereadLogins), "- u1 - - ");
}

// A save the disk refused was not said: the login or cookie just set was gone at the next start
// with no word of it. Said once per cause, and again after a save that worked.
TEST_F(StoreFileFaultTest, ASaveTheDiskRefusedIsSaidOncePerCause) {
  const std::string loginFile = dir_.path() + "/Library/Credentials.txt";
  const std::string cookieFile = dir_.path() + "/Library/Cookies/Cookies.txt";
  CredentialStorage logins(loginFile);
  HTTPCookieStorage jar(cookieFile);
  auto space = [](int i) {
    return ProtectionSpace::server("host" + std::to_string(i), 443, "https", "kavro");
  };
  const URLCredential login{"u", "pw", URLCredential::Persistence::Permanent};
  auto cookie = [](int i) { return HTTPCookie::make("c" + std::to_string(i), "v", "a.example", "/", 4e9); };
  logins.setDefaultCredential(login, space(0));
  jar.setCookie(cookie(0));
  const std::string savedLogins = bytesOf(loginFile);

  ::testing::internal::CaptureStderr();
  FaultShim::arm({.path = "/Library/", .calls = FaultShim::Writes, .times = 0, .error = ENOSPC});
  logins.setDefaultCredential(login, space(1));
  logins.setDefaultCredential(login, space(2));
  jar.setCookie(cookie(1));
  jar.setCookie(cookie(2));
  FaultShim::arm({.path = "/Library/", .calls = FaultShim::Writes, .times = 0, .error = EIO});
  logins.setDefaultCredential(login, space(3));
  FaultShim::disarm();
  logins.setDefaultCredential(login, space(4));
  FaultShim::arm({.path = "/Library/", .calls = FaultShim::Writes, .times = 0, .error = EIO});
  logins.setDefaultCredential(login, space(5));
  FaultShim::disarm();
  const std::string tail =
      "the file keeps what it held, and the change is kept for this session and saved "
      "with the next one\n";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "kavro: the saved logins could not be saved: the disk is full; " + tail +
                "kavro: the cookies could not be saved: the disk is full; " + tail +
                "kavro: the saved logins could not be saved: an I/O error; " + tail +
                "kavro: the saved logins could not be saved: an I/O error; " + tail);
  // What the disk refused is written with the next save that works.
  CredentialStorage reread(loginFile);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(reread.defaultCredentialForProtectionSpace(space(i)), login) << i;
  EXPECT_FALSE(reread.defaultCredentialForProtectionSpace(space(5)));
  jar.setCookie(cookie(3));
  HTTPCookieStorage rereadJar(cookieFile);
  EXPECT_EQ(rereadJar.cookies().size(), 4u);
}

// The merge of a file read late with what changed in memory, against the plain path: a store whose
// file always reads, given the same operations. Random sequences of sets, session-only sets,
// deletions and removals (of absent entries and of another user's too), expiries, reads that fail
// and work again, writes that fail on both, and second uses of the file by a new store: the same
// answers whenever the file reads, and the same files and stores after each second use.
TEST_F(StoreFileFaultTest, AFileReadLateMergesAsIfReadAtOnce) {
  enum Op {
    Set,
    SetSession,
    Remove,
    Expire,
    Query,
    FailReads,
    ReadsWork,
    FailWrites,
    WritesWork,
    SecondUse,
    Ops
  };
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const std::string plainDir = dir_.path() + "/" + std::to_string(seed) + "/plain/Library";
    const std::string lateDir = dir_.path() + "/" + std::to_string(seed) + "/late/Library";
    auto jarOf = [](const std::string& d) { return std::make_unique<HTTPCookieStorage>(d + "/Cookies.txt"); };
    auto loginsOf = [](const std::string& d) {
      return std::make_unique<CredentialStorage>(d + "/Credentials.txt");
    };
    auto plainJar = jarOf(plainDir), lateJar = jarOf(lateDir);
    auto plainLogins = loginsOf(plainDir), lateLogins = loginsOf(lateDir);
    FaultTurns faults(
        {.path = "/late/Library/", .calls = FaultShim::Reads, .times = 0},
        {.path = std::to_string(seed) + "/", .calls = FaultShim::Writes, .times = 0, .error = ENOSPC});
    auto jarText = [](HTTPCookieStorage& jar) {
      std::string out;
      for (const HTTPCookie& c : jar.cookies())
        out += c.name() + "=" + c.value() + (c.isSessionOnly() ? "s " : " ");
      return out;
    };
    auto space = [](int i) { return ProtectionSpace::server("h" + std::to_string(i), 443, "https", "r"); };
    auto loginsText = [&](CredentialStorage& s) {
      std::string out;
      for (int i = 0; i < 6; ++i) {
        auto c = s.defaultCredentialForProtectionSpace(space(i));
        out += c ? c->user + "/" + c->password +
                       (c->persistence == URLCredential::Persistence::Permanent ? " " : "s ")
                 : "- ";
      }
      return out;
    };
    auto same = [&](const char* when) {
      EXPECT_EQ(jarText(*lateJar), jarText(*plainJar)) << when;
      EXPECT_EQ(loginsText(*lateLogins), loginsText(*plainLogins)) << when;
    };
    ::testing::internal::CaptureStderr();
    for (int step = 0; step < 100; ++step) {
      const int op = static_cast<int>(random() % Ops);
      const int i = static_cast<int>(random() % 6);
      const std::string value = "v" + std::to_string(random() % 4);
      // A user of the store's own, or one it never saved.
      const std::string user = random() % 4 ? "u" + std::to_string(i % 3) : "other";
      const auto persistence =
          op == SetSession ? URLCredential::Persistence::ForSession : URLCredential::Persistence::Permanent;
      const HTTPCookie cookie =
          op == SetSession
              ? HTTPCookie::make("c" + std::to_string(i), value, "a.example", "/")
              : HTTPCookie::make("c" + std::to_string(i), value, "a.example", "/", op == Expire ? 1.0 : 4e9);
      switch (op) {
        case Set:
        case SetSession:
        case Expire:
          for (auto* jar : {plainJar.get(), lateJar.get()}) jar->setCookie(cookie);
          if (op != Expire)
            for (auto* s : {plainLogins.get(), lateLogins.get()})
              s->setDefaultCredential({user, value, persistence}, space(i));
          break;
        case Remove:
          for (auto* jar : {plainJar.get(), lateJar.get()}) jar->deleteCookie(cookie);
          for (auto* s : {plainLogins.get(), lateLogins.get()}) s->removeCredential({user, value}, space(i));
          break;
        case Query:
          if (!faults.readsFail()) same("query");
          break;
        case FailReads:
        case ReadsWork:
        case FailWrites:
        case WritesWork:
          faults.take(FaultTurns::Turn(op - FailReads));
          if (op == ReadsWork) same("reads work");
          break;
        case SecondUse: {
          faults.take(FaultTurns::AllWork);
          same("before the second use");
          // A last change that both save whole, then the files are read by new stores.
          for (auto* jar : {plainJar.get(), lateJar.get()})
            jar->setCookie(HTTPCookie::make("last", value, "a.example", "/", 4e9));
          for (auto* s : {plainLogins.get(), lateLogins.get()})
            s->setDefaultCredential({"last", value, URLCredential::Persistence::Permanent}, space(5));
          EXPECT_EQ(bytesOf(lateDir + "/Cookies.txt"), bytesOf(plainDir + "/Cookies.txt"));
          EXPECT_EQ(bytesOf(lateDir + "/Credentials.txt"), bytesOf(plainDir + "/Credentials.txt"));
          plainJar = jarOf(plainDir), lateJar = jarOf(lateDir);
          plainLogins = loginsOf(plainDir), lateLogins = loginsOf(lateDir);
          // Half the time the new store's first read fails.
          if (random() % 2) {
            faults.take(FaultTurns::FailReads);
          } else {
            same("after the second use");
          }
          break;
        }
        default:
          break;
      }
    }
    faults.take(FaultTurns::AllWork);
    same("at the end");
    ::testing::internal::GetCapturedStderr();
  }
}

}  // namespace
}  // namespace platform
