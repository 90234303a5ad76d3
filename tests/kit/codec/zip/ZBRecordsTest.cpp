#include <gtest/gtest.h>

#include "kit/codec/zip/ZBCDHeader.h"
#include "kit/codec/zip/ZBCDTrailer.h"
#include "kit/codec/zip/ZBCDTrailer64.h"
#include "kit/codec/zip/ZBCDTrailer64Locator.h"
#include "kit/codec/zip/ZBLFHeader.h"
#include "tests/kit/codec/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace kavro {
namespace {

using platform::Data;

TEST(ZBRecords, NewRecordsHaveTheirDefaults) {
  ZBLFHeader local;
  EXPECT_EQ(local.magicNumber(), 0x04034b50u);
  EXPECT_EQ(local.versionNeededToExtract(), 20u);
  EXPECT_EQ(local.compressionMethod(), 8u);
  EXPECT_EQ(local.length(), 30u);
  EXPECT_EQ(local.data().size(), 30u);

  ZBCDHeader central;
  EXPECT_EQ(central.versionMadeBy(), 789u);
  EXPECT_EQ(central.length(), 46u);

  ZBCDTrailer trailer;
  EXPECT_EQ(trailer.comment(), "Archive created with ZipBox");
  EXPECT_EQ(trailer.data().size(), 22u + 27u);
  EXPECT_EQ(trailer.length(), 49u);

  ZBCDTrailer64 trailer64;
  EXPECT_EQ(trailer64.sizeOfTrailer(), 44u);
  EXPECT_EQ(trailer64.versionNeededToExtract(), 45u);
  EXPECT_EQ(trailer64.data().size(), 56u);
  EXPECT_EQ(ZBCDTrailer64Locator().numberOfDisks(), 1u);
  EXPECT_EQ(ZBCDTrailer64Locator().data().size(), 20u);
}

TEST(ZBRecords, HeadersRoundTripThroughTheirBytes) {
  ZBLFHeader local;
  local.setFilename("dir/na\xC3\xAFve.txt");
  local.setUncompressedSize(1234);
  local.setCompressedSize(567);
  local.setCrc(0xDEADBEEF);
  EXPECT_EQ(local.filenameLength(), 14u);
  Data bytes = local.data();
  ASSERT_EQ(bytes.size(), local.length());
  std::optional<ZBLFHeader> parsed = ZBLFHeader::recordWithData(bytes, 0);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->filename(), local.filename());
  EXPECT_EQ(parsed->crc(), 0xDEADBEEFu);
  EXPECT_EQ(parsed->compressedSize(), 567u);
  EXPECT_EQ(parsed->uncompressedSize(), 1234u);
  EXPECT_EQ(parsed->data(), bytes);
  EXPECT_FALSE(ZBLFHeader::recordWithData(bytes, 1));

  ZBCDHeader central = ZBCDHeader::headerFromLocalHeader(local);
  central.setLocalHeaderOffset(99);
  central.setExternalFileAttributes(0x81A44000);
  central.setComment("note");
  std::optional<ZBCDHeader> back = ZBCDHeader::recordWithData(central.data(), 0);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->localHeaderOffset(), 99u);
  EXPECT_EQ(back->comment(), "note");
  EXPECT_EQ(back->posixPermissions(), 0644u);
  EXPECT_EQ(back->length(), central.data().size());
  EXPECT_EQ(back->data(), central.data());
}

TEST(ZBRecords, TruncatedRecordsAreNoRecords) {
  ZBCDHeader central;
  central.setFilename("name.txt");
  central.setComment("comment");
  Data bytes = central.data();
  for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_FALSE(ZBCDHeader::recordWithData(Data(bytes.begin(), bytes.begin() + cut), 0)) << cut;
  ZBLFHeader local;
  local.setFilename("name.txt");
  Data lbytes = local.data();
  EXPECT_FALSE(ZBLFHeader::recordWithData(Data(lbytes.begin(), lbytes.end() - 1), 0));
  EXPECT_FALSE(ZBLFHeader::recordWithData(lbytes, UINT64_MAX - 3));
  EXPECT_FALSE(ZBCDTrailer64::recordWithData(ZBCDTrailer64().data(), 1));
}

