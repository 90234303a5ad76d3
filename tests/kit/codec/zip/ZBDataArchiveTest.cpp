#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/codec/zip/ZBLFHeader.h"
#include "tests/kit/codec/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace kavro {
namespace {

using platform::Data;
using test::ZipBuilder;

class ZBDataArchiveTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.path() + "/" + name; }
  // Runs the command-line zip tool in the temporary folder.
  int zipTool(const std::string& arguments) {
    return test::run("cd '" + dir_.path() + "' && zip -q " + arguments);
  }
  int unzipTest(const std::string& archive) { return test::run("unzip -tq '" + archive + "'"); }

  test::TempDir dir_;
};

TEST_F(ZBDataArchiveTest, AddedEntriesReadBackFromBytesAndFromTheFile) {
  std::shared_ptr<ZBDataArchive> archive = ZBDataArchive::create();
  std::string text = test::sampleText(300000);
  ASSERT_EQ(archive->deflateData(platform::dataFromString(text), "skin.xml"), 1);
  ASSERT_EQ(archive->deflateData(Data{}, "empty.txt"), 1);
  ASSERT_EQ(archive->deflateData(test::noise(5000), "images/a.png"), 1);
  EXPECT_EQ(archive->deflateData(Data{1}, ""), -1);
  EXPECT_EQ(archive->centralDirectory().size(), 3u);

  std::shared_ptr<ZBDataArchive> parsed = ZBDataArchive::archiveWithArchiveData(archive->data());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->files_name_list(), (std::vector<std::string>{"skin.xml", "empty.txt", "images/a.png"}));
  EXPECT_EQ(parsed->file_get_contents("skin.xml"), platform::dataFromString(text));
  EXPECT_EQ(parsed->file_get_contents("empty.txt"), Data{});
  EXPECT_EQ(parsed->file_get_contents("images/a.png"), test::noise(5000));
  EXPECT_EQ(parsed->comment(), "Archive created with ZipBox");

  test::writeFile(path("skin.zip"), archive->data());
  EXPECT_TRUE(ZBArchive::validArchiveAtPath(path("skin.zip")));
  std::shared_ptr<ZBDataArchive> opened = ZBDataArchive::archiveWithArchivePath(path("skin.zip"));
  ASSERT_TRUE(opened);
  EXPECT_TRUE(opened->data().empty());
  EXPECT_EQ(opened->file_get_contents("skin.xml"), platform::dataFromString(text));
  EXPECT_EQ(opened->file_get_contents("empty.txt"), Data{});
  EXPECT_EQ(unzipTest(path("skin.zip")), 0);
  EXPECT_EQ(test::run("cd '" + dir_.path() + "' && unzip -q skin.zip -d out"), 0);
  EXPECT_EQ(test::readFile(path("out/skin.xml")), text);
  struct stat st;
  ASSERT_EQ(::stat(path("out/skin.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(ZBDataArchiveTest, LookupsAreExactAndTheFirstNameWins) {
  Data bytes = ZipBuilder()
                   .add("skin.xml", "first")
                   .add("Skin.xml", "upper")
                   .add("skin.xml", "second")
                   .add({.name = "folder/", .content = {}, .method = 0, .externalAttributes = 0x41ED0010})
                   .add({.name = "link",
                         .content = platform::dataFromString("skin.xml"),
                         .method = 0,
                         .externalAttributes = 0xA1FF0000})
                   .build();
  std::shared_ptr<ZBDataArchive> archive = ZBDataArchive::archiveWithArchiveData(bytes);
  ASSERT_TRUE(archive);
  EXPECT_EQ(archive->file_get_contents("skin.xml"), platform::dataFromString("first"));
  EXPECT_TRUE(archive->is_file("skin.xml"));
  EXPECT_FALSE(archive->is_file("/skin.xml"));
  EXPECT_FALSE(archive->is_file("SKIN.XML"));
  EXPECT_FALSE(archive->is_file(""));
  EXPECT_FALSE(archive->file_get_contents(""));
  EXPECT_TRUE(archive->is_dir("folder/"));
  EXPECT_FALSE(archive->is_dir("folder"));
  EXPECT_FALSE(archive->file_get_contents("folder/"));
  EXPECT_TRUE(archive->is_link("link"));
  EXPECT_FALSE(archive->is_file("link"));
  EXPECT_FALSE(archive->file_get_contents("link"));
  EXPECT_TRUE(archive->file_exists("Skin.xml"));
  EXPECT_FALSE(archive->file_exists("missing"));
}

TEST_F(ZBDataArchiveTest, StoredEntriesReadUnchanged) {
  Data bytes = ZipBuilder().add("stored.txt", "plain bytes", 0).add("empty", "", 0).build();
  test::writeFile(path("s.zip"), bytes);
  for (auto archive :
       {ZBDataArchive::archiveWithArchiveData(bytes), ZBDataArchive::archiveWithArchivePath(path("s.zip"))}) {
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->file_get_contents("stored.txt"), platform::dataFromString("plain bytes"));
    EXPECT_EQ(archive->file_get_contents("empty"), Data{});
  }
}

TEST_F(ZBDataArchiveTest, ReadsWhatTheZipToolWrites) {
  std::string text = test::sampleText(200000);
  test::writeFile(path("in/a.txt"), text);
  test::writeFile(path("in/sub/b.bin"), test::noise(3000));
  test::writeFile(path("in/empty"), "");
  test::writeFile(path("in/caf\xC3\xA9.txt"), "accent");
  ASSERT_EQ(::symlink("a.txt", path("in/ln").c_str()), 0);
  ASSERT_EQ(zipTool("-r -y tool.zip in"), 0);
  ASSERT_EQ(zipTool("-r -0 -X stored.zip in"), 0);
  ASSERT_EQ(zipTool("-fz z64.zip in/a.txt"), 0);

  for (const char* name : {"tool.zip", "stored.zip"}) {
    std::shared_ptr<ZBDataArchive> archive = ZBDataArchive::archiveWithArchivePath(path(name));
    ASSERT_TRUE(archive) << name;
    EXPECT_EQ(archive->file_get_contents("in/a.txt"), platform::dataFromString(text)) << name;
    EXPECT_EQ(archive->file_get_contents("in/sub/b.bin"), test::noise(3000)) << name;
    EXPECT_EQ(archive->file_get_contents("in/empty"), Data{}) << name;
    EXPECT_EQ(archive->file_get_contents("in/caf\xC3\xA9.txt"), platform::dataFromString("accent")) << name;
    EXPECT_TRUE(archive->is_dir("in/sub/")) << name;
  }
  std::shared_ptr<ZBDataArchive> tool = ZBDataArchive::archiveWithArchivePath(path("tool.zip"));
  EXPECT_TRUE(tool->is_link("in/ln"));
  const ZBCDHeader* a = nullptr;
  for (const ZBCDHeader& h : tool->centralDirectory())
    if (h.filename() == "in/a.txt") a = &h;
  ASSERT_TRUE(a);
  struct stat st;
  ASSERT_EQ(::stat(path("in/a.txt").c_str(), &st), 0);
  EXPECT_NEAR(a->lastModDate().timeIntervalSince1970(), static_cast<double>(st.st_mtime), 2.0);
  EXPECT_EQ(a->posixPermissions(), st.st_mode & 0777);

  // Zip64: the end record points at the Zip64 end record, the header carries only the size
  // whose field holds the sentinel.
  std::shared_ptr<ZBDataArchive> z64 = ZBDataArchive::archiveWithArchivePath(path("z64.zip"));
  ASSERT_TRUE(z64);
  EXPECT_EQ(z64->file_get_contents("in/a.txt"), platform::dataFromString(text));
  std::optional<Data> whole = zb::dataFromPath(path("z64.zip"), {0, zb::dataSizeAtFilePath(path("z64.zip"))});
  ASSERT_TRUE(whole);
  std::shared_ptr<ZBDataArchive> z64mem = ZBDataArchive::archiveWithArchiveData(*whole);
  ASSERT_TRUE(z64mem);
  EXPECT_EQ(z64mem->file_get_contents("in/a.txt"), platform::dataFromString(text));
}

TEST_F(ZBDataArchiveTest, NamesThatAreNotUtf8AreAbsentWhenReadFromAFile) {
  Data bytes = ZipBuilder().add("ok.txt", "1").add("caf\xE9.txt", "2").build();
  test::writeFile(path("legacy.zip"), bytes);
  std::shared_ptr<ZBDataArchive> opened = ZBDataArchive::archiveWithArchivePath(path("legacy.zip"));
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->files_name_list(), std::vector<std::string>{"ok.txt"});
  std::shared_ptr<ZBDataArchive> inMemory = ZBDataArchive::archiveWithArchiveData(bytes);
  EXPECT_EQ(inMemory->files_name_list(), (std::vector<std::string>{"ok.txt", "caf?.txt"}));
}

