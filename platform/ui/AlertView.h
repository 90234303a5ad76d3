#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace platform {

class AlertView;
class Button;
class TextField;
class Window;

// The platform's values.
enum class AlertViewStyle { Default = 0, SecureTextInput = 1, PlainTextInput = 2, LoginAndPasswordInput = 3 };

// Told about the alert's life; every method optional.
class AlertViewDelegate {
 public:
  virtual ~AlertViewDelegate() = default;
  virtual void clickedButtonAtIndex(AlertView& alert, int buttonIndex) {}
  virtual void alertViewCancel(AlertView& alert) {}
  virtual void willPresentAlertView(AlertView& alert) {}
  virtual void didPresentAlertView(AlertView& alert) {}
  virtual void willDismissWithButtonIndex(AlertView& alert, int buttonIndex) {}
  virtual void didDismissWithButtonIndex(AlertView& alert, int buttonIndex) {}
  virtual std::optional<bool> alertViewShouldEnableFirstOtherButton(AlertView& alert) { return std::nullopt; }
};

// A modal alert: a title, a message, buttons (the cancel button first, index 0, when there is one,
// then the others in order) and, by style, one or two text fields. show() puts it in a window of
// its own above every other (Window::LevelAlert), which becomes key; the application keeps the
// alert alive while it is shown (Application::visibleAlerts). A person answers by tapping a
// button (tapButtonAtIndex, or a tap on the button view): clickedButtonAtIndex, then the
// dismissal; dismissWithClickedButtonIndex dismisses without the click: willDismiss, the window
// goes, didDismiss. Layout: 284 points wide, centred on the screen; the title (bold 18), the
// message (16, wrapped at 260 points), the fields, then the buttons, side by side when there are
// two, else one under the other, 43 points high.
class AlertView : public View {
 public:
  AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
            std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles = {});
  ~AlertView() override;

  const std::string& title() const { return title_; }
  void setTitle(std::string t);
  const std::string& message() const { return message_; }
  void setMessage(std::string m);
  const std::weak_ptr<AlertViewDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<AlertViewDelegate> d) { delegate_ = std::move(d); }

  int addButtonWithTitle(std::string title);
  std::string buttonTitleAtIndex(int index) const;
  int numberOfButtons() const { return int(buttonTitles_.size()); }
  int cancelButtonIndex() const { return cancelIndex_; }
  void setCancelButtonIndex(int i) { cancelIndex_ = i; }
  // -1 when there is no other button.
  int firstOtherButtonIndex() const;

  AlertViewStyle alertViewStyle() const { return style_; }
  void setAlertViewStyle(AlertViewStyle s);
  // Null past the fields of the style.
  std::shared_ptr<TextField> textFieldAtIndex(int index) const;

  bool isVisible() const { return visible_; }
  void show();
  void dismissWithClickedButtonIndex(int buttonIndex, bool animated);
  // A person taps the button; false for an index that is not a button or an alert not shown.
  bool tapButtonAtIndex(int buttonIndex);

  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  std::string title_;
  std::string message_;
  std::weak_ptr<AlertViewDelegate> delegate_;
  std::vector<std::string> buttonTitles_;
  int cancelIndex_ = -1;
  AlertViewStyle style_ = AlertViewStyle::Default;
  std::vector<std::shared_ptr<TextField>> fields_;
  bool visible_ = false;
  std::weak_ptr<Window> window_;  // kept by the application while shown
  std::weak_ptr<Window> previousKey_;
};

}  // namespace platform
