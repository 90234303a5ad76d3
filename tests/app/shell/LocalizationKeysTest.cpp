#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "platform/foundation/StringTable.h"

namespace {

namespace fs = std::filesystem;

// Every key the code looks up with a literal: getLocalizedString("key").
std::set<std::string> keysUsedInCode() {
  const std::regex call(R"(getLocalizedString\(\s*"([^"\\]+)\"\s*\))");
  std::set<std::string> keys;
  for (const char* folder : {"kit", "app", "mapsdk", "tools"}) {
    fs::path root = fs::path(KAVRO_SOURCE_DIR) / folder;
    if (!fs::exists(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      auto ext = entry.path().extension();
      if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      std::string source = text.str();
      for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it)
        keys.insert((*it)[1]);
    }
  }
  return keys;
}

platform::StringTable table(const std::string& relative) {
  std::string error;
  auto t = platform::StringTable::load(std::string(KAVRO_SOURCE_DIR) + "/resources/" + relative, &error);
  EXPECT_TRUE(t) << relative << ": " << error;
  return t.value_or(platform::StringTable());
}

TEST(LocalizationKeysTest, EveryKeyUsedInCodeHasATextInEveryLanguage) {
  auto chinese = table("zh-Hans.lproj/Localizable.strings");
  auto english = table("en.lproj/Localizable.strings");
  for (const auto& key : keysUsedInCode()) {
    EXPECT_NE(chinese.lookup(key), nullptr) << "zh-Hans lacks " << key;
    EXPECT_NE(english.lookup(key), nullptr) << "en lacks " << key;
  }
}

TEST(LocalizationKeysTest, TablesAgreeOnTheirKeys) {
  auto chinese = table("zh-Hans.lproj/Localizable.strings");
  auto english = table("en.lproj/Localizable.strings");
  auto resume = table("Localizable.Resume.EN.strings");
  EXPECT_EQ(std::set<std::string>(chinese.keys().begin(), chinese.keys().end()),
            std::set<std::string>(english.keys().begin(), english.keys().end()));
  for (const auto& key : resume.keys()) {
    EXPECT_NE(chinese.lookup(key), nullptr)
        << "the English resume table has a key the default table lacks: " << key;
  }
  for (const auto& key : chinese.keys()) EXPECT_FALSE(chinese.lookup(key)->empty()) << key;
}

}  // namespace
