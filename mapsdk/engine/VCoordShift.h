#pragma once
#include <cstdint>

namespace gmengine {

// The shift of satellite positions (plain WGS-84) into the national grid that the map service's
// data uses. Only points inside a fixed box around the covered country are shifted; the caller uses
// any other point as it is.
//
// Angles are fixed point: unsigned 32-bit integers in 1/3,686,400 degree (3600 x 1024 per degree).
// The shift keeps a process-wide state (an initialised flag and a pseudo-random seed) that the
// first successful shift sets up and every later one advances; only the location timer thread
// shifts, so the state takes no lock.

inline constexpr double kShiftUnitsPerDegree = 3686400.0;
inline constexpr int kShiftRejected = -27137;

// The sine the shift uses: range reduction and an odd polynomial to the 11th power.
double ShiftSin(double x);

// Shifts the fixed-point pair (x longitude, y latitude) at height metres and time ms. 0 with the
// shifted pair in the outputs; kShiftRejected, outputs 0, for a height of 5001 or above or a point
// outside longitude 72.004..137.8347 / latitude 0.8293..55.8271. With initialise 0 the seed is set
// from the time and the pair is copied unshifted.
int ShiftCoordinate(int initialise, std::uint32_t x, std::uint32_t y, int height, int time,
                    std::uint32_t& outX, std::uint32_t& outY);

struct ShiftedPoint {
  float longitude = 0;
  float latitude = 0;
};

// A satellite fix's position shifted; the fix's own pair when the shift rejects it. The first
// accepted point is shifted too (the initialising call is followed by a real one).
ShiftedPoint ShiftGpsPoint(float longitude, float latitude, float height);

// Back to the state before the first shift (tests).
void ResetShiftState();

}  // namespace gmengine
