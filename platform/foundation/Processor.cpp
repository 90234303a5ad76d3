#include "platform/foundation/Processor.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>

#include <cstdint>
#endif

namespace platform {

namespace {

#if defined(__x86_64__) || defined(__i386__)
bool askAVX2() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx) || eax < 7) return false;
  __get_cpuid(1, &eax, &ebx, &ecx, &edx);
  constexpr unsigned OSXSAVE = 1u << 27, AVX = 1u << 28;
  if ((ecx & (OSXSAVE | AVX)) != (OSXSAVE | AVX)) return false;
  // The system saves the SSE and AVX state (XCR0 bits 1 and 2) across switches, or the wide
  // registers would be lost.
  std::uint32_t low = 0, high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  if ((low & 0x6) != 0x6) return false;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  constexpr unsigned AVX2 = 1u << 5;
  return (ebx & AVX2) != 0;
}
#else
bool askAVX2() { return false; }
#endif

}  // namespace

bool processorHasAVX2() {
  static const bool avx2 = askAVX2();
  return avx2;
}

}  // namespace platform
