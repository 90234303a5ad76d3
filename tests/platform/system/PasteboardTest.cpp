#include <gtest/gtest.h>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/system/Pasteboard.h"
#include "tests/support/TempHome.h"

namespace platform {
namespace {

TEST(PasteboardTest, NamedPasteboardIsMadeOnDemandAndPersists) {
  kavro::test::TempHome home;
  EXPECT_EQ(Pasteboard::pasteboardWithName("board", false), nullptr);
  EXPECT_EQ(Pasteboard::pasteboardWithName("", true), nullptr);
  auto board = Pasteboard::pasteboardWithName("board", true);
  ASSERT_NE(board, nullptr);
  EXPECT_FALSE(board->dataForPasteboardType("type"));
  EXPECT_TRUE(board->setData(Data{1, 2, 3}, "type"));
  EXPECT_FALSE(board->setData(Data{1}, ""));

  // Another object for the same name sees the same data.
  auto again = Pasteboard::pasteboardWithName("board", false);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->dataForPasteboardType("type"), (Data{1, 2, 3}));
  EXPECT_TRUE(FileManager::fileExistsAtPath(Environment::libraryPath() + "/Pasteboards/board/type"));

  // No name is no pasteboard, not all of them.
  Pasteboard::removePasteboardWithName("");
  EXPECT_EQ(Pasteboard::pasteboardWithName("board", false)->dataForPasteboardType("type"), (Data{1, 2, 3}));

  Pasteboard::removePasteboardWithName("board");
  EXPECT_EQ(Pasteboard::pasteboardWithName("board", false), nullptr);
  EXPECT_FALSE(board->dataForPasteboardType("type"));
}

TEST(PasteboardTest, NamesCannotLeaveTheirFolder) {
  kavro::test::TempHome home;
  for (const char* name : {"..", "../escape", "a/b", ".hidden"}) {
    auto board = Pasteboard::pasteboardWithName(name, true);
    ASSERT_NE(board, nullptr) << name;
    EXPECT_TRUE(board->setData(Data{9}, "../../type")) << name;
    EXPECT_EQ(board->dataForPasteboardType("../../type"), Data{9}) << name;
  }
  auto entries = FileManager::contentsOfDirectoryAtPath(Environment::libraryPath() + "/Pasteboards");
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->size(), 4u);
  EXPECT_FALSE(FileManager::fileExistsAtPath(Environment::libraryPath() + "/escape"));
  EXPECT_FALSE(FileManager::fileExistsAtPath(Environment::homeRoot() + "/type"));
}

}  // namespace
}  // namespace platform
