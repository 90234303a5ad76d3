#include "mapsdk/engine/VTick.h"

#include <cmath>

#include "platform/foundation/Mutex.h"

namespace gmengine {

namespace {
platform::Mutex tickMutex;
std::shared_ptr<platform::Clock>& tickClock() REQUIRES(tickMutex) {
  static std::shared_ptr<platform::Clock> clock = platform::Clock::real();
  return clock;
}
}  // namespace

std::uint32_t GetTickCount() {
  std::shared_ptr<platform::Clock> clock;
  {
    platform::MutexLock lock(tickMutex);
    clock = tickClock();
  }
  double ms = std::floor(clock->now() * 1000.0);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(ms)));
}

void SetTickClock(std::shared_ptr<platform::Clock> clock) {
  platform::MutexLock lock(tickMutex);
  tickClock() = clock ? std::move(clock) : platform::Clock::real();
}

}  // namespace gmengine
