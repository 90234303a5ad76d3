#include "platform/foundation/StringTable.h"

#include <utility>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"

namespace platform {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  bool run(std::vector<std::pair<std::string, std::string>>& entries) {
    while (true) {
      if (!skipBlanksAndComments()) return false;
      if (pos_ >= s_.size()) return true;
      std::string key;
      if (!token(key)) return false;
      if (!skipBlanksAndComments()) return false;
      std::string value;
      if (peek() == '=') {
        ++pos_;
        if (!skipBlanksAndComments()) return false;
        if (!token(value)) return false;
        if (!skipBlanksAndComments()) return false;
      } else {
        value = key;
      }
      if (peek() != ';') return fail("expected ';'");
      ++pos_;
      entries.emplace_back(std::move(key), std::move(value));
    }
  }

  std::string error() const { return "line " + std::to_string(line()) + ": " + error_; }

 private:
  char peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }

  bool fail(std::string what) {
    error_ = std::move(what);
    return false;
  }

  std::size_t line() const {
    std::size_t n = 1;
    for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i) n += s_[i] == '\n';
    return n;
  }

  bool skipBlanksAndComments() {
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (s_.compare(pos_, 2, "//") == 0) {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
      } else if (s_.compare(pos_, 2, "/*") == 0) {
        std::size_t end = s_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return fail("unterminated comment");
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  static bool isBareChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-' || c == '$' || c == '/' || c == ':';
  }

  bool token(std::string& out) {
    if (peek() == '"') return quoted(out);
    std::size_t start = pos_;
    while (pos_ < s_.size() && isBareChar(s_[pos_])) ++pos_;
    if (pos_ == start) return fail(pos_ < s_.size() ? "unexpected character" : "unexpected end of table");
    out.assign(s_.substr(start, pos_ - start));
    return true;
  }

  bool hex(std::size_t digits, char32_t& out) {
    out = 0;
    for (std::size_t i = 0; i < digits; ++i, ++pos_) {
      char c = peek();
      int d = c >= '0' && c <= '9'   ? c - '0'
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                     : -1;
      if (d < 0) return fail("bad \\u escape");
      out = out * 16 + static_cast<char32_t>(d);
    }
    return true;
  }

  bool quoted(std::string& out) {
    ++pos_;  // opening quote
    char16_t pendingHigh = 0;
    auto flushHigh = [&] {
      if (pendingHigh) out += toUtf8(char32_t{0xFFFD});
      pendingHigh = 0;
    };
    while (true) {
      if (pos_ >= s_.size()) return fail("unterminated string");
      char c = s_[pos_++];
      if (c == '"') break;
      if (c != '\\') {
        flushHigh();
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) return fail("unterminated string");
      char e = s_[pos_++];
      if (e == 'u' || e == 'U') {
        char32_t unit;
        if (!hex(4, unit)) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          flushHigh();
          pendingHigh = static_cast<char16_t>(unit);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF && pendingHigh) {
          out += toUtf8(0x10000 + ((static_cast<char32_t>(pendingHigh) - 0xD800) << 10) + (unit - 0xDC00));
          pendingHigh = 0;
        } else {
          flushHigh();
          out += toUtf8(unit >= 0xDC00 && unit <= 0xDFFF ? char32_t{0xFFFD} : unit);
        }
        continue;
      }
      flushHigh();
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'f':
          out += '\f';
          break;
        case 'v':
          out += '\v';
          break;
        case 'a':
          out += '\a';
          break;
        case 'b':
          out += '\b';
          break;
        default:
          out += e;
          break;  // \" \\ \' \/ and any other character stand for themselves
      }
    }
    flushHigh();
    return true;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  std::string error_;
};

// UTF-16 with a byte-order mark becomes UTF-8; a UTF-8 mark is dropped.
std::string decodeText(const Data& bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    bool little = bytes[0] == 0xFF;
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      units += little ? static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8))
                      : static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]);
    }
    return toUtf8(units);
  }
  std::string text = stringFromData(bytes);
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return text;
}

struct Bundle {
  platform::Mutex mutex;
  std::string preferred GUARDED_BY(mutex);
  // By full path; nullptr for a table that is missing or does not parse.
  std::unordered_map<std::string, std::shared_ptr<const StringTable>> tables GUARDED_BY(mutex);
  // The table a lookup found, by resource root, language and table name: a text asked for again
  // touches no file.
  std::unordered_map<std::string, std::shared_ptr<const StringTable>> found GUARDED_BY(mutex);
  std::string foundKey GUARDED_BY(mutex);  // the buffer a lookup's key is built in
};

