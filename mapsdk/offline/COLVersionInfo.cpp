#include "mapsdk/offline/COLVersionInfo.h"

#include <string>

#include "mapsdk/offline/OLRecordFile.h"

namespace gmengine {

int COLVersionInfo::Parse(const char* data, int length) {
  c.Empty();
  d.Empty();
  m.Empty();
  olrecord::JsonPtr json = olrecord::ParseBytes(data, length);
  if (!json) return 0;
  olrecord::GetString(json.get(), "d", d);
  olrecord::GetString(json.get(), "m", m);
  olrecord::GetString(json.get(), "c", c);
  return 1;
}

int COLVersionInfo::Read(const CVString& path, olrecord::FileRead* read) {
  std::string bytes;
  const olrecord::FileRead result = olrecord::ReadFile(path, bytes);
  if (read) *read = result;
  if (result == olrecord::FileRead::Failed) return 0;
  if (result == olrecord::FileRead::Missing) {
    c.Empty();
    d.Empty();
    m.Empty();
    return 0;
  }
  return Parse(bytes.data(), static_cast<int>(bytes.size()));
}

int COLVersionInfo::Write(const CVString& path) const {
  CVString text = CVString("{\"d\":\"") + olrecord::Quote(d) + CVString("\",\"m\":\"") + olrecord::Quote(m) +
                  CVString("\",\"c\":\"") + olrecord::Quote(c) + CVString("\"}");
  return olrecord::WriteTextFile(path, text);
}

}  // namespace gmengine
