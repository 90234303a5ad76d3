#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

using namespace platform;
using kavro::test::TempDir;
using kavro::test::TempHome;

namespace {

// Sets or clears an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool isFolder(const std::string& path) {
  bool dir = false;
  return FileManager::fileExistsAtPath(path, &dir) && dir;
}

class EnvironmentTest : public ::testing::Test {
 protected:
  void TearDown() override { Environment::reset(); }
};

TEST_F(EnvironmentTest, HomeFoldersAreMadeOnDemand) {
  TempHome home;
  EXPECT_EQ(Environment::homeRoot(), home.path());
  EXPECT_TRUE(FileManager::contentsOfDirectoryAtPath(home.path())->empty());

  EXPECT_EQ(Environment::documentsPath(), home.path() + "/Documents");
  EXPECT_EQ(Environment::cachesPath(), home.path() + "/Library/Caches");
  EXPECT_EQ(Environment::libraryPath(), home.path() + "/Library");
  EXPECT_EQ(Environment::tmpPath(), home.path() + "/tmp");
  for (const char* sub : {"/Documents", "/Library", "/Library/Caches", "/tmp"})
    EXPECT_TRUE(isFolder(home.path() + sub)) << sub;

  // Removed behind its back, a folder comes back on the next ask.
  ASSERT_TRUE(FileManager::removeItemAtPath(home.path() + "/Documents"));
  EXPECT_TRUE(isFolder(Environment::documentsPath()));
}

TEST_F(EnvironmentTest, HomeRootComesFromSetterThenVariableThenUserHome) {
  TempDir fromVariable, userHome, fromSetter;
  ScopedEnv kavroHome("KAVRO_HOME", fromVariable.path().c_str());
  ScopedEnv home("HOME", userHome.path().c_str());
  EXPECT_EQ(Environment::homeRoot(), fromVariable.path());

  EXPECT_EQ(Environment::setHomeRoot(fromSetter.path()), "");
  EXPECT_EQ(Environment::homeRoot(), fromSetter.path());
  EXPECT_EQ(Environment::setHomeRoot(""), fromSetter.path());

  ScopedEnv noKavroHome("KAVRO_HOME", nullptr);
  EXPECT_EQ(Environment::homeRoot(), userHome.path() + "/.kavro");
  EXPECT_TRUE(isFolder(userHome.path() + "/.kavro"));
}

TEST_F(EnvironmentTest, TempHomeRestoresTheRootsItReplaced) {
  TempDir outer;
  Environment::setHomeRoot(outer.path());
  Environment::setResourceRoot("/somewhere/resources");
  {
    TempHome home;
    EXPECT_EQ(Environment::homeRoot(), home.path());
    if (const char* resources = std::getenv("KAVRO_RESOURCES")) {
      EXPECT_EQ(Environment::resourceRoot(), resources);
    }
  }
  EXPECT_EQ(Environment::homeRoot(), outer.path());
  EXPECT_EQ(Environment::resourceRoot(), "/somewhere/resources");
}

TEST_F(EnvironmentTest, ResourcesAreFoundOnlyInsideTheBundle) {
  TempDir bundle;
  ASSERT_TRUE(FileManager::createDirectoryAtPath(bundle.path() + "/Config", true));
  ASSERT_TRUE(
      FileManager::createFileAtPath(bundle.path() + "/Config/client.sign", dataFromString("partner")));
  ASSERT_TRUE(FileManager::createFileAtPath(bundle.path() + "/outside", dataFromString("x")));
  Environment::setResourceRoot(bundle.path() + "/Config");

  EXPECT_EQ(Environment::resourcePath("client.sign"), bundle.path() + "/Config/client.sign");
  EXPECT_EQ(Environment::resourcePath("missing.sign"), std::nullopt);
  EXPECT_EQ(Environment::resourcePath(""), std::nullopt);
  EXPECT_EQ(Environment::resourcePath("../outside"), std::nullopt);
  EXPECT_EQ(Environment::resourcePath("a/../../outside"), std::nullopt);
  EXPECT_EQ(Environment::resourcePath(bundle.path() + "/outside"), std::nullopt);

  Environment::setResourceRoot(bundle.path());
  EXPECT_EQ(Environment::resourcePath("Config/client.sign"), bundle.path() + "/Config/client.sign");
}

TEST_F(EnvironmentTest, ResourceRootDefaultsToTheFolderBesideTheProgram) {
  TempDir fromVariable;
  {
    ScopedEnv variable("KAVRO_RESOURCES", fromVariable.path().c_str());
    EXPECT_EQ(Environment::resourceRoot(), fromVariable.path());
  }
  ScopedEnv none("KAVRO_RESOURCES", nullptr);
  char exe[4096];
  ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string program(exe, static_cast<std::size_t>(n));
  EXPECT_EQ(Environment::resourceRoot(), program.substr(0, program.rfind('/')) + "/resources");
}

TEST_F(EnvironmentTest, IdentityHasDefaultsThatCanBeSetAndReset) {
  EXPECT_EQ(Environment::bundleName(), "Kavro");
  EXPECT_EQ(Environment::urlSchemes(), std::vector<std::string>{"kavroapp"});
  EXPECT_FALSE(Environment::versionString().empty());
  EXPECT_FALSE(Environment::buildNumber().empty());

  Environment::setBundleName("Other");
  Environment::setVersionString("3.0");
  Environment::setBuildNumber("3.0.1");
  Environment::setUrlSchemes({"one", "two"});
  EXPECT_EQ(Environment::bundleName(), "Other");
  EXPECT_EQ(Environment::versionString(), "3.0");
  EXPECT_EQ(Environment::buildNumber(), "3.0.1");
  EXPECT_EQ(Environment::urlSchemes(), (std::vector<std::string>{"one", "two"}));

  Environment::reset();
  EXPECT_EQ(Environment::bundleName(), "Kavro");
  EXPECT_EQ(Environment::urlSchemes(), std::vector<std::string>{"kavroapp"});
}

TEST_F(EnvironmentTest, HostsComeFromSetterThenVariableThenLoopback) {
  {
    ScopedEnv api("KAVRO_API_URL", nullptr);
    ScopedEnv map("KAVRO_MAP_URL", nullptr);
    EXPECT_EQ(Environment::apiHostUrl(), "http://127.0.0.1");
    EXPECT_EQ(Environment::mapHostUrl(), "http://127.0.0.1");
  }
  ScopedEnv api("KAVRO_API_URL", "http://127.0.0.1:8080");
  ScopedEnv map("KAVRO_MAP_URL", "http://127.0.0.1:9090");
  EXPECT_EQ(Environment::apiHostUrl(), "http://127.0.0.1:8080");
  EXPECT_EQ(Environment::mapHostUrl(), "http://127.0.0.1:9090");
  Environment::setApiHostUrl("http://127.0.0.1:1");
  Environment::setMapHostUrl("http://127.0.0.1:2");
  EXPECT_EQ(Environment::apiHostUrl(), "http://127.0.0.1:1");
  EXPECT_EQ(Environment::mapHostUrl(), "http://127.0.0.1:2");
  Environment::reset();
  EXPECT_EQ(Environment::apiHostUrl(), "http://127.0.0.1:8080");
}

}  // namespace
