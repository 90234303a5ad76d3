#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "kit/codec/zip/ZBCDTrailer64.h"
#include "kit/codec/zip/ZBCDTrailer64Locator.h"
#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/codec/zip/ZBFileArchive.h"
#include "kit/codec/zip/ZBLog.h"
#include "tests/kit/codec/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

using platform::Data;
using test::ZipBuilder;

// Records what an archive tells it; every call must arrive on the main thread.
class Recorder : public ZBArchiveDelegate {
 public:
  explicit Recorder(bool wantsSizes = true) : wantsSizes_(wantsSizes) {}
  bool zbDelegateWantsSizes() override { return wantsSizes_; }
  void onZBArchiveDidBeginZip(ZBArchive&) override { note("beginZip"); }
  void onZBArchiveDidBeginUnzip(ZBArchive&) override { note("beginUnzip"); }
  void onZBArchiveWillZipPath(ZBArchive&, const std::string& path) override { note("zip " + path); }
  void onZBArchiveWillUnzipPath(ZBArchive&, const std::string& path) override { note("unzip " + path); }
  void onZBArchiveDidEndZip(ZBArchive&) override { note("endZip"); }
  void onZBArchiveDidEndUnzip(ZBArchive&) override { note("endUnzip"); }
  void onZBArchiveDidCancel(ZBArchive&) override {
    note("cancel");
    ++cancels;
  }
  void onZBArchiveDidFail(ZBArchive&) override { note("fail"); }
  void onZBArchiveDidUpdateTotalSize(ZBArchive&, std::uint64_t size) override {
    totalSize = size;
    gotTotalSize = true;
  }
  void onZBArchiveDidUpdateTotalCount(ZBArchive&, std::uint64_t count) override {
    totalCount = count;
    gotTotalCount = true;
  }
  void onZBArchiveDidUpdateBytesWritten(ZBArchive&, std::uint64_t bytes) override {
    bytesWritten += bytes;
    ++byteReports;
  }

  bool ended() const {
    for (const std::string& e : events)
      if (e == "endZip" || e == "endUnzip" || e == "fail" || e == "cancel") return true;
    return false;
  }
  bool has(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  std::vector<std::string> events;
  std::uint64_t totalSize = 0, totalCount = 0, bytesWritten = 0;
  bool gotTotalSize = false, gotTotalCount = false;
  int byteReports = 0, cancels = 0;
  bool offMainThread = false;

 private:
  void note(std::string event) {
    if (!platform::RunLoop::main().isCurrentThread()) offMainThread = true;
    events.push_back(std::move(event));
  }
  bool wantsSizes_;
};

// Cancels once it has been asked `after` times.
class Canceller : public ZBInvoker {
 public:
  explicit Canceller(int after) : after_(after) {}
  bool isCancelled() const override { return ++polls_ > after_; }
  int polls() const { return polls_.load(); }

 private:
  int after_;
  mutable std::atomic<int> polls_{0};
};

class ZBFileArchiveTest : public test::VirtualRunLoopTest {
 protected:
  std::string path(const std::string& name) const { return dir_.path() + "/" + name; }
  int shell(const std::string& command) { return test::run("cd '" + dir_.path() + "' && " + command); }
  std::shared_ptr<ZBFileArchive> process(const std::string& item,
                                         std::shared_ptr<ZBArchiveDelegate> delegate = nullptr,
                                         std::shared_ptr<ZBInvoker> invoker = nullptr) {
    return ZBFileArchive::process(item, false, invoker, delegate);
  }
  // Delivers what was posted to the main thread.
  void drain() { runFor(0); }

