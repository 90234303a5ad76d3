#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <ctime>
#include <thread>

#include "platform/foundation/FileManager.h"
#include "tests/support/TempDir.h"

using namespace platform;
using kavro::test::TempDir;

namespace {

Data bytes(std::string_view s) { return dataFromString(s); }

std::string readText(const std::string& path) {
  auto d = FileManager::contentsAtPath(path);
  return d ? stringFromData(*d) : std::string("<missing>");
}

}  // namespace

TEST(FileManager, CreatesFoldersWithOrWithoutIntermediates) {
  TempDir tmp;
  std::string deep = tmp.path() + "/a/b/c";
  Error error;
  EXPECT_FALSE(FileManager::createDirectoryAtPath(deep, false, &error));
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_EQ(error.domain, POSIXErrorDomain);

  ASSERT_TRUE(FileManager::createDirectoryAtPath(deep, true));
  bool isDir = false;
  EXPECT_TRUE(FileManager::fileExistsAtPath(deep, &isDir));
  EXPECT_TRUE(isDir);
  // An existing folder is fine only when intermediates are allowed.
  EXPECT_TRUE(FileManager::createDirectoryAtPath(deep, true));
  EXPECT_FALSE(FileManager::createDirectoryAtPath(deep, false, &error));
  EXPECT_EQ(error.code, EEXIST);

  std::string file = tmp.path() + "/file";
  ASSERT_TRUE(FileManager::createFileAtPath(file, bytes("x")));
  EXPECT_FALSE(FileManager::createDirectoryAtPath(file, true));
  EXPECT_FALSE(FileManager::createDirectoryAtPath(file + "/below", true));
  EXPECT_FALSE(FileManager::createDirectoryAtPath("", true));
}

TEST(FileManager, AtomicWriteReplacesContentAndLeavesNoTemporaryFile) {
  TempDir tmp;
  std::string path = tmp.path() + "/prefs.bin";
  ASSERT_TRUE(FileManager::createFileAtPath(path, bytes("old content")));
  EXPECT_EQ(readText(path), "old content");
  EXPECT_EQ(FileManager::attributesOfItemAtPath(path)->posixPermissions, 0600u);

  ::chmod(path.c_str(), 0644);
  ASSERT_TRUE(FileManager::createFileAtPath(path, bytes("new")));
  EXPECT_EQ(readText(path), "new");
  EXPECT_EQ(FileManager::attributesOfItemAtPath(path)->posixPermissions, 0600u);
  EXPECT_EQ(*FileManager::contentsOfDirectoryAtPath(tmp.path()), std::vector<std::string>{"prefs.bin"});

  ASSERT_TRUE(FileManager::createFileAtPath(path, Data()));
  auto empty = FileManager::contentsAtPath(path);
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());

  // A name at the limit still gets a temporary file beside it.
  std::string longName = tmp.path() + "/" + std::string(250, 'n');
  EXPECT_TRUE(FileManager::createFileAtPath(longName, bytes("long")));
  EXPECT_EQ(readText(longName), "long");
}

TEST(FileManager, AtomicWriteRefusesMissingFolderAndFolderTarget) {
  TempDir tmp;
  Error error;
  EXPECT_FALSE(FileManager::createFileAtPath(tmp.path() + "/missing/file", bytes("x"), &error));
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_FALSE(FileManager::fileExistsAtPath(tmp.path() + "/missing"));

  std::string folder = tmp.path() + "/folder";
  ASSERT_TRUE(FileManager::createDirectoryAtPath(folder, false));
  EXPECT_FALSE(FileManager::createFileAtPath(folder, bytes("x"), &error));
  EXPECT_EQ(error.code, EISDIR);
  EXPECT_EQ(*FileManager::contentsOfDirectoryAtPath(tmp.path()), std::vector<std::string>{"folder"});
}

