// Answers from a hostile or broken server: redirects kept to their meaning, decoded sizes bounded,
// proxy scripts that never end.
#include <gmock/gmock.h>

#include "tests/kit/http/HttpTestSupport.h"

namespace httptest {
namespace {

using Calls = std::vector<std::string>;

class NetHTTPRequestLimitsTest : public HttpTest {};

TEST_F(NetHTTPRequestLimitsTest, PermanentRedirectKeepsMethodAndBodyLikeTemporary) {
  std::string base = server.url("");
  server.setHandler([&](const RecordedRequest& r) {
    if (r.target == "/308") return ScriptedResponse::redirect(308, base + "/landing");
    return ScriptedResponse::ok(r.method + ":" + r.body);
  });
  auto r = make("/308");
  r->appendPostData(platform::dataFromString("data"));
  auto rec = run(r);
  EXPECT_EQ(r->responseStatusCode(), 200);
  EXPECT_EQ(r->responseString(), "POST:data");
  EXPECT_EQ(r->url()->absoluteString(), base + "/landing");
  EXPECT_EQ(rec->calls, (Calls{"started", "redirected", "headers location", "started", "headers", "finished"}));
}

}  // namespace
}  // namespace httptest