  test::TempDir dir_;
};

TEST_F(ZBFileArchiveTest, CompressesAFolderEntryByEntry) {
  test::writeFile(path("a/b.txt"), "bee");
  auto recorder = std::make_shared<Recorder>();
  std::shared_ptr<ZBFileArchive> archive = process(path("a"), recorder);
  ASSERT_TRUE(archive);
  EXPECT_EQ(archive->archivePath(), path("a.zip"));
  ASSERT_EQ(archive->centralDirectory().size(), 2u);
  const ZBCDHeader& folder = archive->centralDirectory()[0];
  EXPECT_EQ(folder.filename(), "a/");
  EXPECT_EQ(folder.compressionMethod(), 0u);
  EXPECT_EQ(folder.versionNeededToExtract(), 10u);
  EXPECT_TRUE(folder.isDirectory());
  EXPECT_EQ(archive->centralDirectory()[1].filename(), "a/b.txt");
  EXPECT_EQ(archive->centralDirectory()[1].compressionMethod(), 8u);
  EXPECT_EQ(recorder->events,
            (std::vector<std::string>{"beginZip", "zip " + path("a"), "zip " + path("a/b.txt"), "endZip"}));
  EXPECT_FALSE(recorder->offMainThread);
  // The totals come from a thread of their own.
  ASSERT_TRUE(runUntil([&] { return recorder->gotTotalSize && recorder->gotTotalCount; }, HUGE_VAL));
  EXPECT_EQ(recorder->totalSize, 3u);
  EXPECT_EQ(recorder->totalCount, 2u);
  EXPECT_EQ(shell("unzip -tq a.zip"), 0);

  // Again: the name is made unique.
  std::shared_ptr<ZBFileArchive> second = process(path("a"));
  ASSERT_TRUE(second);
  EXPECT_EQ(second->archivePath(), path("a 2.zip"));
}

TEST_F(ZBFileArchiveTest, SeveralItemsGoIntoOneArchive) {
  test::writeFile(path("one.txt"), "1");
  test::writeFile(path("d/two.txt"), "2");
  std::shared_ptr<ZBFileArchive> archive =
      ZBFileArchive::process(std::vector<std::string>{path("one.txt"), path("d")}, false, {}, {});
  ASSERT_TRUE(archive);
  EXPECT_EQ(archive->archivePath(), path("Archive.zip"));
  std::shared_ptr<ZBDataArchive> check = ZBDataArchive::archiveWithArchivePath(path("Archive.zip"));
  ASSERT_TRUE(check);
  EXPECT_EQ(check->files_name_list(), (std::vector<std::string>{"one.txt", "d/", "d/two.txt"}));
  EXPECT_FALSE(ZBFileArchive::process(std::vector<std::string>{}, false, {}, {}));
  std::shared_ptr<ZBFileArchive> single =
      ZBFileArchive::process(std::vector<std::string>{path("one.txt")}, false, {}, {});
  ASSERT_TRUE(single);
  EXPECT_EQ(single->archivePath(), path("one.zip"));
}

TEST_F(ZBFileArchiveTest, ExpandsBesideTheArchiveUnderAFreeName) {
  test::writeFile(path("src/x/inner.txt"), "inner");
  struct timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path("src/x/inner.txt").c_str(), times, 0), 0);
  ::chmod(path("src/x/inner.txt").c_str(), 0640);
  ASSERT_EQ(shell("cd src && zip -qr ../x.zip x"), 0);
  ::mkdir(path("x").c_str(), 0755);
  ::mkdir(path("x 2").c_str(), 0755);

  auto recorder = std::make_shared<Recorder>();
  std::shared_ptr<ZBFileArchive> archive = process(path("x.zip"), recorder);
  ASSERT_TRUE(archive);
  EXPECT_EQ(test::readFile(path("x 3/inner.txt")), "inner");
  struct stat st;
  ASSERT_EQ(::stat(path("x 3/inner.txt").c_str(), &st), 0);
  // The entry's permissions come along, less what the umask takes away.
  mode_t umask = ::umask(022);
  ::umask(umask);
  EXPECT_EQ(st.st_mode & 0777, 0640u & ~umask);
  EXPECT_NEAR(static_cast<double>(st.st_mtime), 1500000000.0, 2.0);
  EXPECT_FALSE(test::exists(path(".ZipBox")));
  EXPECT_EQ(recorder->events,
            (std::vector<std::string>{"beginUnzip", "unzip x/", "unzip x/inner.txt", "endUnzip"}));
  EXPECT_EQ(recorder->totalSize, 5u);
  EXPECT_EQ(recorder->totalCount, 2u);
  EXPECT_EQ(recorder->bytesWritten, 5u);
}

