#pragma once
#include <functional>
#include <vector>

#include "platform/ui/View.h"

namespace platform {

// The platform's values (bit masks).
namespace ControlEvent {
inline constexpr unsigned TouchDown = 1u << 0, TouchDownRepeat = 1u << 1, TouchDragInside = 1u << 2,
                          TouchDragOutside = 1u << 3, TouchDragEnter = 1u << 4, TouchDragExit = 1u << 5,
                          TouchUpInside = 1u << 6, TouchUpOutside = 1u << 7, TouchCancel = 1u << 8,
                          ValueChanged = 1u << 12, EditingDidBegin = 1u << 16, EditingChanged = 1u << 17,
                          EditingDidEnd = 1u << 18, EditingDidEndOnExit = 1u << 19,
                          AllTouchEvents = 0x00000FFFu, AllEditingEvents = 0x000F0000u,
                          AllEvents = 0xFFFFFFFFu;
}
namespace ControlState {
inline constexpr unsigned Normal = 0, Highlighted = 1u << 0, Disabled = 1u << 1, Selected = 1u << 2;
}
enum class ContentVerticalAlignment { Center = 0, Top = 1, Bottom = 2, Fill = 3 };
enum class ContentHorizontalAlignment { Center = 0, Left = 1, Right = 2, Fill = 3 };

// Base of the views that turn touches into events: enabled, selected and highlighted state,
// content alignment, and target-actions per event mask. A touch that starts on an enabled control
// highlights it and sends TouchDown; ending inside sends TouchUpInside (then the subclass's own
// reaction, touchUpInside()), outside TouchUpOutside; a cancelled touch sends TouchCancel.
// A disabled control ignores touches: they go on to its next responder.
class Control : public View {
 public:
  using Action = std::function<void(Control& sender)>;

  explicit Control(Rect frame = {});

  bool isEnabled() const { return enabled_; }
  virtual void setEnabled(bool e) { enabled_ = e; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool s) { selected_ = s; }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool h) { highlighted_ = h; }
  // Normal, Highlighted, Disabled and Selected bits of the current state.
  unsigned state() const;
  bool isTracking() const { return tracking_; }
  ContentVerticalAlignment contentVerticalAlignment() const { return vAlign_; }
  void setContentVerticalAlignment(ContentVerticalAlignment a) { vAlign_ = a; }
  ContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
  void setContentHorizontalAlignment(ContentHorizontalAlignment a) { hAlign_ = a; }

  // target identifies the registration for removal (any address; nullptr is a target too).
  void addTarget(const void* target, unsigned events, Action action);
  // Every action of target for events (all targets when target is nullptr and allTargets is set).
  void removeTarget(const void* target, unsigned events, bool allTargets = false);
  std::size_t targetCount() const { return actions_.size(); }
  // The events some target listens for.
  unsigned allControlEvents() const;
  // Every action registered for any of the events, in registration order.
  void sendActionsForControlEvents(unsigned events);

  void touchesBegan(const Touch& t) override;
  void touchesMoved(const Touch& t) override;
  void touchesEnded(const Touch& t) override;
  void touchesCancelled(const Touch& t) override;
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  // After TouchUpInside was sent: switches toggle, segments select...
  virtual void touchUpInside(const Touch& t) {}

 private:
  struct Registration {
    const void* target;
    unsigned events;
    Action action;
  };
  std::vector<Registration> actions_;
  bool enabled_ = true;
  bool selected_ = false;
  bool highlighted_ = false;
  bool tracking_ = false;
  ContentVerticalAlignment vAlign_ = ContentVerticalAlignment::Center;
  ContentHorizontalAlignment hAlign_ = ContentHorizontalAlignment::Center;
};

}  // namespace platform
