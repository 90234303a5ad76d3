#pragma once
#include <memory>
#include <string_view>

#include "platform/graphics/Geometry.h"

namespace platform {

class View;

inline constexpr std::string_view KeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr std::string_view KeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr std::string_view KeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr std::string_view KeyboardDidHideNotification = "UIKeyboardDidHideNotification";
// User info: RectValue frames in screen coordinates, the duration in seconds, the curve (7).
inline constexpr std::string_view KeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr std::string_view KeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr std::string_view KeyboardAnimationDurationUserInfoKey =
    "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr std::string_view KeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";

// The on-screen keyboard. It comes up when a text input begins editing and goes down when no text
// input is editing any more; moving the focus from one input to another keeps it up. Each change
// posts the "will" notification at once and the "did" one AnimationDuration later through the
// main run loop (a change in between drops the pending "did"). Frames: Height points tall across
// the screen's width, off the bottom edge when down. Main thread only.
class Keyboard {
 public:
  static constexpr double Height = 216;
  static constexpr double AnimationDuration = 0.25;
  static constexpr int AnimationCurve = 7;

  static Keyboard& shared();

  bool isVisible() const { return visible_; }
  // Where the keyboard stands when up, in screen coordinates.
  Rect frameWhenVisible() const;
  // Where it stands now (off screen when down).
  Rect frame() const;
  // The input being edited; null when none.
  std::shared_ptr<View> activeInput() const { return input_.lock(); }

  // Text inputs report their editing.
  void inputDidBeginEditing(View& input);
  void inputDidEndEditing(View& input);

  // While one lives, inputs that end editing do not take the keyboard down; the check runs when
  // the last one ends (a focus move between inputs).
  class FocusTransfer {
   public:
    FocusTransfer();
    ~FocusTransfer();
    FocusTransfer(const FocusTransfer&) = delete;
    FocusTransfer& operator=(const FocusTransfer&) = delete;
  };

  // Down at once, nothing posted, nothing pending (tests).
  void reset();

 private:
  void show();
  void hideUnlessEditing();
  Rect hiddenFrame() const;

  bool visible_ = false;
  std::weak_ptr<View> input_;
  int transfers_ = 0;
  bool checkPending_ = false;
};

}  // namespace platform