TEST_F(ZBFileArchiveTest, RoundTripsWithTheZipTools) {
  // Block edges: empty, one block exactly (a full block, then the empty final one), one byte more.
  test::writeFile(path("in/empty"), "");
  test::writeFile(path("in/block"), platform::dataFromString(test::sampleText(ZBFileArchive::BlockSize)));
  test::writeFile(path("in/block1"), test::noise(ZBFileArchive::BlockSize + 1));
  test::writeFile(path("in/text.txt"), test::sampleText(700000, 3));
  ::mkdir(path("in/emptydir").c_str(), 0755);
  ASSERT_EQ(::symlink("text.txt", path("in/link").c_str()), 0);

  std::shared_ptr<ZBFileArchive> ours = process(path("in"));
  ASSERT_TRUE(ours);
  EXPECT_EQ(shell("unzip -tq in.zip"), 0);
  ASSERT_EQ(shell("mkdir tool && cd tool && unzip -q ../in.zip"), 0);
  for (const char* name : {"empty", "block", "block1", "text.txt"})
    EXPECT_EQ(test::readFile(path(std::string("tool/in/") + name)),
              test::readFile(path(std::string("in/") + name)))
        << name;
  EXPECT_TRUE(zb::isSymLinkAtPath(path("tool/in/link")));
  EXPECT_TRUE(zb::isDirAtPath(path("tool/in/emptydir")));

  ASSERT_EQ(shell("zip -qry theirs.zip in && zip -qr0 stored.zip in"), 0);
  for (const char* archive : {"theirs", "stored"}) {
    std::string folder = path(std::string("x") + archive);
    ::mkdir(folder.c_str(), 0755);
    ASSERT_EQ(shell(std::string("mv ") + archive + ".zip x" + archive + "/"), 0);
    ASSERT_TRUE(process(folder + "/" + archive + ".zip")) << archive;
    for (const char* name : {"empty", "block", "block1", "text.txt"})
      EXPECT_EQ(test::readFile(folder + "/in/" + name), test::readFile(path(std::string("in/") + name)))
          << archive << name;
    EXPECT_TRUE(zb::isDirAtPath(folder + "/in/emptydir")) << archive;
  }
  EXPECT_TRUE(zb::isSymLinkAtPath(path("xtheirs/in/link")));
}

TEST_F(ZBFileArchiveTest, AddsToAnArchiveTheZipToolWrote) {
  test::writeFile(path("a.txt"), "alpha");
  test::writeFile(path("b.txt"), "beta");
  ASSERT_EQ(shell("zip -q tool.zip a.txt"), 0);  // its headers carry extra blocks we drop
  std::shared_ptr<ZBFileArchive> archive = ZBFileArchive::archiveWithArchivePath(path("tool.zip"));
  ASSERT_TRUE(archive);
  ASSERT_EQ(archive->deflateFile(path("b.txt"), dir_.path()), 1);
  EXPECT_EQ(shell("unzip -tq tool.zip"), 0);
  std::shared_ptr<ZBDataArchive> check = ZBDataArchive::archiveWithArchivePath(path("tool.zip"));
  ASSERT_TRUE(check);
  EXPECT_EQ(check->file_get_contents("a.txt"), platform::dataFromString("alpha"));
  EXPECT_EQ(check->file_get_contents("b.txt"), platform::dataFromString("beta"));
  EXPECT_FALSE(ZBFileArchive::archiveWithArchivePath(path("a.txt")));
}

