#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/View.h"

namespace platform {

// The row of tabs at the bottom of a tab bar controller: one button per item, of equal width,
// titled with the item's title (and its badge in brackets). A tap on an enabled tab calls the
// selection handler (the controller's). Rebuilt on layout.
class TabBar : public View {
 public:
  static constexpr double Height = 49;

  explicit TabBar(Rect frame = {});

  const std::vector<std::shared_ptr<TabBarItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<TabBarItem>> items);
  std::shared_ptr<TabBarItem> selectedItem() const { return selected_.lock(); }
  void setSelectedItem(const std::shared_ptr<TabBarItem>& item);
  const std::optional<Color>& tintColor() const { return tint_; }
  void setTintColor(std::optional<Color> c) { tint_ = std::move(c); }
  // Called with the index of a tapped tab.
  void setSelectionHandler(std::function<void(std::size_t)> h) { handler_ = std::move(h); }

  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  std::vector<std::shared_ptr<TabBarItem>> items_;
  std::weak_ptr<TabBarItem> selected_;
  std::optional<Color> tint_;
  std::function<void(std::size_t)> handler_;
};

}  // namespace platform
