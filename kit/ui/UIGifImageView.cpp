#include "kit/ui/UIGifImageView.h"

namespace kavro {

std::shared_ptr<UIGifImageView> UIGifImageView::create(platform::Rect frame, const std::string& filePath) {
  std::shared_ptr<UIGifImageView> view(new UIGifImageView(frame));
  view->start(platform::Image::imageWithContentsOfFile(filePath));
  return view;
}

std::shared_ptr<UIGifImageView> UIGifImageView::create(platform::Rect frame, const platform::Data& data) {
  std::shared_ptr<UIGifImageView> view(new UIGifImageView(frame));
  view->start(platform::Image::imageWithData(data));
  return view;
}

UIGifImageView::UIGifImageView(platform::Rect frame) : platform::View(frame) {}

UIGifImageView::~UIGifImageView() { stop(); }

void UIGifImageView::start(std::shared_ptr<platform::Image> gif) {
  gif_ = std::move(gif);
  count_ = gif_ ? gif_->frameCount() : 0;
  std::weak_ptr<UIGifImageView> weak = sharedAs<UIGifImageView>();
  timer_ = platform::RunLoop::main().scheduleTimer(0.12, true, [weak](platform::Timer&) {
    if (auto self = weak.lock()) self->play();
  });
  play();  // fired once at once
}

void UIGifImageView::play() {
  if (count_ == 0) return;
  index_ = (index_ + 1) % count_;
  const auto& frame = gif_->frames()[index_];
  contents_ = platform::Image::imageWithBitmap(frame.bitmap, gif_->scale());
}

void UIGifImageView::stop() {
  if (timer_) timer_->invalidate();
  timer_.reset();
}

void UIGifImageView::didMoveToSuperview() {
  if (!superviewPointer()) stop();
}

}  // namespace kavro
