#include <gtest/gtest.h>

#include <atomic>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCacheDB.h"
#include "kit/core/DownloadQueue.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/UIImageCacheView.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/ImageCodec.h"
#include "platform/net/HTTPReadStream.h"
#include "demo/LoopbackHttpServer.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

using test::ScriptedResponse;

struct SuccessRecorder : ImageCacheViewDelegate {
  int calls = 0;
  void loadImageSuccess(UIImageCacheView&) override { ++calls; }
};

class ImageCacheViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop().discardAll();
    loop().setClock(platform::Clock::real());
    png = platform::ImageCodec::encodePNG(*platform::Bitmap::create(4, 3));
    server.setHandler([this](const test::RecordedRequest& r) {
      if (r.target == "/broken.png") return ScriptedResponse::ok("not a picture");
      if (r.target == "/gone.png") {
        ScriptedResponse gone;
        gone.status = 404;
        return gone;
      }
      return ScriptedResponse::ok(std::string(png.begin(), png.end()));
    });
  }
  void TearDown() override {
    DownloadQueue::destroySharedDownloadQueue();
    loop().discardAll();
    platform::Date::setClock(nullptr);
    platform::HTTPReadStream::closeIdleConnections();
    AppCoreInfo::destroyAppCoreInfo();
  }
  platform::RunLoop& loop() { return platform::RunLoop::main(); }
  bool runUntil(const std::function<bool()>& p) { return loop().runUntil(p, 20); }
  std::shared_ptr<UIImageCacheView> view() {
    auto v = std::make_shared<UIImageCacheView>();
    v->setFrame(platform::Rect(0, 0, 60, 20));
    v->setDelegate(recorder);
    return v;
  }

  test::TempHome home;
  test::LoopbackHttpServer server;
  platform::Data png;
  std::shared_ptr<SuccessRecorder> recorder = std::make_shared<SuccessRecorder>();
  std::shared_ptr<platform::Image> placeholder =
      platform::Image::imageWithBitmap(*platform::Bitmap::create(1, 1));
};

TEST_F(ImageCacheViewTest, DownloadsOnceStoresInTheCacheAndThenReadsTheCache) {
  std::string url = server.url("/logo.png");
  auto a = view(), b = view();
  a->loadImageWithURL(url, placeholder);
  b->loadImageWithURL(url, placeholder);
  EXPECT_EQ(a->image(), placeholder);
  ASSERT_TRUE(a->activityView());
  EXPECT_EQ(a->activityView()->frame(), platform::Rect(20, 0, 20, 20))
      << "a square of the smaller side, centred";
  EXPECT_TRUE(a->imageIsLoading());
  ASSERT_TRUE(runUntil([&] { return a->imageLoadSuccess() && b->imageLoadSuccess(); }));
  EXPECT_EQ(server.requestCount(), 1u) << "one shared download";
  EXPECT_FALSE(a->activityView());
  EXPECT_EQ(a->image()->size(), (platform::Size{4, 3}));
  EXPECT_FALSE(a->imageFromCache());
  EXPECT_EQ(recorder->calls, 2);
  auto stored = AppCoreInfo::getCacheDB()->getBinValue(STORE_CACHE_IMAGES, UIImageCacheView::cacheKey(url));
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, png);
  EXPECT_EQ(UIImageCacheView::cacheKey(url).size(), 32u);

  // Same URL again: nothing happens.
  a->loadImageWithURL(url, placeholder);
  EXPECT_TRUE(a->imageLoadSuccess());

  auto c = view();
  c->loadImageWithURL(url, placeholder);
  EXPECT_TRUE(c->imageFromCache());
  EXPECT_TRUE(c->imageLoadSuccess());
  EXPECT_FALSE(c->imageIsLoading());
  EXPECT_EQ(recorder->calls, 3);
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(ImageCacheViewTest, FailuresShowTheDefaultAndAreNotRetriedForTheSameURL) {
  auto v = view();
  v->loadImageWithURL(server.url("/broken.png"), placeholder);
  ASSERT_TRUE(runUntil([&] { return !v->imageIsLoading(); }));
  EXPECT_EQ(v->image(), placeholder);
  EXPECT_FALSE(v->imageLoadSuccess());
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->hasBinItem(STORE_CACHE_IMAGES));

  v->loadImageWithURL(server.url("/gone.png"), nullptr);
  ASSERT_TRUE(runUntil([&] { return !v->imageIsLoading(); }));
  // No default: the skin's transparent image (made anew on every request).
  auto transparent = AppSkin::imageWithSkinType("transparent", "common");
  ASSERT_TRUE(transparent);
  ASSERT_TRUE(v->image());
  EXPECT_EQ(v->image()->size(), transparent->size());
  std::size_t requests = server.requestCount();
  v->loadImageWithURL(server.url("/gone.png"), placeholder);
  loop().runFor(0.05);
  EXPECT_EQ(server.requestCount(), requests);
  EXPECT_EQ(recorder->calls, 0);
}

TEST_F(ImageCacheViewTest, WithoutTheCacheFlagNothingIsReadOrWritten) {
  std::string url = server.url("/nocache.png");
  AppCoreInfo::getCacheDB()->setBinValue(STORE_CACHE_IMAGES, UIImageCacheView::cacheKey(url), png);
  auto v = view();
  v->loadImageWithURL(url, false, placeholder);
  EXPECT_TRUE(v->imageIsLoading());
  ASSERT_TRUE(runUntil([&] { return v->imageLoadSuccess(); }));
  EXPECT_FALSE(v->imageFromCache());
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(ImageCacheViewTest, AnAgedItemIsShownOnceMoreThenDownloadedAgain) {
  auto clock = std::make_shared<platform::VirtualClock>(1'000'000);
  AppCoreInfo::getCacheDB()->setClock(clock);
  std::string url = server.url("/aged.png");
  AppCoreInfo::getCacheDB()->setBinValue(STORE_CACHE_IMAGES, UIImageCacheView::cacheKey(url), png);
  clock->advance(100);
  auto v = view();
  v->loadImageWithURL(url, true, placeholder, 60);
  EXPECT_TRUE(v->imageFromCache());
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->hasBinItem(STORE_CACHE_IMAGES, UIImageCacheView::cacheKey(url)));

  auto w = view();
  w->loadImageWithURL(url, true, placeholder, 60);
  EXPECT_FALSE(w->imageFromCache());
  EXPECT_TRUE(w->imageIsLoading());
  w->stopLoading();
  EXPECT_FALSE(w->imageIsLoading());
}

TEST_F(ImageCacheViewTest, ZeroSizedViewGetsAZeroSizedSpinner) {
  auto v = std::make_shared<UIImageCacheView>();
  v->loadImageWithURL(server.url("/zero.png"), placeholder);
  ASSERT_TRUE(v->activityView());
  EXPECT_EQ(v->activityView()->frame().size, (platform::Size{0, 0}));
  v->stopLoading();
}

}  // namespace
}  // namespace kavro
