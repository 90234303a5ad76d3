#include <algorithm>
#include <functional>

#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewSibling.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro::view {

using platform::Rect;
using platform::View;

namespace {
Rect frameOf(const View* v) { return v ? v->frame() : Rect(); }

template <class Edit>
void change(View& v, const Edit& edit) {
  Rect f = v.frame();
  edit(f);
  v.setFrame(f);
}

std::vector<View*> spreadable(const View& parent, const std::vector<std::shared_ptr<View>>& views) {
  std::vector<View*> kept;
  for (const auto& sp : views) {
    View* view = sp.get();
    if (!view || view->superviewPointer() != &parent || view->isHidden()) continue;
    Rect f = view->frame();
    if (f.height() < 0.1 || f.width() < 0.1 || view->alpha() < 0.05) continue;
    if (auto* label = dynamic_cast<const platform::Label*>(view); label && label->text().empty()) continue;
    if (auto* image = dynamic_cast<const platform::ImageView*>(view); image && !image->image()) continue;
    kept.push_back(view);
  }
  return kept;
}

// One axis of the spreading: size and place of a view along it.
bool spread(const View& parent, const std::vector<std::shared_ptr<View>>& views, double padding,
            double maxExtent, bool vertical) {
  auto kept = spreadable(parent, views);
  if (kept.empty()) return false;
  auto extent = [vertical](View* v) { return vertical ? v->frame().height() : v->frame().width(); };
  auto place = [vertical](View* v, double at) { vertical ? setTop(*v, at) : setLeft(*v, at); };
  double sum = 0;
  for (View* v : kept) sum += extent(v);
  if (2 * padding + sum >= maxExtent) return false;
  double n = double(kept.size());
  if (kept.size() == 1) {
    place(kept.front(), (maxExtent - sum) * 0.5);
    return true;
  }
  double gap = (maxExtent - sum - 2 * padding) / (n - 1);
  double at = padding;
  if (gap > padding) {
    gap = (maxExtent - sum) / (n + 1);
    at = gap;
  }
  for (View* v : kept) {
    place(v, at);
    at += gap + extent(v);
  }
  return true;
}
}  // namespace

void setTop(View& v, double top) {
  change(v, [&](Rect& f) { f.origin.y = top; });
}
void setLeft(View& v, double left) {
  change(v, [&](Rect& f) { f.origin.x = left; });
}
void setX(View& v, double x, double y) { setXY(v, {x, y}); }
void setXY(View& v, platform::Point p) {
  change(v, [&](Rect& f) { f.origin = p; });
}
void addTop(View& v, double delta) { setTop(v, v.frame().y() + delta); }
void reduceTop(View& v, double delta) { setTop(v, v.frame().y() - delta); }

void horizontalCenterInView(View& v, const View* reference) {
  double w = frameOf(reference).width();
  change(v, [&](Rect& f) { f.origin.x = (w - f.width()) * 0.5; });
}

void verticalCenterInView(View& v, const View* reference) {
  double h = frameOf(reference).height();
  change(v, [&](Rect& f) { f.origin.y = (h - f.height()) * 0.5; });
}

bool verticalCenterWithSubviews(View& v, const std::vector<std::shared_ptr<View>>& views, double padding) {
  return verticalCenterWithSubviews(v, views, padding, v.frame().height());
}

bool verticalCenterWithSubviews(View& v, const std::vector<std::shared_ptr<View>>& views, double padding,
                                double maxHeight) {
  return spread(v, views, padding, maxHeight, true);
}

bool horizontalCenterWithSubviews(View& v, const std::vector<std::shared_ptr<View>>& views, double padding) {
  return horizontalCenterWithSubviews(v, views, padding, v.frame().width());
}

bool horizontalCenterWithSubviews(View& v, const std::vector<std::shared_ptr<View>>& views, double padding,
                                  double maxWidth) {
  return spread(v, views, padding, maxWidth, false);
}

void setWidth(View& v, double width) {
  change(v, [&](Rect& f) { f.size.width = width; });
}
void setHeight(View& v, double height) {
  change(v, [&](Rect& f) { f.size.height = height; });
}
void setSize(View& v, platform::Size size) {
  change(v, [&](Rect& f) { f.size = size; });
}
void addHeight(View& v, double delta) { setHeight(v, v.frame().height() + delta); }
void reduceHeight(View& v, double delta) { setHeight(v, v.frame().height() - delta); }

void heightFromSubViews(View& v) { heightFromSubViewsWithBottomMargin(v, 0); }

void heightFromSubViewsWithBottomMargin(View& v, double margin) {
  double bottom = 0;
  for (const auto& sub : v.subviews()) {
    if (sub->isHidden()) continue;
    Rect f = sub->frame();
    if (f.width() == 0 && f.height() == 0) continue;
    bottom = std::max(bottom, f.y() + f.height());
  }
  setHeight(v, bottom + margin);
}

void sameTopAndHeightOfView(View& v, View* reference) {
  Rect other = frameOf(reference);
  Rect own = v.frame();
  double top = std::min(own.y(), other.y());
  double height = std::max(own.height(), other.height());
  change(v, [&](Rect& f) {
    f.origin.y = top;
    f.size.height = height;
  });
  if (reference)
    change(*reference, [&](Rect& f) {
      f.origin.y = top;
      f.size.height = height;
    });
}

void bottomOfView(View& v, const View* reference, double margin) {
  if (!reference) return;
  Rect r = reference->frame();
  setTop(v, r.y() + r.height() + margin);
}

void rightOfView(View& v, const View* reference, double margin, bool sameVertical) {
  if (!reference) return;
  Rect r = reference->frame();
  change(v, [&](Rect& f) {
    f.origin.x = r.x() + r.width() + margin;
    if (sameVertical) {
      f.origin.y = r.y();
      f.size.height = r.height();
    }
  });
}

void leftOfView(View& v, const View* reference, double margin, bool sameVertical) {
  if (!reference) return;
  Rect r = reference->frame();
  change(v, [&](Rect& f) {
    f.origin.x = r.x() - f.width() - margin;
    if (sameVertical) {
      f.origin.y = r.y();
      f.size.height = r.height();
    }
  });
}

void sameHorizontalMidLineOfView(View& v, const View* reference) {
  if (!reference) return;
  Rect r = reference->frame();
  change(v, [&](Rect& f) { f.origin.y = r.y() + (r.height() - f.height()) * 0.5; });
}

}  // namespace kavro::view
