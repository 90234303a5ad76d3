#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "mapsdk/offline/OfflinePackageScan.h"
#include "tests/support/TempHome.h"

using namespace gmengine;

namespace {

void WriteZip(const std::string& path, const std::string& name, const std::string& body) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  zip_fileinfo info{};
  ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9),
            ZIP_OK);
  ASSERT_EQ(zipWriteInFileInZip(zip, body.data(), static_cast<unsigned>(body.size())), ZIP_OK);
  zipCloseFileInZip(zip);
  zipClose(zip, nullptr);
}

TEST(OfflinePackageLimits, PackagesThatExpandPastTheLimitAreRefusedBeforeWriting) {
  kavro::test::TempHome home;
  std::string zip = home.path() + "/city.zip";
  // A megabyte that packs into a kilobyte.
  WriteZip(zip, "131/tile.dat", std::string(1 << 20, 'z'));
  ASSERT_LT(std::filesystem::file_size(zip), 8192u);
  std::string target = home.path() + "/out/";
  EXPECT_EQ(UnzipPackage(CVString::FromUtf8(zip), CVString::FromUtf8(target), 512 * 1024), 0);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(UnzipPackage(CVString::FromUtf8(zip), CVString::FromUtf8(target), 1 << 20), 1);
  EXPECT_EQ(std::filesystem::file_size(target + "131/tile.dat"), 1u << 20);
  // Without a limit of its own, the free disk space decides.
  EXPECT_EQ(UnzipPackage(CVString::FromUtf8(zip), CVString::FromUtf8(home.path() + "/again/"), UINT64_MAX),
            1);
}

TEST(OfflinePackageLimits, DeclaredSizesThatWrapPastSixtyFourBitsAreRefused) {
  // Two halves of 2^64: a wrapping sum would read 0 and pass any limit.
  std::uint64_t total = 0;
  EXPECT_TRUE(AddDeclaredSize(total, std::uint64_t{1} << 63));
  EXPECT_FALSE(AddDeclaredSize(total, std::uint64_t{1} << 63));
  EXPECT_EQ(total, std::uint64_t{1} << 63);
  EXPECT_TRUE(AddDeclaredSize(total, (std::uint64_t{1} << 63) - 1));
  EXPECT_EQ(total, UINT64_MAX);
}

}  // namespace
