#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/net/HTTPMessage.h"

namespace kavro {

// HTTP header fields by name: names compare without regard to case, entries keep the order in
// which they were first set, and setting a name again replaces its value in place. A value type.
class NetHeaderDictionary {
 public:
  NetHeaderDictionary() = default;
  explicit NetHeaderDictionary(std::vector<platform::HTTPHeaderField> fields);

  std::optional<std::string> value(std::string_view name) const;
  bool contains(std::string_view name) const { return value(name).has_value(); }
  void set(std::string_view name, std::string_view value);
  void remove(std::string_view name);
  void clear() { fields_.clear(); }

  std::size_t count() const { return fields_.size(); }
  bool empty() const { return fields_.empty(); }
  const std::vector<platform::HTTPHeaderField>& fields() const { return fields_; }
  auto begin() const { return fields_.begin(); }
  auto end() const { return fields_.end(); }

  bool operator==(const NetHeaderDictionary&) const = default;

 private:
  std::vector<platform::HTTPHeaderField> fields_;
};

}  // namespace kavro
