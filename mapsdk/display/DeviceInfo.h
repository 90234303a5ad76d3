#pragma once
#include <string>
#include <string_view>

namespace mapsdk {

// Questions about the device that the map SDK asks: the retina test picks double-resolution
// images. Class methods only; main thread.
class DeviceInfo {
 public:
  static bool isRetinaScreen();
  // The machine identifier ("hw.machine"; here the kernel's machine name).
  static std::string platform();
  static int detectModel();
  static int detectDevice();
  static bool isIPodTouch();
  static bool isEmulator();
  static bool isOS4();
  static std::string returnDeviceName(bool flag);

  // The mappings behind detectModel and detectDevice, over given names.
  static int modelOfPlatform(std::string_view machineId);
  static int deviceOfModel(std::string_view model, std::string_view machine);
  static std::string nameOfDevice(int device, bool flag);
};

}  // namespace mapsdk