TEST_F(ZBDataArchiveTest, ValidityLooksAtTheFirstBytes) {
  test::writeFile(path("empty"), "");
  test::writeFile(path("endonly"), ZBCDTrailer().data());
  test::writeFile(path("pk"), "PK\x03\x04 anything");
  EXPECT_FALSE(ZBArchive::validArchiveAtPath(path("empty")));
  EXPECT_FALSE(ZBArchive::validArchiveAtPath(path("endonly")));
  EXPECT_FALSE(ZBArchive::validArchiveAtPath(path("missing")));
  EXPECT_TRUE(ZBArchive::validArchiveAtPath(path("pk")));
  EXPECT_FALSE(ZBArchive::validArchiveForData(Data{0x50, 0x4B, 0x03}));
  // An archive without entries opens, with nothing in it.
  std::shared_ptr<ZBDataArchive> none = ZBDataArchive::archiveWithArchivePath(path("endonly"));
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->files_name_list().empty());
  EXPECT_FALSE(ZBDataArchive::archiveWithArchivePath(path("pk")));
  EXPECT_FALSE(ZBDataArchive::archiveWithArchivePath(path("missing")));
}

TEST_F(ZBDataArchiveTest, UniqueNamesCountUp) {
  test::writeFile(path("a.zip"), "");
  test::writeFile(path("a 2.zip"), "");
  EXPECT_EQ(ZBArchive::uniquify(path("a.zip")), path("a 3.zip"));
  EXPECT_EQ(ZBArchive::uniquify(path("b.zip")), path("b.zip"));
  ::mkdir(path("x").c_str(), 0755);
  EXPECT_EQ(ZBArchive::uniquify(path("x")), path("x 2"));
  EXPECT_EQ(ZBArchive::uniqueExpansionDirectoryIn(dir_.path()), path(".ZipBox"));
  ::mkdir(path(".ZipBox").c_str(), 0755);
  EXPECT_EQ(ZBArchive::uniqueExpansionDirectoryIn(dir_.path()), path(".ZipBox 1"));
}

