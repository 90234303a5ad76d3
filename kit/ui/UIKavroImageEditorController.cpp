#include "kit/ui/UIKavroImageEditorController.h"

#include <algorithm>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/BarButtonItemExt.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Snapshot.h"

namespace kavro {

using platform::Rect;
using platform::Size;

std::shared_ptr<UIKavroImageEditorController> UIKavroImageEditorController::initWithImage(
    std::shared_ptr<platform::Image> image, std::int32_t occasion) {
  auto editor = UIBasicController::create<UIKavroImageEditorController>();
  editor->cutBoxWidth_ = 290;
  editor->cutBoxHeight_ = occasion == 1 ? 290 : 354.4;
  editor->initCutViewWithImage(image);
  return editor;
}

void UIKavroImageEditorController::initCutViewWithImage(const std::shared_ptr<platform::Image>& image) {
  const double w = cutBoxWidth_, h = cutBoxHeight_;
  Size screen = platform::Screen::mainScreen().bounds().size;
  const double sw = screen.width;
  const double a = screen.height - 20 - 44;
  Size photo = image ? image->size() : Size{};
  double W = photo.width, H = photo.height;
  if (W > 0 && H > 0) {
    if (W < w) {
      H = H * w / W;
      W = w;
    }
    if (H < h) {
      W = W * h / H;
      H = h;
    }
    if (W > sw) {
      H = H * sw / W;
      W = sw;
    }
    if (H > a) {
      W = W * a / H;
      H = a;
    }
  }
  double left = (sw - w) / 2;
  double top = (a - h) / 2 + 44;

  imageView_ = std::make_shared<platform::ImageView>(Rect(0, 0, W, H));
  imageView_->setImage(image);
  imageView_->setBackgroundColor(platform::Color::clear());

  scrollView_ = std::make_shared<platform::ScrollView>(Rect(left, top, w, h));
  scrollView_->setContentSize(Size{W, H});
  scrollView_->setContentOffset(platform::Point{(W - w) / 2, (H - h) / 2});
  scrollView_->setDelegate(weakAs<UIKavroImageEditorController>());
  double m = (W > 0 && H > 0) ? std::max(w / W, h / H) : 1;
  double most = (W > 0 && H > 0) ? std::max(2 * std::max(W / w, H / h), m) : m;
  scrollView_->setMinimumZoomScale(m);
  scrollView_->setMaximumZoomScale(most);
  scrollView_->addSubview(imageView_);
  scrollView_->setZoomScale(m);
  scrollView_->setMultipleTouchEnabled(true);
  scrollView_->setShowsHorizontalScrollIndicator(false);
  scrollView_->setShowsVerticalScrollIndicator(false);
  scrollView_->setClipsToBounds(false);
  scrollView_->setContentMode(platform::ContentMode::Center);
  scrollView_->setBackgroundColor(platform::Color::clear());
}

void UIKavroImageEditorController::customView() {
  UIBasicController::customView();
  view()->addSubview(scrollView_);
  setTitle(AppCoreInfo::getLocalizedString("imageedit_title"));
  if (auto nav = navigationController()) {
    nav->setNavigationBarHidden(false, false);
    nav->navigationBar()->setFrame(Rect(0, 20, platform::Screen::mainScreen().bounds().width(), 44));
  }
  std::weak_ptr<UIKavroImageEditorController> weak = weakAs<UIKavroImageEditorController>();
  barbutton::setCustomLeftItem(
      AppCoreInfo::getLocalizedString(sourceType_ == 1 ? "imageedit_retalk_photo" : "imageedit_repick_photo"),
      *this, [weak](platform::BarButtonItem&) {
        if (auto p = weak.lock()) p->giveUp();
      });
  barbutton::setSureItem(*this, [weak](platform::BarButtonItem&) {
    if (auto p = weak.lock()) p->use();
  });

  platform::Point centre = scrollView_->center();
  auto box = [&](platform::Point c, platform::Color colour) {
    auto v = std::make_shared<platform::View>(Rect(0, 0, cutBoxWidth_, cutBoxHeight_));
    v->setCenter(c);
    v->setBackgroundColor(platform::Color::clear());
    v->setBorderColor(colour);
    v->setBorderWidth(1);
    v->setUserInteractionEnabled(false);
    view()->addSubview(v);
    return v;
  };
  whiteCutBox_ = box(platform::Point{centre.x + 1, centre.y + 1}, platform::Color::white());
  blueCutBox_ = box(centre, platform::Color::rgba(0, 0, 1));
}

std::shared_ptr<platform::View> UIKavroImageEditorController::viewForZoomingInScrollView(
    platform::ScrollView&) {
  return imageView_;
}

void UIKavroImageEditorController::giveUp() {
  if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void UIKavroImageEditorController::use() {
  if (whiteCutBox_) whiteCutBox_->setHidden(true);
  if (blueCutBox_) blueCutBox_->setHidden(true);
  alert::showTips(AppCoreInfo::getLocalizedString("imageedit_image_process_now"));
  std::weak_ptr<UIKavroImageEditorController> weak = weakAs<UIKavroImageEditorController>();
  platform::RunLoop::main().performAfter(UseDelay, this, [weak] {
    if (auto p = weak.lock()) p->cutImageAndSend();
  });
}

void UIKavroImageEditorController::cutImageAndSend() {
  auto keep = sharedAs<UIKavroImageEditorController>();
  auto image = getCutImage();
  alert::hiddenTips();
  if (auto d = delegate()) d->pickedImage(image);
  if (auto nav = navigationController()) nav->dismissViewControllerAnimated(true);
}

std::shared_ptr<platform::Image> UIKavroImageEditorController::getCutImage() {
  double scale = platform::Screen::mainScreen().scale();
  Size size = view()->bounds().size;
  platform::BitmapContext context(size, false, scale);
  platform::Snapshot::renderInContext(*view(), context);
  auto snapshot = context.makeImage();

  std::shared_ptr<platform::Image> cut;
  Rect r = blueCutBox_ ? blueCutBox_->frame() : Rect();
  int x = static_cast<int>(r.origin.x * scale), y = static_cast<int>(r.origin.y * scale);
  int cw = static_cast<int>(r.size.width * scale), ch = static_cast<int>(r.size.height * scale);
  if (snapshot) {
    if (auto bitmap = snapshot->bitmap() ? snapshot->bitmap()->cropped(x, y, cw, ch) : std::nullopt)
      cut = platform::Image::imageWithBitmap(std::move(*bitmap), 1.0);
  }

  Size target = cut ? cut->size() : Size{};
  auto photo = imageView_ ? imageView_->image() : nullptr;
  double frameWidth = imageView_ ? imageView_->frame().width() : 0;
  if (photo && frameWidth > 0 && photo->size().width < frameWidth) {
    double k = photo->size().width / frameWidth;
    target = Size{target.width * k, target.height * k};
  }
  if (target.width > MaxOutputWidth) target = Size{MaxOutputWidth, MaxOutputHeight};
  if (cut && target.width > 0 && target.height > 0) {
    platform::BitmapContext redraw(target, false, 1.0);
    redraw.drawImage(*cut, Rect(0, 0, target.width, target.height));
    if (auto out = redraw.makeImage()) cut = out;
  }
  if (whiteCutBox_) whiteCutBox_->setHidden(false);
  if (blueCutBox_) blueCutBox_->setHidden(false);
  return cut;
}

}  // namespace kavro
