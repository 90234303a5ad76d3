#pragma once
#include <string>
#include <string_view>

namespace kavro {

// The push handler. So far it keeps the device's push token that registration hands over; the
// push-settings calls send it. Created on first use; main thread.
class PushUnit {
 public:
  static PushUnit& sharedPushUnit();
  static void destroySharedPushUnit();

  // "" before registration.
  const std::string& deviceToken() const { return deviceToken_; }
  void setDeviceToken(std::string_view token) { deviceToken_ = token; }

 private:
  std::string deviceToken_;
};

}  // namespace kavro
