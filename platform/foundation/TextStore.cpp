#include "platform/foundation/TextStore.h"

namespace platform {

const std::string& TextStore::stringFor(const Block& block) {
  if (const std::string* s = block.string_.load(std::memory_order_acquire)) return *s;
  auto* made = new Made{std::string(block.view()), nullptr};
  const std::string* expected = nullptr;
  if (!block.string_.compare_exchange_strong(expected, &made->string, std::memory_order_acq_rel,
                                             std::memory_order_acquire)) {
    delete made;  // another thread made it first
    return *expected;
  }
  Made* head = made_.load(std::memory_order_relaxed);
  do {
    made->next = head;
  } while (!made_.compare_exchange_weak(head, made, std::memory_order_release, std::memory_order_relaxed));
  return made->string;
}

TextStore::~TextStore() {
  for (Made* m = made_.load(std::memory_order_acquire); m;) {
    Made* next = m->next;
    delete m;
    m = next;
  }
}

}  // namespace platform
