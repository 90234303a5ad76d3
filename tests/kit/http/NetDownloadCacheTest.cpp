#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kit/http/NetDownloadCache.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "tests/kit/http/HttpTestSupport.h"

using namespace httptest;
using kavro::NetDownloadCache;
using platform::FileManager;

namespace {

// Requests against the loopback server with a cache under the test's home; the time the cache
// reads (dates) is virtual, the network thread's loop stays on real time.
class NetDownloadCacheTest : public HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    platform::Date::setClock(clock);
    cache = std::make_shared<NetDownloadCache>();
    cache->setStoragePath(home.path() + "/cache");
  }
  void TearDown() override {
    HttpTest::TearDown();
    platform::Date::setClock(nullptr);
  }

  std::shared_ptr<NetHTTPRequest> cached(const std::string& path, int policy = 0, int storage = 0) {
    auto r = NetHTTPRequest::requestWithURL(url(server.url(path)), cache, policy);
    r->setCacheStoragePolicy(storage);
    return r;
  }
  std::string fetch(const std::string& path, int policy = 0, int storage = 0) {
    auto r = cached(path, policy, storage);
    auto rec = run(r);
    last = r;
    return rec->calls.back() == "finished" ? r->responseString().value_or("<none>") : rec->calls.back();
  }
  bool isStored(const std::string& path) {
    return cache->cachedResponseHeadersForURL(url(server.url(path))).has_value();
  }

  std::shared_ptr<platform::VirtualClock> clock = std::make_shared<platform::VirtualClock>();
  std::shared_ptr<NetDownloadCache> cache;
  std::shared_ptr<NetHTTPRequest> last;
};

ScriptedResponse withHeaders(std::string body, kavro::test::HeaderList headers) {
  return ScriptedResponse::ok(std::move(body), std::move(headers));
}

TEST_F(NetDownloadCacheTest, KeysAndFileNames) {
  auto key = NetDownloadCache::keyForURL(url("http://a.example/x/"));
  ASSERT_TRUE(key);
  EXPECT_EQ(key->size(), 32u);
  EXPECT_EQ(*key, platform::uppercase(*key));
  EXPECT_EQ(key, NetDownloadCache::keyForURL(url("http://a.example/x")));
  EXPECT_NE(NetDownloadCache::keyForURL(url("http://a.example/x?p=1")),
            NetDownloadCache::keyForURL(url("http://a.example/x?p=2")));

  auto store = [&](const std::string& u, int storage) {
    auto r = NetHTTPRequest::requestWithURL(url(u), cache, 0);
    r->setCacheStoragePolicy(storage);
    return *cache->pathToStoreCachedResponseDataForRequest(*r);
  };
  std::string root = home.path() + "/cache/";
  EXPECT_EQ(store("http://h/index.PHP", 0),
            root + "SessionStore/" + *NetDownloadCache::keyForURL(url("http://h/index.PHP")) + ".html");
  EXPECT_EQ(store("http://h/a.JPG", 1),
            root + "PermanentStore/" + *NetDownloadCache::keyForURL(url("http://h/a.JPG")) + ".JPG");
  EXPECT_TRUE(platform::hasSuffix(store("http://h/dir/", 0), ".html"));
  // The body file's extension: the last one of the name, or "html" where there is none to take.
  const std::vector<std::pair<std::string, std::string>> extensions = {
      {"http://h/file.", ".html"},
      {"http://h/.hidden", ".html"},
      {"http://h/a.b.c", ".c"},
      {"http://h/x.y/noext", ".html"},
      {"http://h/p.t", ".t"},
      {"http://h/f." + std::string(64, 'e'), "." + std::string(64, 'e')},
      {"http://h/f." + std::string(65, 'e'), ".html"},
      {"http://h/page.Asp", ".html"},
  };
  for (const auto& [u, extension] : extensions) {
    const std::string path = store(u, 0);
    EXPECT_EQ(path.substr(path.rfind('/') + 1), *NetDownloadCache::keyForURL(url(u)) + extension) << u;
  }

  cache->setDefaultCachePolicy(0);
  EXPECT_EQ(cache->defaultCachePolicy(), kavro::NetAskServerIfModifiedWhenStaleCachePolicy);
}

