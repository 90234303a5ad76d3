#include "mapsdk/display/PaopaoBaseView.h"

#include <cmath>

namespace mapsdk {

using platform::Rect;

PaopaoBaseView::PaopaoBaseView() {
  attachBody(std::make_shared<PaopaoButton>("icon_paopao_middle_left", "icon_paopao_middle_left_highlighted",
                                            Rect(10, 0, 0, 0), "icon_paopao_middle_right",
                                            "icon_paopao_middle_right_highlighted", Rect(9, 0, 0, 0)));
}

std::shared_ptr<PaopaoBaseView> PaopaoBaseView::create() {
  auto view = std::shared_ptr<PaopaoBaseView>(new PaopaoBaseView());
  view->wireBody();
  return view;
}

std::shared_ptr<PaopaoBaseView> PaopaoBaseView::create(const std::optional<std::string>& text,
                                                       const std::optional<std::string>& detailText) {
  auto view = create();
  view->setText(text, detailText);
  return view;
}

void PaopaoBaseView::attachBody(std::shared_ptr<PaopaoButton> body) {
  if (paopaoButton_) paopaoButton_->removeFromSuperview();
  paopaoButton_ = std::move(body);
  addSubview(paopaoButton_);
}

void PaopaoBaseView::wireBody() {
  std::weak_ptr<platform::Object> weak = weak_from_this();
  paopaoButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = std::dynamic_pointer_cast<PaopaoBaseView>(weak.lock())) self->onClickContentButton();
  });
}

void PaopaoBaseView::initPaopaoButton() {
  attachBody(std::make_shared<PaopaoButton>(
      middlePaopaoLeftImage(), middlePaopaoLeftHighlightedImage(), middlePaopaoLeftImageStretchRect(),
      middlePaopaoRightImage(), middlePaopaoRightHighlightedImage(), middlePaopaoRightImageStretchRect()));
  wireBody();
}

void PaopaoBaseView::setText(const std::optional<std::string>& text,
                             const std::optional<std::string>& detailText) {
  paopaoButton_->setText(text, detailText);
  Rect f = frame(), body = paopaoButton_->frame();
  setFrame(Rect(f.x(), f.y(), body.width(), body.height()));
  paopaoButton_->setFrame(Rect(0, 0, body.width(), body.height()));
}

void PaopaoBaseView::showAtPoint(platform::Point point) {
  Rect f = frame();
  setFrame(Rect(point.x - std::floor(f.width() * 0.5), point.y - f.height(), f.width(), f.height()));
}

void PaopaoBaseView::onClickContentButton() {
  if (auto d = delegate_.lock()) d->onMoreButtonClicked();
}

}  // namespace mapsdk
