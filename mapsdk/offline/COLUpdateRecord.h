#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"

namespace gmengine {

// Where a city's download stands. The file keeps the number; a number it holds that is not listed
// is kept as read and written back unchanged (the city then counts as neither queued nor finished).
enum class OfflineCityState : int { None = 0, Downloading = 1, Queued = 2, Stopped = 3, Finished = 4 };

constexpr int ToInt(OfflineCityState state) { return static_cast<int>(state); }

// One half of an update record (keys "l..." or "s..." of "OfflineUpdate.dat").
struct COLUpdateElement {
  int id = 0;
  CVString name;
  int ratio = 0;       // 0..100 while downloading, 10000 when complete
  int savedRatio = 0;  // the ratio at the last write of the file; not stored in it
  OfflineCityState state = OfflineCityState::None;
  int x = 0;
  int y = 0;
  int size = 0;
  CVString dataVersion;
  CVString mapVersion;
  int baseLevel = 0;
  int firstLevel = 0;
  int lastLevel = 0;
  int update = 0;
  CVString cityVersion;
  CVArray<CVString> packages;

  // Every field but the saved ratio.
  void CopyFrom(const COLUpdateElement& other) {
    int saved = savedRatio;
    *this = other;
    savedRatio = saved;
  }
};

// A city's installed (local) and offered (server) state.
struct COLUpdateRecord {
  COLUpdateElement local;
  COLUpdateElement server;

  void CopyFrom(const COLUpdateRecord& other) {
    local.CopyFrom(other.local);
    server.CopyFrom(other.server);
  }
};

}  // namespace gmengine