TEST_F(NetDownloadCacheTest, CurrentEntriesAnswerAndStaleOnesAreRevalidatedWith304) {
  int served = 0;
  server.setHandler([&](const RecordedRequest& r) {
    if (r.header("If-None-Match") == "\"v1\"") {
      ScriptedResponse notModified;
      notModified.status = 304;
      notModified.headers = {{"Cache-Control", "max-age=100"}};
      return notModified;
    }
    ++served;
    return withHeaders("first body", {{"Cache-Control", "max-age=60"},
                                      {"ETag", "\"v1\""},
                                      {"Last-Modified", "Tue, 14 Nov 2023 22:13:20 GMT"}});
  });
  EXPECT_EQ(fetch("/doc"), "first body");
  EXPECT_FALSE(last->didUseCachedResponse());
  auto headers = cache->cachedResponseHeadersForURL(url(server.url("/doc")));
  ASSERT_TRUE(headers);
  EXPECT_EQ(headers->value("X-NetHTTPRequest-Response-Status-Code"), "200");
  EXPECT_EQ(std::stod(*headers->value("X-NetHTTPRequest-Expires")), clock->now() + 60);

  // Current: no trip to the server.
  EXPECT_EQ(fetch("/doc"), "first body");
  EXPECT_TRUE(last->didUseCachedResponse());
  EXPECT_EQ(server.requestCount(), 1u);

  // Stale: a conditional request; the 304 keeps the body and renews the expiry.
  clock->advance(61);
  EXPECT_EQ(fetch("/doc"), "first body");
  EXPECT_EQ(last->responseStatusCode(), 200);
  ASSERT_EQ(server.requestCount(), 2u);
  auto conditional = server.requests().back();
  EXPECT_EQ(conditional.header("If-None-Match"), "\"v1\"");
  EXPECT_EQ(conditional.header("If-Modified-Since"), "Tue, 14 Nov 2023 22:13:20 GMT");
  clock->advance(90);
  EXPECT_EQ(fetch("/doc"), "first body");
  EXPECT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(served, 1);
}

TEST_F(NetDownloadCacheTest, AChangedAnswerToARevalidationReplacesTheEntry) {
  int version = 1;
  server.setHandler([&](const RecordedRequest&) {
    std::string v = std::to_string(version);
    return withHeaders("body " + v, {{"Cache-Control", "max-age=1000"},
                                     {"ETag", "\"" + v + "\""},
                                     {"Last-Modified", "Tue, 14 Nov 2023 22:13:2" + v + " GMT"}});
  });
  EXPECT_EQ(fetch("/c"), "body 1");
  version = 2;
  // Always asking, while the entry is still current: the fresh answer with another validator wins.
  EXPECT_EQ(fetch("/c", kavro::NetAskServerIfModifiedCachePolicy), "body 2");
  EXPECT_FALSE(last->didUseCachedResponse());
  EXPECT_EQ(platform::stringFromData(*cache->cachedResponseDataForURL(url(server.url("/c")))), "body 2");
  // The same validators again: the stored body serves.
  EXPECT_EQ(fetch("/c", kavro::NetAskServerIfModifiedCachePolicy), "body 2");
  EXPECT_TRUE(last->didUseCachedResponse());
}

TEST_F(NetDownloadCacheTest, Policies) {
  int served = 0;
  server.setHandler([&](const RecordedRequest&) {
    return withHeaders("v" + std::to_string(++served), {{"Cache-Control", "max-age=10"}});
  });
  using namespace kavro;
  // Nothing cached: never load gives an empty answer without asking.
  EXPECT_EQ(fetch("/p", NetDontLoadCachePolicy), "<none>");
  EXPECT_EQ(served, 0);
  EXPECT_EQ(fetch("/p", NetDoNotWriteToCacheCachePolicy | NetAskServerIfModifiedWhenStaleCachePolicy), "v1");
  EXPECT_FALSE(isStored("/p"));
  EXPECT_EQ(fetch("/p"), "v2");
  EXPECT_TRUE(isStored("/p"));
  EXPECT_EQ(fetch("/p", NetDoNotReadFromCacheCachePolicy), "v3");
  clock->advance(100);
  // Stale, but only loaded when nothing is cached.
  EXPECT_EQ(fetch("/p", NetOnlyLoadIfNotCachedCachePolicy), "v3");
  EXPECT_EQ(fetch("/p", NetDontLoadCachePolicy), "v3");
  EXPECT_EQ(served, 3);

  // A failed load falls back to the entry only when asked to.
  kavro::test::ScriptedResponse broken;
  broken.closeWithoutResponse = true;
  // By value: the server's thread may still be answering once the test has moved on.
  server.setHandler([broken](const RecordedRequest&) { return broken; });
  EXPECT_EQ(
      fetch("/p", NetAskServerIfModifiedWhenStaleCachePolicy | NetFallbackToCacheIfLoadFailsCachePolicy),
      "v3");
  EXPECT_EQ(fetch("/p", NetAskServerIfModifiedWhenStaleCachePolicy), "failed 1");

  // Without respect for the server's expiry, an entry is current forever.
  cache->setShouldRespectCacheControlHeaders(false);
  EXPECT_TRUE(cache->canUseCachedDataForRequest(*cached("/p", NetAskServerIfModifiedWhenStaleCachePolicy)));
  cache->setShouldRespectCacheControlHeaders(true);
  EXPECT_FALSE(cache->canUseCachedDataForRequest(*cached("/p", NetAskServerIfModifiedWhenStaleCachePolicy)));
}

