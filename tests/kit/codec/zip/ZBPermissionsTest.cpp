#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/codec/zip/ZBFileArchive.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

// Archives written by Python's zipfile and by Info-ZIP, each holding perms/ 0755 with plain.txt
// 0644, tool.sh 0755, setuid 04755, shared/ 0755, private/ 0750 and private/inner.txt 0640.
const char* const kArchives[] = {"perms-python.zip", "perms-infozip.zip"};

std::string fixture(const std::string& name) {
  return std::string(KAVRO_SOURCE_DIR) + "/tests/fixtures/zip/" + name;
}

class ZBPermissionsTest : public test::VirtualRunLoopTest {
 protected:
  void SetUp() override { saved_ = ::umask(022); }
  void TearDown() override { ::umask(saved_); }

  std::string path(const std::string& name) const { return dir_.path() + "/" + name; }
  unsigned mode(const std::string& name) const {
    struct stat st;
    return ::lstat(path(name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFFFFFFu;
  }
  void expectEntryModes(const std::string& top, const std::string& archive, mode_t umask) {
    SCOPED_TRACE(archive + " under umask 0" + std::to_string(umask));
    EXPECT_EQ(mode(top), 0755u & ~umask);
    EXPECT_EQ(mode(top + "/plain.txt"), 0644u & ~umask);
    EXPECT_EQ(mode(top + "/tool.sh"), 0755u & ~umask);
    EXPECT_EQ(mode(top + "/setuid"), 0755u & ~umask);  // never setuid from an archive
    EXPECT_EQ(mode(top + "/shared"), 0755u & ~umask);
    EXPECT_EQ(mode(top + "/private"), 0750u & ~umask);
    EXPECT_EQ(mode(top + "/private/inner.txt"), 0640u & ~umask);
  }

  test::TempDir dir_;
  mode_t saved_ = 022;
};

TEST_F(ZBPermissionsTest, ExpandedEntriesKeepTheirPermissionsLessTheUmask) {
  for (mode_t umask : {mode_t{022}, mode_t{077}}) {
    ::umask(umask);
    for (const char* archive : kArchives) {
      std::string folder = "file-" + std::to_string(umask) + "-" + archive;
      std::filesystem::create_directories(path(folder));
      std::filesystem::copy_file(fixture(archive), path(folder + "/a.zip"));
      ASSERT_TRUE(ZBFileArchive::process(path(folder + "/a.zip"), false, std::shared_ptr<ZBInvoker>{},
                                         std::shared_ptr<ZBArchiveDelegate>{}))
          << archive;
      runFor(0);
      expectEntryModes(folder + "/perms", archive, umask);

      std::string memory = "data-" + std::to_string(umask) + "-" + archive;
      std::filesystem::create_directories(path(memory));
      std::shared_ptr<ZBDataArchive> parsed = ZBDataArchive::archiveWithArchivePath(fixture(archive));
      ASSERT_TRUE(parsed) << archive;
      ASSERT_EQ(parsed->inflateInFolder(path(memory)), 1) << archive;
      expectEntryModes(memory + "/perms", archive, umask);
    }
  }
}

}  // namespace
}  // namespace kavro
