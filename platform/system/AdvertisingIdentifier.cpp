#include "platform/system/AdvertisingIdentifier.h"

#include <utility>

#include "platform/crypto/Uuid.h"

namespace platform {

AdvertisingIdentifier& AdvertisingIdentifier::sharedManager() {
  static AdvertisingIdentifier manager;
  return manager;
}

std::optional<std::string> AdvertisingIdentifier::advertisingIdentifier() {
  if (!made_) {
    identifier_ = createUuidString();
    made_ = true;
  }
  return identifier_;
}

void AdvertisingIdentifier::setAdvertisingIdentifier(std::optional<std::string> identifier) {
  identifier_ = std::move(identifier);
  made_ = true;
}

void AdvertisingIdentifier::reset() {
  identifier_.reset();
  made_ = false;
  trackingEnabled_ = true;
}

}  // namespace platform
