#include "platform/foundation/Clock.h"

#include <chrono>
#include <ctime>

namespace platform {

namespace {

class RealClock final : public Clock {
 public:
  double now() const override { return realNow(); }
};

}  // namespace

double Clock::realNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

double Clock::recordNow() const {
  const double t = now();
  return isVirtual() ? std::min(t, realNow()) : t;
}

std::shared_ptr<Clock> Clock::real() {
  // Never destroyed: threads may still read the time while the process exits.
  static const auto* clock = new std::shared_ptr<Clock>(std::make_shared<RealClock>());
  return *clock;
}

}  // namespace platform
