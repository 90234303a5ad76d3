#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>

#include "kit/codec/zip/ZBAdditions.h"
#include "kit/codec/zip/ZBAppleDouble.h"
#include "kit/codec/zip/ZBLog.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/kit/codec/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace kavro {
namespace {

using platform::Data;
using test::TempDir;

TEST(ZBAdditions, ReadsLittleEndianFieldsAndAdvances) {
  Data d = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0};
  std::uint64_t at = 0;
  EXPECT_EQ(zb::hostInt16OffsetBy(d, at), 0x1234u);
  EXPECT_EQ(zb::hostInt32OffsetBy(d, at), 0x12345678u);
  EXPECT_EQ(zb::hostInt64OffsetBy(d, at), 0x0807060504030201ull);
  EXPECT_FALSE(zb::hostBoolOffsetBy(d, at));
  EXPECT_EQ(at, 18u);
  EXPECT_THROW(zb::hostInt16OffsetBy(d, at), platform::RangeException);
}

TEST(ZBAdditions, WritesLittleEndianFields) {
  Data d;
  zb::appendLittleInt16(d, 0x1234);
  zb::appendLittleInt32(d, 0xAABBCCDD);
  zb::appendLittleInt64(d, 0x0102030405060708ull);
  zb::appendLittleBool(d, true);
  EXPECT_EQ(d, (Data{0x34, 0x12, 0xDD, 0xCC, 0xBB, 0xAA, 8, 7, 6, 5, 4, 3, 2, 1, 1, 0, 0, 0}));
  EXPECT_EQ(zb::dataWithLittleInt32(1), (Data{1, 0, 0, 0}));
}

TEST(ZBAdditions, StringsReplaceHighBytesOnlyWhenNotUtf8) {
  Data bad = {0x61, 0xFF, 0x62};
  std::uint64_t at = 0;
  EXPECT_EQ(zb::stringOffsetBy(bad, at, 3), "a?b");
  EXPECT_EQ(at, 3u);
  Data good = platform::dataFromString("caf\xC3\xA9");
  at = 0;
  EXPECT_EQ(zb::stringOffsetBy(good, at, good.size()), "caf\xC3\xA9");
  at = 0;
  EXPECT_EQ(zb::stringOffsetBy(good, at, 0), "");
}

