#pragma once
#include <memory>
#include <string_view>

#include "platform/foundation/RunLoop.h"

namespace kavro {

// The one debounce timer of the map search: re-armed on every movement of the map, it posts
// "mapstatus" once the map has stood still for its interval. Main thread only.
class MapStatusTimer {
 public:
  static constexpr std::string_view MapStatusNotification = "mapstatus";

  static MapStatusTimer& sharedMapStatusTimer();
  static void destroyMapStatusTimer();

  // A one-shot timer of the interval (seconds) that runs startMapStatus; it replaces the kept one
  // in mapTimer (the caller invalidates that one first).
  void scheduledTimer(double interval);
  void timerInvalidate();
  void startMapStatus();
  const std::shared_ptr<platform::Timer>& mapTimer() const { return mapTimer_; }

 private:
  std::shared_ptr<platform::Timer> mapTimer_;
};

}  // namespace kavro
