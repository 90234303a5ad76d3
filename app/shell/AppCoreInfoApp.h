#pragma once
#include <string>
#include <string_view>

#include "kit/core/AppCoreInfo.h"

// The two operations the application adds to AppCoreInfo: its version upgrade steps and its
// localised lookup. install() hands them to AppCoreInfo; the application calls it at launch, before
// AppCoreInfo::resourceInit(). Main thread.
namespace kavro::appcore {

inline constexpr std::string_view EnglishResumeTable = "Localizable.Resume.EN";

void install();

// Runs the version upgrade steps, oldest first, on every start; each step decides by the stored
// version flag whether it has anything to do. A step a store failed in stops the run; it and the
// later ones run at the next start.
void upgradeDataBases(AppCoreInfo& core);

// With the English resume chosen, the text from the table "Localizable.Resume.EN" when it has one
// for the key (other than the key itself); otherwise the default table's, "" when it has none.
std::string getLocalizedString(std::string_view key);

}  // namespace kavro::appcore
