#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/FileManager.h"
#include "tests/kit/http/HttpTestSupport.h"
#include "tests/support/FaultShim.h"

using namespace httptest;
using kavro::test::FaultShim;

namespace {

const bool shimLoaded = FaultShim::rerunWithShim(KAVRO_FAULT_SHIM);

class NetHTTPRequestBodyFaultTest : public HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    ASSERT_TRUE(shimLoaded && FaultShim::loaded());
  }
  void TearDown() override {
    FaultShim::disarm();
    HttpTest::TearDown();
  }
};

// A body streamed to disk that the disk would not take whole is not sent cut: the request fails
// naming its body file, appending a file says so at once, and a later append makes no body with a
// hole in it. The next request, on a disk that works again, sends its body whole.
TEST_F(NetHTTPRequestBodyFaultTest, ABodyTheDiskWouldNotTakeFailsTheRequestUnsent) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.body); });
  const std::string source = home.path() + "/part.txt";
  std::ofstream(source) << "second=2&";
  for (bool fromFile : {false, true}) {
    SCOPED_TRACE(fromFile ? "from a file" : "from memory");
    auto r = make("/up");
    r->setShouldStreamPostDataFromDisk(true);
    r->appendPostData(platform::dataFromString("first=1&"));
    auto bodyFile = r->postBodyFilePath();
    ASSERT_TRUE(bodyFile);
    FaultShim::arm({.path = std::filesystem::path(*bodyFile).filename().string() + "$",
                    .calls = FaultShim::Writes,
                    .error = ENOSPC});
    if (fromFile)
      EXPECT_FALSE(r->appendPostDataFromFile(source));
    else
      r->appendPostData(platform::dataFromString("second=2&"));
    EXPECT_EQ(FaultShim::failed(), 1);
    FaultShim::disarm();
    r->appendPostData(platform::dataFromString("third=3"));
    auto rec = run(r);
    ASSERT_FALSE(rec->calls.empty());
    EXPECT_EQ(rec->calls.back().rfind("failed ", 0), 0u) << rec->calls.back();
    ASSERT_TRUE(r->error());
    EXPECT_NE(r->error()->localizedDescription.find(*bodyFile), std::string::npos) << "names the file";
    EXPECT_NE(r->error()->localizedDescription.find("Failed to write the request body"), std::string::npos)
        << r->error()->localizedDescription;
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(*bodyFile));
  }
  EXPECT_EQ(server.requestCount(), 0u);

  auto r = make("/up");
  r->setShouldStreamPostDataFromDisk(true);
  r->appendPostData(platform::dataFromString("first=1&"));
  EXPECT_TRUE(r->appendPostDataFromFile(source));
  r->appendPostData(platform::dataFromString("third=3"));
  run(r);
  EXPECT_FALSE(r->error());
  EXPECT_EQ(r->responseString(), "first=1&second=2&third=3");
}

}  // namespace
