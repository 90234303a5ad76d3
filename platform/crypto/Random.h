#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/foundation/Data.h"

// Cryptographically secure random numbers from the system's generator. Any thread.
// The generator does not fail once the system has seeded it; if it ever does, the process stops
// rather than hand out predictable bytes.
namespace platform {

void randomBytes(std::span<std::uint8_t> out);
Data randomData(std::size_t count);
std::uint32_t randomUInt32();

}  // namespace platform
