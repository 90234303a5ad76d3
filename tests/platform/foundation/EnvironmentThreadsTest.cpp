#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Environment.h"
#include "tests/support/TempDir.h"

using namespace platform;
using kavro::test::TempDir;

namespace {

// The process's settings are read on every thread (a request's resource path, a store's home) while
// a test or the start of the application sets them: each read sees one whole value that was set,
// never a torn one. Under the thread sanitizer build a setting read or written without its lock is
// reported here.
TEST(EnvironmentThreads, SettingsReadOnOtherThreadsWhileSetAreWhole) {
  TempDir a, b;
  const std::set<std::string> roots{a.path(), b.path()};
  const std::set<std::string> hosts{"http://127.0.0.1:1", "http://127.0.0.1:22222"};
  const std::set<std::string> names{"One", "Another name, longer than the small-string buffer"};
  Environment::setHomeRoot(a.path());
  Environment::setResourceRoot(a.path());
  Environment::setApiHostUrl(*hosts.begin());
  Environment::setMapHostUrl(*hosts.begin());
  Environment::setBundleName(*names.begin());
  Environment::setVersionString(*names.begin());
  Environment::setBuildNumber(*names.begin());

  std::atomic<bool> done{false};
  std::atomic<int> torn{0}, reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!done.load()) {
        if (!roots.count(Environment::homeRoot())) ++torn;
        if (!roots.count(Environment::resourceRoot())) ++torn;
        std::string appended = "x";
        Environment::appendResourceRoot(appended);
        if (!roots.count(appended.substr(1))) ++torn;
        if (!hosts.count(Environment::apiHostUrl())) ++torn;
        if (!hosts.count(Environment::mapHostUrl())) ++torn;
        if (!names.count(Environment::bundleName())) ++torn;
        if (!names.count(Environment::versionString())) ++torn;
        if (!names.count(Environment::buildNumber())) ++torn;
        ++reads;
      }
    });
  }
  for (int i = 0; i < 400; ++i) {
    const std::string& root = i % 2 ? *roots.begin() : *roots.rbegin();
    const std::string& host = i % 2 ? *hosts.begin() : *hosts.rbegin();
    const std::string& name = i % 2 ? *names.begin() : *names.rbegin();
    Environment::setHomeRoot(root);
    Environment::setResourceRoot(root);
    Environment::setApiHostUrl(host);
    Environment::setMapHostUrl(host);
    Environment::setBundleName(name);
    Environment::setVersionString(name);
    Environment::setBuildNumber(name);
    // Each setter hands back the value it replaced: one of the two, whole.
    EXPECT_TRUE(roots.count(Environment::setHomeRoot(root)));
  }
  while (reads.load() < 10) std::this_thread::yield();
  done = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(torn.load(), 0);
  Environment::reset();
}

}  // namespace
