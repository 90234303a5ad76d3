#pragma once
#include <cstdint>

namespace kavro {

// Empties the cache and dictionary stores on the user's request and reports their size; the core
// store (settings, login, histories) is never touched. Class functions only. Main thread.
class DataBaseCacheClean {
 public:
  // Empties the value tables of the dictionary store, then of the cache store, compacting each file.
  static void cleanAllDBCache();
  // The size of the value tables of both stores, in bytes.
  static std::int64_t getAllCacheSize();
};

}  // namespace kavro
