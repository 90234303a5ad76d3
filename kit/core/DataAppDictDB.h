#pragma once
#include <string_view>

#include "kit/core/DataKavroDB.h"

namespace kavro {

// The dictionary store, "KavroDictData.db": the data dictionaries the pickers show.
class DataAppDictDB : public DataKavroDB {
 public:
  static constexpr std::string_view FileName = "KavroDictData.db";
  DataAppDictDB() : DataKavroDB(FileName) {}
};

}  // namespace kavro