TEST(ZBRecords, Zip64IsWrittenForLargeValues) {
  ZBCDHeader central;
  central.setUncompressedSize(1ull << 32);
  EXPECT_EQ(central.versionNeededToExtract(), 45u);
  Data bytes = central.data();
  ASSERT_EQ(bytes.size(), 46u + 28u);
  std::uint64_t at = 20;
  EXPECT_EQ(zb::hostInt32OffsetBy(bytes, at), 0xFFFFFFFFu);
  EXPECT_EQ(zb::hostInt32OffsetBy(bytes, at), 0xFFFFFFFFu);
  at = 42;
  EXPECT_EQ(zb::hostInt32OffsetBy(bytes, at), 0xFFFFFFFFu);
  std::optional<ZBCDHeader> back = ZBCDHeader::recordWithData(bytes, 0);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->uncompressedSize(), 1ull << 32);
  EXPECT_EQ(back->compressedSize(), 0u);
  EXPECT_EQ(back->localHeaderOffset(), 0u);

  central.setVersionNeededToExtract(20);  // an explicit version wins
  EXPECT_EQ(central.versionNeededToExtract(), 20u);
  central.setUncompressedSize(10);
  EXPECT_EQ(central.versionNeededToExtract(), 20u);
  EXPECT_EQ(central.data().size(), 46u);  // the cache followed the change

  ZBLFHeader local;
  local.setCompressedSize(0xFFFFFFFFull);  // the sentinel itself needs Zip64
  EXPECT_TRUE(local.useZip64Extensions());
  EXPECT_EQ(local.data().size(), 30u + 20u);
  ZBLFHeader reserved;
  reserved.setReservesZip64(true);
  EXPECT_EQ(reserved.data().size(), reserved.length());
  EXPECT_EQ(reserved.length(), 50u);
}

TEST(ZBRecords, Zip64FieldsAreReadOnlyBehindTheirSentinels) {
  // Sizes are sentinels, the offset is not: the block holds the two sizes only.
  Data block;
  zb::appendLittleInt16(block, 1);
  zb::appendLittleInt16(block, 16);
  zb::appendLittleInt64(block, 5000000000ull);
  zb::appendLittleInt64(block, 4000000000ull);
  Data bytes;
  zb::appendLittleInt32(bytes, ZBCDHeader::Signature);
  zb::appendLittleInt16(bytes, 789);
  zb::appendLittleInt16(bytes, 45);
  zb::appendLittleInt16(bytes, 0);
  zb::appendLittleInt16(bytes, 8);
  zb::appendLittleInt32(bytes, 0x00210000);
  zb::appendLittleInt32(bytes, 0);
  zb::appendLittleInt32(bytes, 0xFFFFFFFF);
  zb::appendLittleInt32(bytes, 0xFFFFFFFF);
  zb::appendLittleInt16(bytes, 1);
  zb::appendLittleInt16(bytes, static_cast<std::uint16_t>(block.size() + 8));
  zb::appendLittleInt16(bytes, 0);
  zb::appendLittleInt16(bytes, 0);
  zb::appendLittleInt16(bytes, 0);
  zb::appendLittleInt32(bytes, 0);
  zb::appendLittleInt32(bytes, 1234);
  bytes.push_back('a');
  // Another block first: the walk must skip it.
  zb::appendLittleInt16(bytes, 0x5455);
  zb::appendLittleInt16(bytes, 4);
  zb::appendLittleInt32(bytes, 0);
  bytes.insert(bytes.end(), block.begin(), block.end());
  std::optional<ZBCDHeader> h = ZBCDHeader::recordWithData(bytes, 0);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->uncompressedSize(), 5000000000ull);
  EXPECT_EQ(h->compressedSize(), 4000000000ull);
  EXPECT_EQ(h->localHeaderOffset(), 1234u);
  EXPECT_EQ(h->length(), bytes.size());
  // Re-serialised: only the Zip64 block stays.
  EXPECT_EQ(h->data().size(), 46u + 1 + 28);

  // Only the compressed size is a sentinel: the block's first value is the compressed size.
  Data small;
  zb::appendLittleInt16(small, 1);
  zb::appendLittleInt16(small, 8);
  zb::appendLittleInt64(small, 7000000000ull);
  Data bytes2(bytes.begin(), bytes.begin() + 47);
  bytes2[24] = 0x10;  // uncompressed size 0xFFFFFF10
  bytes2[30] = static_cast<std::uint8_t>(small.size());
  bytes2.insert(bytes2.end(), small.begin(), small.end());
  h = ZBCDHeader::recordWithData(bytes2, 0);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->compressedSize(), 7000000000ull);
  EXPECT_EQ(h->uncompressedSize(), 0xFFFFFF10u);

  // A block too short for its sentinels leaves them alone.
  Data bytes3(bytes.begin(), bytes.begin() + 47);
  Data shortBlock = {1, 0, 4, 0, 1, 2, 3, 4};
  bytes3[30] = static_cast<std::uint8_t>(shortBlock.size());
  bytes3.insert(bytes3.end(), shortBlock.begin(), shortBlock.end());
  h = ZBCDHeader::recordWithData(bytes3, 0);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->uncompressedSize(), 0xFFFFFFFFu);
}

