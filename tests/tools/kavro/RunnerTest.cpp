#include "tools/kavro/Runner.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/foundation/RunLoop.h"
#include "tests/support/ApiFixtureServer.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

TEST(Runner, ScriptRunsSearchAndDetailAgainstTheDemoServer) {
  test::TempHome home;
  platform::RunLoop::main().setClock(platform::Clock::real());
  std::ostringstream out;
  {
    runner::Runner r("", test::ApiFixtureServer::defaultFixtureRoot(), out);
    std::istringstream script("search java --area 020000  # first page\n\njob 45127603\nfly away\n");
    EXPECT_FALSE(r.runScript(script)) << "the unknown command fails the script";
  }
  std::string text = out.str();
  EXPECT_NE(text.find("> search java --area 020000"), std::string::npos) << text;
  EXPECT_NE(text.find(": 57 jobs, page 1"), std::string::npos) << text;
  EXPECT_NE(text.find("1. 高级软件工程师（C++） | 上海浦江数据科技有限公司"), std::string::npos) << text;
  EXPECT_NE(text.find("  address: 上海市浦东新区"), std::string::npos) << text;
  EXPECT_NE(text.find("unknown command: fly"), std::string::npos) << text;
}

TEST(Runner, UnreachableServerIsAFailure) {
  test::TempHome home;
  std::ostringstream out;
  runner::Runner r("http://127.0.0.1:1", "", out);
  EXPECT_FALSE(r.run({"job", "1"}));
  EXPECT_NE(out.str().find("failed: "), std::string::npos) << out.str();
  EXPECT_FALSE(r.run({"job"}));
}

}  // namespace
}  // namespace kavro
