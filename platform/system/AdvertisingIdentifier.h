#pragma once
#include <optional>
#include <string>

namespace platform {

// The system's advertising identifier and the user's choice about ad tracking. There is no
// advertising service here: the identifier is a random UUID made on first use and kept for the
// process, and tracking is allowed, unless a test or the runner says otherwise. Main thread only.
class AdvertisingIdentifier {
 public:
  static AdvertisingIdentifier& sharedManager();

  // Canonical upper-case UUID text; none when the system offers no identifier.
  std::optional<std::string> advertisingIdentifier();
  bool isAdvertisingTrackingEnabled() const { return trackingEnabled_; }

  // The system's side.
  void setAdvertisingIdentifier(std::optional<std::string> identifier);
  void setAdvertisingTrackingEnabled(bool enabled) { trackingEnabled_ = enabled; }
  // Back to a fresh identifier on next use, with tracking allowed.
  void reset();

 private:
  std::optional<std::string> identifier_;
  bool made_ = false;
  bool trackingEnabled_ = true;
};

}  // namespace platform
