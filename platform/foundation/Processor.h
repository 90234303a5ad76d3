// What the processor offers beyond the build's baseline, for code that picks a faster path itself.
#pragma once

namespace platform {

// AVX2 instructions, with the system saving the wide registers. Asked of the processor at the first
// call only: each question leaves a virtual machine for the host, several microseconds there, so
// nothing is asked at the program's start (as the compiler's own processor check would, for every
// program that links it).
bool processorHasAVX2();

}  // namespace platform
