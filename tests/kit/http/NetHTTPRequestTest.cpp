#include <gtest/gtest.h>

#include "kit/http/NetDataCompressor.h"
#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/FileManager.h"
#include "tests/kit/http/HttpTestSupport.h"

using namespace httptest;
using Calls = std::vector<std::string>;

namespace {

std::string gzip(const std::string& text) {
  auto data = kavro::NetDataCompressor::compressData(platform::dataFromString(text));
  return std::string(data->begin(), data->end());
}

class NetHTTPRequestTest : public HttpTest {};

TEST_F(NetHTTPRequestTest, GetSendsTheDefaultsAndReportsInOrder) {
  server.enqueue(ScriptedResponse::ok("hello", {{"Content-Type", "text/plain; charset=utf-8"}}));
  auto request = make("/a?b=1");
  EXPECT_EQ(request->requestMethod(), "GET");
  EXPECT_DOUBLE_EQ(request->timeOutSeconds(), 10.0);
  EXPECT_TRUE(request->shouldAttemptPersistentConnection());
  auto rec = run(request);
  EXPECT_EQ(rec->calls, (Calls{"started", "headers", "finished"}));
  EXPECT_EQ(request->responseString(), "hello");
  EXPECT_EQ(request->responseEncoding(), kavro::NetUTF8StringEncoding);
  EXPECT_EQ(request->responseStatusMessage(), "HTTP/1.1 200 OK");
  EXPECT_TRUE(request->complete());
  EXPECT_TRUE(request->isFinished());
  EXPECT_FALSE(request->error());
  auto seen = server.requests().at(0);
  EXPECT_EQ(seen.method, "GET");
  EXPECT_EQ(seen.target, "/a?b=1");
  EXPECT_EQ(seen.header("Accept-Encoding"), "gzip");
  EXPECT_FALSE(seen.header("Cookie"));
  EXPECT_FALSE(seen.header("Authorization"));
}

TEST_F(NetHTTPRequestTest, BodiesTurnGetIntoPostButLeavePut) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.method + ":" + r.body); });
  auto get = make("/p");
  get->appendPostData(platform::dataFromString("k=v"));
  run(get);
  EXPECT_EQ(get->responseString(), "POST:k=v");
  EXPECT_EQ(server.requests().back().header("Content-Length"), "3");

  auto put = make("/p");
  put->setRequestMethod("PUT");
  EXPECT_FALSE(put->shouldAttemptPersistentConnection());
  put->setPostBody(platform::dataFromString("x"));
  run(put);
  EXPECT_EQ(put->responseString(), "PUT:x");

  // Setting the same method again changes nothing; GET on a request with a body turns reuse off.
  auto again = make("/p");
  again->setRequestMethod("GET");
  EXPECT_TRUE(again->shouldAttemptPersistentConnection());
  again->setPostBody(platform::dataFromString("x"));
  again->setRequestMethod("DELETE");
  EXPECT_FALSE(again->shouldAttemptPersistentConnection());
}

TEST_F(NetHTTPRequestTest, RedirectsFollowTheRulesAndAreBounded) {
  std::string base = server.url("");
  server.setHandler([&](const RecordedRequest& r) {
    if (r.target == "/302") return ScriptedResponse::redirect(302, "/landing");
    if (r.target == "/303") return ScriptedResponse::redirect(303, "landing");
    if (r.target == "/307") return ScriptedResponse::redirect(307, base + "/landing");
    return ScriptedResponse::ok(r.method + ":" + r.body + ":" + r.header("X-Extra").value_or("-"));
  });
  struct Case {
    std::string path;
    bool rfc2616;
    std::string expected;
  };
  for (const auto& c : std::vector<Case>{{"/302", false, "GET::-"},
                                         {"/303", true, "GET::-"},
                                         {"/307", false, "POST:data:x"},
                                         {"/302", true, "POST:data:x"}}) {
    auto r = make(c.path);
    r->setShouldUseRFC2616RedirectBehaviour(c.rfc2616);
    r->appendPostData(platform::dataFromString("data"));
    r->addRequestHeader("X-Extra", "x");
    r->addRequestHeader("Accept", "text/xml");
    auto rec = run(r);
    EXPECT_EQ(r->responseString(), c.expected) << c.path;
    EXPECT_EQ(rec->calls,
              (Calls{"started", "redirected", "headers location", "started", "headers", "finished"}))
        << c.path;
    EXPECT_EQ(r->url()->absoluteString(), base + "/landing");
    EXPECT_EQ(r->originalURL()->absoluteString(), base + c.path);
    EXPECT_EQ(server.requests().back().header("Accept"), "text/xml");
  }

  // Five redirects are followed; the sixth fails.
  server.setHandler([](const RecordedRequest& r) {
    int n = std::stoi(r.target.substr(1));
    return n < 5 ? ScriptedResponse::redirect(301, "/" + std::to_string(n + 1)) : ScriptedResponse::ok("end");
  });
  auto five = make("/0");
  run(five);
  EXPECT_EQ(five->responseString(), "end");
  EXPECT_EQ(five->redirectCount(), 5);
  auto six = make("/-1");
  auto rec = run(six);
  EXPECT_EQ(rec->calls.back(), "failed 9");
  EXPECT_EQ(six->error()->localizedDescription, "The request failed because it redirected too many times");
}

