// Server answers come off the network: any bytes must parse into a result, or end as a local
// error with a message, with well-formed records.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kit/core/DataLoadAndParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  auto loader =
      kavro::DataLoadAndParser::initWithData(std::string_view(reinterpret_cast<const char*>(bytes), size));
  auto result = loader->getResult();
  if (!loader->isFinished() || !result) std::abort();
  if (result->localError() && (!result->hasError() || result->message().empty())) std::abort();
  for (const auto& row : result->dataList()) {
    if (!row) std::abort();
    row->getParamString();
  }
  result->detailInfo()->getParamString();
  return 0;
}
