#pragma once
#include <cstdint>
#include <memory>

#include "platform/foundation/Clock.h"

namespace gmengine {

// Milliseconds from an arbitrary start, 32 bits (wrapping); for intervals. Any thread.
std::uint32_t GetTickCount();
// The clock GetTickCount reads: the real clock by default; tests give a virtual one (null puts the
// real one back).
void SetTickClock(std::shared_ptr<platform::Clock> clock);

}  // namespace gmengine
