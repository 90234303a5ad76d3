#pragma once
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/View.h"

namespace platform {

// A view that draws its own content: the snapshot renderer calls drawRect after the background,
// with the context in the view's bounds coordinates and the view's alpha applied. Main thread only.
class DrawingView : public View {
 public:
  using View::View;
  // rect: the part to draw (the bounds).
  virtual void drawRect(BitmapContext& context, const Rect& rect) {}
};

}  // namespace platform
