#pragma once
#include <memory>
#include <string_view>

#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"

// Tips through the HUD, one-button alerts and two-button confirmations.
namespace kavro::alert {

// With the indicator, until hidden.
void showTips(std::string_view text);
// Without the indicator, hidden after 1.5 seconds.
void showTipsAutoHidden(std::string_view text);
void showTips(std::string_view text, double hiddenAfterSeconds);
void showTips(std::string_view text, bool showIndicator);
// Empty text hides the HUD. With seconds above 0 the HUD hides by itself and lets touches
// through; with 0 it stays and blocks them.
void showTips(std::string_view text, bool showIndicator, double hiddenAfterSeconds);
void hiddenTips();

// Hides any tip first; empty message: nothing shown, null. Otherwise an untitled alert with one
// button, "common_text_ok" (index 0), shown and answered.
std::shared_ptr<platform::AlertView> showAlert(std::string_view message,
                                               std::weak_ptr<platform::AlertViewDelegate> delegate = {});
// As showAlert, titled "common_text_confirm_title": "common_text_cancel" is index 0 and
// "common_text_ok" index 1.
std::shared_ptr<platform::AlertView> showConfirm(std::string_view message,
                                                 std::weak_ptr<platform::AlertViewDelegate> delegate);
// The alert's first direct subview that is a label; null when none.
std::shared_ptr<platform::Label> getTipsTextLabel(const platform::AlertView& alert);

}  // namespace kavro::alert
