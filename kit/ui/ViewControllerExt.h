#pragma once
#include <memory>

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

// Closing a screen, what lies below it, its bar buttons and the room left for its content.
namespace kavro::vc {

// Dismisses the modal presentation when the navigation controller holds fewer than 2 screens (or
// there is none), else pops the top screen.
void closeViewController(platform::ViewController& c, bool animated = true);

// Whether the screen second from the top of the navigation stack is a T; false below 2 screens.
template <class T>
bool prevControllerIsKindOfClass(const platform::ViewController& c);

void enableRightButton(platform::ViewController& c);
void disableRightButton(platform::ViewController& c);
void enableLeftButton(platform::ViewController& c);
void disableLeftButton(platform::ViewController& c);

// Screens reach under their navigation bar, which the screen base keeps translucent: content
// starts this far down c's view (the height of a shown bar, else 0).
double getMainViewTop(const platform::ViewController& c);
// The view fills the content area below a shown navigation bar and goes on top of c's view.
void addFullSubview(platform::ViewController& c, const std::shared_ptr<platform::View>& view);
// Screen height less the shown status bar, the shown navigation bar and a shown tab bar (unless
// the screen hides the bottom bar when pushed).
double getMainViewHeight(const platform::ViewController& c);
double getWidth(platform::ViewController& c);
double getHeight(platform::ViewController& c);

// Helper of the template: the controllers of c's navigation stack (empty without one).
std::vector<std::shared_ptr<platform::ViewController>> navigationStackOf(const platform::ViewController& c);

template <class T>
bool prevControllerIsKindOfClass(const platform::ViewController& c) {
  auto stack = navigationStackOf(c);
  if (stack.size() < 2) return false;
  return dynamic_cast<T*>(stack[stack.size() - 2].get()) != nullptr;
}

}  // namespace kavro::vc
