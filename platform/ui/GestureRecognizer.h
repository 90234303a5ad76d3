#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/graphics/Geometry.h"

namespace platform {

class GestureRecognizer;
class Touch;
class View;

// The platform's values (Recognized is Ended).
enum class GestureRecognizerState {
  Possible = 0,
  Began = 1,
  Changed = 2,
  Ended = 3,
  Cancelled = 4,
  Failed = 5
};

// Asked before a recognizer takes a touch or begins; every method optional (empty: allow).
class GestureRecognizerDelegate {
 public:
  virtual ~GestureRecognizerDelegate() = default;
  virtual std::optional<bool> gestureRecognizerShouldBegin(GestureRecognizer& gr) { return std::nullopt; }
  virtual std::optional<bool> gestureRecognizerShouldReceiveTouch(GestureRecognizer& gr, const Touch& touch) {
    return std::nullopt;
  }
  virtual std::optional<bool> shouldRecognizeSimultaneouslyWithGestureRecognizer(GestureRecognizer& gr,
                                                                                 GestureRecognizer& other) {
    return std::nullopt;
  }
};

// Base of the gesture recognizers that views carry (View::addGestureRecognizer, which owns them).
// Gestures are delivered whole by UIDriver: it finds the recognizers of the touched view and its
// ancestors, nearest first, that match the gesture, asks their delegates, and the first that may
// begin runs through its states, calling every target-action on each state change (Began,
// Changed..., Ended; a discrete gesture such as a tap goes straight to Ended). Others recognize
// along only when a delegate says they may recognize simultaneously. With cancelsTouchesInView
// (the default) the touched view then hears touchesCancelled instead of touchesEnded.
// Main thread only.
class GestureRecognizer : public Object {
 public:
  using Action = std::function<void(GestureRecognizer& sender)>;

  explicit GestureRecognizer(Action action = {});
  ~GestureRecognizer() override;

  // target identifies the registration for removal.
  void addTarget(const void* target, Action action);
  void removeTarget(const void* target);

  GestureRecognizerState state() const { return state_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }
  std::shared_ptr<View> view() const { return view_.lock(); }
  const std::weak_ptr<GestureRecognizerDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<GestureRecognizerDelegate> d) { delegate_ = std::move(d); }
  bool cancelsTouchesInView() const { return cancelsTouches_; }
  void setCancelsTouchesInView(bool v) { cancelsTouches_ = v; }
  bool delaysTouchesBegan() const { return delaysBegan_; }
  void setDelaysTouchesBegan(bool v) { delaysBegan_ = v; }
  bool delaysTouchesEnded() const { return delaysEnded_; }
  void setDelaysTouchesEnded(bool v) { delaysEnded_ = v; }
  // This one recognizes only when other did not.
  void requireGestureRecognizerToFail(std::shared_ptr<GestureRecognizer> other) {
    mustFail_.push_back(other);
  }
  const std::vector<std::weak_ptr<GestureRecognizer>>& failureRequirements() const { return mustFail_; }

  // Where the gesture is, in v's coordinates (the window's for null).
  Point locationInView(const View* v) const;
  std::size_t numberOfTouches() const { return touches_; }

  // For the event source (UIDriver): moves the gesture and sets its state, calling the targets
  // for every state but Possible and Failed.
  void setLocation(Point inWindow, std::size_t touches = 1);
  void setState(GestureRecognizerState s);
  // Back to Possible between gestures.
  void reset() { state_ = GestureRecognizerState::Possible; }

 private:
  friend class View;
  struct Registration {
    const void* target;
    Action action;
  };
  std::vector<Registration> actions_;
  std::weak_ptr<View> view_;
  std::weak_ptr<GestureRecognizerDelegate> delegate_;
  std::vector<std::weak_ptr<GestureRecognizer>> mustFail_;
  GestureRecognizerState state_ = GestureRecognizerState::Possible;
  bool enabled_ = true;
  bool cancelsTouches_ = true;
  bool delaysBegan_ = false;
  bool delaysEnded_ = true;
  Point location_;
  std::size_t touches_ = 0;
};

}  // namespace platform
