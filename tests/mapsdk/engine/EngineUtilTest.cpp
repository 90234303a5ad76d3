#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/CVMutex.h"
#include "mapsdk/engine/CVThread.h"
#include "mapsdk/engine/MD5.h"
#include "mapsdk/engine/UIDeviceDiskSpace.h"
#include "mapsdk/engine/VBase64.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/engine/VTick.h"
#include "mapsdk/engine/VUrlEncode.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

using namespace gmengine;

TEST(EngineUtilTest, Base64BothWays) {
  char out[16];
  EXPECT_EQ(Base64Encode(out, sizeof out, "any carnal"), 0);  // needs 17 with its zero
  EXPECT_STREQ(out, "");
  char wide[32];
  EXPECT_EQ(Base64Encode(wide, sizeof wide, "any carnal"), 16);
  EXPECT_STREQ(wide, "YW55IGNhcm5hbA==");
  unsigned char bytes[32];
  EXPECT_EQ(Base64Decode(bytes, sizeof bytes, wide), 10);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 10), "any carnal");
  EXPECT_EQ(Base64Decode(bytes, sizeof bytes, "YW55!IGNh"), 3);  // stops at a foreign character
  EXPECT_EQ(Base64Decode(bytes, 2, "YW55"), 2);                  // stops when the output is full
  EXPECT_EQ(Base64Decode(bytes, sizeof bytes, "Y"), 0);
}

