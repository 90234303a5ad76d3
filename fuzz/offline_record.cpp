// The offline record-file readers and package descriptions: every reader sees the same bytes.
#include <cstddef>
#include <cstdint>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/offline/COLUpdateList.h"
#include "mapsdk/offline/COLVersionInfo.h"
#include "mapsdk/offline/CVerDatsetMan.h"
#include "mapsdk/offline/OLRecordFile.h"
#include "mapsdk/offline/OfflinePackageScan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const char* text = reinterpret_cast<const char*>(data);
  int length = static_cast<int>(size);
  gmengine::COLUpdateList updates;
  if (updates.Parse(text, length)) updates.Compose();
  gmengine::CVArray<gmengine::COLSearchRecord> cities;
  gmengine::olrecord::ParseCityList(text, length, size % 2 == 0, cities);
  gmengine::COLVersionInfo version;
  version.Parse(text, length);
  gmengine::CVArray<gmengine::CVerDatsetRecord> versions;
  gmengine::CVerDatsetMan::ParseList(text, length, versions);
  gmengine::COLUpdateRecord record;
  gmengine::ParseCfg(text, length, record);
  gmengine::CVArray<gmengine::tag_CheckInfo> lines;
  gmengine::ParseChk(text, length, lines);
  return 0;
}
