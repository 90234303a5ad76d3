#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kit/core/DataSQLiteDB.h"
#include "kit/core/FSManager.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

unsigned modeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

TEST(DataSQLiteDBModes, DatabaseFilesAreTheOwnersAloneAlsoWhenLeftOpenBefore) {
  test::TempHome home;
  {
    DataSQLiteDB db("private.db");
    ASSERT_TRUE(db.isOpen());
    ASSERT_TRUE(db.execSQL("CREATE TABLE t(a)"));
  }
  auto path = FSManager::getDbFullPath("private.db");
  ASSERT_TRUE(path);
  EXPECT_EQ(modeOf(*path), 0600u);

  ::chmod(path->c_str(), 0644);
  {
    DataSQLiteDB db("private.db");
    ASSERT_TRUE(db.isOpen());
    EXPECT_TRUE(db.execSQL("INSERT INTO t VALUES (1)"));
  }
  EXPECT_EQ(modeOf(*path), 0600u);
  std::string folder = path->substr(0, path->rfind('/'));
  EXPECT_EQ(modeOf(folder) & 077, 0u);
}

}  // namespace
}  // namespace kavro
