#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "kit/ui/UIBasicController.h"
#include "platform/foundation/Value.h"

namespace kavro {

// The login screen and the login gates of the features that need a logged-in user. A gate opens
// the login screen; after a successful login the named action (from the receiver's class action
// table) is performed on the receiver with the parameter. Main thread only.
class UserLoginController : public UIBasicController {
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
};

KAVRO_CLASS(UserLoginController, UIBasicController);

}  // namespace kavro
