#include "kit/codec/json/JBArena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kit/codec/json/JBKeyPool.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

namespace {

// The first block holds the arena itself and a small document. Later blocks are all of one size
// and a few freed ones are kept for the next documents: handing fresh pages to every large
// document costs more than parsing it.
constexpr std::size_t kFirstBlock = 8 * 1024;
constexpr std::size_t kBlock = 64 * 1024;
constexpr std::size_t kKeptBlocks = 128;
// Pieces from this size on that do not fit in the block's room get a chunk of their own, unless
// less than kRoomWorthKeeping is left.
constexpr std::size_t kLargePiece = 1024;
constexpr std::size_t kRoomWorthKeeping = 256;

struct FreeBlock {
  FreeBlock* next;
};

class BlockPool {
 public:
  void* take() {
    {
      platform::MutexLock lock(mutex_);
      if (FreeBlock* b = free_) {
        free_ = b->next;
        --count_;
        return b;
      }
    }
    return std::malloc(kBlock);
  }
  void give(void* block) {
    {
      platform::MutexLock lock(mutex_);
      if (count_ < kKeptBlocks) {
        auto* b = static_cast<FreeBlock*>(block);
        b->next = free_;
        free_ = b;
        ++count_;
        return;
      }
    }
    std::free(block);
  }

 private:
  platform::Mutex mutex_;
  FreeBlock* free_ GUARDED_BY(mutex_) = nullptr;
  std::size_t count_ GUARDED_BY(mutex_) = 0;
};

BlockPool& pool() {
  static BlockPool* p = new BlockPool();  // never destroyed: arenas may outlive static destruction
  return *p;
}

}  // namespace

// The owner's count lives in the arena; freeing it is what releases the arena's reference.
template <class T>
struct OwnerAllocator {
  using value_type = T;
  explicit OwnerAllocator(JBArena* a) noexcept : arena(a) {}
  template <class U>
  OwnerAllocator(const OwnerAllocator<U>& other) noexcept : arena(other.arena) {}  // NOLINT: rebinding
  T* allocate(std::size_t n) { return static_cast<T*>(arena->carve(n * sizeof(T), alignof(T))); }
  void deallocate(T*, std::size_t) noexcept { arena->release(); }
  template <class U>
  bool operator==(const OwnerAllocator<U>& other) const noexcept {
    return arena == other.arena;
  }
  JBArena* arena;
};

platform::ObjectPtr JBArena::makeOwner() {
  retainUnshared();
  platform::ObjectPtr owner(
      nullptr, [this](platform::Object*) { owner_.reset(); }, OwnerAllocator<platform::Object>(this));
  owner_ = owner;
  keep();
  return owner;
}

JBArena* JBArena::create() {
  void* memory = std::malloc(kFirstBlock);
  if (!memory) throw std::bad_alloc();
  auto* arena = new (memory) JBArena();
  arena->next_ = static_cast<char*>(memory) + sizeof(JBArena);
  arena->end_ = static_cast<char*>(memory) + kFirstBlock;
  return arena;
}

const std::string* JBArena::key(std::string_view text) {
  void* memory = carve(sizeof(OwnedKey), alignof(OwnedKey));
  auto* owned = new (memory) OwnedKey{std::string(text), ownedKeys_};
  ownedKeys_ = owned;
  keep();
  return &owned->key;
}

void JBArena::hold(JBKeyPool* pool) {
  pool->retain();
  void* memory = carve(sizeof(HeldPool), alignof(HeldPool));
  heldPools_ = new (memory) HeldPool{pool, heldPools_};
  keep();
}

JBArena::~JBArena() {
  for (HeldPool* h = heldPools_; h; h = h->next) h->pool->release();
  for (OwnedKey* k = ownedKeys_; k; k = k->next) k->key.~basic_string();
  for (Chunk* b = chunks_; b;) {
    Chunk* next = b->next;
    if (b->size == kBlock)
      pool().give(b);
    else
      std::free(b);
    b = next;
  }
}

void JBArena::destroy() noexcept {
  this->~JBArena();
  std::free(this);
}

char* JBArena::widenText(char* bytes, std::size_t written, std::size_t room) {
  auto* block = static_cast<TextStore::Block*>(
      carveFromNewBlock(sizeof(TextStore::Block) + written + room, alignof(TextStore::Block)));
  next_ = reinterpret_cast<char*>(block);
  std::memcpy(block->bytes(), bytes, written);
  return block->bytes();
}

void* JBArena::carveSlow(std::size_t bytes, std::size_t alignment) {
  // A large piece that does not fit gets a chunk of its own, and the room left in the block stays
  // for the small pieces to come: a new block for it would leave that room unused for good.
  if (bytes >= kLargePiece && static_cast<std::size_t>(end_ - next_) >= kRoomWorthKeeping) {
    const std::size_t size = sizeof(Chunk) + bytes + alignment;
    void* memory = std::malloc(size);
    if (!memory) throw std::bad_alloc();
    auto* chunk = static_cast<Chunk*>(memory);
    chunk->next = chunks_;
    chunk->size = size;
    chunks_ = chunk;
    const auto at = reinterpret_cast<std::uintptr_t>(static_cast<char*>(memory) + sizeof(Chunk));
    return reinterpret_cast<void*>((at + alignment - 1) & ~(alignment - 1));
  }
  return carveFromNewBlock(bytes, alignment);
}

void* JBArena::carveFromNewBlock(std::size_t bytes, std::size_t alignment) {
  const std::size_t needed = sizeof(Chunk) + bytes + alignment;
  const std::size_t size = std::max(needed, kBlock);
  void* memory = size == kBlock ? pool().take() : std::malloc(size);
  if (!memory) throw std::bad_alloc();
  auto* block = static_cast<Chunk*>(memory);
  block->next = chunks_;
  block->size = size;
  chunks_ = block;
  next_ = static_cast<char*>(memory) + sizeof(Chunk);
  end_ = static_cast<char*>(memory) + size;
  return carve(bytes, alignment);
}

}  // namespace kavro
