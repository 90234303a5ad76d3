#include "app/account/UserLoginController.h"

namespace kavro {

// Placeholder until the login screen lands.
std::shared_ptr<UserLoginController> UserLoginController::loginWithParent(
    const std::shared_ptr<platform::ViewController>&, std::string_view, platform::Value) {
  return nullptr;
}
std::shared_ptr<UserLoginController> UserLoginController::loginWithParent(
    const std::shared_ptr<platform::ViewController>&, std::weak_ptr<platform::Object>, std::string_view,
    platform::Value) {
  return nullptr;
}

}  // namespace kavro