TEST_F(ZBFileArchiveTest, WritesAndReadsZip64Records) {
  test::writeFile(path("f.txt"), "zip64");
  std::shared_ptr<ZBFileArchive> archive = ZBFileArchive::archiveWithArchivePath(path("z.zip"));
  ASSERT_TRUE(archive);
  archive->setUseZip64Extensions(true);
  ASSERT_EQ(archive->deflateFile(path("f.txt"), dir_.path()), 1);
  EXPECT_EQ(shell("unzip -tq z.zip"), 0);
  // The end record is preceded by a locator pointing at the Zip64 end record.
  std::uint64_t at = 0;
  std::optional<ZBCDTrailer> trailer = ZBCDTrailer::recordWithArchivePath(path("z.zip"), &at);
  ASSERT_TRUE(trailer);
  std::optional<ZBCDTrailer64Locator> locator =
      ZBCDTrailer64Locator::recordWithArchivePath(path("z.zip"), zb::dataSizeAtFilePath(path("z.zip")) - at);
  ASSERT_TRUE(locator);
  std::optional<ZBCDTrailer64> trailer64 = ZBCDTrailer64::recordWithArchivePath(
      path("z.zip"), locator->offsetOfStartOfCentralDirectoryTrailer64());
  ASSERT_TRUE(trailer64);
  EXPECT_EQ(trailer64->totalNumberOfCentralDirectoryEntries(), 1u);

  // An archive whose end record holds sentinels is read through its Zip64 records.
  ASSERT_EQ(shell("zip -q -fz tool64.zip f.txt"), 0);
  std::shared_ptr<ZBFileArchive> tool = ZBFileArchive::archiveWithArchivePath(path("tool64.zip"));
  ASSERT_TRUE(tool);
  ASSERT_EQ(tool->centralDirectory().size(), 1u);
  EXPECT_EQ(tool->centralDirectory()[0].uncompressedSize(), 5u);
  ::mkdir(path("out").c_str(), 0755);
  ASSERT_EQ(shell("mv tool64.zip out/"), 0);
  ASSERT_TRUE(process(path("out/tool64.zip")));
  EXPECT_EQ(test::readFile(path("out/f.txt")), "zip64");
}

TEST_F(ZBFileArchiveTest, ReportsProgressFromAnotherThread) {
  const std::size_t size = 26u << 20;  // 104 blocks: one report after 100, one for the rest
  test::writeFile(path("big/data.txt"), test::sampleText(size, 11));
  auto zipping = std::make_shared<Recorder>();
  std::shared_ptr<ZBFileArchive> made;
  std::thread worker([&] { made = ZBFileArchive::process(path("big"), false, {}, zipping); });
  ASSERT_TRUE(runUntil([&] { return zipping->ended() && zipping->gotTotalSize; }, HUGE_VAL));
  worker.join();
  drain();
  ASSERT_TRUE(made);
  EXPECT_TRUE(zipping->has("endZip"));
  EXPECT_FALSE(zipping->offMainThread);
  EXPECT_EQ(zipping->totalSize, size);
  EXPECT_EQ(zipping->bytesWritten, size);
  EXPECT_EQ(zipping->byteReports, 2);

  ::mkdir(path("x").c_str(), 0755);
  ASSERT_EQ(shell("mv big.zip x/"), 0);
  auto unzipping = std::make_shared<Recorder>();
  std::thread expander([&] { ZBFileArchive::process(path("x/big.zip"), false, {}, unzipping); });
  ASSERT_TRUE(runUntil([&] { return unzipping->ended(); }, HUGE_VAL));
  expander.join();
  drain();
  EXPECT_TRUE(unzipping->has("endUnzip"));
  EXPECT_EQ(unzipping->totalSize, size);
  EXPECT_EQ(unzipping->bytesWritten, size);
  EXPECT_GE(unzipping->byteReports, 2);
  EXPECT_EQ(zb::dataSizeAtFilePath(path("x/big/data.txt")), size);
}

TEST_F(ZBFileArchiveTest, CancellingExpansionKeepsThePartialFile) {
  test::writeFile(path("src/n.bin"), test::noise(3 * ZBFileArchive::BlockSize));
  ASSERT_EQ(shell("cd src && zip -q0 ../n.zip n.bin"), 0);
  auto recorder = std::make_shared<Recorder>();
  auto canceller = std::make_shared<Canceller>(0);
  std::shared_ptr<ZBFileArchive> archive = process(path("n.zip"), recorder, canceller);
  ASSERT_TRUE(archive);
  EXPECT_EQ(canceller->polls(), 1);
  ASSERT_TRUE(runUntil([&] { return recorder->cancels == 2; }, 1));
  EXPECT_FALSE(recorder->has("endUnzip"));
  EXPECT_EQ(zb::dataSizeAtFilePath(path("n.bin")), ZBFileArchive::BlockSize);
  EXPECT_FALSE(test::exists(path(".ZipBox")));
}

