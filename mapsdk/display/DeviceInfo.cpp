#include "mapsdk/display/DeviceInfo.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <utility>

#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"

namespace mapsdk {

namespace {

std::string MachineName() {
  utsname name{};
  if (uname(&name) != 0) return {};
  return name.machine;
}

}  // namespace

bool DeviceInfo::isRetinaScreen() {
  if (std::atof(::platform::Device::currentDevice().systemVersion().c_str()) < 3.2) return false;
  const ::platform::Screen& screen = ::platform::Screen::mainScreen();
  double width = screen.bounds().size.width * screen.scale();
  double height = screen.bounds().size.height * screen.scale();
  return width >= 639.9 && height >= 959.9;
}

std::string DeviceInfo::platform() { return MachineName(); }

int DeviceInfo::modelOfPlatform(std::string_view machineId) {
  static const std::pair<std::string_view, int> models[] = {
      {"iPhone1,1", 6}, {"iPhone1,2", 7}, {"iPhone2,1", 8}, {"iPhone3,1", 9}, {"iPod1,1", 2},
      {"iPod2,1", 3},   {"iPod3,1", 4},   {"iPod4,1", 5},   {"iPad1,1", 10},  {"i386", 1}};
  for (const auto& [name, model] : models) {
    if (machineId == name) return model;
  }
  return 0;
}

int DeviceInfo::deviceOfModel(std::string_view model, std::string_view machine) {
  if (model == "iPhone Simulator") return 1;
  if (model == "iPad") return 10;
  if (model == "iPod Touch" || model == "iPod touch" || model == "iPod") return 2;
  if (machine == "iPhone1,1") return 6;
  if (machine == "iPhone1,2") return 7;
  if (machine == "iPhone2,1") return 8;
  return 9;
}

std::string DeviceInfo::nameOfDevice(int device, bool flag) {
  switch (device) {
    case 1:
      return flag ? "iPhone 4G" : "iPhone Simulator";
    case 2:
      return "iPod Touch";
    case 6:
      return "iPhone";
    case 7:
      return "iPhone 3G";
    default:
      return "Unknown";
  }
}

int DeviceInfo::detectModel() { return modelOfPlatform(platform()); }

int DeviceInfo::detectDevice() {
  return deviceOfModel(::platform::Device::currentDevice().model(), MachineName());
}

bool DeviceInfo::isIPodTouch() {
  int device = detectDevice();
  return device == 2 || device == 10;
}

bool DeviceInfo::isEmulator() { return detectModel() == 1; }

bool DeviceInfo::isOS4() {
  std::string name = platform();
  return name.empty() || name.find("iPod4,") != std::string::npos ||
         name.find("iPhone4,") != std::string::npos;
}

std::string DeviceInfo::returnDeviceName(bool flag) { return nameOfDevice(detectDevice(), flag); }

}  // namespace mapsdk
