#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "kit/core/DataHttpConnection.h"
#include "kit/ui/UIBasicController.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"

namespace kavro {

// Hears that the user deleted the shown picture.
class ShowImageDelegate {
 public:
  virtual ~ShowImageDelegate() = default;
  // Optional: false means "not implemented".
  virtual bool deleteShowedImage() { return false; }
};

// One picture full screen, zoomable by pinch and double tap: a server picture (downloaded once and
// kept in the cache store under the MD5 of its URL) or a local one. Presented modally in its own
// navigation controller with Cancel and, by occasion, Save (1) or Delete (0 and others; 0 is a
// local picture). Main thread only.
class ShowImageController : public UIBasicController,
                            public platform::ScrollViewDelegate,
                            public DataHttpConnectionDelegate {
 public:
  static std::shared_ptr<ShowImageController> openWithURL(std::string_view url,
                                                          std::shared_ptr<platform::Image> smallImage,
                                                          std::int32_t occasion);
  static std::shared_ptr<ShowImageController> openWithURL(std::string_view url, std::int32_t occasion);
  static std::shared_ptr<ShowImageController> openWithImage(std::shared_ptr<platform::Image> image,
                                                            std::int32_t occasion);
  ~ShowImageController() override;

  std::shared_ptr<ShowImageDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<ShowImageDelegate> d) { delegate_ = std::move(d); }
  const std::string& imageUrl() const { return imageUrl_; }
  void setImageUrl(std::string url) { imageUrl_ = std::move(url); }
  const std::shared_ptr<platform::Image>& imageForShow() const { return imageForShow_; }
  void setImageForShow(std::shared_ptr<platform::Image> i) { imageForShow_ = std::move(i); }
  std::int32_t showImageOccasion() const { return occasion_; }
  void setShowImageOccasion(std::int32_t o) { occasion_ = o; }
  const std::shared_ptr<DataHttpConnection>& imgLoader() const { return imgLoader_; }
  const std::shared_ptr<platform::ScrollView>& scrollView() const { return scrollView_; }
  const std::shared_ptr<platform::ImageView>& imageView() const { return imageView_; }
  const std::shared_ptr<platform::View>& errorView() const { return errorView_; }
  const std::shared_ptr<platform::ActivityIndicatorView>& activityView() const { return activityView_; }

  void customView() override;
  void deleteImage();
  void saveToAlbum();
  void loadImageData();
  double getInitialZoom() const;
  double getMaxZoom() const;
  void doubleTapImageView();

  std::shared_ptr<platform::View> viewForZoomingInScrollView(platform::ScrollView& sv) override;
  void scrollViewDidZoom(platform::ScrollView& sv) override;
  void connectionOnError(DataHttpConnection& connection, const platform::Error& error) override;
  void connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) override;

 private:
  static std::shared_ptr<ShowImageController> present(std::string url, std::shared_ptr<platform::Image> image,
                                                      std::int32_t occasion);
  std::string cacheKey() const;
  void initErrorView();
  void showActivity();
  void hideActivity();
  void loadImageView(const platform::Data& data);
  bool setImageData(const platform::Data& data);
  void displayRightImage();
  void imageViewFillWithScreen();
  void loadScrollerView();

  std::weak_ptr<ShowImageDelegate> delegate_;
  std::string imageUrl_;
  std::shared_ptr<platform::Image> imageForShow_;
  std::shared_ptr<platform::ImageView> imageView_;
  std::shared_ptr<platform::ScrollView> scrollView_;
  std::shared_ptr<platform::ActivityIndicatorView> activityView_;
  std::int32_t occasion_ = 0;
  std::shared_ptr<platform::View> errorView_;
  std::shared_ptr<DataHttpConnection> imgLoader_;
  std::shared_ptr<platform::BarButtonItem> rightItem_;
  bool doubleTapAdded_ = false;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  ShowImageController() = default;
};

KAVRO_CLASS(ShowImageController, UIBasicController);

}  // namespace kavro
