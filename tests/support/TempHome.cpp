#include "tests/support/TempHome.h"

#include <cstdlib>

#include "platform/foundation/Environment.h"
#include "platform/foundation/UserDefaults.h"

namespace kavro::test {

TempHome::TempHome() {
  platform::UserDefaults::destroyStandardUserDefaults();
  previousHome_ = platform::Environment::setHomeRoot(dir_.path());
  const char* resources = std::getenv("KAVRO_RESOURCES");
  previousResources_ = platform::Environment::setResourceRoot(resources ? resources : "");
}

TempHome::~TempHome() {
  // Defaults write into this home when they go, so they go before it does.
  platform::UserDefaults::destroyStandardUserDefaults();
  platform::Environment::setHomeRoot(previousHome_);
  platform::Environment::setResourceRoot(previousResources_);
}

}  // namespace kavro::test