TEST_F(NetHTTPRequestTest, DelegateConfirmsRedirects) {
  server.setHandler([](const RecordedRequest& r) {
    return r.target == "/from" ? ScriptedResponse::redirect(302, "/to") : ScriptedResponse::ok("landed");
  });
  auto rec = std::make_shared<ConfirmingRecorder>();
  auto r = make("/from", rec);
  r->startAsynchronous();
  ASSERT_TRUE(wait([&] { return !rec->calls.empty() && rec->calls.back().rfind("confirm", 0) == 0; }));
  EXPECT_EQ(server.requestCount(), 1u);
  r->redirectToURL(url(server.url("/to")));
  wait([&] { return rec->done(); });
  EXPECT_EQ(r->responseString(), "landed");
}

TEST_F(NetHTTPRequestTest, GzipResponsesInflate) {
  std::string text(5000, 'z');
  server.setHandler([&](const RecordedRequest&) {
    return ScriptedResponse::ok(gzip(text), {{"Content-Encoding", "gzip"}});
  });
  auto waiting = make("/g");
  run(waiting);
  EXPECT_TRUE(waiting->isResponseCompressed());
  EXPECT_EQ(waiting->rawResponseData()->size(), gzip(text).size());
  EXPECT_EQ(waiting->responseString(), text);

  auto onTheFly = make("/g");
  onTheFly->setShouldWaitToInflateCompressedResponses(false);
  run(onTheFly);
  EXPECT_EQ(platform::stringFromData(*onTheFly->rawResponseData()), text);

  // A body that claims gzip but is not: no data (waiting), a compression error (on the fly).
  server.setHandler([](const RecordedRequest&) {
    return ScriptedResponse::ok("plain", {{"Content-Encoding", "gzip"}});
  });
  auto bad = make("/g");
  run(bad);
  EXPECT_FALSE(bad->responseData());
  auto badOnTheFly = make("/g");
  badOnTheFly->setShouldWaitToInflateCompressedResponses(false);
  auto rec = run(badOnTheFly);
  EXPECT_EQ(rec->calls.back(), "failed 11");
}

TEST_F(NetHTTPRequestTest, CompressedRequestBodies) {
  std::string received;
  server.setHandler([&](const RecordedRequest& r) {
    received = r.body;
    return ScriptedResponse::ok(r.header("Content-Encoding").value_or("none"));
  });
  std::string text = "field=" + std::string(3000, 'q');
  auto r = make("/up");
  r->setShouldCompressRequestBody(true);
  r->appendPostData(platform::dataFromString(text));
  run(r);
  EXPECT_EQ(r->responseString(), "gzip");
  auto inflated = kavro::NetDataDecompressor::uncompressData(platform::dataFromString(received));
  ASSERT_TRUE(inflated);
  EXPECT_EQ(platform::stringFromData(*inflated), text);

  // A body streamed from disk, compressed into a temporary copy; both files go at the end.
  auto disk = make("/up");
  disk->setShouldStreamPostDataFromDisk(true);
  disk->setShouldCompressRequestBody(true);
  disk->appendPostData(platform::dataFromString(text));
  auto bodyFile = disk->postBodyFilePath();
  ASSERT_TRUE(bodyFile);
  run(disk);
  EXPECT_EQ(platform::stringFromData(
                *kavro::NetDataDecompressor::uncompressData(platform::dataFromString(received))),
            text);
  EXPECT_FALSE(platform::FileManager::fileExistsAtPath(*bodyFile));
}

