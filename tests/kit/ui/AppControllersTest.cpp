#include <gtest/gtest.h>

#include "kit/ui/AppControllers.h"
#include "platform/ui/ViewController.h"

namespace kavro {
namespace {

class HomeScreen : public platform::ViewController {};
class SearchScreen : public platform::ViewController {};

class AppControllersTest : public ::testing::Test {
 protected:
  void TearDown() override { AppControllers::destroyAppControllers(); }
};

TEST_F(AppControllersTest, KeepsLastActiveOrderWithOneEntryPerScreen) {
  EXPECT_EQ(AppControllers::mostRecentController(), nullptr);
  EXPECT_EQ(AppControllers::stackPath(), "");

  auto home = std::make_shared<HomeScreen>();
  auto a = std::make_shared<SearchScreen>();
  auto b = std::make_shared<SearchScreen>();
  AppControllers::addController(home);
  AppControllers::addController(a);
  AppControllers::addController(b);
  EXPECT_EQ(AppControllers::mostRecentController(), b);
  EXPECT_EQ(AppControllers::stackPath(), "/HomeScreen/SearchScreen/SearchScreen");

  AppControllers::addController(a);  // appears again: moves to the end
  AppControllers::addController(a);
  EXPECT_EQ(AppControllers::mostRecentController(), a);
  EXPECT_EQ(AppControllers::sharedAppControllers().controllerStack().size(), 3u);

  AppControllers::addController(nullptr);
  AppControllers::removeController(nullptr);
  AppControllers::removeController(std::make_shared<HomeScreen>().get());
  EXPECT_EQ(AppControllers::sharedAppControllers().controllerStack().size(), 3u);

  AppControllers::removeController(a.get());
  EXPECT_EQ(AppControllers::mostRecentController(), b);
  EXPECT_EQ(&AppControllers::sharedAppControllers(), &AppControllers::sharedAppControllers());
}

TEST_F(AppControllersTest, RemovalNeedsTheRecordedNameAndDeadScreensDropOut) {
  auto home = std::make_shared<HomeScreen>();
  auto search = std::make_shared<SearchScreen>();
  AppControllers::addController(home);
  AppControllers::addController(search);

  AppControllers::sharedAppControllers().removeControllerFromStack(search.get(), "HomeScreen");
  EXPECT_EQ(AppControllers::mostRecentController(), search);
  AppControllers::sharedAppControllers().removeControllerFromStack(search.get(), "SearchScreen");
  EXPECT_EQ(AppControllers::mostRecentController(), home);

  // A screen that went without removing itself never comes back as a dangling answer.
  AppControllers::addController(search);
  search.reset();
  EXPECT_EQ(AppControllers::mostRecentController(), home);
  EXPECT_EQ(AppControllers::stackPath(), "/HomeScreen");
}

}  // namespace
}  // namespace kavro
