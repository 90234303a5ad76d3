#include "app/account/UserLoginController.h"

#include <iostream>

#include "app/api/ApiUser.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StringMisc.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"

namespace kavro {

namespace {
std::string localized(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }
}  // namespace

std::shared_ptr<UserLoginController> UserLoginController::loginWithParent(
    const std::shared_ptr<platform::ViewController>& parent, std::string_view sel, platform::Value param) {
  if (!parent) return nullptr;
  auto screen = create<UserLoginController>();
  screen->setAfterLogin(parent, std::string(sel), std::move(param));
  screen->presentFrom(parent);
  return screen;
}

std::shared_ptr<UserLoginController> UserLoginController::loginWithParent(
    const std::shared_ptr<platform::ViewController>& parent, std::weak_ptr<platform::Object> delegate,
    std::string_view sel, platform::Value param) {
  if (!parent) return nullptr;
  auto screen = create<UserLoginController>();
  screen->setAfterLogin(std::move(delegate), std::string(sel), std::move(param));
  if (sel.empty()) {
    screen->presentFrom(parent);
    return screen;
  }
  screen->pendingParent_ = parent;
  screen->keepWhileAsking_ = screen;
  alert::showAlert(localized("common_text_function_require_login"),
                   std::static_pointer_cast<platform::AlertViewDelegate>(screen));
  return screen;
}

UserLoginController::~UserLoginController() { abandonLogin(); }

void UserLoginController::abandonLogin() {
  if (!loader_) return;
  loader_->stopLoading();
  loader_.reset();
  if (UserCoreInfo::isLoginingNow()) UserCoreInfo::userLogout();
}

void UserLoginController::cancelLogin() {
  if (loader_) alert::hiddenTips();
  abandonLogin();
  vc::closeViewController(*this);
}

void UserLoginController::setAfterLogin(std::weak_ptr<platform::Object> receiver, std::string sel,
                                        platform::Value param) {
  receiver_ = std::move(receiver);
  sel_ = std::move(sel);
  param_ = std::move(param);
}

void UserLoginController::clickedButtonAtIndex(platform::AlertView&, int) {
  auto keep = std::move(keepWhileAsking_);
  if (auto parent = pendingParent_.lock()) presentFrom(parent);
  pendingParent_.reset();
}

void UserLoginController::didDismissWithButtonIndex(platform::AlertView&, int) {
  // Dismissed without a tap: nobody asked for the login screen.
  keepWhileAsking_.reset();
}

void UserLoginController::presentFrom(const std::shared_ptr<platform::ViewController>& parent) {
  auto nav = platform::NavigationController::create(
      std::static_pointer_cast<platform::ViewController>(shared_from_this()));
  parent->presentViewController(nav, true);
}

void UserLoginController::customView() {
  UIBasicController::customView();
  setTitle(localized("login_title"));
  // Opened from the home screen the bar already has its way back.
  if (!navigationItem()->leftBarButtonItem()) {
    auto weak = weakAs<UserLoginController>();
    barbutton::setCancelItem(*this, [weak](auto&&...) {
      if (auto self = weak.lock()) self->cancelLogin();
    });
  }

  double width = screen::screenWidth();
  double top = vc::getMainViewTop(*this);
  nameField_ = nameInputWithRect(platform::Rect(20, top + 20, width - 40, 40));
  nameField_->setPlaceholder(localized("login_placeholder_username"));
  nameField_->setReturnKeyType(platform::ReturnKeyType::Next);
  nameField_->setText(UserCoreInfo::getUserName());
  view()->addSubview(nameField_);

  passwordField_ = passwordInputWithRect(platform::Rect(20, top + 70, width - 40, 40));
  passwordField_->setPlaceholder(localized("login_placeholder_password"));
  passwordField_->setReturnKeyType(platform::ReturnKeyType::Go);
  view()->addSubview(passwordField_);
  // On the screen's plain ground a field without a box reads as a label once it holds text.
  for (const auto& field : {nameField_, passwordField_}) {
    field->setBorderStyle(platform::TextBorderStyle::RoundedRect);
    field->setBackgroundColor(platform::Color::white());
    field->setContentVerticalAlignment(platform::ContentVerticalAlignment::Center);
  }

  auto weak = weakAs<UserLoginController>();
  loginButton_ =
      buttonWithRect(platform::Rect(20, top + 130, width - 40, 44), localized("login_button_login"), [weak] {
        if (auto self = weak.lock()) self->doLogin();
      });
  view()->addSubview(loginButton_);
}

// Only once the screen is in its window can a field take the keyboard.
void UserLoginController::viewDidAppear(bool animated) {
  UIBasicController::viewDidAppear(animated);
  if (nameField_ && nameField_->text().empty()) nameField_->becomeFirstResponder();
}

std::optional<bool> UserLoginController::textFieldShouldReturn(platform::TextField& tf) {
  if (&tf == nameField_.get()) {
    passwordField_->becomeFirstResponder();
    return false;
  }
  tf.resignFirstResponder();
  if (&tf == passwordField_.get()) doLogin();
  return false;
}

void UserLoginController::doLogin() {
  if (loader_) return;
  std::string name = str::trim(nameField_->text());
  if (name.empty()) {
    alert::showTipsAutoHidden(localized("login_tips_empty_username"));
    nameField_->becomeFirstResponder();
    return;
  }
  if (passwordField_->text().empty()) {
    alert::showTipsAutoHidden(localized("login_tips_empty_password"));
    passwordField_->becomeFirstResponder();
    return;
  }
  nameField_->resignFirstResponder();
  passwordField_->resignFirstResponder();
  typedName_ = name;
  UserCoreInfo::userOnLogin();
  alert::showTips(localized("login_tips_logging_in"));
  loader_ = ApiUser::login(name, passwordField_->text(),
                           std::static_pointer_cast<UserLoginController>(shared_from_this()));
}

void UserLoginController::dataLoader(DataLoadAndParser&, const DataItemResult& result) {
  auto keep = shared_from_this();
  loader_.reset();
  alert::hiddenTips();
  if (result.hasError() || !UserCoreInfo::setUserLoginInfo(result.detailInfo().get())) {
    UserCoreInfo::userLogout();
    std::string message = result.message().empty() ? localized("login_tips_failed") : result.message();
    alert::showAlert(message);
    return;
  }
  // The password stays only in the sealed store, and only for the automatic login.
  UserCoreInfo::setUserName(typedName_);
  UserCoreInfo::setPassword(UserCoreInfo::getAutoLogin() ? passwordField_->text() : std::string_view());
  passwordField_->setText("");
  vc::closeViewController(*this);
  performAfterLogin();
}

void UserLoginController::performAfterLogin() {
  if (sel_.empty()) return;
  auto receiver = receiver_.lock();
  if (!receiver) return;
  platform::Arguments withParam{param_};
  platform::Arguments none;
  bool paramFirst = !param_.isNull();
  auto result = platform::performAction(*receiver, sel_, paramFirst ? withParam : none);
  if (result.status == platform::ActionStatus::WrongArgumentCount)
    result = platform::performAction(*receiver, sel_, paramFirst ? none : withParam);
  if (!result) {
    auto cls = platform::classOf(*receiver);
    std::cerr << "UserLoginController: refused action \"" << sel_ << "\" of "
              << (cls ? cls->name() : std::string("an unregistered class")) << " after login\n";
  }
}

}  // namespace kavro
