#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace platform {

// A named pasteboard that persists: its data by type in files under the home root
// (Library/Pasteboards/<name>/<type>), so it outlives the process and the application's other
// data. Names and types are stored percent-escaped, so any text is a safe name. The files are the
// only state: two objects for one name see the same data. Safe from any thread.
class Pasteboard {
 public:
  // The pasteboard of that name; when missing it is made if create is set, else nullptr.
  // nullptr for an empty name.
  static std::shared_ptr<Pasteboard> pasteboardWithName(std::string_view name, bool create);
  // Removes the pasteboard and everything on it.
  static void removePasteboardWithName(std::string_view name);

  const std::string& name() const { return name_; }
  // Replaces the data of that type (atomically). False when it could not be written.
  bool setData(const Data& data, std::string_view pasteboardType);
  // None when the pasteboard holds nothing of that type.
  std::optional<Data> dataForPasteboardType(std::string_view pasteboardType) const;

 private:
  // Only the class names it: a pasteboard comes from pasteboardWithName, which makes its folder.
  struct Token {
    explicit Token() = default;
  };

 public:
  Pasteboard(Token, std::string name, std::string folder)
      : name_(std::move(name)), folder_(std::move(folder)) {}

 private:
  std::string name_;
  std::string folder_;
};

}  // namespace platform