TEST(FileManager, AtomicWriteRefusesWhatIsNotARegularFile) {
  TempDir tmp;
  std::string pipe = tmp.path() + "/pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string link = tmp.path() + "/link";
  ASSERT_EQ(::symlink(pipe.c_str(), link.c_str()), 0);
  for (const std::string& path : {pipe, link}) {
    Error error;
    EXPECT_FALSE(FileManager::createFileAtPath(path, bytes("png"), &error)) << path;
    EXPECT_NE(error.localizedDescription.find("not a regular file"), std::string::npos) << path;
  }
  struct stat st;
  ASSERT_EQ(::lstat(pipe.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(FileManager::contentsOfDirectoryAtPath(tmp.path())->size(), 2u);

  // A link to a regular file is still replaced.
  std::string file = tmp.path() + "/file";
  ASSERT_TRUE(FileManager::createFileAtPath(file, bytes("a")));
  std::string fileLink = tmp.path() + "/file-link";
  ASSERT_EQ(::symlink(file.c_str(), fileLink.c_str()), 0);
  EXPECT_TRUE(FileManager::createFileAtPath(fileLink, bytes("b")));
  EXPECT_EQ(readText(fileLink), "b");
}

TEST(FileManager, FailedWriteKeepsTheOldContent) {
  TempDir tmp;
  std::string path = tmp.path() + "/store";
  ASSERT_TRUE(FileManager::createFileAtPath(path, bytes("previous")));

  // The write dies part-way: the file size limit stops it after 1 KiB.
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  Error error;
  bool written = FileManager::createFileAtPath(path, Data(64 * 1024, 'z'), &error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(error.code, EFBIG);
  EXPECT_EQ(readText(path), "previous");
  EXPECT_EQ(*FileManager::contentsOfDirectoryAtPath(tmp.path()), std::vector<std::string>{"store"});
}

TEST(FileManager, ReaderSeesOnlyWholeVersionsDuringRewrites) {
  TempDir tmp;
  std::string path = tmp.path() + "/shared";
  const std::string a(3000, 'a');
  const std::string b(17, 'b');
  ASSERT_TRUE(FileManager::createFileAtPath(path, bytes(a)));

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      std::string seen = readText(path);
      if (seen != a && seen != b) ++torn;
    }
  });
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(FileManager::createFileAtPath(path, bytes(i % 2 ? a : b)));
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);
}

TEST(FileManager, ListsWalksAndMeasures) {
  TempDir tmp;
  const std::string& root = tmp.path();
  ASSERT_TRUE(FileManager::createDirectoryAtPath(root + "/sub/deeper", true));
  ASSERT_TRUE(FileManager::createDirectoryAtPath(root + "/empty", false));
  ASSERT_TRUE(FileManager::createFileAtPath(root + "/b.txt", bytes("abc")));
  ASSERT_TRUE(FileManager::createFileAtPath(root + "/sub/a.bin", Data(1000, 7)));
  ASSERT_TRUE(FileManager::createFileAtPath(root + "/sub/deeper/z", Data()));
  ASSERT_EQ(::symlink("sub", (root + "/link").c_str()), 0);

  EXPECT_EQ(*FileManager::contentsOfDirectoryAtPath(root),
            (std::vector<std::string>{"b.txt", "empty", "link", "sub"}));
  auto walk = FileManager::subpathsOfDirectoryAtPath(root);
  ASSERT_TRUE(walk);
  // The link is listed, not followed.
  EXPECT_EQ(*walk, (std::vector<std::string>{"b.txt", "empty", "link", "sub", "sub/a.bin", "sub/deeper",
                                             "sub/deeper/z"}));

  std::int64_t fileBytes = 0;
  for (const auto& rel : *walk) {
    auto attrs = FileManager::attributesOfItemAtPath(root + "/" + rel);
    ASSERT_TRUE(attrs) << rel;
    if (attrs->type == FileType::Regular) fileBytes += attrs->size;
  }
  EXPECT_EQ(fileBytes, 1003);

  auto link = FileManager::attributesOfItemAtPath(root + "/link");
  EXPECT_EQ(link->type, FileType::SymbolicLink);
  bool isDir = false;
  EXPECT_TRUE(FileManager::fileExistsAtPath(root + "/link", &isDir));
  EXPECT_TRUE(isDir);
  EXPECT_EQ(FileManager::attributesOfItemAtPath(root + "/sub")->type, FileType::Directory);
  EXPECT_TRUE(FileManager::subpathsOfDirectoryAtPath(root + "/empty")->empty());

  Error error;
  EXPECT_FALSE(FileManager::subpathsOfDirectoryAtPath(root + "/nothing", &error));
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_FALSE(FileManager::contentsOfDirectoryAtPath(root + "/b.txt", &error));
  EXPECT_EQ(error.code, ENOTDIR);
}

TEST(FileManager, AttributesAndAccessChecks) {
  TempDir tmp;
  std::string path = tmp.path() + "/f";
  double before = static_cast<double>(std::time(nullptr));
  ASSERT_TRUE(FileManager::createFileAtPath(path, bytes("12345")));
  auto attrs = FileManager::attributesOfItemAtPath(path);
  ASSERT_TRUE(attrs);
  EXPECT_EQ(attrs->type, FileType::Regular);
  EXPECT_EQ(attrs->size, 5);
  EXPECT_GE(attrs->modificationDate, before - 5);
  EXPECT_LE(attrs->modificationDate, before + 60);
  EXPECT_GT(attrs->creationDate, 0);
  EXPECT_LE(attrs->creationDate, attrs->modificationDate + 1);

  EXPECT_TRUE(FileManager::isReadableFileAtPath(path));
  EXPECT_TRUE(FileManager::isWritableFileAtPath(path));
  EXPECT_TRUE(FileManager::isDeletableFileAtPath(path));
  EXPECT_FALSE(FileManager::isReadableFileAtPath(path + "x"));
  EXPECT_FALSE(FileManager::isWritableFileAtPath(path + "x"));
  EXPECT_FALSE(FileManager::isDeletableFileAtPath(path + "x"));
  EXPECT_FALSE(FileManager::fileExistsAtPath(""));

  Error error;
  EXPECT_FALSE(FileManager::attributesOfItemAtPath(path + "x", &error));
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_NE(error.localizedDescription.find(path + "x"), std::string::npos);
}

