#pragma once
#include <memory>

#include "kit/core/AppUtil.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace kavro {

// The base of the application's delegate: it keeps the main window, which getWindow() hands to
// whoever asks (AppUtil::getWindow() among them). Main thread only.
class AppBaseDelegate : public platform::ApplicationDelegate, public AppWindowSource {
 public:
  // The main window of the shared application's delegate; nullptr when the delegate is none of
  // this kind or has no window yet.
  static std::shared_ptr<platform::Window> getWindow();

  const std::shared_ptr<platform::Window>& window() const { return window_; }
  void setWindow(std::shared_ptr<platform::Window> window) { window_ = std::move(window); }
  std::shared_ptr<platform::Window> mainWindow() const override { return window_; }

 private:
  std::shared_ptr<platform::Window> window_;
};

}  // namespace kavro
