#pragma once
#include <string_view>

#include "kit/core/DataKavroDB.h"

namespace kavro {

// The cache store, "KavroCacheData.db": server answers kept for a while, images, form caches.
class DataAppCacheDB : public DataKavroDB {
 public:
  static constexpr std::string_view FileName = "KavroCacheData.db";
  DataAppCacheDB() : DataKavroDB(FileName) {}
};

}  // namespace kavro