TEST_F(ZBDataArchiveTest, AddsFoldersFilesAndLinksFromDisk) {
  test::writeFile(path("src/a/b.txt"), "bee");
  test::writeFile(path("src/a/c/d.txt"), "dee");
  ASSERT_EQ(::symlink("b.txt", path("src/a/l").c_str()), 0);
  std::shared_ptr<ZBDataArchive> archive = ZBDataArchive::create();
  ASSERT_EQ(archive->deflateFiles({path("src/a")}, path("src") + "/"), 1);
  EXPECT_EQ(archive->files_name_list(),
            (std::vector<std::string>{"a/", "a/b.txt", "a/c/", "a/c/d.txt", "a/l"}));
  EXPECT_EQ(archive->centralDirectory()[0].versionNeededToExtract(), 10u);
  EXPECT_EQ(archive->centralDirectory()[0].compressionMethod(), 0u);
  EXPECT_TRUE(archive->is_link("a/l"));
  EXPECT_EQ(archive->file_get_contents("a/c/d.txt"), platform::dataFromString("dee"));
  EXPECT_EQ(archive->deflateFiles({}, path("src")), 1);
  EXPECT_EQ(archive->deflateFile(path("src/none"), path("src")), -1);
  // The base is a prefix, not any occurrence.
  std::shared_ptr<ZBDataArchive> other = ZBDataArchive::create();
  ASSERT_EQ(other->deflateFile(path("src/a/b.txt"), "a"), 1);
  EXPECT_EQ(other->files_name_list()[0], path("src/a/b.txt").substr(1));

  test::writeFile(path("made.zip"), archive->data());
  EXPECT_EQ(unzipTest(path("made.zip")), 0);
  ASSERT_EQ(archive->inflateInFolder(path("out")), -1);  // the folder must exist
  ::mkdir(path("out").c_str(), 0755);
  ASSERT_EQ(archive->inflateInFolder(path("out")), 1);
  EXPECT_EQ(test::readFile(path("out/a/c/d.txt")), "dee");
  EXPECT_TRUE(zb::isSymLinkAtPath(path("out/a/l")));
  EXPECT_EQ(test::readFile(path("out/a/l")), "bee");
  EXPECT_FALSE(test::exists(path("out/.ZipBox")));

  // Expanded a second time, elsewhere, the archive gives its entries once each, as the first time.
  ::mkdir(path("again").c_str(), 0755);
  ASSERT_EQ(archive->inflateInFolder(path("again")), 1);
  std::vector<std::string> inflated;
  for (const ZBInflatedFile& file : archive->inflatedFiles()) inflated.push_back(file.path);
  EXPECT_EQ(inflated, archive->files_name_list());
  EXPECT_EQ(test::readFile(path("again/a/c/d.txt")), "dee");
  EXPECT_EQ(test::readFile(path("again/a/l")), "bee");
}

