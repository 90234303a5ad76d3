#pragma once
#include "mapsdk/engine/CVMap.h"
#include "mapsdk/engine/CVString.h"

namespace gmengine {

// Engine map from a UTF-16 string to a pointer (see CVMapToPtr).
class CVMapStringToPtr : public CVMapToPtr<CVString, CVStringHash> {
 public:
  using CVMapToPtr::CVMapToPtr;
};

}  // namespace gmengine
