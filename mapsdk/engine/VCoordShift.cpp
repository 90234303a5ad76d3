#include "mapsdk/engine/VCoordShift.h"

#include <cmath>

#include "platform/foundation/Mutex.h"

namespace gmengine {

namespace {

struct ShiftState {
  bool initialised = false;
  double seed = 0;
};

// The seed moves with every shift, and fixes are shifted on the engine's timer thread and on the
// main thread alike.
platform::Mutex stateMutex;
ShiftState theState GUARDED_BY(stateMutex);

ShiftState& State() REQUIRES(stateMutex) { return theState; }

constexpr double kTwoPi = 6.28318530717959;
constexpr double kPi = 3.141592653589793;
// The arguments of the offset sines, each a stored multiplier of dx or dy; the 6 pi one is not
// 6 times the pi one, and the results depend on that.
constexpr double k6Pi = 18.849555921538762;
constexpr double k2Pi = 6.283185307179588;
constexpr double k1Pi = 3.141592653589794;
constexpr double kPiOver3 = 1.047197551196598;
constexpr double kPiOver12 = 0.2617993877991495;
constexpr double kPiOver30 = 0.1047197551196598;
constexpr double kWeight = 0.6667;

constexpr double kAxis = 6378245.0;
constexpr double kE2 = 0.00669342;
constexpr double kMeridian = 6335552.7273521;
constexpr double kShiftDegree = 0.0174532925199433;
constexpr double kShortPi = 3.1415926;

double OffsetX(double dx, double dy) {
  return dx + 300 + 2 * dy + 0.1 * dx * dx + 0.1 * dx * dy + 0.1 * std::sqrt(std::fabs(dx)) +
         (20 * ShiftSin(k6Pi * dx) + 20 * ShiftSin(k2Pi * dx)) * kWeight +
         (20 * ShiftSin(k1Pi * dx) + 40 * ShiftSin(kPiOver3 * dx)) * kWeight +
         (150 * ShiftSin(kPiOver12 * dx) + 300 * ShiftSin(kPiOver30 * dx)) * kWeight;
}

double OffsetY(double dx, double dy) {
  return 2 * dx - 100 + 3 * dy + 0.2 * dy * dy + 0.1 * dx * dy + 0.2 * std::sqrt(std::fabs(dx)) +
         (20 * ShiftSin(k6Pi * dx) + 20 * ShiftSin(k2Pi * dx)) * kWeight +
         (20 * ShiftSin(k1Pi * dy) + 40 * ShiftSin(kPiOver3 * dy)) * kWeight +
         (160 * ShiftSin(kPiOver12 * dy) + 320 * ShiftSin(kPiOver30 * dy)) * kWeight;
}

double NextRandom(double value) {
  double a = value * 314159269 + 453806245;
  return (a - 2 * std::trunc(a / 2)) / 2;
}

// Outside the unsigned range (negative, not finite) a value becomes 0, which the box rejects.
std::uint32_t FixedOrZero(float value) {
  return value > 0 && value < 4294967040.0f ? static_cast<std::uint32_t>(value) : 0;
}

std::uint32_t ToFixed(double degrees) { return static_cast<std::uint32_t>(degrees * kShiftUnitsPerDegree); }

}  // namespace

double ShiftSin(double x) {
  bool negative = x < 0;
  double r = std::fabs(x);
  r -= std::trunc(r / kTwoPi) * kTwoPi;
  if (r > kPi) {
    r -= kPi;
    negative = !negative;
  }
  double r2 = r * r;
  double r3 = r2 * r;
  double r5 = r3 * r2;
  double r7 = r5 * r2;
  double r9 = r7 * r2;
  double r11 = r9 * r2;
  double result = r - r3 * 0.166666666666667 + r5 * 0.00833333333333333 - r7 * 0.000198412698412698 +
                  r9 * 2.75573192239859e-6 - r11 * 2.50521083854417e-8;
  return negative ? -result : result;
}

static int ShiftLocked(int initialise, std::uint32_t x, std::uint32_t y, int height, int time,
                       std::uint32_t& outX, std::uint32_t& outY) REQUIRES(stateMutex) {
  double longitude = x / kShiftUnitsPerDegree;
  double latitude = y / kShiftUnitsPerDegree;
  if (height >= 5001 || longitude < 72.004 || longitude > 137.8347 || latitude < 0.8293 ||
      latitude > 55.8271) {
    outX = 0;
    outY = 0;
    return kShiftRejected;
  }
  ShiftState& state = State();
  if (!initialise) {
    state.seed = time == 0 ? 0.3 : std::fmod(static_cast<double>(time), 0.357);
    outX = x;
    outY = y;
    return 0;
  }
  double r1 = NextRandom(state.seed);
  double r2 = NextRandom(r1);
  state.seed = r2;

  double s = ShiftSin(latitude * kShiftDegree);
  double e2s2 = 1 - kE2 * s * s;
  double w = std::sqrt(e2s2);
  double n = kAxis / w;
  double m = kMeridian / (e2s2 * w);
  double h = height * 0.001;
  double q = ShiftSin(time * kShiftDegree);
  double dx = longitude - 105;
  double dy = latitude - 35;
  double dLon = (OffsetX(dx, dy) + h + q + r1) * 180 / (n * std::cos(latitude * kShiftDegree) * kShortPi);
  double dLat = (OffsetY(dx, dy) + h + q + r2) * 180 / (m * kShortPi);
  outX = ToFixed(longitude + dLon);
  outY = ToFixed(latitude + dLat);
  return 0;
}

int ShiftCoordinate(int initialise, std::uint32_t x, std::uint32_t y, int height, int time,
                    std::uint32_t& outX, std::uint32_t& outY) {
  platform::MutexLock lock(stateMutex);
  return ShiftLocked(initialise, x, y, height, time, outX, outY);
}

ShiftedPoint ShiftGpsPoint(float longitude, float latitude, float height) {
  // Single-precision products, as the fix carries its pair.
  float fx = longitude * 3600.0f * 1024.0f;
  float fy = latitude * 3600.0f * 1024.0f;
  std::uint32_t x = FixedOrZero(fx);
  std::uint32_t y = FixedOrZero(fy);
  int h = std::isfinite(height) && std::fabs(height) < 2e9f ? static_cast<int>(height) : 5001;
  platform::MutexLock lock(stateMutex);
  ShiftState& state = State();
  std::uint32_t outX = 0, outY = 0;
  int result = ShiftLocked(state.initialised ? 1 : 0, x, y, h, 0, outX, outY);
  if (result == 0 && !state.initialised) {
    state.initialised = true;
    std::uint32_t inX = outX, inY = outY;
    result = ShiftLocked(1, inX, inY, h, 0, outX, outY);
  }
  if (result != 0) return {longitude, latitude};
  return {static_cast<float>(outX / kShiftUnitsPerDegree), static_cast<float>(outY / kShiftUnitsPerDegree)};
}

void ResetShiftState() {
  platform::MutexLock lock(stateMutex);
  State() = ShiftState{};
}

}  // namespace gmengine