TEST_F(ZBDataArchiveTest, AddingToAnArchiveOpenedByPathKeepsItsEntries) {
  std::shared_ptr<ZBDataArchive> first = ZBDataArchive::create();
  ASSERT_EQ(first->deflateData(platform::dataFromString("one"), "1.txt"), 1);
  test::writeFile(path("grow.zip"), first->data());
  std::shared_ptr<ZBDataArchive> opened = ZBDataArchive::archiveWithArchivePath(path("grow.zip"));
  ASSERT_TRUE(opened);
  ASSERT_EQ(opened->deflateData(platform::dataFromString("two"), "2.txt"), 1);
  std::shared_ptr<ZBDataArchive> again = ZBDataArchive::archiveWithArchiveData(opened->data());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->file_get_contents("1.txt"), platform::dataFromString("one"));
  EXPECT_EQ(again->file_get_contents("2.txt"), platform::dataFromString("two"));
}

TEST_F(ZBDataArchiveTest, DamagedEntriesReadAsNothing) {
  std::string text = test::sampleText(10000);
  Data packed = *zb::deflate(platform::dataFromString(text));
  Data bytes =
      ZipBuilder()
          .add({.name = "badcrc", .content = platform::dataFromString(text), .crc = 1234})
          .add({.name = "short", .content = platform::dataFromString(text), .uncompressedSize = 9999})
          .add({.name = "long", .content = platform::dataFromString(text), .uncompressedSize = 10001})
          // A bomb: the declared size is small, the stream is not.
          .add({.name = "bomb", .content = Data(5 << 20, 0), .uncompressedSize = 100})
          .add({.name = "past", .content = platform::dataFromString(text), .compressedSize = 1u << 30})
          .add({.name = "offset", .content = platform::dataFromString("x"), .localHeaderOffset = 0x7FFFFFF0})
          .add({.name = "stored",
                .content = platform::dataFromString("abc"),
                .method = 0,
                .uncompressedSize = 2})
          .add({.name = "method", .content = platform::dataFromString("abc"), .method = 99})
          .add({.name = "garbage",
                .content = platform::dataFromString("abc"),
                .stored = Data{0xFF, 0xFF, 0xFF}})
          .build();
  test::writeFile(path("bad.zip"), bytes);
  for (auto archive : {ZBDataArchive::archiveWithArchiveData(bytes),
                       ZBDataArchive::archiveWithArchivePath(path("bad.zip"))}) {
    ASSERT_TRUE(archive);
    for (const std::string& name : archive->files_name_list())
      EXPECT_FALSE(archive->file_get_contents(name)) << name;
    EXPECT_EQ(archive->inflateAll(), -1);
  }
}

