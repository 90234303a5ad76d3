#include "kit/ui/ShowImageController.h"

#include <algorithm>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCacheDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringMisc.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/system/PhotoAlbum.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<ShowImageController> ShowImageController::present(std::string url,
                                                                  std::shared_ptr<platform::Image> image,
                                                                  std::int32_t occasion) {
  auto parent = AppControllers::mostRecentController();
  auto viewer = UIBasicController::create<ShowImageController>();
  viewer->setModalTransitionStyle(platform::ModalTransitionStyle::CrossDissolve);
  viewer->imageUrl_ = std::move(url);
  viewer->imageForShow_ = std::move(image);
  viewer->occasion_ = occasion;
  auto nav = platform::NavigationController::create(viewer);
  if (parent) parent->presentViewController(nav, false);
  return viewer;
}

std::shared_ptr<ShowImageController> ShowImageController::openWithURL(
    std::string_view url, std::shared_ptr<platform::Image> smallImage, std::int32_t occasion) {
  return present(std::string(url), std::move(smallImage), occasion);
}

std::shared_ptr<ShowImageController> ShowImageController::openWithURL(std::string_view url,
                                                                      std::int32_t occasion) {
  return present(std::string(url), AppSkin::imageWithSkinType("transparent", "common"), occasion);
}

std::shared_ptr<ShowImageController> ShowImageController::openWithImage(
    std::shared_ptr<platform::Image> image, std::int32_t occasion) {
  return present(std::string(), std::move(image), occasion);
}

ShowImageController::~ShowImageController() {
  if (imgLoader_) imgLoader_->stopLoading();
  if (activityView_) activityView_->stopAnimating();
}

std::string ShowImageController::cacheKey() const { return str::md5(imageUrl_).value_or(""); }

void ShowImageController::customView() {
  UIBasicController::customView();
  setTitle(AppCoreInfo::getLocalizedString("showimage_display"));
  std::weak_ptr<ShowImageController> weak = sharedAs<ShowImageController>();
  barbutton::setCancelItem(*this, [weak](platform::BarButtonItem&) {
    if (auto p = weak.lock()) vc::closeViewController(*p);
  });
  if (occasion_ == 1)
    rightItem_ = barbutton::setSaveItem(*this, [weak](platform::BarButtonItem&) {
      if (auto p = weak.lock()) p->saveToAlbum();
    });
  else
    rightItem_ = barbutton::setDeleteItem(*this, [weak](platform::BarButtonItem&) {
      if (auto p = weak.lock()) p->deleteImage();
    });
  rightItem_->setEnabled(false);

  scrollView_ = std::make_shared<platform::ScrollView>();
  vc::addFullSubview(*this, scrollView_);

  platform::Size size = imageForShow_ ? imageForShow_->size() : platform::Size{};
  double sh = scrollView_->bounds().height();
  imageView_ =
      std::make_shared<platform::ImageView>(Rect(0, (sh - size.height) / 2, size.width, size.height));
  imageView_->setImage(imageForShow_);
  imageView_->setUserInteractionEnabled(false);
  scrollView_->addSubview(imageView_);
  imageView_->setCenter(platform::Point{scrollView_->bounds().width() / 2, imageView_->center().y});
  initErrorView();
  loadImageData();
}

void ShowImageController::initErrorView() {
  double width = screen::screenWidth();
  double height = view()->bounds().height();
  errorView_ = std::make_shared<platform::View>(Rect(0, 0, width, height));
  errorView_->setHidden(true);
  errorView_->setUserInteractionEnabled(true);
  auto label = std::make_shared<platform::Label>(Rect(0, 0, 220, 0));
  label->setNumberOfLines(0);
  label->setText(AppCoreInfo::getLocalizedString("fans_bigimage_load_fail"));
  AppSkin::apply(label.get(), "fans_empty_cell_label", "company_fans");
  platform::Size fit = label->sizeThatFits(platform::Size{220, 10000});
  label->setFrame(Rect(0, 0, 220, fit.height));
  auto image = std::make_shared<platform::ImageView>(Rect(0, 0, 72, 42));
  AppSkin::apply(image.get(), "image_poor", "company_fans");
  double top = (height - fit.height - 9) / 2;
  image->setFrame(Rect((width - 72) / 2, top, 72, 42));
  label->setFrame(Rect((width - 220) / 2, top + 42 + 9, 220, fit.height));
  errorView_->addSubview(image);
  errorView_->addSubview(label);
  auto retry = platform::Button::buttonWithType(platform::ButtonType::Custom);
  retry->setFrame(Rect(0, 44, width, height));
  std::weak_ptr<ShowImageController> weak = sharedAs<ShowImageController>();
  retry->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto p = weak.lock()) p->loadImageData();
  });
  errorView_->addSubview(retry);
  view()->addSubview(errorView_);
}

void ShowImageController::loadImageData() {
  if (occasion_ == 0) {
    displayRightImage();
    return;
  }
  auto db = AppCoreInfo::getCacheDB();
  if (!imageUrl_.empty() && db) {
    if (auto cached = db->getBinValue(STORE_CACHE_IMAGES, cacheKey())) {
      loadImageView(*cached);
      return;
    }
  }
  if (imgLoader_) imgLoader_->stopLoading();
  imgLoader_ = DataHttpConnection::create(imageUrl_, std::nullopt, weakAs<ShowImageController>());
  showActivity();
}

