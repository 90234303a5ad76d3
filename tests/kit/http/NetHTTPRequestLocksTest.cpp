#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "kit/http/NetHTTPRequest.h"

// Locks whose data clang's lock analysis cannot follow, so that only ThreadSanitizer
// (./test.sh --tsan) tells when one is dropped. A request's options are read without their lock
// once it has started, so they are not marked as guarded by it; before the start a caller may set
// them on one thread while another reads them.
namespace {

TEST(NetHTTPRequestLocks, OptionsSetOnOneThreadAreReadWholeOnAnother) {
  auto r = kavro::NetHTTPRequest::requestWithURL(std::nullopt);
  const std::string a(64, 'a');
  const std::string b(64, 'b');
  constexpr int Rounds = 2000;
  r->setUserAgentString(a);
  std::thread writer([&] {
    for (int i = 0; i < Rounds; ++i) {
      r->setUserAgentString(i % 2 ? a : b);
      r->setTimeOutSeconds(i);
    }
  });
  int torn = 0;
  for (int i = 0; i < Rounds; ++i) {
    auto agent = r->userAgentString();
    if (!agent || (*agent != a && *agent != b)) ++torn;
    const double timeOut = r->timeOutSeconds();
    if (timeOut < 0 || timeOut >= Rounds) ++torn;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(r->userAgentString(), a);
  EXPECT_DOUBLE_EQ(r->timeOutSeconds(), Rounds - 1);
}

TEST(NetHTTPRequestLocks, CopiesMadeWhileAnotherThreadSetsOptionsTakeThemWhole) {
  auto r = kavro::NetHTTPRequest::requestWithURL(std::nullopt);
  constexpr int Rounds = 200;
  std::thread writer([&] {
    for (int i = 0; i < Rounds; ++i) {
      r->setTimeOutSeconds(i);
      r->setUseHTTPVersionOne(i % 2 == 1);
    }
  });
  int outOfRange = 0;
  for (int i = 0; i < Rounds; ++i) {
    for (double timeOut : {r->copy()->timeOutSeconds(), r->HEADRequest()->timeOutSeconds()}) {
      if (timeOut < 0 || timeOut >= Rounds) ++outOfRange;
    }
  }
  writer.join();
  EXPECT_EQ(outOfRange, 0);
  EXPECT_DOUBLE_EQ(r->copy()->timeOutSeconds(), Rounds - 1);
  EXPECT_DOUBLE_EQ(r->HEADRequest()->timeOutSeconds(), Rounds - 1);
  EXPECT_TRUE(r->copy()->useHTTPVersionOne());
  EXPECT_TRUE(r->HEADRequest()->useHTTPVersionOne());
}

}  // namespace
