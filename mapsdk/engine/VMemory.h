#pragma once
#include <cstddef>

namespace gmengine {

// The engine allocator. Each block is preceded by a count word holding its size; VFree of null
// does nothing. Blocks are zero-filled. Null when the size cannot be had.
void* VMalloc(std::size_t size);
void VFree(void* block);

}  // namespace gmengine
