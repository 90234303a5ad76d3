#include "mapsdk/engine/VMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace gmengine {

namespace {
// The count word sits in a header as large as the strictest alignment, so the block stays aligned.
constexpr std::size_t kHeader = alignof(std::max_align_t);
}  // namespace

void* VMalloc(std::size_t size) {
  if (size > static_cast<std::size_t>(-1) - kHeader) return nullptr;
  auto* raw = static_cast<unsigned char*>(std::calloc(1, size + kHeader));
  if (!raw) return nullptr;
  std::memcpy(raw, &size, sizeof size);
  return raw + kHeader;
}

void VFree(void* block) {
  if (!block) return;
  std::free(static_cast<unsigned char*>(block) - kHeader);
}

}  // namespace gmengine
