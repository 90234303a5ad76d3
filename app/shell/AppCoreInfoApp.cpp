#include "app/shell/AppCoreInfoApp.h"

#include <array>

#include "app/shell/DataBaseCleanOps.h"
#include "app/shell/DataBaseClean_v200.h"
#include "app/shell/DataBaseClean_v210.h"
#include "app/shell/DataBaseClean_v220.h"
#include "app/shell/DataBaseClean_v221.h"
#include "app/shell/DataBaseClean_v231.h"
#include "app/shell/DataBaseClean_v240plus.h"
#include "kit/core/AppUtil.h"
#include "platform/foundation/StringTable.h"

namespace kavro::appcore {

namespace {

using UpgradeStep = bool (*)();

// The steps from one data layout to the next, in the order they must run: each raises the flag
// past the next one's bound, so old data passes through every later step.
constexpr std::array<UpgradeStep, 6> UpgradeSteps{
    DataBaseClean_v200::cleanDataBase_v200_to_v210, DataBaseClean_v210::cleanDataBase_v210_to_v220,
    DataBaseClean_v220::cleanDataBase_v220_to_v221, DataBaseClean_v221::cleanDataBase_v221_to_v231,
    DataBaseClean_v231::cleanDataBase_v231_to_v235, DataBaseClean_v240plus::autoCleanDataByAppVersion};

}  // namespace

void install() {
  AppCoreInfo::setUpgradeDataBases(upgradeDataBases);
  AppCoreInfo::setLocalizedString(getLocalizedString);
}

void upgradeDataBases(AppCoreInfo& /*core*/) {
  // Every start but an upgrade's finds the layout current and the flag at the running version:
  // one read of the flag answers for all the steps, which would read it once each.
  const std::int64_t flag = dbclean::currentVersionFlag();
  const std::int64_t running = AppUtil::getVersionCode();
  if (flag >= DataBaseClean_v240plus::LastStepFlag &&
      (running <= DataBaseClean_v240plus::LastStepFlag || flag == running))
    return;
  // The steps work on the shared instance, which is the one resourceInit() hands over. After a
  // failed step the later ones wait: they would raise the flag past it.
  for (UpgradeStep step : UpgradeSteps) {
    if (!step()) return;
  }
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
