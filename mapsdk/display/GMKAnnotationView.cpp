#include "mapsdk/display/GMKAnnotationView.h"

#include <algorithm>

#include "mapsdk/display/DeviceInfo.h"
#include "mapsdk/display/PaopaoBaseView.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/KeyframeAnimation.h"
#include "platform/ui/PanGestureRecognizer.h"

namespace mapsdk {

using platform::GestureRecognizerState;
using platform::Point;
using platform::Rect;

GMKAnnotationView::GMKAnnotationView(std::shared_ptr<GMKAnnotation> annotation, std::string reuseIdentifier)
    : platform::DrawingView(Rect()), internal_() {
  internal_.annotation = std::move(annotation);
  internal_.reuseIdentifier = std::move(reuseIdentifier);
  setBackgroundColor(platform::Color::grey(1.0, 0.0));
  setOpaque(false);
}

GMKAnnotationView::~GMKAnnotationView() {
  // The annotation, picture and bubble are let go before the drag gesture is taken off.
  internal_ = GMKAnnotationViewInternal();
  if (drag_) removeGestureRecognizer(drag_.get());
}

void GMKAnnotationView::setImage(std::shared_ptr<platform::Image> image) {
  if (image && image->bitmap()) {
    double w = image->bitmap()->width(), h = image->bitmap()->height();
    if (DeviceInfo::isRetinaScreen()) w /= 2, h /= 2;
    setFrame(Rect(0, 0, w, h));
  } else {
    setFrame(Rect(0, 0, 0, 0));
  }
  internal_.image = std::move(image);
}

void GMKAnnotationView::setDraggable(bool draggable) {
  internal_.draggable = draggable;
  if (draggable && !drag_) {
    std::weak_ptr<platform::Object> weak = weak_from_this();
    auto pan = std::make_shared<platform::PanGestureRecognizer>([weak](platform::GestureRecognizer& sender) {
      auto self = std::dynamic_pointer_cast<GMKAnnotationView>(weak.lock());
      auto* recognizer = dynamic_cast<platform::PanGestureRecognizer*>(&sender);
      if (self && recognizer) self->handleSingleDrag(*recognizer);
    });
    pan->setMinimumNumberOfTouches(1);
    pan->setMaximumNumberOfTouches(1);
    drag_ = pan;
    addGestureRecognizer(pan);
  } else if (!draggable && drag_) {
    removeGestureRecognizer(drag_.get());
    drag_.reset();
  }
}

void GMKAnnotationView::prepareForReuse() {
  internal_.annotation.reset();
  internal_.selected = false;
  internal_.paopaoView.reset();
}

Rect GMKAnnotationView::frameForCenter(Point c) const {
  Rect f = frame();
  return Rect(c.x - f.width() / 2 + internal_.centerOffset.x, c.y - f.height() / 2 + internal_.centerOffset.y,
              f.width(), f.height());
}

Point GMKAnnotationView::calloutAnchor() const {
  Rect f = frame();
  return {f.x() + f.width() / 2 + internal_.calloutOffset.x, f.y() + internal_.calloutOffset.y};
}

void GMKAnnotationView::layoutInHost(const GMKAnnotationHost& host, const platform::View* container) {
  if (!internal_.annotation) return;
  setFrame(frameForCenter(host.convertCoordinate(internal_.annotation->coordinate(), container)));
  if (!internal_.selected) return;
  if (auto* bubble = dynamic_cast<PaopaoBaseView*>(internal_.paopaoView.get()))
    bubble->showAtPoint(calloutAnchor());
}

void GMKAnnotationView::touchesBegan(const platform::Touch&) {
  if (internal_.enabled) internal_.singleTap = true;
}

void GMKAnnotationView::touchesEnded(const platform::Touch&) {
  if (!internal_.enabled || !internal_.singleTap) return;
  handleSingleTap();
  internal_.singleTap = false;
}

void GMKAnnotationView::touchesCancelled(const platform::Touch&) {
  if (internal_.enabled) internal_.singleTap = false;
}

void GMKAnnotationView::postWithView(const char* name) {
  auto info = platform::MutableDictionary::create();
  if (auto self = weak_from_this().lock()) info->setObject(self, "view");
  platform::NotificationCenter::defaultCenter().post(name, nullptr, info);
}

void GMKAnnotationView::handleSingleTap() {
  if (!internal_.enabled || internal_.selected) return;
  // Keeps the view alive while the map view reacts.
  auto self = weak_from_this().lock();
  postWithView(NotificationSelectAnnotationView);
  // The map view has opened the bubble while handling the notification.
  if (internal_.paopaoView) GMKAddPaopaoAnimation(*internal_.paopaoView);
}

void GMKAnnotationView::handleSingleDrag(platform::PanGestureRecognizer& recognizer) {
  if (!internal_.enabled) return;
  auto self = weak_from_this().lock();
  const platform::View* in = superviewPointer();
  auto moveBy = [this](double dx, double dy) {
    Rect f = frame();
    setFrame(Rect(f.x() + dx, f.y() + dy, f.width(), f.height()));
  };
  auto followFinger = [&] {
    Point t = recognizer.translationInView(in);
    moveBy(t.x, t.y);
    recognizer.setTranslation({0, 0}, in);
  };
  switch (recognizer.state()) {
    case GestureRecognizerState::Began:
      internal_.dragState = GMKAnnotationViewDragState::Starting;
      // Lifts the pin off the map so the finger does not hide it.
      View::animate(0.3, [&] { moveBy(0, -50); });
      platform::NotificationCenter::defaultCenter().post(NotificationClearPaopao);
      break;
    case GestureRecognizerState::Changed:
      internal_.dragState = GMKAnnotationViewDragState::Dragging;
      followFinger();
      break;
    case GestureRecognizerState::Ended:
      internal_.dragState = GMKAnnotationViewDragState::Ending;
      followFinger();
      View::animate(0.3, [&] { moveBy(0, 20); });
      postWithView(NotificationUptateAnnotationCoordinate);
      break;
    default:
      internal_.dragState = recognizer.state() == GestureRecognizerState::Cancelled
                                ? GMKAnnotationViewDragState::Canceling
                                : GMKAnnotationViewDragState::Ending;
      break;
  }
}

void GMKAnnotationView::drawRect(platform::BitmapContext& context, const Rect& rect) {
  if (internal_.image) context.drawImage(*internal_.image, rect);
}

void GMKAnnotationView::describeProperties(std::vector<std::string>& out) const {
  DrawingView::describeProperties(out);
  if (!internal_.reuseIdentifier.empty()) out.push_back("reuse=" + internal_.reuseIdentifier);
  if (internal_.selected) out.push_back("selected");
}

void GMKAddPaopaoAnimation(platform::View& bubble) {
  platform::KeyframeAnimation pop("transform.scale",
                                  {0, 1.15, 1.2, 0.85, 0.8, 1.05, 1.1, 0.98, 0.95, 1.02, 1.05, 1.0},
                                  {0, 0.2, 0.3, 0.45, 0.5, 0.65, 0.7, 0.77, 0.8, 0.91, 0.94, 1.0}, 0.6);
  platform::LayerAnimations::add(bubble, "paopaoAnimation", std::move(pop));
}

}  // namespace mapsdk
