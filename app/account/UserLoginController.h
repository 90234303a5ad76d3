#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/UIBasicController.h"
#include "platform/foundation/Value.h"
#include "platform/ui/AlertView.h"

namespace kavro {

// The login screen and the login gates of the features that need a logged-in user. A gate opens
// the login screen; after a successful login the named action (from the receiver's class action
// table) is performed on the receiver with the parameter. Main thread only.
//
// The screen logs in through the server's login call. The password goes nowhere but that call and
// the sealed credential store of the login session (and only with automatic login on).
class UserLoginController : public UIBasicController,
                            public DataLoadAndParserDelegate,
                            public platform::AlertViewDelegate {
 public:
  // Opens the login screen from the parent; after a login, `sel` is performed on the parent.
  static std::shared_ptr<UserLoginController> loginWithParent(
      const std::shared_ptr<platform::ViewController>& parent, std::string_view sel = {},
      platform::Value param = {});
  // With a selector: first the alert "common_text_function_require_login", then the login screen;
  // after a login, `sel` is performed on `delegate` with the parameter.
  static std::shared_ptr<UserLoginController> loginWithParent(
      const std::shared_ptr<platform::ViewController>& parent, std::weak_ptr<platform::Object> delegate,
      std::string_view sel, platform::Value param = {});

  ~UserLoginController() override;

  // What runs after a successful login: the action `sel` of the receiver's class, with the
  // parameter as its one argument when there is one (an action taking the other number of
  // arguments is tried next). An empty name performs nothing; an unknown one is refused and
  // logged.
  void setAfterLogin(std::weak_ptr<platform::Object> receiver, std::string sel, platform::Value param);

  void customView() override;
  void viewDidAppear(bool animated) override;
  std::optional<bool> textFieldShouldReturn(platform::TextField& tf) override;

  // The login button: checks the fields and sends the login call.
  void doLogin();
  bool isLoggingIn() const { return loader_ != nullptr; }

  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  void clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) override;
  void didDismissWithButtonIndex(platform::AlertView& alert, int buttonIndex) override;
  // The cancel item: stops a login under way (the session goes back to logged out) and closes.
  void cancelLogin();

  const std::shared_ptr<platform::TextField>& nameField() const { return nameField_; }
  const std::shared_ptr<platform::TextField>& passwordField() const { return passwordField_; }
  const std::shared_ptr<platform::Button>& loginButton() const { return loginButton_; }

 private:
  // In a navigation controller of its own, presented from the parent.
  void presentFrom(const std::shared_ptr<platform::ViewController>& parent);
  void performAfterLogin();
  // A login under way ends without an answer: the session must not stay "logging in".
  void abandonLogin();

  std::shared_ptr<platform::TextField> nameField_;
  std::shared_ptr<platform::TextField> passwordField_;
  std::shared_ptr<platform::Button> loginButton_;
  std::shared_ptr<DataLoadAndParser> loader_;
  std::string typedName_;

  std::weak_ptr<platform::Object> receiver_;
  std::string sel_;
  platform::Value param_;

  // While the gate's alert is up, the screen waits for its answer: nothing else holds it then.
  std::shared_ptr<UserLoginController> keepWhileAsking_;
  std::weak_ptr<platform::ViewController> pendingParent_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  UserLoginController() = default;
};

KAVRO_CLASS(UserLoginController, UIBasicController);

}  // namespace kavro
