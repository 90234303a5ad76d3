#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/foundation/Environment.h"
#include "platform/system/Pasteboard.h"
#include "tests/support/TempHome.h"

namespace platform {
namespace {

unsigned modeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

TEST(PasteboardModesTest, WhatIsCopiedIsReadableByItsOwnerOnly) {
  kavro::test::TempHome home;
  auto board = Pasteboard::pasteboardWithName("board", true);
  ASSERT_NE(board, nullptr);
  ASSERT_TRUE(board->setData(Data{1, 2, 3}, "type"));
  std::string folder = Environment::libraryPath() + "/Pasteboards";
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_EQ(modeOf(folder + "/board"), 0700u);
  EXPECT_EQ(modeOf(folder + "/board/type"), 0600u);
}

}  // namespace
}  // namespace platform
