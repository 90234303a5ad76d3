// String tables are read from the resource folders: any text parses to a table whose every key
// looks up, or is refused with the line that broke it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/foundation/StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > 1024 * 1024) return 0;
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  std::string error;
  auto table = platform::StringTable::parse(text, &error);
  if (!table) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (table->keys().size() != table->count()) std::abort();
  for (const std::string& key : table->keys())
    if (!table->lookup(key)) std::abort();
  return 0;
}