TEST_F(ZBFileArchiveTest, ExpansionLooksForACancelOncePerBlockItWrote) {
  const std::size_t block = ZBFileArchive::BlockSize;
  struct Case {
    const char* name;
    platform::Data content;
    std::uint32_t method;
    int blocks;  // output blocks, so polls of the cancel
  };
  std::vector<Case> cases = {
      {"small", platform::dataFromString("tiny"), 8, 1},
      {"one block", platform::dataFromString(test::sampleText(block)), 8, 1},
      {"two blocks", platform::dataFromString(test::sampleText(2 * block, 5)), 8, 2},
      {"a byte over", platform::dataFromString(test::sampleText(block + 1, 9)), 8, 2},
      {"stored, two blocks", test::noise(2 * block), 0, 2},
      {"stored, a byte over", test::noise(block + 1), 0, 2},
  };
  int n = 0;
  for (const Case& c : cases) {
    test::ZipBuilder::Entry entry;
    entry.name = "e.bin";
    entry.content = c.content;
    entry.method = c.method;
    Data bytes = ZipBuilder().add(entry).build();
    std::string whole(c.content.begin(), c.content.end());

    // Asked for after the last block, the cancel comes too late: the entry is whole.
    std::string late = path("late" + std::to_string(n));
    test::writeFile(late + "/c.zip", bytes);
    auto finished = std::make_shared<Recorder>();
    auto tooLate = std::make_shared<Canceller>(c.blocks);
    ASSERT_TRUE(process(late + "/c.zip", finished, tooLate)) << c.name;
    EXPECT_EQ(tooLate->polls(), c.blocks) << c.name;
    EXPECT_TRUE(finished->has("endUnzip")) << c.name;
    EXPECT_EQ(test::readFile(late + "/e.bin"), whole) << c.name;

    // Asked for at the last block, it stops the run though every byte is out.
    std::string last = path("last" + std::to_string(n++));
    test::writeFile(last + "/c.zip", bytes);
    auto stopped = std::make_shared<Recorder>();
    auto atLast = std::make_shared<Canceller>(c.blocks - 1);
    ASSERT_TRUE(process(last + "/c.zip", stopped, atLast)) << c.name;
    EXPECT_EQ(atLast->polls(), c.blocks) << c.name;
    EXPECT_FALSE(stopped->has("endUnzip")) << c.name;
    EXPECT_TRUE(runUntil([&] { return stopped->cancels == 2; }, 1)) << c.name;
    EXPECT_EQ(test::readFile(last + "/e.bin"), whole) << c.name;
  }
}

TEST_F(ZBFileArchiveTest, CancellingCompressionRemovesTheArchive) {
  test::writeFile(path("c/data"), test::noise(2 * ZBFileArchive::BlockSize));
  auto recorder = std::make_shared<Recorder>(false);
  std::shared_ptr<ZBFileArchive> archive = process(path("c"), recorder, std::make_shared<Canceller>(0));
  ASSERT_TRUE(archive);
  ASSERT_TRUE(runUntil([&] { return recorder->cancels == 2; }, 1));
  EXPECT_FALSE(recorder->has("endZip"));
  EXPECT_FALSE(test::exists(path("c.zip")));

  // A cancelled addition to an existing archive leaves the earlier entries readable.
  test::writeFile(path("keep.txt"), "kept");
  std::shared_ptr<ZBFileArchive> growing = ZBFileArchive::archiveWithArchivePath(path("g.zip"));
  ASSERT_EQ(growing->deflateFile(path("keep.txt"), dir_.path()), 1);
  auto canceller = std::make_shared<Canceller>(0);
  growing->setInvoker(canceller);
  EXPECT_EQ(growing->deflateFile(path("c/data"), dir_.path()), 0);
  EXPECT_EQ(growing->centralDirectory().size(), 1u);
  EXPECT_EQ(shell("unzip -tq g.zip"), 0);
  EXPECT_LT(zb::dataSizeAtFilePath(path("g.zip")), 1000u);
}