TEST(ZBAdditions, NamesAreWrittenPrecomposed) {
  std::string decomposed = "e\xCC\x81t\xC3\xA9";  // e + combining acute, then precomposed é
  EXPECT_EQ(zb::precomposedUTF8String(decomposed), "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(zb::precomposedUTF8Length(decomposed), 5u);
  Data d;
  zb::appendPrecomposedUTF8String(d, decomposed);
  EXPECT_EQ(d.size(), 5u);
  EXPECT_TRUE(zb::isResourceForkPath("__MACOSX/a/._b"));
  EXPECT_FALSE(zb::isResourceForkPath("a/__MACOSX"));
}

TEST(ZBAdditions, DeflateRoundTripsAnyBlock) {
  for (const Data& input :
       {Data{}, Data{42}, platform::dataFromString(test::sampleText(100000)), test::noise(70000)}) {
    std::optional<Data> packed = zb::deflate(input);
    ASSERT_TRUE(packed);
    if (input.empty()) {
      EXPECT_EQ(*packed, (Data{0x03, 0x00}));
    }
    std::optional<Data> unpacked = zb::inflate(*packed);
    ASSERT_TRUE(unpacked);
    EXPECT_EQ(*unpacked, input);
    EXPECT_EQ(zb::inflate(*packed, input.size()), input);
  }
  EXPECT_FALSE(zb::inflate(Data{}));
}

TEST(ZBAdditions, BoundedInflationRefusesOtherLengths) {
  Data input = platform::dataFromString(test::sampleText(50000));
  Data packed = *zb::deflate(input);
  EXPECT_FALSE(zb::inflate(packed, input.size() - 1));  // the stream goes on
  EXPECT_FALSE(zb::inflate(packed, input.size() + 1));  // the stream ends early
  EXPECT_FALSE(zb::inflate(Data(packed.begin(), packed.begin() + packed.size() / 2), input.size()));
  EXPECT_FALSE(zb::inflate(Data{0x03, 0x00}, 1ull << 40));  // no stream reaches that
  EXPECT_EQ(zb::inflate(Data{0x03, 0x00}, 0), Data{});
  EXPECT_FALSE(zb::inflate(Data{0xFF, 0xFF, 0xFF}, 10));
}

TEST(ZBAdditions, Crc32MatchesTheKnownCheckValue) {
  EXPECT_EQ(zb::crc32(platform::dataFromString("123456789")), 0xCBF43926u);
  Data a = platform::dataFromString("12345"), b = platform::dataFromString("6789");
  EXPECT_EQ(zb::crc32(b, zb::crc32(a)), 0xCBF43926u);
}

// Pins the platform's local zone for one test.
class LocalZone {
 public:
  explicit LocalZone(const char* zone) : previous_(platform::localTimeZoneName()) {
    EXPECT_TRUE(platform::setLocalTimeZoneName(zone));
  }
  ~LocalZone() { platform::setLocalTimeZoneName(previous_); }

 private:
  std::string previous_;
};

TEST(ZBAdditions, DosDatesFollowTheLocalTimeZone) {
  {
    LocalZone zone("Asia/Shanghai");
    platform::DateComponents c;
    c.year = 1980;
    std::optional<platform::Date> epoch = platform::dateFromComponents(c);
    ASSERT_TRUE(epoch);
    EXPECT_EQ(zb::dosDate(*epoch), 0x00210000u);
    EXPECT_EQ(zb::dateWithDosDate(0x00210000u), *epoch);
    // 2020-06-15 12:34:56 UTC is 20:34:56 in Shanghai.
    platform::Date moment(1592224496);
    std::uint32_t dos = zb::dosDate(moment);
    EXPECT_EQ(dos >> 16, ((2020u - 1980u) << 9) | (6u << 5) | 15u);
    EXPECT_EQ(dos & 0xFFFF, (20u << 11) | (34u << 5) | 28u);
    EXPECT_EQ(zb::dateWithDosDate(dos), moment);
  }
  {
    LocalZone zone("America/New_York");
    platform::Date moment(1592224496);  // 08:34:56 daylight time
    std::uint32_t dos = zb::dosDate(moment);
    EXPECT_EQ(dos & 0xFFFF, (8u << 11) | (34u << 5) | 28u);
    EXPECT_EQ(zb::dateWithDosDate(dos), moment);
    // Odd seconds round down.
    EXPECT_EQ(zb::dateWithDosDate(zb::dosDate(platform::Date(1592224497))), moment);
  }
}

TEST(ZBAdditions, AttributeWordsCarryTypeAndPermissions) {
  TempDir dir;
  std::string file = dir.path() + "/f", folder = dir.path() + "/d", link = dir.path() + "/l";
  test::writeFile(file, "x");
  ::chmod(file.c_str(), 0644);
  ::mkdir(folder.c_str(), 0755);
  ::chmod(folder.c_str(), 0755);
  ASSERT_EQ(::symlink("f", link.c_str()), 0);
  EXPECT_EQ(zb::externalFileAttributesAtPath(file), 0x81A44000u);
  EXPECT_EQ(zb::externalFileAttributesAtPath(folder), 0x41ED4000u);
  EXPECT_EQ(zb::externalFileAttributesAtPath(link) & 0xF0000000u, 0xA0000000u);
  EXPECT_EQ(zb::externalFileAttributesAtPath(dir.path() + "/missing"), 0u);
  EXPECT_TRUE(zb::isSymLinkAtPath(link));
  EXPECT_FALSE(zb::isSymLinkAtPath(file));
  EXPECT_TRUE(zb::isDirAtPath(folder));
  EXPECT_EQ(zb::dataSizeAtFilePath(file), 1u);
  EXPECT_EQ(zb::posixPermissionsAtPath(file), 0644u);
}

TEST(ZBAdditions, FileTotalsCountItemsAndBytes) {
  TempDir dir;
  test::writeFile(dir.path() + "/a/b.txt", "12345");
  test::writeFile(dir.path() + "/a/c/d.txt", "123");
  zb::ZBTotals t = zb::totalSizeAndItemCountAtPath(dir.path() + "/a", false);
  EXPECT_EQ(t.totalFileSize, 8u);
  EXPECT_EQ(t.itemCount, 4u);  // a, b.txt, c, d.txt
  EXPECT_EQ(zb::totalSizeAndItemCountAtPath(dir.path() + "/none", false).itemCount, 0u);
}

TEST(ZBAdditions, FileRangesAndCrcs) {
  TempDir dir;
  std::string file = dir.path() + "/f";
  test::writeFile(file, "0123456789");
  EXPECT_EQ(zb::dataFromPath(file, {2, 3}), platform::dataFromString("234"));
  EXPECT_FALSE(zb::dataFromPath(file, {8, 3}));
  EXPECT_FALSE(zb::dataFromPath(file, {0, 0}));
  EXPECT_FALSE(zb::dataFromPath(file, {platform::NotFound, 1}));
  EXPECT_FALSE(zb::dataFromPath(dir.path() + "/none", {0, 1}));
  EXPECT_EQ(zb::crcForPath(file), zb::crc32(platform::dataFromString("0123456789")));
  EXPECT_EQ(zb::crcForPath(dir.path()), 0u);

  struct Cancel : ZBInvoker {
    bool isCancelled() const override { return true; }
  };
  auto cancel = std::make_shared<Cancel>();
  EXPECT_EQ(zb::crcForPath(file, cancel), 0u);
}

TEST(ZBAdditions, FileHandlesCreateFoldersAndKeepContent) {
  TempDir dir;
  std::string file = dir.path() + "/x/y/z.bin";
  {
    zb::FileDescriptor fd = zb::newFileHandleForWritingAtPath(file);
    ASSERT_TRUE(fd.valid());
    ASSERT_TRUE(zb::writeFully(fd.get(), platform::dataFromString("hello"), 0));
  }
  {
    zb::FileDescriptor fd = zb::newFileHandleForWritingAtPath(file);
    ASSERT_TRUE(zb::writeFully(fd.get(), platform::dataFromString("J"), 0));
  }
  EXPECT_EQ(test::readFile(file), "Jello");
  zb::newFileHandleForWritingAtPath(file, true);
  EXPECT_EQ(test::readFile(file), "");
}

TEST(ZBAppleDouble, RoundTripsItsEntries) {
  ZBAppleDouble container = ZBAppleDouble::appleDouble();
  EXPECT_TRUE(container.addEntryWithID(9, Data(32, 0xAB)));
  EXPECT_TRUE(container.addEntryWithID(2, platform::dataFromString("fork")));
  EXPECT_FALSE(container.addEntryWithID(0, Data{1}));
  Data bytes = container.data();
  EXPECT_EQ(bytes.size(), 26u + 2 * 12 + 32 + 4);
  EXPECT_EQ((Data(bytes.begin(), bytes.begin() + 8)), (Data{0, 5, 0x16, 7, 0, 2, 0, 0}));
  std::optional<ZBAppleDouble> parsed = ZBAppleDouble::appleDoubleWithData(bytes);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->entries().size(), 2u);
  EXPECT_EQ(parsed->entries()[0].entryID(), 9);
  EXPECT_EQ(parsed->entries()[1].data(), platform::dataFromString("fork"));
  EXPECT_EQ(parsed->data(), bytes);
}

