#include "kit/ui/ObjectExtKavro.h"

#include <map>
#include <tuple>

#include "kit/ui/EditToolbarEntryPoints.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

namespace kavro::objext {

using Entry = EditToolbarEntryPoints::Entry;
using platform::NotificationCenter;

namespace {

NotificationCenter& center() { return NotificationCenter::defaultCenter(); }

// Observations made here, so that each can be removed by what it stands for.
std::map<const void*, std::vector<NotificationCenter::Token>>& keyboardObservers() {
  static std::map<const void*, std::vector<NotificationCenter::Token>> m;
  return m;
}
std::map<const void*, NotificationCenter::Token>& creationObservers() {
  static std::map<const void*, NotificationCenter::Token> m;
  return m;
}
// (toolbar, text view, entry) -> observation of the text view's notification by the toolbar.
std::map<std::tuple<const void*, const void*, Entry>, NotificationCenter::Token>& textViewObservers() {
  static std::map<std::tuple<const void*, const void*, Entry>, NotificationCenter::Token> m;
  return m;
}

constexpr Entry kEntries[] = {Entry::EditBegin, Entry::EditEnd, Entry::EditChanged};

unsigned controlEventOf(Entry e) {
  switch (e) {
    case Entry::EditBegin:
      return platform::ControlEvent::EditingDidBegin;
    case Entry::EditEnd:
      return platform::ControlEvent::EditingDidEnd;
    case Entry::EditChanged:
      return platform::ControlEvent::EditingChanged;
  }
  return 0;
}

std::string_view notificationOf(Entry e) {
  switch (e) {
    case Entry::EditBegin:
      return platform::TextViewTextDidBeginEditingNotification;
    case Entry::EditEnd:
      return platform::TextViewTextDidEndEditingNotification;
    case Entry::EditChanged:
      return platform::TextViewTextDidChangeNotification;
  }
  return {};
}

void call(EditToolbarEntryPoints& toolbar, Entry e, platform::View* sender) {
  switch (e) {
    case Entry::EditBegin:
      toolbar.toolbarEditBegin(sender);
      break;
    case Entry::EditEnd:
      toolbar.toolbarEditEnd(sender);
      break;
    case Entry::EditChanged:
      toolbar.toolbarEditChanged(sender);
      break;
  }
}

void removeTextViewObservation(const void* toolbar, const void* input, Entry e) {
  auto& m = textViewObservers();
  auto it = m.find({toolbar, input, e});
  if (it == m.end()) return;
  center().removeObserver(it->second);
  m.erase(it);
}

template <class Fn>
void forEachToolbar(platform::View* view, Fn fn) {
  if (!view) return;
  auto subviews = view->subviews();
  for (const auto& sub : subviews) {
    if (auto* toolbar = dynamic_cast<EditToolbarEntryPoints*>(sub.get())) fn(*toolbar, sub);
  }
}

}  // namespace

void registerForKeyboardNotifications(const std::shared_ptr<KeyboardNotificationsDelegate>& receiver) {
  if (!receiver) return;
  removeKeyboardNotifications(receiver.get());
  std::weak_ptr<KeyboardNotificationsDelegate> weak = receiver;
  auto& tokens = keyboardObservers()[receiver.get()];
  if (receiver->implementsKeyboardWasShown()) {
    tokens.push_back(center().addObserver(platform::KeyboardDidShowNotification, nullptr,
                                          [weak](const platform::Notification& n) {
                                            if (auto r = weak.lock()) r->keyboardWasShown(n);
                                          }));
  }
  if (receiver->implementsKeyboardWasHidden()) {
    tokens.push_back(center().addObserver(platform::KeyboardDidHideNotification, nullptr,
                                          [weak](const platform::Notification& n) {
                                            if (auto r = weak.lock()) r->keyboardWasHidden(n);
                                          }));
  }
}

void removeKeyboardNotifications(const KeyboardNotificationsDelegate* receiver) {
  auto it = keyboardObservers().find(receiver);
  if (it == keyboardObservers().end()) return;
  for (auto token : it->second) center().removeObserver(token);
  keyboardObservers().erase(it);
}

void registerForToolbarNotifications(const std::shared_ptr<platform::View>& input) {
  if (!input) return;
  std::weak_ptr<platform::View> weak = input;
  auto bind = [weak] {
    if (auto v = weak.lock()) bindEditToolbarInParentViews(*v);
  };
  platform::RunLoop::main().performAfter(0.05, nullptr, bind);
  auto& m = creationObservers();
  if (auto it = m.find(input.get()); it != m.end()) center().removeObserver(it->second);
  m[input.get()] = center().addObserver(UIkavroEditToolbarCreatedNotification, nullptr,
                                        [bind](const platform::Notification&) { bind(); });
}

void removeForToolbarNotifications(platform::View& input) {
  removeEditToolbarInParentViews(input);
  auto& m = creationObservers();
  if (auto it = m.find(&input); it != m.end()) {
    center().removeObserver(it->second);
    m.erase(it);
  }
}

void bindEditToolbarInParentViews(platform::View& input) {
  for (auto* v = input.superviewPointer(); v; v = v->superviewPointer()) bindEditToolbarInView(input, v);
}

void removeEditToolbarInParentViews(platform::View& input) {
  for (auto* v = input.superviewPointer(); v; v = v->superviewPointer()) removeEditToolbarInView(input, v);
}

void bindEditToolbarInView(platform::View& input, platform::View* view) {
  if (auto* field = dynamic_cast<platform::TextField*>(&input)) {
    forEachToolbar(view, [&](EditToolbarEntryPoints& toolbar, const std::shared_ptr<platform::View>& tv) {
      std::weak_ptr<platform::View> weakToolbar = tv;
      for (Entry e : kEntries) {
        if (!toolbar.implementsEntry(e)) continue;
        field->removeTarget(tv.get(), controlEventOf(e));
        field->addTarget(tv.get(), controlEventOf(e), [weakToolbar, e](platform::Control& sender) {
          auto t = weakToolbar.lock();
          if (auto* entries = dynamic_cast<EditToolbarEntryPoints*>(t.get())) call(*entries, e, &sender);
        });
      }
    });
  } else if (auto* textView = dynamic_cast<platform::TextView*>(&input)) {
    forEachToolbar(view, [&](EditToolbarEntryPoints& toolbar, const std::shared_ptr<platform::View>& tv) {
      std::weak_ptr<platform::View> weakToolbar = tv;
      std::weak_ptr<platform::View> weakInput = textView->sharedAs<platform::View>();
      for (Entry e : kEntries) {
        if (!toolbar.implementsEntry(e)) continue;
        removeTextViewObservation(tv.get(), textView, e);
        textViewObservers()[{tv.get(), textView, e}] = center().addObserver(
            notificationOf(e), textView,
            [weakToolbar, weakInput, e](const platform::Notification&) {
              auto t = weakToolbar.lock();
              auto in = weakInput.lock();
              if (auto* entries = dynamic_cast<EditToolbarEntryPoints*>(t.get()); entries && in)
                call(*entries, e, in.get());
            },
            tv.get());
      }
    });
  }
}

void removeEditToolbarInView(platform::View& input, platform::View* view) {
  if (auto* field = dynamic_cast<platform::TextField*>(&input)) {
    forEachToolbar(view, [&](EditToolbarEntryPoints&, const std::shared_ptr<platform::View>& tv) {
      for (Entry e : kEntries) field->removeTarget(tv.get(), controlEventOf(e));
    });
  } else if (auto* textView = dynamic_cast<platform::TextView*>(&input)) {
    forEachToolbar(view, [&](EditToolbarEntryPoints&, const std::shared_ptr<platform::View>& tv) {
      for (Entry e : kEntries) removeTextViewObservation(tv.get(), textView, e);
    });
  }
}

}  // namespace kavro::objext
