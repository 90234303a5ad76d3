#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

TEST(StringTableTest, ParsesEntriesCommentsAndEscapes) {
  auto table = StringTable::parse(R"(
    /* a comment
       over lines */
    "plain" = "text";   // trailing comment
    "quote" = "say \"hi\"\n\tnow\\";
    "unicode" = "\u4E0A\u6D77 \uD83D\uDE00";
    bare_key = bare.value;
    "self";
    "plain" = "replaced";
    "utf8" = "上海";
  )");
  ASSERT_TRUE(table);
  EXPECT_EQ(*table->lookup("plain"), "replaced");
  EXPECT_EQ(*table->lookup("quote"), "say \"hi\"\n\tnow\\");
  EXPECT_EQ(*table->lookup("unicode"), "上海 😀");
  EXPECT_EQ(*table->lookup("bare_key"), "bare.value");
  EXPECT_EQ(*table->lookup("self"), "self");
  EXPECT_EQ(*table->lookup("utf8"), "上海");
  EXPECT_EQ(table->lookup("absent"), nullptr);
  EXPECT_EQ(table->keys(),
            (std::vector<std::string>{"plain", "quote", "unicode", "bare_key", "self", "utf8"}));
}

TEST(StringTableTest, BrokenSyntaxIsRefusedWithItsLine) {
  std::string error;
  EXPECT_FALSE(StringTable::parse("\"a\" = \"b\";\n\"c\" = \"d\"\n", &error));
  EXPECT_EQ(error, "line 3: expected ';'");
  for (const char* bad :
       {"\"a\" = \"unterminated;", "\"a\" = ;", "/* open", "\"a\" = \"\\u12G4\";", "= \"x\";"}) {
    EXPECT_FALSE(StringTable::parse(bad)) << bad;
  }
  auto empty = StringTable::parse("  // nothing here\n");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->count(), 0u);
}

TEST(StringTableTest, BundleLookupPrefersTheUserLanguageThenDevelopmentThenRoot) {
  kavro::test::TempDir dir;
  std::string previous = Environment::setResourceRoot(dir.path());
  StringTable::clearCache();
  auto write = [&](const std::string& name, const std::string& text) {
    auto slash = name.rfind('/');
    if (slash != std::string::npos)
      FileManager::createDirectoryAtPath(dir.path() + "/" + name.substr(0, slash), true);
    std::ofstream(dir.path() + "/" + name) << text;
  };
  write("zh-Hans.lproj/Localizable.strings", "\"k\" = \"中\";");
  write("en.lproj/Localizable.strings", "\"k\" = \"en\";");
  write("fr.lproj/Localizable.strings", "\"k\" = broken");
  write("Other.strings", "\"o\" = \"root\";");
  // UTF-16 with a byte-order mark, as tables are often saved.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("\"w\" = \"wide\";")) utf16 += std::string{c, '\0'};
  write("en.lproj/Wide.strings", utf16);

  EXPECT_EQ(StringTable::localizedString("k", ""), "中");
  EXPECT_EQ(StringTable::localizedString("missing", "dflt"), "dflt");
  EXPECT_EQ(StringTable::localizedString("o", "", "Other"), "root");
  EXPECT_EQ(StringTable::localizedString("x", "none", "Absent"), "none");
  StringTable::setPreferredLocalization("en");
  EXPECT_EQ(StringTable::localizedString("k", ""), "en");
  EXPECT_EQ(StringTable::localizedString("w", "", "Wide"), "wide");
  StringTable::setPreferredLocalization("fr");  // its table is broken: the development one serves
  EXPECT_EQ(StringTable::localizedString("k", ""), "中");

  StringTable::setPreferredLocalization("");
  Environment::setResourceRoot(previous);
  StringTable::clearCache();
}

TEST(StringTableTest, TablesAreReadOnceUntilTheLanguageChanges) {
  kavro::test::TempDir dir;
  std::string previous = Environment::setResourceRoot(dir.path());
  StringTable::clearCache();
  const std::string path = dir.path() + "/zh-Hans.lproj/Localizable.strings";
  FileManager::createDirectoryAtPath(dir.path() + "/zh-Hans.lproj", true);
  std::ofstream(path) << "\"k\" = \"old\";";
  EXPECT_EQ(StringTable::localizedString("k", ""), "old");
  std::filesystem::remove(path);
  EXPECT_EQ(StringTable::localizedString("k", ""), "old") << "kept: the file is not looked at again";

  // A language change brings its tables anew.
  std::ofstream(path) << "\"k\" = \"new\";";
  NotificationCenter::defaultCenter().post(StringTable::LanguageChangedNotification);
  EXPECT_EQ(StringTable::localizedString("k", ""), "new");
  Environment::setResourceRoot(previous);
  StringTable::clearCache();
}

}  // namespace
}  // namespace platform
