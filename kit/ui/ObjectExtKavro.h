#pragma once
#include <memory>
#include <string_view>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/runtime/ActionTable.h"
#include "platform/ui/View.h"

namespace kavro {

inline constexpr std::string_view UIkavroEditToolbarCreatedNotification =
    "UIkavroEditToolbarCreatedNotification";

// Receivers of the keyboard's did-show and did-hide notifications; each handler is optional
// (answer false from implements... when it is not there).
class KeyboardNotificationsDelegate {
 public:
  virtual ~KeyboardNotificationsDelegate() = default;
  virtual bool implementsKeyboardWasShown() const { return true; }
  virtual bool implementsKeyboardWasHidden() const { return true; }
  virtual void keyboardWasShown(const platform::Notification& n) {}
  virtual void keyboardWasHidden(const platform::Notification& n) {}
};

// Keyboard observation, the edit-toolbar binding of text inputs, and calls by name. Only text
// fields and text views take part in the toolbar operations; other views are ignored. Main thread.
namespace objext {

// Observes UIKeyboardDidShow/DidHide (any object) with the handlers the receiver implements; the
// receiver is held weakly.
void registerForKeyboardNotifications(const std::shared_ptr<KeyboardNotificationsDelegate>& receiver);
// Stops both observations, registered or not.
void removeKeyboardNotifications(const KeyboardNotificationsDelegate* receiver);

// Binds the input to the toolbars of its ancestors after 0.05 s and again whenever a toolbar is
// created.
void registerForToolbarNotifications(const std::shared_ptr<platform::View>& input);
// Unbinds it from the toolbars of its current ancestors and stops following toolbar creations;
// a still pending first bind is not cancelled.
void removeForToolbarNotifications(platform::View& input);

void bindEditToolbarInParentViews(platform::View& input);
void removeEditToolbarInParentViews(platform::View& input);
// Binds (unbinds) the input to every toolbar among the view's direct subviews; binding is
// idempotent: one target-action or observation per implemented entry point.
void bindEditToolbarInView(platform::View& input, platform::View* view);
void removeEditToolbarInView(platform::View& input, platform::View* view);

// Calls the named action of the receiver's table with the parameters; its result, or null when the
// table has no such action (nothing is called) or it gives none.
template <class Receiver>
platform::Value performSelector(Receiver& receiver, const platform::ActionTable<Receiver&>& table,
                                std::string_view selector, const std::vector<platform::Value>& params) {
  auto result = table.perform(selector, receiver, params);
  return result.performed() ? result.value : platform::Value();
}

}  // namespace objext
}  // namespace kavro
