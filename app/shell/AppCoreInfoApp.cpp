#include "app/shell/AppCoreInfoApp.h"

#include <array>

#include "platform/foundation/StringTable.h"

namespace kavro::appcore {

namespace {

using UpgradeStep = void (*)(AppCoreInfo& core);

// The steps from one data layout to the next, in the order they must run. They arrive with the
// skin engine, whose data some of them clear.
constexpr std::array<UpgradeStep, 0> UpgradeSteps{};

}  // namespace

void install() {
  AppCoreInfo::setUpgradeDataBases(upgradeDataBases);
  AppCoreInfo::setLocalizedString(getLocalizedString);
}

void upgradeDataBases(AppCoreInfo& core) {
  for (UpgradeStep step : UpgradeSteps) step(core);
}

std::string getLocalizedString(std::string_view key) {
  if (AppCoreInfo::isEnglishResume()) {
    auto table = platform::StringTable::bundleTable(EnglishResumeTable);
    const std::string* text = table ? table->lookup(key) : nullptr;
    if (text && *text != key) return *text;
  }
  return platform::StringTable::localizedString(key, "");
}

}  // namespace kavro::appcore