// A body file that is gone when the request starts, plain or to be compressed: the request fails
// naming the file, and nothing reaches the server.
TEST_F(NetHTTPRequestTest, ABodyFileGoneBeforeTheStartFailsTheRequestUnsent) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("taken"); });
  for (bool compress : {false, true}) {
    auto r = make("/up");
    r->setShouldStreamPostDataFromDisk(true);
    r->setShouldCompressRequestBody(compress);
    r->appendPostData(platform::dataFromString("field=value"));
    auto bodyFile = r->postBodyFilePath();
    ASSERT_TRUE(bodyFile);
    ASSERT_TRUE(platform::FileManager::removeItemAtPath(*bodyFile));
    auto rec = run(r);
    ASSERT_FALSE(rec->calls.empty());
    EXPECT_EQ(rec->calls.back().rfind("failed ", 0), 0u) << rec->calls.back();
    ASSERT_TRUE(r->error());
    EXPECT_NE(r->error()->localizedDescription.find(*bodyFile), std::string::npos) << "names the file";
  }
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NetHTTPRequestTest, DataGoesToADelegateThatTakesIt) {
  ScriptedResponse chunked = ScriptedResponse::ok("one-two-three");
  chunked.chunkSizes = {4, 4, 5};
  chunked.delayBetweenChunks = 0.02;
  server.enqueue(chunked);
  auto rec = std::make_shared<DataRecorder>();
  auto r = make("/pull", rec);
  r->setTimeOutSeconds(86400);
  run(r, rec);
  EXPECT_EQ(rec->data, "one-two-three");
  EXPECT_GE(std::count(rec->calls.begin(), rec->calls.end(), "data"), 2);
  EXPECT_EQ(rec->calls.back(), "finished");
  EXPECT_EQ(rec->finished, 1);
  EXPECT_TRUE(r->rawResponseData()->empty());

  // A block takes the data too.
  server.enqueue(ScriptedResponse::ok("blocked"));
  std::string viaBlock;
  auto b = make("/pull");
  b->setDataReceivedBlock([&](const platform::Data& d) { viaBlock.append(d.begin(), d.end()); });
  run(b);
  EXPECT_EQ(viaBlock, "blocked");
}

TEST_F(NetHTTPRequestTest, PersistentConnectionsAreSharedAndExpire) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  auto first = make("/1");
  run(first);
  auto second = make("/2");
  run(second);
  EXPECT_EQ(second->responseString(), "/2");
  EXPECT_EQ(first->connectionID(), second->connectionID());
  EXPECT_EQ(server.connectionCount(), 1u);
  auto pool = NetHTTPRequest::persistentConnections();
  ASSERT_EQ(pool.size(), 1u);
  EXPECT_FALSE(pool[0].request);
  EXPECT_TRUE(pool[0].expires);

  // Another port: another entry.
  LoopbackHttpServer other;
  other.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("other"); });
  auto elsewhere = NetHTTPRequest::requestWithURL(url(other.url("/")));
  run(elsewhere);
  EXPECT_EQ(NetHTTPRequest::persistentConnections().size(), 2u);
  EXPECT_NE(elsewhere->connectionID(), first->connectionID());

  // "Connection: close" and a Keep-Alive with max 5 are not reusable; timeout=15, max=100 is.
  ScriptedResponse close = ScriptedResponse::ok("c");
  close.keepAlive = false;
  server.enqueue(close);
  auto closing = make("/c");
  run(closing);
  EXPECT_FALSE(closing->connectionCanBeReused());
  server.enqueue(ScriptedResponse::ok("k", {{"Keep-Alive", "timeout=15, max=5"}}));
  auto five = make("/k");
  run(five);
  EXPECT_FALSE(five->connectionCanBeReused());
  server.enqueue(
      ScriptedResponse::ok("k", {{"Keep-Alive", "timeout=15, max=100"}, {"Connection", "Keep-Alive"}}));
  auto hundred = make("/k");
  run(hundred);
  EXPECT_TRUE(hundred->connectionCanBeReused());
  EXPECT_DOUBLE_EQ(hundred->persistentConnectionTimeoutSeconds(), 15.0);
  ScriptedResponse old = ScriptedResponse::ok("h");
  old.version = "HTTP/1.0";
  server.enqueue(old);
  auto http10 = make("/h");
  run(http10);
  EXPECT_FALSE(http10->connectionCanBeReused());
}

