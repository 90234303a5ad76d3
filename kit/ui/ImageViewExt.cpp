#include "kit/ui/ImageViewExt.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Screen.h"

namespace kavro::imageview {

namespace {

constexpr platform::Size ArrowSize{9, 13};

std::shared_ptr<platform::Image> arrowImage() {
  platform::BitmapContext context(ArrowSize, false, platform::Screen::mainScreen().scale());
  if (!context.isValid()) return nullptr;
  platform::Path chevron;
  chevron.moveTo({1.5, 1.5});
  chevron.lineTo({7, 6.5});
  chevron.lineTo({1.5, 11.5});
  context.setStrokeColor(platform::Color::grey(0.55));
  context.setLineWidth(2.5);
  context.setLineCap(platform::LineCap::Round);
  context.setLineJoin(platform::LineJoin::Round);
  context.strokePath(chevron);
  return context.makeImage();
}

}  // namespace

std::shared_ptr<platform::ImageView> arrowView() {
  auto view = std::make_shared<platform::ImageView>(platform::Rect({0, 0}, ArrowSize));
  view->setImage(arrowImage());
  return view;
}

}  // namespace kavro::imageview
