#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/View.h"

namespace platform {

class Button;
class Label;
class NavigationBar;

// The platform's values (Black and BlackOpaque are the same).
enum class BarStyle { Default = 0, Black = 1, BlackTranslucent = 2 };

// Asked before and told after items come and go; every method is optional (empty: not
// implemented, which allows).
class NavigationBarDelegate {
 public:
  virtual ~NavigationBarDelegate() = default;
  virtual std::optional<bool> shouldPushItem(NavigationBar& bar, NavigationItem& item) {
    return std::nullopt;
  }
  virtual void didPushItem(NavigationBar& bar, NavigationItem& item) {}
  virtual std::optional<bool> shouldPopItem(NavigationBar& bar, NavigationItem& item) { return std::nullopt; }
  virtual void didPopItem(NavigationBar& bar, NavigationItem& item) {}
};

// The bar at the top of a navigation stack: a stack of items, of which the top one is shown.
// Layout (rebuilt whenever an item changes): the back button (when there is an item below and the
// top item neither hides it nor has a left item, unless it supplements it) titled with the item
// below's back item title, else its title, else "Back" (accessibility label "Back"), 5 points from
// the left; the left item after it; the right item 5 points from the right edge; the title view,
// else a label with the title in the bold system font of 20 points, centred in the room between.
// Items are 30 points high, centred in the 44-point bar. The top item's prompt, when it has one,
// takes a line of its own above them (in the system font of 13 points, centred), where the bar
// has room for it: such a bar fits Height + PromptHeight points, and its items sit in the lower 44.
class NavigationBar : public View {
 public:
  static constexpr double Height = 44;
  static constexpr double PromptHeight = 30;

  explicit NavigationBar(Rect frame = {});

  BarStyle barStyle() const { return barStyle_; }
  void setBarStyle(BarStyle s) { barStyle_ = s; }
  const std::optional<Color>& tintColor() const { return tint_; }
  void setTintColor(std::optional<Color> c) { tint_ = std::move(c); }
  bool isTranslucent() const { return translucent_; }
  void setTranslucent(bool t) { translucent_ = t; }
  const std::shared_ptr<Image>& backgroundImage() const { return backgroundImage_; }
  void setBackgroundImage(std::shared_ptr<Image> img) { backgroundImage_ = std::move(img); }

  const std::vector<std::shared_ptr<NavigationItem>>& items() const { return items_; }
  std::shared_ptr<NavigationItem> topItem() const { return items_.empty() ? nullptr : items_.back(); }
  std::shared_ptr<NavigationItem> backItem() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
  }
  void pushNavigationItem(std::shared_ptr<NavigationItem> item, bool animated);
  std::shared_ptr<NavigationItem> popNavigationItemAnimated(bool animated);
  void setItems(std::vector<std::shared_ptr<NavigationItem>> items, bool animated);

  const std::weak_ptr<NavigationBarDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<NavigationBarDelegate> d) { delegate_ = std::move(d); }
  // What the back button does instead of popping an item (a navigation controller pops a screen).
  void setBackHandler(std::function<void()> handler) { backHandler_ = std::move(handler); }
  // The back button as laid out now; null when none is shown.
  std::shared_ptr<Button> backButton();
  // Taps the back button's way: the handler, else a pop the delegate allows.
  void goBack();

  void layoutSubviews() override;
  Size sizeThatFits(Size size) const override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  void attach(NavigationItem& item);

  BarStyle barStyle_ = BarStyle::Default;
  std::optional<Color> tint_;
  bool translucent_ = false;
  std::shared_ptr<Image> backgroundImage_;
  std::vector<std::shared_ptr<NavigationItem>> items_;
  std::weak_ptr<NavigationBarDelegate> delegate_;
  std::function<void()> backHandler_;
  std::shared_ptr<Button> backButton_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<Label> promptLabel_;
};

}  // namespace platform
