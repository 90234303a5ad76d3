#include "kit/http/NetHeaderDictionary.h"

namespace kavro {

using platform::HTTPMessage;

NetHeaderDictionary::NetHeaderDictionary(std::vector<platform::HTTPHeaderField> fields) {
  for (auto& f : fields) set(f.name, f.value);
}

std::optional<std::string> NetHeaderDictionary::value(std::string_view name) const {
  for (const auto& f : fields_)
    if (HTTPMessage::equalsIgnoringCase(f.name, name)) return f.value;
  return std::nullopt;
}

void NetHeaderDictionary::set(std::string_view name, std::string_view value) {
  for (auto& f : fields_)
    if (HTTPMessage::equalsIgnoringCase(f.name, name)) {
      f.value = std::string(value);
      return;
    }
  fields_.push_back({std::string(name), std::string(value)});
}

void NetHeaderDictionary::remove(std::string_view name) {
  std::erase_if(fields_, [&](const platform::HTTPHeaderField& f) {
    return HTTPMessage::equalsIgnoringCase(f.name, name);
  });
}

}  // namespace kavro
