#pragma once
#include "mapsdk/engine/CVString.h"

namespace gmengine {

// The version of one catalogue data file ("VerDatset.dat").
struct CVerDatsetRecord {
  CVString fileName;
  CVString version;
};

}  // namespace gmengine