TEST(FileManager, ReadsOnlyRegularFiles) {
  TempDir tmp;
  Error error;
  EXPECT_FALSE(FileManager::contentsAtPath(tmp.path() + "/none", &error));
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_FALSE(FileManager::contentsAtPath(tmp.path(), &error));
  EXPECT_EQ(error.code, EISDIR);
  Data big(200 * 1024);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31);
  ASSERT_TRUE(FileManager::createFileAtPath(tmp.path() + "/big", big));
  EXPECT_EQ(*FileManager::contentsAtPath(tmp.path() + "/big"), big);
}

TEST(FileManager, WorksInAProcessStartedWithoutStandardInput) {
  // Started with standard input closed (as a service may be), the first file opened gets
  // descriptor 0: a valid one.
  TempDir tmp;
  const int saved = ::dup(0);
  ASSERT_GE(saved, 0);
  ::close(0);
  const bool written = FileManager::createFileAtPath(tmp.path() + "/f", dataFromString("zero"));
  const auto read = FileManager::contentsAtPath(tmp.path() + "/f");
  const int first = ::open(tmp.path().c_str(), O_RDONLY);  // which descriptor a file gets now
  if (first >= 0) ::close(first);
  ::dup2(saved, 0);
  ::close(saved);
  EXPECT_TRUE(written);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, dataFromString("zero"));
  EXPECT_EQ(first, 0) << "descriptor 0 was free for the reads above";
}

TEST(FileManager, RemovesFilesLinksAndTrees) {
  TempDir tmp;
  const std::string& root = tmp.path();
  ASSERT_TRUE(FileManager::createDirectoryAtPath(root + "/tree/x/y", true));
  ASSERT_TRUE(FileManager::createFileAtPath(root + "/tree/x/y/f", bytes("1")));
  ASSERT_TRUE(FileManager::createFileAtPath(root + "/target", bytes("kept")));
  ASSERT_EQ(::symlink("target", (root + "/link").c_str()), 0);

  EXPECT_TRUE(FileManager::removeItemAtPath(root + "/link"));
  EXPECT_EQ(readText(root + "/target"), "kept");
  EXPECT_TRUE(FileManager::removeItemAtPath(root + "/tree"));
  EXPECT_FALSE(FileManager::fileExistsAtPath(root + "/tree"));
  Error error;
  EXPECT_FALSE(FileManager::removeItemAtPath(root + "/tree", &error));
  EXPECT_EQ(error.code, ENOENT);
}

TEST(FileManager, MovesAndCopiesWithoutReplacing) {
  TempDir tmp;
  const std::string& root = tmp.path();
  ASSERT_TRUE(FileManager::createDirectoryAtPath(root + "/src/inner", true));
  ASSERT_TRUE(FileManager::createFileAtPath(root + "/src/inner/f", bytes("data")));
  ASSERT_EQ(::symlink("inner/f", (root + "/src/l").c_str()), 0);

  ASSERT_TRUE(FileManager::copyItemAtPath(root + "/src", root + "/copy"));
  EXPECT_EQ(readText(root + "/copy/inner/f"), "data");
  EXPECT_EQ(FileManager::attributesOfItemAtPath(root + "/copy/l")->type, FileType::SymbolicLink);
  EXPECT_EQ(readText(root + "/copy/l"), "data");

  Error error;
  EXPECT_FALSE(FileManager::copyItemAtPath(root + "/src", root + "/copy", &error));
  EXPECT_EQ(error.code, EEXIST);
  EXPECT_FALSE(FileManager::moveItemAtPath(root + "/src", root + "/copy", &error));
  EXPECT_EQ(error.code, EEXIST);
  EXPECT_TRUE(FileManager::fileExistsAtPath(root + "/src"));

  ASSERT_TRUE(FileManager::moveItemAtPath(root + "/src", root + "/moved"));
  EXPECT_FALSE(FileManager::fileExistsAtPath(root + "/src"));
  EXPECT_EQ(readText(root + "/moved/inner/f"), "data");
  EXPECT_FALSE(FileManager::moveItemAtPath(root + "/src", root + "/again", &error));
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_FALSE(FileManager::copyItemAtPath(root + "/src", root + "/again", &error));
  EXPECT_FALSE(FileManager::fileExistsAtPath(root + "/again"));
}
