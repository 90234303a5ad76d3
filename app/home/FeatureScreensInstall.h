#pragma once

// Job search opens screens of the features built on it (campus, job map) through the hooks of
// FeatureScreens; this fills every one of them. The application calls it once at launch; tests of
// the whole program check that nothing is left empty. Main thread.
namespace kavro::home {

void installFeatureScreens();

}  // namespace kavro::home