TEST(ZBRecords, EntryKindsFollowTheHostOfTheAttributes) {
  ZBCDHeader h;
  h.setFilename("d");
  h.setExternalFileAttributes(0x41ED4000);
  EXPECT_TRUE(h.isDirectory());
  EXPECT_EQ(h.posixPermissions(), 0755u);
  h.setVersionMadeBy(20);  // DOS attributes: only 0x10 marks a folder
  EXPECT_FALSE(h.isDirectory());
  h.setExternalFileAttributes(0x13);
  EXPECT_TRUE(h.isDirectory());
  h.setExternalFileAttributes(0);
  EXPECT_FALSE(h.isDirectory());
  h.setFilenameLength(0);
  h.setFilename("d/");  // a folder's name ends in "/" whatever the attributes
  EXPECT_TRUE(h.isDirectory());
  h.setVersionMadeBy(789);
  h.setExternalFileAttributes(0xA1FF4000);
  EXPECT_TRUE(h.isSymLink());
  EXPECT_FALSE(h.isDirectory());
  EXPECT_EQ(h.posixPermissions(), 0777u);
  h.setExternalFileAttributes(0);
  EXPECT_EQ(h.posixPermissions(), 0755u);
}

TEST(ZBRecords, NameLengthsAreSetOnce) {
  ZBLFHeader local;
  local.setFilename("abc");
  local.setFilename("abcdef");
  EXPECT_EQ(local.filenameLength(), 3u);
  Data bytes = local.data();
  std::uint64_t at = 26;
  EXPECT_EQ(zb::hostInt16OffsetBy(bytes, at), 3u);
}

TEST(ZBRecords, EndRecordsAreFoundFromTheEnd) {
  ZBCDTrailer empty;
  empty.setCommentLength(0);
  empty.setComment("");
  Data bytes = empty.data();
  ASSERT_EQ(bytes.size(), 22u);
  std::uint64_t at = 99;
  ASSERT_TRUE(ZBCDTrailer::recordWithData(bytes, &at));
  EXPECT_EQ(at, 0u);

  // A comment holding the signature does not fool the search; trailing bytes are allowed.
  ZBCDTrailer commented;
  commented.setCommentLength(0);
  commented.setComment(std::string("xx") + "PK\x05\x06" + "yy");
  commented.setTotalNumberOfCentralDirectoryEntries(3);
  Data block = test::noise(100);
  Data record = commented.data();
  block.insert(block.end(), record.begin(), record.end());
  std::optional<ZBCDTrailer> found = ZBCDTrailer::recordWithData(block, &at);
  ASSERT_TRUE(found);
  EXPECT_EQ(at, 100u);
  EXPECT_EQ(found->totalNumberOfCentralDirectoryEntries(), 3u);
  EXPECT_EQ(found->comment(), commented.comment());

  test::TempDir dir;
  std::string path = dir.path() + "/big.zip";
  Data file = test::noise(3 << 20, 3);
  file.insert(file.end(), record.begin(), record.end());
  Data tail = test::noise(1000, 4);
  file.insert(file.end(), tail.begin(), tail.end());
  test::writeFile(path, file);
  found = ZBCDTrailer::recordWithArchivePath(path, &at);
  ASSERT_TRUE(found);
  EXPECT_EQ(at, 3u << 20);
  EXPECT_FALSE(ZBCDTrailer::recordWithData(Data(21, 0)));
  EXPECT_FALSE(ZBCDTrailer::recordWithData(test::noise(5000, 9)));
}