TEST_F(NetDownloadCacheTest, WhatIsNeverStored) {
  server.setHandler([&](const RecordedRequest& r) {
    if (r.target == "/404") {
      ScriptedResponse missing = withHeaders("gone", {});
      missing.status = 404;
      return missing;
    }
    if (r.target == "/nostore") return withHeaders("secret", {{"Cache-Control", "no-store"}});
    if (r.target == "/several")
      return withHeaders("secret", {{"Cache-Control", "private, no-cache, no-store"}});
    if (r.target == "/pragma") return withHeaders("secret", {{"Pragma", "no-cache"}});
    return withHeaders(std::string(5000, 's'), {{"Cache-Control", "max-age=100"}});
  });
  for (std::string path : {"/404", "/nostore", "/several", "/pragma"}) {
    fetch(path);
    EXPECT_FALSE(isStored(path)) << path;
  }
  cache->setShouldRespectCacheControlHeaders(false);
  fetch("/nostore");
  EXPECT_TRUE(isStored("/nostore"));

  // A body handed to the delegate piecewise is kept nowhere: no entry with an empty body.
  auto r = cached("/streamed");
  auto rec = std::make_shared<DataRecorder>();
  run(r, rec);
  EXPECT_EQ(rec->data.size(), 5000u);
  EXPECT_FALSE(isStored("/streamed"));
}

TEST_F(NetDownloadCacheTest, DownloadsToFilesAreCopiedIn) {
  server.setHandler([](const RecordedRequest&) {
    return withHeaders("file body", {{"Cache-Control", "max-age=100"}});
  });
  auto r = cached("/f.txt");
  std::string destination = home.path() + "/downloaded.txt";
  r->setDownloadDestinationPath(destination);
  run(r);
  auto stored = cache->pathToCachedResponseDataForURL(url(server.url("/f.txt")));
  ASSERT_TRUE(stored);
  EXPECT_TRUE(platform::hasSuffix(*stored, ".txt"));
  EXPECT_EQ(platform::stringFromData(*FileManager::contentsAtPath(*stored)), "file body");
  EXPECT_TRUE(FileManager::fileExistsAtPath(destination));
}

TEST_F(NetDownloadCacheTest, StoresSessionsAndClearing) {
  int served = 0;
  server.setHandler([&](const RecordedRequest&) {
    return withHeaders("v" + std::to_string(++served), {{"Cache-Control", "max-age=100"}});
  });
  fetch("/s", 0, kavro::NetCacheForSessionDurationCacheStoragePolicy);
  fetch("/k", 0, kavro::NetCachePermanentlyCacheStoragePolicy);
  EXPECT_TRUE(platform::hasSuffix(
      *cache->pathToCachedResponseHeadersForURL(url(server.url("/s"))),
      "/SessionStore/" + *NetDownloadCache::keyForURL(url(server.url("/s"))) + ".cachedheaders"));
  // A permanent answer replaces the session one rather than hiding behind it.
  fetch("/s", kavro::NetDoNotReadFromCacheCachePolicy, kavro::NetCachePermanentlyCacheStoragePolicy);
  EXPECT_NE(cache->pathToCachedResponseHeadersForURL(url(server.url("/s")))->find("/PermanentStore/"),
            std::string::npos);
  EXPECT_EQ(fetch("/s"), "v3");
  fetch("/t", 0, kavro::NetCacheForSessionDurationCacheStoragePolicy);

  // A new storage path (as a new process) empties the session store only.
  cache->setStoragePath(home.path() + "/cache");
  EXPECT_FALSE(isStored("/t"));
  EXPECT_TRUE(isStored("/s"));
  EXPECT_TRUE(isStored("/k"));
  cache->removeCachedDataForURL(url(server.url("/k")));
  EXPECT_FALSE(isStored("/k"));
  cache->clearCachedResponsesForStoragePolicy(kavro::NetCachePermanentlyCacheStoragePolicy);
  EXPECT_FALSE(isStored("/s"));
  EXPECT_EQ(FileManager::contentsOfDirectoryAtPath(home.path() + "/cache/PermanentStore")->size(), 0u);
}

TEST_F(NetDownloadCacheTest, FoldersInTheWayRaiseAndTheSharedCacheLivesUnderCaches) {
  ASSERT_TRUE(FileManager::createFileAtPath(home.path() + "/plain", platform::dataFromString("x")));
  try {
    cache->setStoragePath(home.path() + "/plain");
    FAIL() << "no exception";
  } catch (const platform::Exception& e) {
    EXPECT_EQ(e.name(), "FileExistsAtCachePath");
  }
  EXPECT_FALSE(cache->storagePath());
  try {
    cache->setStoragePath(home.path() + "/missing/parent");
    FAIL() << "no exception";
  } catch (const platform::Exception& e) {
    EXPECT_EQ(e.name(), "FailedToCreateCacheDirectory");
  }
  // Either way the cache keeps nothing: requests through it still load, and nothing is stored.
  EXPECT_FALSE(cache->storagePath());
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("loaded"); });
  EXPECT_EQ(fetch("/after"), "loaded");
  EXPECT_FALSE(isStored("/after"));

  NetDownloadCache::destroySharedCache();
  auto shared = NetDownloadCache::sharedCache();
  EXPECT_EQ(shared, NetDownloadCache::sharedCache());
  EXPECT_EQ(shared->storagePath(), platform::Environment::cachesPath() + "/NetHTTPRequestCache");
  EXPECT_TRUE(FileManager::fileExistsAtPath(*shared->storagePath() + "/PermanentStore"));
  NetDownloadCache::destroySharedCache();
}

}  // namespace
