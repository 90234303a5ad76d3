#pragma once
#include "mapsdk/engine/CVString.h"

namespace gmengine {

// One city of the hot-city or searchable city list.
struct COLSearchRecord {
  int id = 0;
  CVString name;
  int size = 0;
};

}  // namespace gmengine
