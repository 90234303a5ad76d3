#pragma once
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::string_view DeviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";

// The platform's values.
enum class DeviceOrientation {
  Unknown = 0,
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeLeft = 3,
  LandscapeRight = 4,
  FaceUp = 5,
  FaceDown = 6
};
enum class UserInterfaceIdiom { Phone = 0, Pad = 1 };

// Facts about the device. The defaults describe a phone held upright; tests and the runner may
// set others. Orientation changes are announced (DeviceOrientationDidChangeNotification, the
// device as object) while orientation notifications are being generated. Main thread only.
class Device {
 public:
  static Device& currentDevice();

  const std::string& name() const { return name_; }
  const std::string& model() const { return model_; }
  const std::string& localizedModel() const { return model_; }
  const std::string& systemName() const { return systemName_; }
  const std::string& systemVersion() const { return systemVersion_; }
  UserInterfaceIdiom userInterfaceIdiom() const { return UserInterfaceIdiom::Phone; }
  bool isMultitaskingSupported() const { return true; }
  bool hasCamera() const { return hasCamera_; }

  DeviceOrientation orientation() const { return orientation_; }
  void setOrientation(DeviceOrientation o);
  // Nested: each begin needs an end.
  void beginGeneratingDeviceOrientationNotifications() { ++generating_; }
  void endGeneratingDeviceOrientationNotifications() {
    if (generating_ > 0) --generating_;
  }
  bool isGeneratingDeviceOrientationNotifications() const { return generating_ > 0; }

  void setName(std::string v) { name_ = std::move(v); }
  void setModel(std::string v) { model_ = std::move(v); }
  void setSystemName(std::string v) { systemName_ = std::move(v); }
  void setSystemVersion(std::string v) { systemVersion_ = std::move(v); }
  void setHasCamera(bool v) { hasCamera_ = v; }
  // Back to the defaults.
  void reset() { *this = Device(); }

 private:
  std::string name_ = "Kavro Phone";
  std::string model_ = "Phone";
  std::string systemName_ = "Phone OS";
  std::string systemVersion_ = "6.1";
  DeviceOrientation orientation_ = DeviceOrientation::Portrait;
  int generating_ = 0;
  bool hasCamera_ = true;
};

}  // namespace platform
