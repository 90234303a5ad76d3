#pragma once
#include <cstdint>

#include "mapsdk/engine/CVMap.h"

namespace gmengine {

// Engine map from a 16-bit word to a pointer (see CVMapToPtr); the icon image table is one.
class CVMapWordToPtr : public CVMapToPtr<std::uint16_t> {
 public:
  using CVMapToPtr::CVMapToPtr;
};

}  // namespace gmengine
