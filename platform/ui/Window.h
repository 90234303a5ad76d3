#pragma once
#include <memory>

#include "platform/ui/View.h"

namespace platform {

class ViewController;

// A top-level view: the root of a view tree on screen. A window is hidden until shown; shown
// windows are listed by Application (by level, then in the order they were first shown), and
// one of them is the key window, which receives typed text. A window keeps its first responder
// (weakly) and its root view controller (owned), whose view it holds filling the main screen's
// application frame (the whole window for controllers that want a full-screen layout).
class Window : public View {
 public:
  static constexpr double LevelNormal = 0;
  static constexpr double LevelStatusBar = 1000;
  static constexpr double LevelAlert = 2000;

  // The main screen's bounds by default.
  Window();
  explicit Window(Rect frame);
  ~Window() override;

  // Shows the window and makes it the key window.
  void makeKeyAndVisible();
  void makeKeyWindow();
  bool isKeyWindow() const;
  void setHidden(bool hidden) override;

  double windowLevel() const { return level_; }
  void setWindowLevel(double level) { level_ = level; }

  const std::shared_ptr<ViewController>& rootViewController() const { return root_; }
  // The old root's view leaves the window and the new one's enters it; while the window is shown
  // the controllers hear disappear and appear.
  void setRootViewController(std::shared_ptr<ViewController> controller);

  // The view that receives typed text; null when none.
  std::shared_ptr<View> firstResponder() const { return firstResponder_.lock(); }

  void describeProperties(std::vector<std::string>& out) const override;

 private:
  friend class View;
  std::weak_ptr<View> firstResponder_;
  std::shared_ptr<ViewController> root_;
  double level_ = LevelNormal;
};

}  // namespace platform