void ShowImageController::showActivity() {
  errorView_->setHidden(true);
  if (!activityView_)
    activityView_ =
        std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorViewStyle::Gray);
  double height = view()->bounds().height();
  activityView_->setFrame(Rect((view()->bounds().width() - 24) / 2, (height - 44 - 24) / 2 + 44, 24, 24));
  view()->addSubview(activityView_);
  activityView_->startAnimating();
}

void ShowImageController::hideActivity() {
  if (!activityView_) return;
  activityView_->stopAnimating();
  activityView_->removeFromSuperview();
}

void ShowImageController::connectionOnReceived(DataHttpConnection&, const platform::Data& data) {
  hideActivity();
  loadImageView(data);
}

void ShowImageController::connectionOnError(DataHttpConnection&, const platform::Error&) {
  hideActivity();
  errorView_->setHidden(false);
}

bool ShowImageController::setImageData(const platform::Data& data) {
  auto image = platform::Image::imageWithData(data);
  if (!image) return false;
  imageForShow_ = image;
  auto db = AppCoreInfo::getCacheDB();
  if (db && !imageUrl_.empty() && !db->hasBinItem(STORE_CACHE_IMAGES, cacheKey()))
    db->setBinValue(STORE_CACHE_IMAGES, cacheKey(), data);
  return true;
}

void ShowImageController::loadImageView(const platform::Data& data) {
  if (setImageData(data)) {
    displayRightImage();
  } else {
    imageView_->setHidden(true);
    errorView_->setHidden(false);
  }
  loadScrollerView();
}

void ShowImageController::displayRightImage() {
  if (rightItem_) rightItem_->setEnabled(true);
  errorView_->setHidden(true);
  imageView_->setHidden(false);
  imageViewFillWithScreen();
  if (occasion_ == 0 || doubleTapAdded_) return;
  doubleTapAdded_ = true;
  std::weak_ptr<ShowImageController> weak = sharedAs<ShowImageController>();
  auto tap = std::make_shared<platform::TapGestureRecognizer>([weak](platform::GestureRecognizer&) {
    if (auto p = weak.lock()) p->doubleTapImageView();
  });
  tap->setNumberOfTapsRequired(2);
  tap->setNumberOfTouchesRequired(1);
  scrollView_->addGestureRecognizer(tap);
}

void ShowImageController::imageViewFillWithScreen() {
  double width = screen::screenWidth();
  platform::Size size = imageForShow_ ? imageForShow_->size() : platform::Size{};
  double height = size.width > 0 ? width / size.width * size.height : 0;
  double y = std::max(0.0, (scrollView_->bounds().height() - height) / 2);
  imageView_->setTransform(platform::AffineTransform());
  imageView_->setFrame(Rect(0, y, width, height));
  imageView_->setImage(imageForShow_);
}

double ShowImageController::getInitialZoom() const {
  double w = imageView_ && imageView_->image() ? imageView_->image()->size().width : 0;
  double s = scrollView_ ? scrollView_->bounds().width() : 0;
  if (s <= 0) return 1;
  return std::min(w, s) / s;
}

double ShowImageController::getMaxZoom() const {
  double w = imageView_ && imageView_->image() ? imageView_->image()->size().width : 0;
  double s = scrollView_ ? scrollView_->bounds().width() : 0;
  double m = std::min(w, s);
  double initial = getInitialZoom();
  if (m <= 0) return initial;
  return std::max(2.5 * w / m, initial);
}

void ShowImageController::loadScrollerView() {
  scrollView_->setDelegate(weakAs<ShowImageController>());
  double initial = getInitialZoom();
  scrollView_->setMaximumZoomScale(getMaxZoom());
  scrollView_->setMinimumZoomScale(initial);
  scrollView_->setZoomScale(initial);
  scrollView_->setMultipleTouchEnabled(true);
  scrollView_->setShowsHorizontalScrollIndicator(false);
  scrollView_->setShowsVerticalScrollIndicator(false);
  scrollView_->setClipsToBounds(false);
}

std::shared_ptr<platform::View> ShowImageController::viewForZoomingInScrollView(platform::ScrollView&) {
  return imageView_;
}

void ShowImageController::scrollViewDidZoom(platform::ScrollView& sv) {
  platform::Size content = sv.contentSize();
  double dx = sv.bounds().width() > content.width ? (sv.bounds().width() - content.width) / 2 : 0;
  double dy = sv.bounds().height() > content.height ? (sv.bounds().height() - content.height) / 2 : 0;
  imageView_->setCenter(platform::Point{content.width / 2 + dx, content.height / 2 + dy});
}

void ShowImageController::doubleTapImageView() {
  double initial = getInitialZoom();
  scrollView_->setZoomScale(scrollView_->zoomScale() > initial ? initial : getMaxZoom(), true);
}

void ShowImageController::deleteImage() {
  auto d = delegate();
  if (!d) return;
  // Only a delegate that takes the deletion closes the viewer.
  auto keep = sharedAs<ShowImageController>();
  std::weak_ptr<ShowImageDelegate> weak = d;
  auto nav = navigationController();
  platform::ViewController& presenter = nav ? static_cast<platform::ViewController&>(*nav) : *this;
  presenter.dismissViewControllerAnimated(true);
  d->deleteShowedImage();
}

void ShowImageController::saveToAlbum() {
  if (imageForShow_) platform::PhotoAlbum::saveImage(*imageForShow_);
  alert::showTipsAutoHidden(AppCoreInfo::getLocalizedString("showimage_save_alert"));
}

}  // namespace kavro
