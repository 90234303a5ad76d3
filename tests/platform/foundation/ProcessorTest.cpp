#include <gtest/gtest.h>

#include "platform/foundation/Processor.h"

namespace {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The compiler's own check (the processor's flag and the system's saving of the wide registers)
// is the reference: the code paths chosen by either must agree.
TEST(ProcessorTest, AVX2AgreesWithTheCompilersCheck) {
  __builtin_cpu_init();
  EXPECT_EQ(platform::processorHasAVX2(), __builtin_cpu_supports("avx2") != 0);
  // Asked again, the same answer.
  EXPECT_EQ(platform::processorHasAVX2(), platform::processorHasAVX2());
}
#else
TEST(ProcessorTest, NoAVX2OffX86) { EXPECT_FALSE(platform::processorHasAVX2()); }
#endif

}  // namespace
