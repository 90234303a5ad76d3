#include "kit/ui/AlertViewExt.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/CommonHud.h"

namespace kavro::alert {

void showTips(std::string_view text) { showTips(text, true, 0); }
void showTipsAutoHidden(std::string_view text) { showTips(text, 1.5); }
void showTips(std::string_view text, double hiddenAfterSeconds) { showTips(text, false, hiddenAfterSeconds); }
void showTips(std::string_view text, bool showIndicator) { showTips(text, showIndicator, 0); }

void showTips(std::string_view text, bool showIndicator, double hiddenAfterSeconds) {
  CommonHud::showTips(text, showIndicator, hiddenAfterSeconds);
}

void hiddenTips() { CommonHud::hiddenTips(); }

std::shared_ptr<platform::AlertView> showAlert(std::string_view message,
                                               std::weak_ptr<platform::AlertViewDelegate> delegate) {
  hiddenTips();
  if (message.empty()) return nullptr;
  auto alert = std::make_shared<platform::AlertView>("", std::string(message), std::move(delegate),
                                                     AppCoreInfo::getLocalizedString("common_text_ok"));
  alert->show();
  return alert;
}

std::shared_ptr<platform::AlertView> showConfirm(std::string_view message,
                                                 std::weak_ptr<platform::AlertViewDelegate> delegate) {
  hiddenTips();
  if (message.empty()) return nullptr;
  auto alert = std::make_shared<platform::AlertView>(
      AppCoreInfo::getLocalizedString("common_text_confirm_title"), std::string(message), std::move(delegate),
      AppCoreInfo::getLocalizedString("common_text_cancel"),
      std::vector<std::string>{AppCoreInfo::getLocalizedString("common_text_ok")});
  alert->show();
  return alert;
}

std::shared_ptr<platform::Label> getTipsTextLabel(const platform::AlertView& alert) {
  for (const auto& sub : alert.subviews())
    if (auto label = std::dynamic_pointer_cast<platform::Label>(sub)) return label;
  return nullptr;
}

}  // namespace kavro::alert
