#include "platform/ui/NavigationItem.h"

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace platform {

std::string NavigationItem::title() const {
  if (title_) return *title_;
  if (auto vc = controller_.lock()) return vc->title();
  return "";
}

void NavigationItem::changed() {
  if (auto b = bar_.lock()) b->setNeedsLayout();
}

void NavigationItem::setTitle(std::string t) {
  title_ = std::move(t);
  changed();
}
void NavigationItem::setTitleView(std::shared_ptr<View> v) {
  titleView_ = std::move(v);
  changed();
}
void NavigationItem::setPrompt(std::string p) {
  prompt_ = std::move(p);
  changed();
}
void NavigationItem::setBackBarButtonItem(std::shared_ptr<BarButtonItem> item) {
  backItem_ = std::move(item);
  changed();
}
void NavigationItem::setHidesBackButton(bool hides, bool) {
  hidesBack_ = hides;
  changed();
}
void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) {
  left_ = std::move(item);
  changed();
}
void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) {
  right_ = std::move(item);
  changed();
}
void NavigationItem::setLeftItemsSupplementBackButton(bool v) {
  supplementBack_ = v;
  changed();
}

}  // namespace platform