TEST(ZBAppleDouble, RefusesBrokenBlocks) {
  ZBAppleDouble two;
  two.addEntryWithID(9, Data(4, 1));
  two.addEntryWithID(2, Data(4, 2));
  Data bytes = two.data();
  // The second descriptor's length runs past the end.
  bytes[26 + 12 + 11] = 0xFF;
  ZBAppleDouble partial;
  EXPECT_FALSE(partial.addEntriesFromAppleDoubleData(bytes));
  EXPECT_EQ(partial.entries().size(), 1u);

  EXPECT_FALSE(ZBAppleDouble::appleDoubleWithData(Data(25, 0)));
  Data wrongMagic = two.data();
  wrongMagic[3] = 0;
  EXPECT_FALSE(ZBAppleDouble::appleDoubleWithData(wrongMagic));
  Data truncated = two.data();
  truncated.resize(30);
  EXPECT_FALSE(ZBAppleDouble::appleDoubleWithData(truncated));
  Data empty = ZBAppleDouble::appleDouble().data();
  EXPECT_TRUE(ZBAppleDouble::appleDoubleWithData(empty));
}

TEST(ZBAppleDouble, TravelsThroughExtendedAttributes) {
  TempDir dir;
  std::string from = dir.path() + "/from", to = dir.path() + "/to";
  test::writeFile(from, "a");
  test::writeFile(to, "b");
  EXPECT_FALSE(zb::appleDoubleDataForPath(from));
  Data info(32, 0x11);
  ASSERT_EQ(::lsetxattr(from.c_str(), "user.com.apple.FinderInfo", info.data(), info.size(), 0), 0);
  ASSERT_EQ(::lsetxattr(from.c_str(), "user.com.apple.ResourceFork", "rsrc", 4, 0), 0);
  std::optional<Data> bytes = zb::appleDoubleDataForPath(from);
  ASSERT_TRUE(bytes);
  zb::restoreAppleDoubleData(*bytes, to);
  EXPECT_EQ(zb::appleDoubleDataForPath(to), bytes);
  zb::restoreAppleDoubleData(Data{1, 2, 3}, to);  // ignored
  EXPECT_FALSE(zb::appleDoubleDataForPath(dir.path() + "/missing"));
}