TEST_F(NetHTTPRequestTest, ADeadReusedConnectionIsRetriedOnceOnANewOne) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  run(make("/warm"));
  ScriptedResponse drop;
  drop.closeWithoutResponse = true;
  server.enqueue(drop);
  auto r = make("/again");
  auto rec = run(r);
  EXPECT_EQ(rec->calls.back(), "finished");
  EXPECT_EQ(r->responseString(), "/again");
  EXPECT_EQ(r->retryCount(), 1);
  EXPECT_EQ(server.connectionCount(), 2u);

  // Dropped again on the retry: a connection failure.
  server.enqueue(drop);
  server.enqueue(drop);
  auto twice = make("/twice");
  auto failed = run(twice);
  EXPECT_EQ(failed->calls.back(), "failed 1");
  EXPECT_EQ(twice->error()->localizedDescription, "A connection failure occurred");
}

TEST_F(NetHTTPRequestTest, CancelReportsOnceAndClearDelegatesSilences) {
  ScriptedResponse hold;
  hold.holdWithoutResponse = true;
  server.setHandler([&](const RecordedRequest&) { return hold; });
  auto rec = std::make_shared<Recorder>();
  auto r = make("/hold", rec);
  r->startAsynchronous();
  // The start reaches the delegate through the main loop, maybe after the server saw the request.
  ASSERT_TRUE(wait([&] { return server.requestCount() == 1 && !rec->calls.empty(); }));
  r->cancel();
  r->cancel();
  wait([&] { return rec->done(); });
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(rec->calls, (Calls{"started", "failed 4"}));
  EXPECT_TRUE(r->isCancelled());
  EXPECT_EQ(r->error()->localizedDescription, "The request was cancelled");

  auto silent = std::make_shared<Recorder>();
  auto quiet = make("/hold", silent);
  bool blockCalled = false;
  quiet->setFailedBlock([&] { blockCalled = true; });
  quiet->startAsynchronous();
  ASSERT_TRUE(wait([&] { return server.requestCount() == 2 && !silent->calls.empty(); }));
  quiet->clearDelegatesAndCancel();
  wait([&] { return quiet->isFinished(); });
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(silent->calls, (Calls{"started"}));
  EXPECT_FALSE(blockCalled);
  server.stop();
}

TEST_F(NetHTTPRequestTest, SessionCookiesGoBackAndClearSessionForgetsThem) {
  server.setHandler([](const RecordedRequest& r) {
    if (r.target == "/set") return ScriptedResponse::ok("set", {{"Set-Cookie", "sid=abc; Path=/"}});
    return ScriptedResponse::ok(r.header("Cookie").value_or("none"));
  });
  run(make("/set"));
  ASSERT_EQ(NetHTTPRequest::sessionCookies().size(), 1u);
  auto echo = make("/echo");
  run(echo);
  EXPECT_EQ(echo->responseString(), "sid=abc");
  EXPECT_EQ(echo->requestCookies().size(), 1u);

  // Cookie persistence off: nothing is sent.
  auto off = make("/echo");
  off->setUseCookiePersistence(false);
  run(off);
  EXPECT_EQ(off->responseString(), "none");

  // A cookie stored by other means survives clearSession.
  auto other = platform::HTTPCookie::make("keep", "1", "127.0.0.1");
  platform::HTTPCookieStorage::sharedHTTPCookieStorage().setCookie(other);
  NetHTTPRequest::clearSession();
  EXPECT_TRUE(NetHTTPRequest::sessionCookies().empty());
  auto after = make("/echo");
  run(after);
  EXPECT_EQ(after->responseString(), "keep=1");
}

