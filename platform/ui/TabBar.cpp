#include "platform/ui/TabBar.h"

#include "platform/ui/Button.h"

namespace platform {

TabBar::TabBar(Rect frame) : View(frame) {
  setBackgroundColor(Color::grey(0.1));
  setAutoresizingMask(FlexibleWidth | FlexibleTopMargin);
}

void TabBar::setItems(std::vector<std::shared_ptr<TabBarItem>> items) {
  items_ = std::move(items);
  setNeedsLayout();
}

void TabBar::setSelectedItem(const std::shared_ptr<TabBarItem>& item) {
  selected_ = item;
  setNeedsLayout();
}

void TabBar::layoutSubviews() {
  for (auto sub : std::vector<std::shared_ptr<View>>(subviews())) sub->removeFromSuperview();
  if (items_.empty()) return;
  double w = bounds().size.width / double(items_.size());
  auto selected = selected_.lock();
  std::weak_ptr<TabBar> weak = std::static_pointer_cast<TabBar>(weak_from_this().lock());
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const auto& item = items_[i];
    auto button = Button::buttonWithType(ButtonType::Custom, Rect(w * double(i), 0, w, bounds().size.height));
    std::string title = item->title();
    if (!item->badgeValue().empty()) title += " (" + item->badgeValue() + ")";
    button->setTitle(title);
    button->titleLabel()->setFont(Font::boldSystemFontOfSize(10));
    if (item->image()) button->setImage(item->image());
    button->setAccessibilityLabel(item->title());
    button->setSelected(item == selected);
    button->setEnabled(item->isEnabled());
    button->addTarget(this, ControlEvent::TouchUpInside, [weak, i](Control&) {
      if (auto bar = weak.lock(); bar && bar->handler_) bar->handler_(i);
    });
    addSubview(button);
  }
}

void TabBar::describeProperties(std::vector<std::string>& out) const {
  auto selected = selected_.lock();
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == selected) out.push_back("selected=" + std::to_string(i));
  View::describeProperties(out);
}

}  // namespace platform
