#include "kit/ui/UIImageCacheView.h"

#include <algorithm>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCacheDB.h"
#include "kit/core/DownloadQueue.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringMisc.h"
#include "kit/skin/AppSkin.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

using platform::Rect;

UIImageCacheView::UIImageCacheView() { setBackgroundColor(platform::Color::clear()); }

UIImageCacheView::~UIImageCacheView() {
  if (!imageURL_.empty()) DownloadQueue::removeRequestURL(imageURL_, this);
}

std::string UIImageCacheView::cacheKey(const std::string& url) { return str::md5(url).value_or(""); }

void UIImageCacheView::loadImageWithURL(const std::string& url,
                                        std::shared_ptr<platform::Image> defaultImage) {
  loadImageWithURL(url, true, std::move(defaultImage));
}

void UIImageCacheView::loadImageWithURL(const std::string& url, bool withCache,
                                        std::shared_ptr<platform::Image> defaultImage) {
  loadImageWithURL(url, withCache, std::move(defaultImage), 0);
}

void UIImageCacheView::loadImageWithURL(const std::string& url, bool withCache,
                                        std::shared_ptr<platform::Image> defaultImage, int inSeconds) {
  if (!imageURL_.empty() && !url.empty() && imageURL_ == url) return;
  stopLoading();
  imageLoadSuccess_ = false;
  imageFromCache_ = false;
  imageURL_ = url;
  needLoadImageCache_ = withCache;
  keepCacheInSeconds_ = inSeconds;
  defaultImage_ = std::move(defaultImage);
  setImage(defaultImage_);
  if (imageURL_.empty()) return;
  if (loadFromCache()) {
    imageFromCache_ = true;
    imageLoadSuccess_ = true;
    if (auto d = delegate_.lock()) d->loadImageSuccess(*this);
    return;
  }
  if (!activityView_) {
    activityView_ =
        std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorViewStyle::Gray);
    activityView_->setBackgroundColor(platform::Color::clear());
    addSubview(activityView_);
    centerSpinner();
  }
  activityView_->setHidden(false);
  activityView_->startAnimating();
  imageIsLoading_ = true;
  DownloadQueue::addRequestURL(imageURL_, sharedAs<UIImageCacheView>());
}

bool UIImageCacheView::loadFromCache() {
  if (!needLoadImageCache_) return false;
  auto db = AppCoreInfo::getCacheDB();
  std::string key = cacheKey(imageURL_);
  if (!db || key.empty()) return false;
  auto bytes = db->getBinValue(STORE_CACHE_IMAGES, key);
  // A picture past its age is shown this once and fetched again next time.
  if (keepCacheInSeconds_ != 0) db->clearBinDataType(STORE_CACHE_IMAGES, key, keepCacheInSeconds_);
  if (!bytes || bytes->empty()) return false;
  auto picture = platform::Image::imageWithData(*bytes);
  if (!picture) return false;
  setImage(picture);
  return true;
}

void UIImageCacheView::stopLoading() {
  imageIsLoading_ = false;
  if (activityView_) activityView_->stopAnimating();
  if (!imageURL_.empty()) DownloadQueue::removeRequestURL(imageURL_, this);
}

void UIImageCacheView::setTapGesture(std::function<void()> action) {
  setUserInteractionEnabled(true);
  if (tap_) removeGestureRecognizer(tap_.get());
  tap_ = std::make_shared<platform::TapGestureRecognizer>(
      [action = std::move(action)](platform::GestureRecognizer&) {
        if (action) action();
      });
  addGestureRecognizer(tap_);
}

void UIImageCacheView::setImage(std::shared_ptr<platform::Image> image) {
  platform::ImageView::setImage(std::move(image));
  if (activityView_) {
    activityView_->stopAnimating();
    activityView_->removeFromSuperview();
    activityView_.reset();
  }
}

void UIImageCacheView::setFrame(Rect frame) {
  platform::ImageView::setFrame(frame);
  centerSpinner();
}

void UIImageCacheView::centerSpinner() {
  if (!activityView_) return;
  platform::Size s = bounds().size;
  double side = std::max(0.0, std::min({25.0, s.width, s.height}));
  activityView_->setFrame(Rect((s.width - side) / 2, (s.height - side) / 2, side, side));
}

void UIImageCacheView::showFallback() {
  setImage(defaultImage_ ? defaultImage_ : AppSkin::imageWithSkinType("transparent", "common"));
}

void UIImageCacheView::connectionOnReceived(DataHttpConnection&, const platform::Data& data) {
  imageIsLoading_ = false;
  auto picture = data.empty() ? nullptr : platform::Image::imageWithData(data);
  if (!picture) {
    showFallback();
    return;
  }
  if (needLoadImageCache_) {
    auto db = AppCoreInfo::getCacheDB();
    std::string key = cacheKey(imageURL_);
    if (db && !key.empty() && !db->hasBinItem(STORE_CACHE_IMAGES, key))
      db->setBinValue(STORE_CACHE_IMAGES, key, data);
  }
  setImage(picture);
  imageLoadSuccess_ = true;
  if (auto d = delegate_.lock()) d->loadImageSuccess(*this);
}

void UIImageCacheView::connectionOnError(DataHttpConnection&, const platform::Error&) {
  imageIsLoading_ = false;
  showFallback();
}

}  // namespace kavro
