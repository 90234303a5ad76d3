#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"

namespace platform {

class View;

// The platform's values.
enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };
enum class BarButtonSystemItem {
  Done = 0,
  Cancel,
  Edit,
  Save,
  Add,
  FlexibleSpace,
  FixedSpace,
  Compose,
  Reply,
  Action,
  Organize,
  Bookmarks,
  Search,
  Refresh,
  Stop,
  Camera,
  Trash,
  Play,
  Pause,
  Rewind,
  FastForward,
  Undo,
  Redo,
  PageCurl
};

// An item of a navigation bar or a toolbar: a title, an image, a system item or a custom view,
// with a target-action. The bar that shows it draws it as a button (or shows the custom view);
// a tap on that button sends the action while the item is enabled. The target is kept weakly and
// only for the record (the action is the callable). Main thread only.
class BarButtonItem : public Object {
 public:
  using Action = std::function<void(BarButtonItem& sender)>;

  BarButtonItem(std::string title, BarButtonItemStyle style, Action action = {});
  BarButtonItem(std::shared_ptr<Image> image, BarButtonItemStyle style, Action action = {});
  // System items carry their English title ("Done", "Cancel", ...); the spaces none.
  explicit BarButtonItem(BarButtonSystemItem item, Action action = {});
  explicit BarButtonItem(std::shared_ptr<View> customView);

  const std::string& title() const { return title_; }
  void setTitle(std::string t);
  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> img);
  BarButtonItemStyle style() const { return style_; }
  void setStyle(BarButtonItemStyle s);
  const std::optional<BarButtonSystemItem>& systemItem() const { return systemItem_; }
  bool isFlexibleSpace() const { return systemItem_ == BarButtonSystemItem::FlexibleSpace; }
  bool isFixedSpace() const { return systemItem_ == BarButtonSystemItem::FixedSpace; }
  const std::shared_ptr<View>& customView() const { return customView_; }
  void setCustomView(std::shared_ptr<View> v);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e);
  // 0: sized to the content.
  double width() const { return width_; }
  void setWidth(double w);
  const std::optional<Color>& tintColor() const { return tint_; }
  void setTintColor(std::optional<Color> c) { tint_ = std::move(c); }
  int tag() const { return tag_; }
  void setTag(int t) { tag_ = t; }
  const std::weak_ptr<Object>& target() const { return target_; }
  void setTarget(std::weak_ptr<Object> t) { target_ = std::move(t); }
  const Action& action() const { return action_; }
  void setAction(Action a) { action_ = std::move(a); }

  // Sends the action when enabled (what a tap on the item does); true when it was sent.
  bool sendAction();

  // For the bars: the view that shows the item, at the origin: the custom view, else a button
  // (the title in the bold system font of 12 points, 10 points of room on each side, at least 30
  // wide unless width() says otherwise, 30 high) whose tap sends the action. The bar (host) hears
  // of every later change to the item. The same button serves until the item changes.
  std::shared_ptr<View> viewForBar(std::weak_ptr<View> host);

 private:
  void changed();

  std::string title_;
  std::shared_ptr<Image> image_;
  BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
  std::optional<BarButtonSystemItem> systemItem_;
  std::shared_ptr<View> customView_;
  bool enabled_ = true;
  double width_ = 0;
  std::optional<Color> tint_;
  int tag_ = 0;
  std::weak_ptr<Object> target_;
  Action action_;
  std::weak_ptr<View> host_;
  std::shared_ptr<View> barButton_;  // made by viewForBar for the item as it is now
};

}  // namespace platform