TEST(ZBLog, LevelsLabelsAndTheDebugSwitch) {
  ZBLog& log = ZBLog::sharedInstance();
  EXPECT_EQ(&log, &ZBLog::sharedInstance());
  EXPECT_EQ(log.minimumLevel(), 2u);
  log.setMinimumLevel(4);
  EXPECT_EQ(log.minimumLevel(), 2u);
  EXPECT_EQ(ZBLog::levelToLabel(1), "<Debug->");
  EXPECT_EQ(ZBLog::levelToLabel(2), "<ERROR->");
  EXPECT_EQ(ZBLog::levelToLabel(3), "<Notice>");
  EXPECT_EQ(ZBLog::levelToLabel(7), "");

  testing::internal::CaptureStderr();
  log.logFile("dir/Source.cpp", 12, ZBLog::Error, "hidden");
  ZBLog::setDebugLoggingEnabled(true);
  log.logFile("dir/Source.cpp", 12, ZBLog::Error, "shown");
  log.logFile("dir/Source.cpp", 13, ZBLog::Debug, "below the minimum");
  log.logFile("dir/Source.cpp", 14, 9, "no label");
  ZBLog::setDebugLoggingEnabled(false);
  std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.find("hidden"), std::string::npos);
  EXPECT_EQ(out.find("below"), std::string::npos);
  EXPECT_EQ(out.find("no label"), std::string::npos);
  std::string expected = " [" + std::to_string(::getpid()) + "] <ERROR-> shown (Source.cpp:12)\n";
  ASSERT_NE(out.find(expected), std::string::npos) << out;
  EXPECT_EQ(out.size(), 23 + expected.size());  // "yyyy-MM-dd HH:mm:ss.SSS" first
}

// The logger reopens standard error onto its file, so this runs in a child process.
TEST(ZBLogDeathTest, TheUserSettingSendsLinesToAFile) {
  TempDir home;
  EXPECT_EXIT(
      {
        platform::Environment::setHomeRoot(home.path());
        platform::UserDefaults::standardUserDefaults().setBool(true, "ZBLogToFile");
        ZBLog::destroySharedInstance();
        ZBLog::setDebugLoggingEnabled(true);
        ZBLog& log = ZBLog::sharedInstance();
        log.logFile("Here.cpp", 7, ZBLog::Error, "to the file");
        std::string expected =
            platform::Environment::libraryPath() + "/Logs/" + platform::Environment::bundleName() + ".log";
        bool ok = log.logFilePath() == expected &&
                  test::readFile(expected).find("<ERROR-> to the file (Here.cpp:7)") != std::string::npos;
        std::_Exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kavro
