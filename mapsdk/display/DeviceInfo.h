#pragma once
#include <string>
#include <string_view>

namespace mapsdk {

// The device models the map SDK tells apart; one list serves the model of the machine identifier
// and the device of the model name.
enum class DeviceModel : int {
  Unknown = 0,
  Simulator = 1,
  IPod = 2,
  IPod2 = 3,
  IPod3 = 4,
  IPod4 = 5,
  IPhone = 6,
  IPhone3G = 7,
  IPhone3GS = 8,
  IPhone4 = 9,  // also every phone the names do not tell apart
  IPad = 10,
};

// Questions about the device that the map SDK asks: the retina test picks double-resolution
// images. Class methods only; main thread.
class DeviceInfo {
 public:
  static bool isRetinaScreen();
  // The machine identifier ("hw.machine"; here the kernel's machine name).
  static std::string platform();
  static DeviceModel detectModel();
  static DeviceModel detectDevice();
  static bool isIPodTouch();
  static bool isEmulator();
  static bool isOS4();
  static std::string returnDeviceName(bool flag);

  // The mappings behind detectModel and detectDevice, over given names.
  static DeviceModel modelOfPlatform(std::string_view machineId);
  static DeviceModel deviceOfModel(std::string_view model, std::string_view machine);
  static std::string nameOfDevice(DeviceModel device, bool flag);
};

}  // namespace mapsdk
