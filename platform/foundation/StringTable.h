#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// A table of localised texts as the bundle ships them: UTF-8 (or UTF-16 with a byte-order mark)
// entries `"key" = "value";`, with /* */ and // comments. Keys and values are quoted with the
// escapes \" \\ \n \t \r \uXXXX, or bare words of letters, digits and _ . - $ / :; `"key";` alone
// means the key is its own value. A later entry for a key replaces an earlier one.
class StringTable {
 public:
  // The development localisation: where a table is looked for when the preferred one lacks it.
  static constexpr std::string_view DevelopmentLocalization = "zh-Hans";
  static constexpr std::string_view DefaultTable = "Localizable";
  // Posted when the user's language changes: the tables are read again.
  static constexpr std::string_view LanguageChangedNotification = "languageChangedNotify";

  StringTable() = default;
  // None when the text breaks the syntax; *error then tells the line and what was wrong.
  static std::optional<StringTable> parse(std::string_view text, std::string* error = nullptr);
  static std::optional<StringTable> load(const std::string& path, std::string* error = nullptr);

  // nullptr when absent.
  const std::string* lookup(std::string_view key) const;
  std::size_t count() const { return keys_.size(); }
  // In the order first seen.
  const std::vector<std::string>& keys() const { return keys_; }

  // The bundle's text for key in the named table, value when the key or the table is absent.
  // The table is "<table>.strings", taken from the first of "<preferred>.lproj/",
  // "<development>.lproj/" and the resource root that has it; a table that does not parse counts
  // as absent. Tables are read once and kept, and so is which one serves a language (any thread),
  // until clearCache() or a LanguageChangedNotification.
  static std::string localizedString(std::string_view key, std::string_view value,
                                     std::string_view table = DefaultTable);
  // The table that localizedString() reads, or nullptr.
  static std::shared_ptr<const StringTable> bundleTable(std::string_view table = DefaultTable);
  // The user's language ("zh-Hans" unless set; "" goes back to that).
  static std::string preferredLocalization();
  static void setPreferredLocalization(std::string localization);
  // Forgets the tables read so far (tests that write tables).
  static void clearCache();

 private:
  static std::shared_ptr<const StringTable> resolveTable(std::string_view table,
                                                         const std::string& preferred);
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::string, Hash, std::equal_to<>> values_;
  std::vector<std::string> keys_;
};

}  // namespace platform