Bundle& bundle() {
  // Kept to the end: the observer may be called while the process exits.
  static Bundle* b = [] {
    auto* made = new Bundle();
    // A language change may bring tables anew (a downloaded language): read them again.
    NotificationCenter::defaultCenter().addObserver(StringTable::LanguageChangedNotification, nullptr,
                                                    [](const Notification&) { StringTable::clearCache(); });
    return made;
  }();
  return *b;
}

}  // namespace

std::optional<StringTable> StringTable::parse(std::string_view text, std::string* error) {
  std::vector<std::pair<std::string, std::string>> entries;
  StringTable table;
  Parser parser(text);
  if (!parser.run(entries)) {
    if (error) *error = parser.error();
    return std::nullopt;
  }
  for (auto& [key, value] : entries) {
    auto it = table.values_.find(key);
    if (it == table.values_.end()) {
      table.keys_.push_back(key);
      table.values_.emplace(std::move(key), std::move(value));
    } else {
      it->second = std::move(value);
    }
  }
  return table;
}

std::optional<StringTable> StringTable::load(const std::string& path, std::string* error) {
  Error readError;
  auto bytes = FileManager::contentsAtPath(path, &readError);
  if (!bytes) {
    if (error) *error = readError.description();
    return std::nullopt;
  }
  return parse(decodeText(*bytes), error);
}

const std::string* StringTable::lookup(std::string_view key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

std::string StringTable::preferredLocalization() {
  platform::MutexLock lock(bundle().mutex);
  return bundle().preferred.empty() ? std::string(DevelopmentLocalization) : bundle().preferred;
}

void StringTable::setPreferredLocalization(std::string localization) {
  platform::MutexLock lock(bundle().mutex);
  bundle().preferred = std::move(localization);
}

void StringTable::clearCache() {
  platform::MutexLock lock(bundle().mutex);
  bundle().tables.clear();
  bundle().found.clear();
}

std::shared_ptr<const StringTable> StringTable::bundleTable(std::string_view table) {
  if (table.empty()) return nullptr;
  Bundle& b = bundle();
  std::string preferred, foundKey;
  {
    // Every localised text comes this way: one lock, and a key built in a kept buffer.
    platform::MutexLock lock(b.mutex);
    std::string& key = b.foundKey;
    key.clear();
    Environment::appendResourceRoot(key);
    key += '\0';
    preferred = b.preferred.empty() ? std::string(DevelopmentLocalization) : b.preferred;
    key += preferred;
    key += '\0';
    key += table;
    if (auto it = b.found.find(key); it != b.found.end()) return it->second;
    foundKey = key;
  }
  auto result = resolveTable(table, preferred);
  // A missing table is looked for again: it may be written later.
  if (!result) return nullptr;
  platform::MutexLock lock(b.mutex);
  b.found.emplace(std::move(foundKey), result);
  return result;
}

std::shared_ptr<const StringTable> StringTable::resolveTable(std::string_view table,
                                                             const std::string& preferred) {
  const std::string file = std::string(table) + ".strings";
  std::vector<std::string> names{preferred + ".lproj/" + file};
  if (preferred != DevelopmentLocalization)
    names.push_back(std::string(DevelopmentLocalization) + ".lproj/" + file);
  names.push_back(file);
  for (const auto& name : names) {
    auto path = Environment::resourcePath(name);
    if (!path) continue;
    std::shared_ptr<const StringTable> found;
    bool known = false;
    {
      platform::MutexLock lock(bundle().mutex);
      auto it = bundle().tables.find(*path);
      if (it != bundle().tables.end()) {
        known = true;
        found = it->second;
      }
    }
    if (!known) {
      if (auto parsed = load(*path)) found = std::make_shared<const StringTable>(std::move(*parsed));
      platform::MutexLock lock(bundle().mutex);
      bundle().tables.emplace(*path, found);
    }
    if (found) return found;
  }
  return nullptr;
}

std::string StringTable::localizedString(std::string_view key, std::string_view value,
                                         std::string_view table) {
  auto strings = bundleTable(table);
  const std::string* text = strings ? strings->lookup(key) : nullptr;
  return text ? *text : std::string(value);
}

}  // namespace platform
