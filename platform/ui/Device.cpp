#include "platform/ui/Device.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"

namespace platform {

Device& Device::currentDevice() {
  static Device device;
  return device;
}

void Device::setOrientation(DeviceOrientation o) {
  if (o == orientation_) return;
  orientation_ = o;
  if (generating_ > 0) NotificationCenter::defaultCenter().post(DeviceOrientationDidChangeNotification, this);
}

Screen& Screen::mainScreen() {
  static Screen screen;
  return screen;
}

Rect Screen::applicationFrame() const {
  double bar = Application::sharedApplication().statusBarFrame().size.height;
  return Rect(0, bar, size_.width, size_.height - bar);
}

}  // namespace platform
