#pragma once
#include "mapsdk/engine/CVString.h"
#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

// The offline catalogue version ("OfflineVersion.dat").
struct COLVersionInfo {
  CVString c;
  CVString d;
  CVString m;

  bool operator==(const COLVersionInfo& other) const { return c == other.c && d == other.d && m == other.m; }
  // Empties all three, then takes "d", "m" and "c" where present; 0 when the file is missing or
  // not JSON. A file that is there but could not be read leaves all three as they were (0, and
  // *read Failed).
  int Read(const CVString& path, olrecord::FileRead* read = nullptr);
  int Parse(const char* data, int length);
  // 1 when the file could be written.
  int Write(const CVString& path) const;
};

}  // namespace gmengine
