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

DeviceModel DeviceInfo::modelOfPlatform(std::string_view machineId) {
  static const std::pair<std::string_view, DeviceModel> models[] = {
      {"iPhone1,1", DeviceModel::IPhone},    {"iPhone1,2", DeviceModel::IPhone3G},
      {"iPhone2,1", DeviceModel::IPhone3GS}, {"iPhone3,1", DeviceModel::IPhone4},
      {"iPod1,1", DeviceModel::IPod},        {"iPod2,1", DeviceModel::IPod2},
      {"iPod3,1", DeviceModel::IPod3},       {"iPod4,1", DeviceModel::IPod4},
      {"iPad1,1", DeviceModel::IPad},        {"i386", DeviceModel::Simulator}};
  for (const auto& [name, model] : models) {
    if (machineId == name) return model;
  }
  return DeviceModel::Unknown;
}

DeviceModel DeviceInfo::deviceOfModel(std::string_view model, std::string_view machine) {
  if (model == "iPhone Simulator") return DeviceModel::Simulator;
  if (model == "iPad") return DeviceModel::IPad;
  if (model == "iPod Touch" || model == "iPod touch" || model == "iPod") return DeviceModel::IPod;
  if (machine == "iPhone1,1") return DeviceModel::IPhone;
  if (machine == "iPhone1,2") return DeviceModel::IPhone3G;
  if (machine == "iPhone2,1") return DeviceModel::IPhone3GS;
  return DeviceModel::IPhone4;
}

std::string DeviceInfo::nameOfDevice(DeviceModel device, bool flag) {
  switch (device) {
    case DeviceModel::Simulator:
      return flag ? "iPhone 4G" : "iPhone Simulator";
    case DeviceModel::IPod:
      return "iPod Touch";
    case DeviceModel::IPhone:
      return "iPhone";
    case DeviceModel::IPhone3G:
      return "iPhone 3G";
    default:
      return "Unknown";
  }
}

DeviceModel DeviceInfo::detectModel() { return modelOfPlatform(platform()); }

DeviceModel DeviceInfo::detectDevice() {
  return deviceOfModel(::platform::Device::currentDevice().model(), MachineName());
}

bool DeviceInfo::isIPodTouch() {
  DeviceModel device = detectDevice();
  return device == DeviceModel::IPod || device == DeviceModel::IPad;
}

bool DeviceInfo::isEmulator() { return detectModel() == DeviceModel::Simulator; }

bool DeviceInfo::isOS4() {
  std::string name = platform();
  return name.empty() || name.find("iPod4,") != std::string::npos ||
         name.find("iPhone4,") != std::string::npos;
}

std::string DeviceInfo::returnDeviceName(bool flag) { return nameOfDevice(detectDevice(), flag); }

}  // namespace mapsdk
