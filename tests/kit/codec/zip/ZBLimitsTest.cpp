#include <gtest/gtest.h>

#include <filesystem>

#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/codec/zip/ZBFileArchive.h"
#include "tests/kit/codec/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace kavro {
namespace {

class ZBLimitsTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.path() + "/" + name; }
  test::TempDir dir_;
};

constexpr std::uint32_t UTF8Flag = 1u << 11;

TEST_F(ZBLimitsTest, NamesBeyondASCIIAreMarkedAsUTF8ForOtherReaders) {
  const std::string name = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt";
  auto archive = ZBDataArchive::create();
  ASSERT_EQ(archive->deflateData(platform::dataFromString("x"), name), 1);
  ASSERT_EQ(archive->deflateData(platform::dataFromString("y"), "plain.txt"), 1);
  const platform::Data& bytes = archive->data();
  // The local header's flag word sits at offset 6.
  EXPECT_TRUE(bytes[7] & (UTF8Flag >> 8));
  auto parsed = ZBDataArchive::archiveWithArchiveData(bytes);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->centralDirectory()[0].generalPurposeBitFlag() & UTF8Flag);
  EXPECT_FALSE(parsed->centralDirectory()[1].generalPurposeBitFlag() & UTF8Flag);

  // Archives made from files carry it too, and another tool reads the name as it was written.
  test::writeFile(path("in/" + name), "z");
  auto fromFiles = ZBFileArchive::process(path("in/" + name), false, {}, {});
  ASSERT_TRUE(fromFiles);
  auto reread = ZBDataArchive::archiveWithArchivePath(fromFiles->archivePath());
  ASSERT_TRUE(reread);
  ASSERT_EQ(reread->centralDirectory().size(), 1u);
  EXPECT_TRUE(reread->centralDirectory()[0].generalPurposeBitFlag() & UTF8Flag);
  ASSERT_EQ(test::run("cd '" + dir_.path() + "' && mkdir out && cd out && LC_ALL=C.UTF-8 unzip -q '" +
                      fromFiles->archivePath() + "'"),
            0);
  EXPECT_EQ(test::readFile(path("out/" + name)), "z");
}

TEST_F(ZBLimitsTest, ExpansionsPastTheLimitAreRefusedBeforeWriting) {
  auto archive = ZBDataArchive::create();
  ASSERT_EQ(archive->deflateData(platform::Data(1 << 20, 0), "a/zeros.bin"), 1);
  ASSERT_EQ(archive->deflateData(platform::Data(1 << 20, 0), "b/zeros.bin"), 1);
  test::writeFile(path("bomb.zip"), archive->data());
  ASSERT_LT(std::filesystem::file_size(path("bomb.zip")), 16384u);

  auto data = ZBDataArchive::archiveWithArchivePath(path("bomb.zip"));
  ASSERT_TRUE(data);
  EXPECT_EQ(data->expandedSize(), 2u << 20);
  data->setMaxExpandedSize((2 << 20) - 1);
  std::filesystem::create_directories(path("data"));
  EXPECT_EQ(data->inflateInFolder(path("data")), -1);
  EXPECT_EQ(data->inflateAll(), -1);
  EXPECT_TRUE(std::filesystem::is_empty(path("data")));
  data->setMaxExpandedSize(2 << 20);
  EXPECT_EQ(data->inflateInFolder(path("data")), 1);
  EXPECT_TRUE(std::filesystem::exists(path("data/b/zeros.bin")));

  auto file = ZBFileArchive::archiveWithArchivePath(path("bomb.zip"));
  ASSERT_TRUE(file);
  file->setMaxExpandedSize(1 << 20);
  EXPECT_EQ(file->inflateToDirectory(path("file"), false), -1);
  EXPECT_FALSE(std::filesystem::exists(path("file")));
  // Without a limit of its own, the free space where it goes decides: two megabytes fit.
  file->setMaxExpandedSize(UINT64_MAX);
  EXPECT_TRUE(file->expansionFits(path("file")));
}

}  // namespace
}  // namespace kavro
