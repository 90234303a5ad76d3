// What the main thread and a cache read of a request's answer, and when.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <mutex>
#include <thread>

#include "tests/kit/http/HttpTestSupport.h"

using namespace httptest;
using Calls = std::vector<std::string>;

namespace {

class NetHTTPRequestAnswerTest : public HttpTest {
 protected:
  // Waits without running the main loop, so that what the request hands to it stays queued.
  static bool waitOffTheMainLoop(const std::function<bool()>& pred) {
    for (int i = 0; i < 20000; ++i) {
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
  }
};

// Notes what the request answers inside each callback.
struct ReadingRecorder : Recorder {
  Calls read;
  void requestDidReceiveResponseHeaders(NetHTTPRequest& r, const kavro::NetHeaderDictionary& h) override {
    Recorder::requestDidReceiveResponseHeaders(r, h);
    read.push_back(
        "headers " + std::to_string(r.responseStatusCode()) + " " + r.responseStatusMessage().value_or("-") +
        (h.contains("Location") ? " location" : "") +
        (r.responseHeaders() && r.responseHeaders()->contains("Location") ? " read-location" : ""));
  }
  void requestRedirected(NetHTTPRequest& r) override {
    Recorder::requestRedirected(r);
    read.push_back("redirected " + std::to_string(r.responseStatusCode()));
  }
  void requestFinished(NetHTTPRequest& r) override {
    Recorder::requestFinished(r);
    read.push_back("finished " + std::to_string(r.responseStatusCode()) + " " +
                   r.responseString().value_or("-") + (r.complete() ? " complete" : ""));
  }
  void requestFailed(NetHTTPRequest& r) override {
    Recorder::requestFailed(r);
    read.push_back(std::string("failed") + (r.complete() ? " complete" : ""));
  }
};

// A cache of the caller's own: it answers nothing from store and notes what it reads of the
// request when it is asked.
struct NotingCache : kavro::NetCacheDelegate {
  std::mutex mutex;
  Calls seen;
  void note(std::string s) {
    std::lock_guard<std::mutex> guard(mutex);
    seen.push_back(std::move(s));
  }
  Calls notes() {
    std::lock_guard<std::mutex> guard(mutex);
    return seen;
  }
  int defaultCachePolicy() const override { return kavro::NetUseDefaultCachePolicy; }
  std::optional<platform::Date> expiryDateForRequest(NetHTTPRequest&, double) override {
    return std::nullopt;
  }
  void updateExpiryForRequest(NetHTTPRequest&, double) override {}
  bool canUseCachedDataForRequest(NetHTTPRequest& r) override {
    if (r.responseHeaders())
      note("asked " + std::to_string(r.responseStatusCode()) + " " +
           r.responseHeaders()->value("X-Tag").value_or("-"));
    return false;
  }
  void removeCachedDataForRequest(NetHTTPRequest&) override {}
  bool isCachedDataCurrentForRequest(NetHTTPRequest&) override { return false; }
  void storeResponseForRequest(NetHTTPRequest& r, double) override {
    note("store " + std::to_string(r.responseStatusCode()) + " " + r.responseString().value_or("-") +
         (r.complete() ? " complete" : "") + (r.error() ? " error" : ""));
  }
  void removeCachedDataForURL(const platform::URL&) override {}
  std::optional<kavro::NetHeaderDictionary> cachedResponseHeadersForURL(const platform::URL&) override {
    return std::nullopt;
  }
  std::optional<platform::Data> cachedResponseDataForURL(const platform::URL&) override {
    return std::nullopt;
  }
  std::optional<std::string> pathToCachedResponseDataForURL(const platform::URL&) override {
    return std::nullopt;
  }
  std::optional<std::string> pathToCachedResponseHeadersForURL(const platform::URL&) override {
    return std::nullopt;
  }
  std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(NetHTTPRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> pathToStoreCachedResponseDataForRequest(NetHTTPRequest&) override {
    return std::nullopt;
  }
  void clearCachedResponsesForStoragePolicy(int) override {}
};

TEST_F(NetHTTPRequestAnswerTest, EachCallbackReadsTheAnswerItWasMadeForThoughTheRequestMovedOn) {
  server.setHandler([](const RecordedRequest& r) {
    if (r.target == "/moved") return ScriptedResponse::redirect(302, "/landing");
    return ScriptedResponse::ok("landed");
  });
  auto rec = std::make_shared<ReadingRecorder>();
  auto r = make("/moved", rec);
  r->startAsynchronous();
  // The whole run is over before the main thread hears of any of it.
  ASSERT_TRUE(waitOffTheMainLoop([&] { return r->isFinished(); }));
  ASSERT_TRUE(wait([&] { return rec->done(); }));
  EXPECT_EQ(rec->read, (Calls{"redirected 302", "headers 302 HTTP/1.1 302 Found location read-location",
                              "headers 200 HTTP/1.1 200 OK", "finished 200 landed complete"}));
  // Afterwards the main thread reads the end of it.
  EXPECT_EQ(r->responseStatusCode(), 200);
  EXPECT_EQ(r->responseString(), "landed");
  ASSERT_NE(r->publishedResponse(), nullptr);
  EXPECT_EQ(r->publishedResponse()->url, url(server.url("/landing")));
}

TEST_F(NetHTTPRequestAnswerTest, WhileTheRequestRunsTheMainThreadReadsNoHalfAnswer) {
  // The headers and a tenth of the body come; the rest never does.
  ScriptedResponse part;
  part.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nX-Tag: part\r\n\r\n0123456789";
  server.enqueue(part);
  auto rec = std::make_shared<ReadingRecorder>();
  auto r = make("/part", rec);
  r->setTimeOutSeconds(0);
  r->startAsynchronous();
  ASSERT_TRUE(wait([&] { return !rec->read.empty(); }));
  EXPECT_EQ(rec->read, (Calls{"headers 200 HTTP/1.1 200 OK"}));
  // Out of the callback, nothing of the running answer shows.
  EXPECT_EQ(r->responseStatusCode(), 0);
  EXPECT_FALSE(r->responseHeaders());
  EXPECT_FALSE(r->rawResponseData());
  EXPECT_FALSE(r->complete());
  EXPECT_FALSE(r->error());
  EXPECT_EQ(r->publishedResponse(), nullptr);
  r->cancel();
  ASSERT_TRUE(wait([&] { return rec->done(); }));
  EXPECT_EQ(rec->read.back(), "failed complete");
  ASSERT_TRUE(r->error());
  EXPECT_EQ(r->error()->code, kavro::NetRequestCancelledErrorType);
  EXPECT_TRUE(r->complete());
  ASSERT_NE(r->publishedResponse(), nullptr);
  EXPECT_EQ(r->publishedResponse()->error->code, kavro::NetRequestCancelledErrorType);
}

TEST_F(NetHTTPRequestAnswerTest, ACacheOfTheCallersOwnReadsTheRunningAnswerOnTheRequestsThread) {
  server.setHandler([](const RecordedRequest& r) {
    if (r.target == "/moved") return ScriptedResponse::redirect(302, "/landing");
    return ScriptedResponse::ok("landed", {{"X-Tag", "final"}});
  });
  auto cache = std::make_shared<NotingCache>();
  auto r = NetHTTPRequest::requestWithURL(url(server.url("/moved")), cache);
  auto rec = run(r, std::make_shared<ReadingRecorder>());
  ASSERT_EQ(rec->finished, 1);
  // Asked when each answer's headers came, and given each whole answer to store.
  Calls notes = cache->notes();
  Calls stored;
  std::copy_if(notes.begin(), notes.end(), std::back_inserter(stored),
               [](const std::string& n) { return n.starts_with("store"); });
  EXPECT_EQ(stored, (Calls{"store 302 moved complete", "store 200 landed complete"}));
  EXPECT_NE(std::find(notes.begin(), notes.end(), "asked 200 final"), notes.end());
  EXPECT_EQ(notes.front(), "asked 302 -");
}

TEST_F(NetHTTPRequestAnswerTest, AReaderOnTheMainThreadSeesNothingOrTheWholeAnswer) {
  const std::string body(64 * 1024, 'w');
  server.setHandler([&](const RecordedRequest&) {
    auto answer = ScriptedResponse::ok(body);
    answer.chunkSizes = {1024};
    return answer;
  });
  auto rec = std::make_shared<Recorder>();
  auto r = make("/whole", rec);
  r->startAsynchronous();
  Calls odd;
  ASSERT_TRUE(wait([&] {
    int status = r->responseStatusCode();
    auto data = r->rawResponseData();
    bool complete = r->complete();
    bool whole = complete && status == 200 && data && data->size() == body.size();
    bool nothing = !complete && status == 0 && !data && !r->responseHeaders();
    if (!whole && !nothing)
      odd.push_back(std::to_string(status) + " " + std::to_string(data ? data->size() : 0) +
                    (complete ? " complete" : ""));
    return rec->done();
  }));
  EXPECT_EQ(odd, Calls{});
  EXPECT_EQ(r->responseString(), body);
}

}  // namespace