TEST_F(NetHTTPRequestTest, DownloadsToAFileAndResumes) {
  std::string body(100000, 'd');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  server.setHandler([&](const RecordedRequest& r) {
    auto range = r.header("Range");
    if (!range) return ScriptedResponse::ok(body);
    std::size_t from = std::stoul(range->substr(6));
    ScriptedResponse partial = ScriptedResponse::ok(body.substr(from));
    partial.status = 206;
    partial.headers = {{"Content-Range", "bytes " + std::to_string(from) + "-" +
                                             std::to_string(body.size() - 1) + "/" +
                                             std::to_string(body.size())}};
    return partial;
  });
  std::string destination = home.path() + "/out.bin";
  auto r = make("/file");
  r->setDownloadDestinationPath(destination);
  run(r);
  EXPECT_EQ(platform::stringFromData(*platform::FileManager::contentsAtPath(destination)), body);
  EXPECT_FALSE(r->rawResponseData());

  // A partial file from an earlier run: only the rest is asked for and appended.
  std::string partialPath = home.path() + "/partial.tmp";
  platform::FileManager::createFileAtPath(partialPath, platform::dataFromString(body.substr(0, 40000)));
  auto resumed = make("/file");
  resumed->setDownloadDestinationPath(destination);
  resumed->setTemporaryFileDownloadPath(partialPath);
  resumed->setAllowResumeForFileDownloads(true);
  run(resumed);
  EXPECT_EQ(server.requests().back().header("Range"), "bytes=40000-");
  EXPECT_EQ(resumed->partialDownloadSize(), 40000u);
  EXPECT_EQ(platform::stringFromData(*platform::FileManager::contentsAtPath(destination)), body);
  EXPECT_FALSE(platform::FileManager::fileExistsAtPath(partialPath));

  // A server that ignores the range: the file is written from the start.
  server.setHandler([&](const RecordedRequest&) { return ScriptedResponse::ok(body); });
  platform::FileManager::createFileAtPath(partialPath, platform::dataFromString(body.substr(0, 1000)));
  auto restarted = make("/file");
  restarted->setDownloadDestinationPath(destination);
  restarted->setTemporaryFileDownloadPath(partialPath);
  restarted->setAllowResumeForFileDownloads(true);
  run(restarted);
  EXPECT_EQ(restarted->partialDownloadSize(), 0u);
  EXPECT_EQ(platform::stringFromData(*platform::FileManager::contentsAtPath(destination)), body);
}

struct Progress : kavro::NetProgressDelegate {
  std::vector<float> fractions;
  std::int64_t received = 0, sent = 0, downloadSize = 0, uploadSize = 0;
  void setProgress(float p) override { fractions.push_back(p); }
  void requestDidReceiveBytes(NetHTTPRequest&, std::int64_t b) override { received += b; }
  void requestDidSendBytes(NetHTTPRequest&, std::int64_t b) override { sent += b; }
  void requestIncrementDownloadSizeBy(NetHTTPRequest&, std::int64_t b) override { downloadSize += b; }
  void requestIncrementUploadSizeBy(NetHTTPRequest&, std::int64_t b) override { uploadSize += b; }
};

TEST_F(NetHTTPRequestTest, ProgressAddsUpToTheBody) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok(std::string(70000, 'p')); });
  auto down = std::make_shared<Progress>();
  auto up = std::make_shared<Progress>();
  auto r = make("/progress");
  r->setDownloadProgressDelegate(down);
  r->setUploadProgressDelegate(up);
  r->appendPostData(platform::dataFromString(std::string(1000, 'u')));
  run(r);
  platform::RunLoop::main().runFor(0.02);
  EXPECT_EQ(down->downloadSize, 70000);
  EXPECT_EQ(down->received, 70000);
  ASSERT_FALSE(down->fractions.empty());
  EXPECT_FLOAT_EQ(down->fractions.front(), 0.0f);
  EXPECT_FLOAT_EQ(down->fractions.back(), 1.0f);
  EXPECT_EQ(up->uploadSize, 1000);
  EXPECT_EQ(up->sent, 1000);
  EXPECT_FLOAT_EQ(up->fractions.back(), 1.0f);

  // Unknown length: one amount of 1.
  ScriptedResponse unknown = ScriptedResponse::ok("xyz");
  unknown.omitContentLength = true;
  unknown.keepAlive = false;
  server.enqueue(unknown);
  auto u = std::make_shared<Progress>();
  auto r2 = make("/unknown");
  r2->setDownloadProgressDelegate(u);
  run(r2);
  platform::RunLoop::main().runFor(0.02);
  EXPECT_EQ(u->received, 1);
  EXPECT_EQ(u->downloadSize, 1);
  EXPECT_TRUE(r2->updatedProgress());
  EXPECT_EQ(r2->contentLength(), 3u);
}

}  // namespace
