#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/skin/AppSkin.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

namespace kavro {

// The base of every screen. A screen is made with create<T>() (or opened with
// OpenUIBasicController<T>()), which registers it with AppControllers at once, so it is the most
// recent screen before it is shown. Its view is built once through customView(), skinned by
// changeSkin(), and it follows skin, login-state and language changes through their
// notifications. It moves to the top of the registry whenever it is about to appear and leaves
// the registry when destroyed. Portrait only. Main thread only.
class UIBasicController : public platform::ViewController, public platform::TextFieldDelegate {
 public:
  static constexpr std::string_view skinChangedNotify = AppSkin::SkinChangedNotification;
  static constexpr std::string_view languageChangedNotify = "languageChangedNotify";

  template <class T = UIBasicController>
  static std::shared_ptr<T> create() {
    // Screens keep their constructors protected (a friend of this class), so a screen exists only
    // once init() has run; make_shared cannot reach such a constructor.
    std::shared_ptr<T> screen(new T());
    screen->init();
    return screen;
  }
  // Takes the most recent screen first, then makes a T and shows it from there (animated).
  template <class T = UIBasicController>
  static std::shared_ptr<T> OpenUIBasicController() {
    auto parent = mostRecentControllerForOpening();
    auto screen = create<T>();
    screen->ShowUIBasicController(parent);
    return screen;
  }

  ~UIBasicController() override;

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation o) override {
    return o == platform::InterfaceOrientation::Portrait;
  }
  std::optional<bool> textFieldShouldReturn(platform::TextField& tf) override;

  // Hooks; an override calls the base first as a rule.
  // Runs once per screen: the navigation bar turns translucent, then setupBackButton.
  virtual void customView();
  // Reloads the lists that are direct subviews of the view.
  virtual void changeSkin();
  virtual void userStatusChanged() {}
  // Localises the back item again.
  virtual void languageChanged();
  // The back item that the next screen's bar shows: "common_text_return".
  virtual void setupBackButton();

  // From the home screen: modally, in a navigation controller of its own, with a left item back
  // to the home screen (closeButton). From any other screen: pushed, hiding the bottom bar.
  void ShowUIBasicController(const std::shared_ptr<platform::ViewController>& parent, bool animated = true);
  const std::shared_ptr<platform::BarButtonItem>& closeButton() const { return closeButton_; }

  // Building blocks for views.
  std::shared_ptr<platform::Button> buttonWithRect(platform::Rect rect, std::string title,
                                                   std::function<void()> action);
  std::shared_ptr<platform::Label> smallLabelWithRect(platform::Rect rect, std::string text);
  std::shared_ptr<platform::TextField> nameInputWithRect(platform::Rect rect);
  std::shared_ptr<platform::TextField> passwordInputWithRect(platform::Rect rect);

  bool isCustomed() const { return customed_; }

 protected:
  UIBasicController() = default;
  // Registers the new screen; create() runs it once the object is complete.
  virtual void init();

 private:
  static std::shared_ptr<platform::ViewController> mostRecentControllerForOpening();

  bool customed_ = false;
  std::shared_ptr<platform::BarButtonItem> closeButton_;
  std::string registeredName_;
};

KAVRO_CLASS(UIBasicController, platform::ViewController);

}  // namespace kavro
