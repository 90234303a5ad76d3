#pragma once
#include "kit/ui/FansBadge.h"

namespace kavro {

// The count badge in a smaller size, with its own label look.
class SmallerBadge : public FansBadge {
 public:
  SmallerBadge();
};

}  // namespace kavro