TEST_F(ZBDataArchiveTest, BrokenDirectoriesOpenNothing) {
  Data good = ZipBuilder().add("a", "1").add("b", "2").build();
  for (std::size_t cut = 1; cut < good.size(); cut += 7)
    EXPECT_FALSE(ZBDataArchive::archiveWithArchiveData(Data(good.begin(), good.end() - cut))) << cut;
  Data lying = good;
  lying[lying.size() - 6] = 0x05;  // directory offset moved off its first header
  EXPECT_FALSE(ZBDataArchive::archiveWithArchiveData(lying));
  Data counted = good;
  counted[counted.size() - 12] = 9;  // more entries than there are headers
  EXPECT_FALSE(ZBDataArchive::archiveWithArchiveData(counted));
  EXPECT_FALSE(ZBDataArchive::archiveWithArchiveData(Data{}));
}

TEST_F(ZBDataArchiveTest, AnEndRecordInsideTheCommentIsNotTheOne) {
  ZBCDTrailer fake;
  fake.setCommentLength(0);
  fake.setComment("");
  Data fakeBytes = fake.data();  // a complete end record: no entries
  std::shared_ptr<ZBDataArchive> archive = ZBDataArchive::create();
  archive->setComment("note " + std::string(fakeBytes.begin(), fakeBytes.end()));
  ASSERT_EQ(archive->deflateData(platform::dataFromString("content"), "a.txt"), 1);
  test::writeFile(path("c.zip"), archive->data());
  for (auto parsed : {ZBDataArchive::archiveWithArchiveData(archive->data()),
                      ZBDataArchive::archiveWithArchivePath(path("c.zip"))}) {
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->file_get_contents("a.txt"), platform::dataFromString("content"));
  }
}

TEST_F(ZBDataArchiveTest, ExpansionStaysInsideTheTargetFolder) {
  ::mkdir(path("target").c_str(), 0755);
  struct Case {
    const char* name;
    Data bytes;
  };
  std::vector<Case> cases = {
      {"dotdot", ZipBuilder().add("ok.txt", "fine").add("../escaped.txt", "bad").build()},
      {"deep", ZipBuilder().add("a/../../escaped.txt", "bad").build()},
      {"absolute", ZipBuilder().add("/tmp/escaped-absolute.txt", "bad").build()},
      {"through link", ZipBuilder()
                           .add({.name = "ln",
                                 .content = platform::dataFromString("../.."),
                                 .method = 0,
                                 .externalAttributes = 0xA1FF0000})
                           .add("ln/escaped.txt", "bad")
                           .build()},
      {"duplicate", ZipBuilder().add("same.txt", "one").add("./same.txt", "two").build()},
      {"link then file", ZipBuilder()
                             .add({.name = "x",
                                   .content = platform::dataFromString("../../escaped.txt"),
                                   .method = 0,
                                   .externalAttributes = 0xA1FF0000})
                             .add("x", "bad")
                             .build()},
  };
  for (const Case& c : cases) {
    std::shared_ptr<ZBDataArchive> archive = ZBDataArchive::archiveWithArchiveData(c.bytes);
    ASSERT_TRUE(archive) << c.name;
    EXPECT_EQ(archive->inflateInFolder(path("target")), -1) << c.name;
    EXPECT_FALSE(test::exists(path("escaped.txt"))) << c.name;
    EXPECT_FALSE(test::exists("/tmp/escaped-absolute.txt")) << c.name;
    EXPECT_FALSE(test::exists(path("target/.ZipBox"))) << c.name;
  }
  EXPECT_EQ(test::readFile(path("target/same.txt")), "one");
}

}  // namespace
}  // namespace kavro
