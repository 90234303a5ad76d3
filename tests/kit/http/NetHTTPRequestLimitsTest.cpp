// Answers from a hostile or broken server: redirects kept to their meaning, decoded sizes bounded,
// proxy scripts that never end.
#include <gmock/gmock.h>

#include <chrono>

#include "platform/foundation/FileManager.h"
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
  EXPECT_EQ(rec->calls,
            (Calls{"started", "redirected", "headers location", "started", "headers", "finished"}));
}

}  // namespace
}  // namespace httptest

namespace httptest {
namespace {

TEST_F(NetHTTPRequestLimitsTest, ProxyScriptThatNeverEndsLeavesTheRequestDirectWithItsError) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("direct " + r.target); });
  std::string path = home.path() + "/proxy.pac";
  platform::FileManager::createFileAtPath(
      path, platform::dataFromString("function FindProxyForURL(u, h) { while (true) {} }"));
  platform::SystemProxySettings settings;
  settings.autoConfigurationURL = platform::URL::fileURLWithPath(path);
  platform::SystemProxySettings::setOverride(settings);
  auto r = make("/a");
  auto recorder = std::make_shared<Recorder>();
  r->setDelegate(recorder);
  r->startAsynchronous();
  // While the script spins on the network thread, the request's state stays readable.
  auto& loop = platform::RunLoop::main();
  loop.runFor(0.3);
  auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(r->PACurl());
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count(), 0.5);
  ASSERT_TRUE(wait([&] { return recorder->done(); }));
  EXPECT_EQ(r->responseString(), "direct /a");
  EXPECT_FALSE(r->proxyHost());
  ASSERT_TRUE(r->PACScriptError());
  EXPECT_EQ(r->PACScriptError()->localizedDescription, "The script ran out of time");
}

}  // namespace
}  // namespace httptest
