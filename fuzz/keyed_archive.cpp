// Keyed archives come from disk (preferences, record caches) and the pasteboard: any bytes must
// decode to a value or to nothing. What decodes must archive again, and that archive must read
// back to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace {

using namespace platform;

// Keeps everything its coder offered, so re-archiving exercises keyed and unkeyed values.
class Echo : public Object, public Coding {
 public:
  std::vector<std::pair<std::string, Value>> keyed;
  std::vector<Value> unkeyed;
  std::string classForCoder() const override { return "Echo"; }
  void encodeWithCoder(KeyedArchiver& coder) const override {
    for (const auto& v : unkeyed) coder.encodeObject(v);
    for (const auto& [k, v] : keyed) coder.encodeObject(v, k);
  }
};

ObjectPtr decodeEcho(KeyedUnarchiver& coder) {
  auto e = std::make_shared<Echo>();
  for (const char* key : {"a", "b", "count", "name", "data"}) {
    if (coder.containsValueForKey(key)) e->keyed.emplace_back(key, coder.decodeObjectForKey(key));
  }
  coder.decodeIntForKey("count");
  coder.decodeStringForKey("name");
  coder.decodeBytesForKey("data");
  for (Value v = coder.decodeObject(); !v.isNull(); v = coder.decodeObject()) e->unkeyed.push_back(v);
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const bool registered = [] {
    KeyedUnarchiver::setClass(&decodeEcho, "Echo");
    return true;
  }();
  (void)registered;
  auto value = KeyedUnarchiver::unarchiveObjectWithData(Data(bytes, bytes + size));
  if (!value) return 0;
  Data again = KeyedArchiver::archivedDataWithRootObject(*value);
  if (again.empty()) std::abort();
  auto second = KeyedUnarchiver::unarchiveObjectWithData(again);
  if (!second || KeyedArchiver::archivedDataWithRootObject(*second) != again) std::abort();
  return 0;
}