TEST_F(ZBFileArchiveTest, AStoredEntryWithABadCrcFails) {
  Data bytes =
      ZipBuilder()
          .add({.name = "s.txt", .content = platform::dataFromString("stored"), .method = 0, .crc = 1})
          .build();
  test::writeFile(path("crc.zip"), bytes);
  auto recorder = std::make_shared<Recorder>();
  ZBLog::setDebugLoggingEnabled(true);
  testing::internal::CaptureStderr();
  std::shared_ptr<ZBFileArchive> archive = process(path("crc.zip"), recorder);
  std::string log = testing::internal::GetCapturedStderr();
  ZBLog::setDebugLoggingEnabled(false);
  ASSERT_TRUE(archive);
  EXPECT_TRUE(recorder->has("fail"));
  EXPECT_EQ(test::readFile(path("s.txt")), "stored");
  EXPECT_NE(log.find("Inflation CRC mismatch for "), std::string::npos) << log;
  EXPECT_NE(log.find("stored: 1, calculated: "), std::string::npos) << log;
}

TEST_F(ZBFileArchiveTest, AnUnknownMethodFailsTheRun) {
  Data bytes = ZipBuilder()
                   .add("ok.txt", "fine")
                   .add({.name = "odd.bin", .content = platform::dataFromString("x"), .method = 12})
                   .build();
  test::writeFile(path("odd.zip"), bytes);
  auto recorder = std::make_shared<Recorder>();
  ASSERT_TRUE(process(path("odd.zip"), recorder));
  EXPECT_TRUE(recorder->has("fail"));
  EXPECT_EQ(test::readFile(path("ok.txt")), "fine");
  EXPECT_FALSE(test::exists(path("odd.bin")));
}

TEST_F(ZBFileArchiveTest, HostileArchivesFailInsideTheirFolder) {
  std::string text = test::sampleText(100000);
  struct Case {
    const char* name;
    Data bytes;
  };
  std::vector<Case> cases = {
      {"dotdot", ZipBuilder().add("../../escaped.txt", "bad").build()},
      {"absolute", ZipBuilder().add("/tmp/kavro-zip-escaped.txt", "bad").build()},
      {"through link", ZipBuilder()
                           .add({.name = "ln",
                                 .content = platform::dataFromString("../.."),
                                 .method = 0,
                                 .externalAttributes = 0xA1FF0000})
                           .add("ln/escaped.txt", "bad")
                           .build()},
      {"duplicate", ZipBuilder().add("dup.txt", "one").add("dup.txt", "two").build()},
      {"bomb",
       ZipBuilder().add({.name = "bomb", .content = Data(20 << 20, 0), .uncompressedSize = 1000}).build()},
      {"short",
       ZipBuilder()
           .add({.name = "short", .content = platform::dataFromString(text), .uncompressedSize = 200000})
           .build()},
      {"truncated",
       [&] {
         Data packed = *zb::deflate(platform::dataFromString(text));
         packed.resize(packed.size() / 2);
         return ZipBuilder()
             .add({.name = "cut", .content = platform::dataFromString(text), .stored = packed})
             .build();
       }()},
      {"offset",
       ZipBuilder()
           .add({.name = "far", .content = platform::dataFromString("x"), .localHeaderOffset = 1u << 30})
           .build()},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string folder = path("case" + std::to_string(n++));
    ::mkdir(folder.c_str(), 0755);
    test::writeFile(folder + "/h.zip", c.bytes);
    auto recorder = std::make_shared<Recorder>();
    std::shared_ptr<ZBFileArchive> archive = process(folder + "/h.zip", recorder);
    ASSERT_TRUE(archive) << c.name;
    EXPECT_TRUE(recorder->has("fail")) << c.name;
    EXPECT_FALSE(test::exists(path("escaped.txt"))) << c.name;
    EXPECT_FALSE(test::exists("/tmp/kavro-zip-escaped.txt")) << c.name;
    EXPECT_FALSE(test::exists(folder + "/.ZipBox")) << c.name;
  }
  // The bomb wrote no more than it declared.
  EXPECT_LE(zb::dataSizeAtFilePath(path("case4/bomb")), 1000u);
  // A file that is not an archive at all is compressed, not expanded.
  test::writeFile(path("junk.zip"), "PK\x03\x04 but nothing else");
  EXPECT_FALSE(process(path("junk.zip")));
}

}  // namespace
}  // namespace kavro
