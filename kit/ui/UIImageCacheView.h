#pragma once
#include <functional>
#include <memory>
#include <string>

#include "kit/core/DataHttpConnection.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"

namespace kavro {

class UIImageCacheView;

// Told when the picture (not the default) is shown.
class ImageCacheViewDelegate {
 public:
  virtual ~ImageCacheViewDelegate() = default;
  virtual void loadImageSuccess(UIImageCacheView& view) {}
};

// The image view of every picture from the server: the default image at once, then the picture
// from the image cache ("STORE_CACHE_IMAGES", key the MD5 of the URL) or from the shared
// download of the URL, stored in the cache as it arrived. Views of one URL share one download.
// Loading the same URL again does nothing. URLs are absolute strings ("" is none). Main thread.
class UIImageCacheView : public platform::ImageView, public DataHttpConnectionDelegate {
 public:
  UIImageCacheView();
  ~UIImageCacheView() override;

  void loadImageWithURL(const std::string& url, std::shared_ptr<platform::Image> defaultImage);
  void loadImageWithURL(const std::string& url, bool withCache,
                        std::shared_ptr<platform::Image> defaultImage);
  // inSeconds: age limit of the cached picture, 0 for none.
  void loadImageWithURL(const std::string& url, bool withCache, std::shared_ptr<platform::Image> defaultImage,
                        int inSeconds);
  void stopLoading();
  // Turns on user interaction and replaces the tap handler.
  void setTapGesture(std::function<void()> action);

  // Shows the picture and drops the spinner.
  void setImage(std::shared_ptr<platform::Image> image);
  void setFrame(platform::Rect frame) override;

  const std::string& imageURL() const { return imageURL_; }
  bool needLoadImageCache() const { return needLoadImageCache_; }
  int keepCacheInSeconds() const { return keepCacheInSeconds_; }
  const std::shared_ptr<platform::Image>& defaultImage() const { return defaultImage_; }
  const std::shared_ptr<platform::ActivityIndicatorView>& activityView() const { return activityView_; }
  bool imageLoadSuccess() const { return imageLoadSuccess_; }
  bool imageIsLoading() const { return imageIsLoading_; }
  bool imageFromCache() const { return imageFromCache_; }
  void setDelegate(std::weak_ptr<ImageCacheViewDelegate> d) { delegate_ = std::move(d); }
  const std::shared_ptr<platform::GestureRecognizer>& tapGestureRecognizer() const { return tap_; }

  // The cache key of a URL.
  static std::string cacheKey(const std::string& url);

  void connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) override;
  void connectionOnError(DataHttpConnection& connection, const platform::Error& error) override;

 private:
  bool loadFromCache();
  void showFallback();
  void centerSpinner();

  std::string imageURL_;
  bool needLoadImageCache_ = true;
  int keepCacheInSeconds_ = 0;
  std::shared_ptr<platform::Image> defaultImage_;
  std::shared_ptr<platform::ActivityIndicatorView> activityView_;
  std::weak_ptr<ImageCacheViewDelegate> delegate_;
  bool imageLoadSuccess_ = false;
  bool imageIsLoading_ = false;
  bool imageFromCache_ = false;
  std::shared_ptr<platform::GestureRecognizer> tap_;
};

}  // namespace kavro
