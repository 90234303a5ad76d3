#pragma once
#include <string_view>

#include "kit/core/DataKavroDB.h"

namespace kavro {

// The core store, "KavroCoreData.db": settings, login state, histories, and the usage counters
// in USER_TRACE (one row per tracking point: its count and the count at the last report).
class DataAppCoreDB : public DataKavroDB {
 public:
  static constexpr std::string_view FileName = "KavroCoreData.db";
  DataAppCoreDB();
  std::string_view TABLE_USER_TRACE() const { return "USER_TRACE"; }

 protected:
  void madeAnew() override;
};

}  // namespace kavro