TEST(ZBRecords, EndRecordsSwitchToZip64WhenTheyOverflow) {
  ZBCDTrailer t;
  EXPECT_FALSE(t.useZip64Extensions());
  t.setTotalNumberOfCentralDirectoryEntries(70000);
  t.setNumberOfCentralDirectoryEntriesOnThisDisk(70000);
  EXPECT_TRUE(t.useZip64Extensions());
  Data bytes = t.data();
  std::uint64_t at = 8;
  EXPECT_EQ(zb::hostInt16OffsetBy(bytes, at), 0xFFFFu);
  EXPECT_EQ(zb::hostInt16OffsetBy(bytes, at), 0xFFFFu);
  ZBCDTrailer offsetOnly;
  offsetOnly.setOffsetOfStartOfCentralDirectory(1ull << 33);
  EXPECT_TRUE(offsetOnly.useZip64Extensions());

  ZBCDTrailer64 t64;
  t64.setOffsetOfStartOfCentralDirectory(1ull << 40);
  t64.setTotalNumberOfCentralDirectoryEntries(5);
  std::optional<ZBCDTrailer64> back = ZBCDTrailer64::recordWithData(t64.data(), 0);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->offsetOfStartOfCentralDirectory(), 1ull << 40);
  EXPECT_EQ(back->totalNumberOfCentralDirectoryEntries(), 5u);
  EXPECT_EQ(back->description(), "0 entries @ offset of CD: 1099511627776 (0 bytes)");
}

TEST(ZBRecords, TheLocatorSitsBeforeTheEndRecord) {
  test::TempDir dir;
  std::string path = dir.path() + "/l.zip";
  ZBCDTrailer64Locator locator;
  locator.setOffsetOfStartOfCentralDirectoryTrailer64(12345);
  Data bytes = locator.data();
  Data end = ZBCDTrailer().data();
  bytes.insert(bytes.end(), end.begin(), end.end());
  test::writeFile(path, bytes);
  std::optional<ZBCDTrailer64Locator> found = ZBCDTrailer64Locator::recordWithArchivePath(path, end.size());
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offsetOfStartOfCentralDirectoryTrailer64(), 12345u);
  EXPECT_FALSE(ZBCDTrailer64Locator::recordWithArchivePath(path, end.size() + 1));
  EXPECT_FALSE(ZBCDTrailer64Locator::recordWithArchivePath(path, 1000));
}

TEST(ZBRecords, FilesGiveNoNameForInvalidUtf8) {
  ZBCDHeader h;
  h.setFilename("ok");
  Data bytes = h.data();
  bytes[46] = 0xFF;
  std::optional<ZBCDHeader> fromBlock = ZBCDHeader::recordWithData(bytes, 0);
  ASSERT_TRUE(fromBlock);
  EXPECT_EQ(fromBlock->filename(), "?k");
  test::TempDir dir;
  test::writeFile(dir.path() + "/h", bytes);
  std::optional<ZBCDHeader> fromFile = ZBCDHeader::recordWithArchivePath(dir.path() + "/h", 0);
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(fromFile->filename(), "");
  EXPECT_EQ(fromFile->length(), bytes.size());
  EXPECT_FALSE(ZBCDHeader::recordWithArchivePath(dir.path() + "/h", 1));
  EXPECT_FALSE(ZBCDHeader::recordWithArchivePath(dir.path() + "/none", 0));
}

}  // namespace
}  // namespace kavro