TEST(EngineUtilTest, Md5HexDigest) {
  char out[33];
  EXPECT_EQ(MD5::HexDigest(out, "abc", 3), 32);
  EXPECT_STREQ(out, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(MD5::HexDigest(out, nullptr, 0), 32);
  EXPECT_STREQ(out, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(MD5::HexDigest(out, "abc", -1), 0);
}

TEST(EngineUtilTest, GeographicConversions) {
  double x = 0, y = 0, lon = 0, lat = 0;
  GeoToMercator(180, 0, &x, &y);
  EXPECT_NEAR(x, 20037508.34, 0.01);
  EXPECT_NEAR(y, 0, 1e-6);
  GeoToMercator(116.404, 39.915, &x, &y);
  MercatorToGeo(x, y, &lon, &lat);
  EXPECT_NEAR(lon, 116.404, 1e-9);
  EXPECT_NEAR(lat, 39.915, 1e-9);
  GeoToMercator(0, 90, &x, &y);  // held at the edge of the square world
  EXPECT_NEAR(y, 20037508.34, 0.01);

  EXPECT_NEAR(GeoDistance(0, 0, 1, 0), 111319.49, 0.01);
  EXPECT_NEAR(GeoDistance(116.404, 39.915, 121.474, 31.230), 1067000, 1000);
  EXPECT_EQ(GeoDistance(1, 1, 1, 1), 0);
  EXPECT_GT(GeoDistance(0, 0, 179.9, 0.1), 19000000);  // nearly opposite: still an answer
  EXPECT_EQ(GeoDistance(NAN, 0, 1, 1), 0);

  EXPECT_EQ(CoordShiftToMapSystem(116.404, 39.915, &lon, &lat), 1);
  EXPECT_NEAR(lon - 116.404, 0.0065, 0.00002);
  EXPECT_NEAR(lat - 39.915, 0.0060, 0.00002);
  double again = 0;
  CoordShiftToMapSystem(116.404, 39.915, &again, nullptr);
  EXPECT_EQ(again, lon);
  EXPECT_EQ(CoordShiftToMapSystem(200, 0, &lon, &lat), 0);
}

TEST(EngineUtilTest, FilesAndFolders) {
  kavro::test::TempDir dir;
  CVString folder = CVString::FromUtf8(dir.path() + "/GeoMap/Mapdata/");
  EXPECT_EQ(CreateDirectory(folder), 1);
  EXPECT_EQ(CreateDirectory(folder), 1);
  CVFile file;
  EXPECT_EQ(file.Open(folder + CVString("北京.cfg"), CVFile::modeCreate | CVFile::modeWrite), 1);
  EXPECT_EQ(file.Write("0123456789", 10), 10);
  EXPECT_EQ(file.Seek(4, CVFile::begin), 4);
  char two[2];
  EXPECT_EQ(file.Read(two, 2), 2);
  EXPECT_EQ(file.Write("xy", 2), 2);  // reading, then writing, with no seek between
  EXPECT_EQ(file.SeekToEnd(), 10);
  EXPECT_EQ(file.GetLength(), 10);
  file.Close();
  EXPECT_EQ(file.Open(folder + CVString("北京.cfg"), CVFile::modeRead), 1);
  char all[11] = {};
  EXPECT_EQ(file.Read(all, 10), 10);
  EXPECT_STREQ(all, "012345xy89");
  EXPECT_EQ(file.Write("z", 1), 0);  // opened for reading
  file.Close();
  EXPECT_EQ(file.Open(folder + CVString("missing"), CVFile::modeRead), 0);
  EXPECT_EQ(file.Open(folder + CVString("x"), 0), 0);

  std::ofstream(dir.path() + "/GeoMap/Mapdata/a.CFG") << "a";
  std::ofstream(dir.path() + "/GeoMap/Mapdata/b.dat") << "b";
  CreateDirectory(folder + CVString("sub.cfg"));
  CVArray<CVString> names;
  EXPECT_EQ(GetFileNamesByExtension(folder, CVString("cfg"), names), 2);
  EXPECT_EQ(names[0], CVString("a.CFG"));
  EXPECT_EQ(names[1], CVString("北京.cfg"));
  EXPECT_EQ(GetFileNamesByExtension(folder, CVString("zip"), names), 0);

  CVString target = CVString::FromUtf8(dir.path() + "/data/new/北京.cfg");
  EXPECT_EQ(MoveFile(folder + CVString("北京.cfg"), target), 1);
  EXPECT_EQ(FileExists(target), 1);
  EXPECT_EQ(FileExists(folder + CVString("北京.cfg")), 0);
  EXPECT_EQ(MoveFile(target, target), 0);
  EXPECT_EQ(DeleteFile(target), 1);
  EXPECT_EQ(DeleteFile(target), 0);
  EXPECT_EQ(DeleteFile(folder), 0);  // not a file

  // A lock file has one holder at a time; the holder trying again still holds it, and a lock let go
  // (twice over) is the next one's.
  const CVString lockPath = folder + CVString("download.lock");
  CVFileLock first, second;
  EXPECT_TRUE(first.TryLock(lockPath));
  EXPECT_TRUE(first.TryLock(lockPath));
  EXPECT_FALSE(second.TryLock(lockPath));
  first.Unlock();
  first.Unlock();
  EXPECT_TRUE(second.TryLock(lockPath));
  EXPECT_FALSE(first.TryLock(lockPath));
  EXPECT_FALSE(first.TryLock(CVString()));
}

// Between two file systems a rename cannot move a file: it is copied whole, then the source goes.
TEST(EngineUtilTest, AFileMovesWholeFromAnotherFileSystem) {
  kavro::test::TempDir dir;
  struct stat here {
  }, memory{};
  if (::stat(dir.path().c_str(), &here) != 0 || ::stat("/dev/shm", &memory) != 0 ||
      here.st_dev == memory.st_dev)
    GTEST_SKIP() << "no second file system to move from";
  const std::string source = "/dev/shm/kavro-move-" + std::to_string(::getpid());
  const std::string text = "offline package " + std::string(100000, 'x');
  std::ofstream(source, std::ios::binary) << text;
  const CVString target = CVString::FromUtf8(dir.path() + "/data/北京.dat");
  EXPECT_EQ(MoveFile(CVString::FromUtf8(source), target), 1);
  EXPECT_EQ(FileExists(CVString::FromUtf8(source)), 0) << "the source goes once copied";
  std::ifstream in(dir.path() + "/data/北京.dat", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
  EXPECT_EQ(FileExists(target + CVString(".moving")), 0) << "nothing half-copied is left";

  // Copied but not put in place (a folder stands there): the copy goes and the source stays.
  std::ofstream(source, std::ios::binary) << text;
  const std::string folder = dir.path() + "/data/上海.dat";
  ASSERT_EQ(CreateDirectory(CVString::FromUtf8(folder)), 1);
  EXPECT_EQ(MoveFile(CVString::FromUtf8(source), CVString::FromUtf8(folder)), 0);
  EXPECT_EQ(FileExists(CVString::FromUtf8(folder + ".moving")), 0) << "the copy is not left behind";
  EXPECT_EQ(FileExists(CVString::FromUtf8(source)), 1);
  std::remove(source.c_str());
}

TEST(EngineUtilTest, EnginePathsComeFromTheEnvironment) {
  kavro::test::TempHome home;
  EXPECT_EQ(GetCachesPath().ToUtf8(), home.path() + "/Library/Caches/");
  EXPECT_EQ(GetDocumentsPath().ToUtf8(), home.path() + "/Documents/");
  EXPECT_GT(mapsdk::device::totalDiskSpace(), 0);
  EXPECT_LE(mapsdk::device::myAvailableDiskSpace(), static_cast<double>(mapsdk::device::totalDiskSpace()));
}

TEST(EngineUtilTest, MutexTimesOutAndThreadsRun) {
  CVMutex mutex;
  EXPECT_EQ(mutex.Create(), 1);
  EXPECT_EQ(mutex.Lock(), 1);
  int result = -1;
  std::thread other([&] { result = mutex.Lock(0); });
  other.join();
  EXPECT_EQ(result, 0);
  mutex.Unlock();

  static std::atomic<int> ran{0};
  CVThread thread;
  EXPECT_EQ(thread.CreateThread([](void* arg) { ran += *static_cast<int*>(arg); }, &result), 1);
  EXPECT_EQ(thread.CreateThread([](void*) {}, nullptr), 0);  // one at a time
  EXPECT_EQ(thread.Join(), 1);
  EXPECT_EQ(ran.load(), 0);  // result was 0
  EXPECT_EQ(thread.HasHandle(), 0);
  EXPECT_EQ(thread.Join(), 0);
}

namespace {
// What a thread started through CVThread is handed: a gate it waits at, a signal that it is done,
// and the handle it may drop itself.
struct ThreadErrand {
  std::shared_future<void> go;
  std::promise<void> done;
  CVThread* own = nullptr;
};
}  // namespace

TEST(EngineUtilTest, AForgottenThreadRunsOnAndFreesItsHandle) {
  CVThread thread;
  thread.CloseHandle();  // nothing held: nothing to forget
  EXPECT_EQ(thread.HasHandle(), 0);

  static ThreadErrand first;  // outlives the test: nothing waits for the thread itself
  first = ThreadErrand();
  std::promise<void> go;
  first.go = go.get_future().share();
  std::future<void> firstDone = first.done.get_future();
  ASSERT_EQ(thread.CreateThread(
                [](void* arg) {
                  auto* errand = static_cast<ThreadErrand*>(arg);
                  errand->go.wait();
                  errand->done.set_value();
                },
                &first),
            1);
  thread.CloseHandle();
  EXPECT_EQ(thread.HasHandle(), 0);
  EXPECT_EQ(thread.Join(), 0);  // forgotten: nothing to wait for
  static std::atomic<int> second{0};
  EXPECT_EQ(thread.CreateThread([](void*) { second = 7; }, nullptr), 1);
  EXPECT_EQ(thread.Join(), 1);
  EXPECT_EQ(second.load(), 7);
  go.set_value();
  EXPECT_EQ(firstDone.wait_for(std::chrono::seconds(60)), std::future_status::ready);

  // A thread that drops its own handle is let go rather than waited for by itself.
  static ThreadErrand own;
  own = ThreadErrand();
  std::promise<void> ownGo;
  own.go = ownGo.get_future().share();
  own.own = new CVThread;
  std::future<void> ownDone = own.done.get_future();
  ASSERT_EQ(own.own->CreateThread(
                [](void* arg) {
                  auto* errand = static_cast<ThreadErrand*>(arg);
                  errand->go.wait();
                  delete errand->own;
                  errand->own = nullptr;
                  errand->done.set_value();
                },
                &own),
            1);
  ownGo.set_value();
  EXPECT_EQ(ownDone.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(own.own, nullptr);
}

TEST(EngineUtilTest, UrlEncodingKeepsOnlyTheUnreservedCharacters) {
  // Each range of plain characters with its neighbours on both sides.
  EXPECT_EQ(UrlEncode("/09:@AZ[`az{-._~"), "%2F09%3A%40AZ%5B%60az%7B-._~");
  EXPECT_EQ(UrlEncode("a b+c&d=\xE5\x8C\x97\x7F"), "a%20b%2Bc%26d%3D%E5%8C%97%7F");
  EXPECT_EQ(UrlEncode(""), "");
}

TEST(EngineUtilTest, TickCountFollowsItsClock) {
  auto clock = std::make_shared<platform::VirtualClock>(1000.0);
  SetTickClock(clock);
  std::uint32_t start = GetTickCount();
  clock->advance(1.5);
  EXPECT_EQ(GetTickCount() - start, 1500u);
  SetTickClock(nullptr);
}
