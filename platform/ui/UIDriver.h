#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace platform {

class ScrollView;
class View;
class Window;

// Works the headless UI the way a person would, for tests and the runner: finds views by the text
// on them or their accessibility label, taps, types, scrolls, swipes, pinches, goes back, answers
// alerts, and prints or pictures the screen. Every action first lays the shown windows out.
// Actions answer false when they could not be done and leave the reason in lastError().
//
// A touch on a view goes to the point of its visible part nearest its centre where the view takes it
// (a label's or picture's touch goes on to the row or control holding it), else to one where a
// control or row inside it does; never to a point where another control takes it. Touches go where
// the finger is: to the topmost shown window that takes the point, to the view
// its hit test finds there. Gesture recognizers of that view and its ancestors, nearest first,
// that match the gesture take it when their delegates agree (an enabled control between the view
// and a recognizer's view keeps taps for itself, as on the platform); a recognizer that
// cancels touches in its view turns the view's touchesEnded into touchesCancelled. Without a
// recognizer: a horizontal swipe on a table row shows its delete confirmation; drags, swipes and
// pinches move or zoom the nearest scroll view that can.
//
// Finding: views on screen (not hidden, not transparent, not clipped away) whose
// View::displayedText() or accessibility label is the text, then those that contain it; among
// each, the ones a finger can reach first, then the upper window, then reading
// order (top to bottom, left to right; a view before its subviews at the same place).
// Main thread only.
class UIDriver {
 public:
  // --- Finding --------------------------------------------------------------------------------
  static std::shared_ptr<View> findView(std::string_view textOrLabel);
  static std::vector<std::shared_ptr<View>> findViews(std::string_view textOrLabel);
  // The part of the view a person can see, in window coordinates; empty when none.
  static Rect visibleRect(const View& view);

  // --- Touches --------------------------------------------------------------------------------
  static bool tapAt(Point pointInScreen, int tapCount = 1);
  // Where a touch on the view goes (see above); nullopt when other views cover all of it, with
  // lastError() naming what a person sees over it.
  static std::optional<Point> touchPoint(View& view);
  // At the view's touch point; refused when other views cover all of it.
  static bool tap(View& view, int tapCount = 1);
  static bool tap(std::string_view textOrLabel, int tapCount = 1);
  // The finger stays down for seconds of the main run loop's clock when no long-press recognizer
  // takes the press (the view then times it itself); the touch counts no tap.
  static bool longPress(View& view, double seconds = 1.0);
  // Two fingers put down side by side on the view's centre and lifted one after the other (or a
  // two-touch tap recognizer that takes them).
  static bool twoFingerTap(View& view);
  // direction: SwipeDirection bits (one of them).
  static bool swipe(View& view, unsigned direction);
  // A drag by the translation (points, as the finger moves). With no pan recognizer and no scroll
  // view to take it, the view gets the touch's begin, one move and its end.
  static bool pan(View& view, Point translation);
  static bool pinch(View& view, double scale);
  // Two fingers put down around the point and moved apart (scale > 1) or together.
  static bool pinchAt(Point pointInScreen, double scale);

  // --- The keyboard ---------------------------------------------------------------------------
  // Into the first responder of the key window, one character (Unicode scalar value) at a time;
  // "\n" presses the return key.
  static bool type(std::string_view text);
  static bool deleteBackward(int times = 1);
  static bool pressReturn();

  // --- Scrolling ------------------------------------------------------------------------------
  // Drags the content to the offset and lets go (the view then settles as ScrollView says).
  static bool scroll(ScrollView& view, Point offset);
  static bool scrollBy(ScrollView& view, Point delta);

  // --- Screens and alerts ---------------------------------------------------------------------
  // Taps the back button of the navigation bar on screen.
  static bool back();
  // Answers the alert view or action sheet on top with the button.
  static bool answerAlert(int buttonIndex);
  static std::shared_ptr<View> topAlert();

  // Every shown window, bottom to top, as describeTree prints them.
  static std::string describeScreen();
  // A PNG of the screen.
  static bool snapshot(std::string_view path);

  static const std::string& lastError();

 private:
  static bool fail(std::string message);
};

}  // namespace platform
