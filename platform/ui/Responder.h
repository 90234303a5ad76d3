#pragma once
#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/graphics/Geometry.h"

namespace platform {

class View;
class Window;

enum class TouchPhase { Began = 0, Moved = 1, Stationary = 2, Ended = 3, Cancelled = 4 };

// One finger on the screen, as tests and the runner deliver it (UIDriver): where it is in its
// window, the view it started on, and how many taps in quick succession it counts.
class Touch {
 public:
  Touch(std::shared_ptr<Window> window, std::shared_ptr<View> view, Point locationInWindow, int tapCount)
      : window_(std::move(window)),
        view_(std::move(view)),
        location_(locationInWindow),
        tapCount_(tapCount) {}

  const std::shared_ptr<View>& view() const { return view_; }
  const std::shared_ptr<Window>& window() const { return window_; }
  int tapCount() const { return tapCount_; }
  TouchPhase phase() const { return phase_; }
  void setPhase(TouchPhase p) { phase_ = p; }
  // The location in the coordinates of v (the window's when v is null).
  Point locationInView(const View* v) const;
  Point previousLocationInView(const View* v) const;
  void moveTo(Point locationInWindow) {
    previous_ = location_;
    location_ = locationInWindow;
  }

 private:
  std::shared_ptr<Window> window_;
  std::shared_ptr<View> view_;
  Point location_;
  Point previous_;
  int tapCount_;
  TouchPhase phase_ = TouchPhase::Began;
};

// Something that takes part in event handling: views and view controllers. Touches not handled
// go on to nextResponder(). The first responder (the view that receives typed text) is tracked
// per window; see View. Main thread only.
class Responder : public Object {
 public:
  // The object touches go on to: a view's controller, else its superview; a controller's view's
  // superview. Not owning.
  virtual Responder* nextResponder() const { return nullptr; }

  virtual bool canBecomeFirstResponder() const { return false; }
  virtual bool becomeFirstResponder() { return false; }
  virtual bool canResignFirstResponder() const { return true; }
  virtual bool resignFirstResponder() { return true; }
  virtual bool isFirstResponder() const { return false; }

  // The default passes each event on to nextResponder().
  virtual void touchesBegan(const Touch& touch);
  virtual void touchesMoved(const Touch& touch);
  virtual void touchesEnded(const Touch& touch);
  virtual void touchesCancelled(const Touch& touch);

  // The class name of the dynamic type, without namespace ("Label", "JobSearchController").
  std::string className() const;

  template <class T>
  std::shared_ptr<T> sharedAs() {
    return std::dynamic_pointer_cast<T>(shared_from_this());
  }
  template <class T>
  std::weak_ptr<T> weakAs() {
    return sharedAs<T>();
  }
};

}  // namespace platform
