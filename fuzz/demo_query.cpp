// The demo server reads whatever the runner's user types into a query: any call and query give
// either no answer or an answer the client reads without a parse error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kit/core/DataLoadAndParser.h"
#include "demo/DemoApi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const auto api = kavro::test::DemoApi::load(kavro::test::DemoApi::defaultSampleRoot());
  if (!api) std::abort();
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  std::size_t line = text.find('\n');
  std::string_view call = text.substr(0, line);
  std::string_view query = line == std::string_view::npos ? std::string_view() : text.substr(line + 1);
  auto answer = api->answer(call, kavro::test::DemoApi::parseParams(query));
  if (!answer) return 0;
  auto result = kavro::DataLoadAndParser::initWithData(*answer)->getResult();
  if (!result || result->localError()) std::abort();
  return 0;
}
