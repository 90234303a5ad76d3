#include "mapsdk/engine/UIDeviceDiskSpace.h"

#include <sys/statvfs.h>

#include "platform/foundation/Environment.h"

namespace mapsdk::device {

namespace {
bool fileSystem(struct statvfs& info) {
  return ::statvfs(platform::Environment::homeRoot().c_str(), &info) == 0;
}
}  // namespace

std::int64_t totalDiskSpace() {
  struct statvfs info {};
  if (!fileSystem(info)) return 0;
  return static_cast<std::int64_t>(info.f_blocks) * static_cast<std::int64_t>(info.f_frsize);
}

double myAvailableDiskSpace() {
  struct statvfs info {};
  if (!fileSystem(info)) return 0;
  return static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
}

}  // namespace mapsdk::device
