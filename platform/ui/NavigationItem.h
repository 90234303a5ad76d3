#pragma once
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/ui/BarButtonItem.h"

namespace platform {

class View;
class ViewController;

// What a navigation bar shows for one screen: a title (or a title view), the left and right
// items and the back item that the next screen's bar shows to come back here. A controller's item
// takes the controller's title until given one of its own. Changes reach the bar showing the
// item at once (it lays itself out again). Main thread only.
class NavigationItem : public Object {
 public:
  NavigationItem() = default;
  explicit NavigationItem(std::string title) : title_(std::move(title)) {}

  // The own title, else the controller's.
  std::string title() const;
  void setTitle(std::string t);
  const std::shared_ptr<View>& titleView() const { return titleView_; }
  void setTitleView(std::shared_ptr<View> v);
  const std::string& prompt() const { return prompt_; }
  void setPrompt(std::string p);

  const std::shared_ptr<BarButtonItem>& backBarButtonItem() const { return backItem_; }
  void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item);
  bool hidesBackButton() const { return hidesBack_; }
  void setHidesBackButton(bool hides, bool animated = false);
  const std::shared_ptr<BarButtonItem>& leftBarButtonItem() const { return left_; }
  void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
  const std::shared_ptr<BarButtonItem>& rightBarButtonItem() const { return right_; }
  void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
  // Show the back button beside a left item.
  bool leftItemsSupplementBackButton() const { return supplementBack_; }
  void setLeftItemsSupplementBackButton(bool v);

  // The bar showing the item (set by the bar).
  void setBar(std::weak_ptr<View> bar) { bar_ = std::move(bar); }

 private:
  friend class ViewController;
  void changed();

  std::optional<std::string> title_;
  std::shared_ptr<View> titleView_;
  std::string prompt_;
  std::shared_ptr<BarButtonItem> backItem_;
  bool hidesBack_ = false;
  std::shared_ptr<BarButtonItem> left_;
  std::shared_ptr<BarButtonItem> right_;
  bool supplementBack_ = false;
  std::weak_ptr<ViewController> controller_;
  std::weak_ptr<View> bar_;
};

}  // namespace platform
