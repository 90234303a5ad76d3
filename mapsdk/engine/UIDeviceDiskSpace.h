#pragma once
#include <cstdint>

// The device's disk space, as the offline maps ask for it: the file system that holds the
// application's home root. Any thread; 0 when the file system cannot be asked.
namespace mapsdk::device {

// Total bytes of the file system.
std::int64_t totalDiskSpace();
// Bytes the application may still write.
double myAvailableDiskSpace();

}  // namespace mapsdk::device
