// Answers from a hostile or broken server: redirects kept to their meaning, decoded sizes bounded,
// proxy scripts that never end.
#include <gmock/gmock.h>

#include <chrono>

#include "kit/http/NetDataCompressor.h"
#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequestErrors.h"
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

namespace httptest {
namespace {

// 8 MiB of one byte, a few kilobytes once compressed.
std::string gzipBomb() {
  auto packed = kavro::NetDataCompressor::compressData(platform::Data(8 << 20, 'a'));
  return std::string(packed->begin(), packed->end());
}

TEST_F(NetHTTPRequestLimitsTest, CompressedAnswersAreBoundedByWhatTheyDecodeTo) {
  std::string bomb = gzipBomb();
  ASSERT_LT(bomb.size(), 64u * 1024);
  server.setHandler([&](const RecordedRequest& r) {
    if (r.target == "/small") return ScriptedResponse::ok(std::string(1000, 'b'));
    return ScriptedResponse::ok(bomb, {{"Content-Encoding", "gzip"}});
  });
  for (bool waits : {true, false}) {
    auto r = make("/bomb");
    r->setShouldWaitToInflateCompressedResponses(waits);
    r->setMaxResponseSize(1 << 20);
    auto rec = run(r);
    EXPECT_EQ(rec->failed, 1) << waits;
    ASSERT_TRUE(r->error());
    EXPECT_EQ(r->error()->code, kavro::NetResponseTooLargeErrorType);
    EXPECT_EQ(r->error()->localizedDescription,
              "The response is larger than the 1048576 bytes the request allows");
  }
  // Under the default limit the same answer inflates whole; plain answers count as they come.
  auto whole = make("/bomb");
  run(whole);
  EXPECT_FALSE(whole->error());
  EXPECT_EQ(whole->responseData()->size(), 8u << 20);
  auto small = make("/small");
  small->setMaxResponseSize(999);
  run(small);
  ASSERT_TRUE(small->error());
  EXPECT_EQ(small->error()->code, kavro::NetResponseTooLargeErrorType);
}

TEST_F(NetHTTPRequestLimitsTest, DecompressorStopsAtItsLimitWithoutHoldingTheWhole) {
  std::string bomb = gzipBomb();
  platform::Data packed(bomb.begin(), bomb.end());
  platform::Error error;
  EXPECT_FALSE(kavro::NetDataDecompressor::uncompressData(packed, &error, 4096));
  EXPECT_EQ(error.code, kavro::NetResponseTooLargeErrorType);
  EXPECT_EQ(kavro::NetDataDecompressor::uncompressData(packed, &error, 8 << 20)->size(), 8u << 20);

  std::string source = home.path() + "/bomb.gz", destination = home.path() + "/bomb";
  platform::FileManager::createFileAtPath(source, packed);
  EXPECT_FALSE(kavro::NetDataDecompressor::uncompressDataFromFile(source, destination, &error, 4096));
  EXPECT_EQ(error.code, kavro::NetResponseTooLargeErrorType);

  // A stream that failed at its limit, closed and set up again, is a fresh one: it starts from the
  // first byte with the whole limit; a closed one takes nothing. The same for the compressor.
  auto inflater = kavro::NetDataDecompressor::decompressor();
  inflater->setOutputLimit(4096);
  EXPECT_FALSE(inflater->uncompressBytes(packed.data(), packed.size(), &error));
  EXPECT_FALSE(inflater->closeStream());
  EXPECT_FALSE(inflater->streamReady());
  error = {};
  EXPECT_FALSE(inflater->uncompressBytes(packed.data(), packed.size(), &error));
  EXPECT_EQ(error.code, kavro::NetCompressionError);
  platform::Data text = platform::dataFromString(std::string(3000, 'k'));
  auto gz = *kavro::NetDataCompressor::compressData(text);
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_FALSE(inflater->setupStream());
    EXPECT_EQ(inflater->uncompressBytes(gz.data(), gz.size(), &error), text) << pass;
    EXPECT_FALSE(inflater->closeStream());
  }
  auto deflater = kavro::NetDataCompressor::compressor();
  for (int pass = 0; pass < 2; ++pass) {
    auto piece = deflater->compressBytes(text.data(), text.size(), &error, true);
    ASSERT_TRUE(piece) << pass;
    EXPECT_EQ(*piece, gz) << pass;
    EXPECT_FALSE(deflater->closeStream());
    error = {};
    EXPECT_FALSE(deflater->compressBytes(text.data(), text.size(), &error, true));
    EXPECT_EQ(error.code, kavro::NetCompressionError);
    EXPECT_FALSE(deflater->setupStream());
  }
}

}  // namespace
}  // namespace httptest
