#pragma once
#include "mapsdk/raster/VRaster.h"

namespace gmengine {

// The handle of a drawing wrapper (CVPen, CVBrush, CVFont, CVBitmap) and whether the wrapper owns
// it. An owned block knows its holder, so a context that frees the block while it is selected
// (VFreeDC) empties the holder instead of leaving it a handle to free a second time; a holder that
// goes away while its block is still selected gives its reference up, and the context frees the
// block when it lets go of it. Not copyable; one thread at a time, like the context.
template <class T, int (*FreeFn)(T*)>
class VOwnedHandle {
 public:
  VOwnedHandle() = default;
  ~VOwnedHandle() { Release(); }
  VOwnedHandle(const VOwnedHandle&) = delete;
  VOwnedHandle& operator=(const VOwnedHandle&) = delete;

  T* Get() const { return static_cast<T*>(slot_.handle); }
  bool IsEmpty() const { return slot_.handle == nullptr; }
  bool Owns() const { return slot_.owns; }

  // Takes a newly created block as owned; null leaves the holder empty.
  void Own(T* block) {
    slot_.handle = block;
    slot_.owns = block != nullptr;
    if (block) block->owner = &slot_;
  }
  // Frees an owned block: 1 when freed, 0 when there is none, it is not owned, or it is selected.
  int Delete() {
    T* block = Get();
    if (!block || !slot_.owns) return 0;
    if (!FreeFn(block)) return 0;
    slot_ = {};
    return 1;
  }
  int Attach(T* block) {
    if (!block || !IsEmpty()) return 0;
    slot_.handle = block;
    slot_.owns = false;
    return 1;
  }
  T* Detach() {
    if (IsEmpty() || slot_.owns) return nullptr;
    T* block = Get();
    slot_ = {};
    return block;
  }
  // Lets go of the handle: an owned block is freed, or, while selected, handed to the contexts
  // that hold it.
  void Release() {
    T* block = Get();
    if (block && slot_.owns && !FreeFn(block)) {
      block->owner = nullptr;
      --block->refCount;
    }
    slot_ = {};
  }

 private:
  VOwnerSlot slot_;
};

}  // namespace gmengine
