#include "platform/ui/Toolbar.h"

#include <algorithm>
#include <cmath>

namespace platform {

Toolbar::Toolbar(Rect frame) : View(frame) {
  setBackgroundColor(Color::rgba(0.45, 0.56, 0.7));
  setAutoresizingMask(FlexibleWidth);
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
  items_ = std::move(items);
  setNeedsLayout();
}

void Toolbar::layoutSubviews() {
  Rect b = bounds();
  std::weak_ptr<View> self = std::static_pointer_cast<View>(weak_from_this().lock());
  std::vector<std::shared_ptr<View>> views(items_.size());
  double used = 6 * 2 + (items_.empty() ? 0 : 6.0 * double(items_.size() - 1));
  int flexible = 0;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const auto& item = items_[i];
    if (item->isFlexibleSpace()) {
      ++flexible;
    } else if (item->isFixedSpace()) {
      used += item->width();
    } else {
      views[i] = item->viewForBar(self);
      used += views[i]->frame().size.width;
    }
  }
  double share = flexible > 0 ? std::max(0.0, b.size.width - used) / flexible : 0;
  double x = 6;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const auto& item = items_[i];
    if (item->isFlexibleSpace()) {
      x += share + 6;
    } else if (item->isFixedSpace()) {
      x += item->width() + 6;
    } else {
      Rect f = views[i]->frame();
      views[i]->setFrame(
          Rect(x, std::floor((b.size.height - f.size.height) / 2), f.size.width, f.size.height));
      x += f.size.width + 6;
    }
  }
  for (auto sub : std::vector<std::shared_ptr<View>>(subviews()))
    if (std::find(views.begin(), views.end(), sub) == views.end()) sub->removeFromSuperview();
  for (auto& v : views)
    if (v && v->superviewPointer() != this) addSubview(v);
}

}  // namespace platform
