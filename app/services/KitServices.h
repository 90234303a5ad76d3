#pragma once

// The kit cannot reach the application's services, so it leaves hooks for them; this fills every
// one of them (and the application's own AppCoreInfo operations) in one place. The application
// calls it once at launch, before AppCoreInfo::resourceInit(). Main thread.
namespace kavro::appcore {

void installKitServices();

}  // namespace kavro::appcore
