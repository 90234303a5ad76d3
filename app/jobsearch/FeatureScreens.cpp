#include "app/jobsearch/FeatureScreens.h"

namespace kavro {

FeatureScreens& FeatureScreens::shared() {
  static FeatureScreens screens;
  return screens;
}

}  // namespace kavro
