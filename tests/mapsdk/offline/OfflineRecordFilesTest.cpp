#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/offline/COLHotcityList.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COLSearchList.h"
#include "mapsdk/offline/COLUpdateList.h"
#include "mapsdk/offline/COLVersionInfo.h"
#include "mapsdk/offline/CVerDatsetMan.h"
#include "mapsdk/offline/OLRecordFile.h"
#include "tests/mapsdk/offline/OfflineTestSupport.h"

using namespace gmengine;
using offline_test::MakeRecord;

namespace {

std::string ReadAll(const CVString& path) {
  std::string bytes;
  olrecord::ReadWholeFile(path, bytes);
  return bytes;
}

void WriteAll(const CVString& path, const std::string& bytes) {
  olrecord::WriteBytesFile(path, bytes.data(), static_cast<int>(bytes.size()));
}

class OfflineRecordFilesTest : public offline_test::OfflineEngineTest {};

TEST_F(OfflineRecordFilesTest, UpdateListRoundTripsInTheFileLayout) {
  COLUpdateList list;
  list.SetFolder(DataFolder());
  COLUpdateRecord first = MakeRecord(131, {"1_2", "1_3"});
  first.local.name = CVString(u"\u5317\u4eac \"old\" town");
  first.local.ratio = 37;
  COLUpdateRecord second = MakeRecord(132, {"4_5"}, 3, 3, 10);
  second.local.update = 1;
  second.local.state = static_cast<OfflineCityState>(7);  // a state this map does not name
  list.Records().Add(first);
  list.Records().Add(second);
  ASSERT_EQ(list.Write(), 1);

  std::string bytes = ReadAll(DataFolder() + CVString("OfflineUpdate.dat"));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), "[\r\n{");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("]\0", 2));
  EXPECT_NE(bytes.find("\"li\":\"131\",\"ln\":\""), std::string::npos);
  EXPECT_NE(bytes.find("\"lr\":37,\"lu\":131000,"), std::string::npos);
  EXPECT_NE(bytes.find("\"ll\":7,"), std::string::npos);
  EXPECT_NE(bytes.find("\"lt\":\r\n  [\r\n    {\"d\":\"1_2\"},\r\n    {\"d\":\"1_3\"}\r\n  ],\r\n \"si\""),
            std::string::npos);
  EXPECT_NE(bytes.find("  ]\r\n},\r\n{"), std::string::npos);
  EXPECT_NE(bytes.find("  ]\r\n}\r\n]"), std::string::npos);

  COLUpdateList again;
  again.SetFolder(DataFolder());
  ASSERT_EQ(again.Read(), 1);
  ASSERT_EQ(again.Records().GetSize(), 2);
  EXPECT_EQ(again.Records()[0].local.name, first.local.name);
  EXPECT_EQ(again.Records()[0].local.ratio, 37);
  EXPECT_EQ(again.Records()[0].local.savedRatio, 37);
  EXPECT_EQ(again.Records()[1].local.update, 1);
  EXPECT_EQ(again.Records()[1].local.baseLevel, 3);
  EXPECT_EQ(ToInt(again.Records()[1].local.state), 7);  // kept as the file holds it
  EXPECT_EQ(again.GetNameCount(CVString("1_3")), 1);
  EXPECT_EQ(again.GetNameCount(CVString("9_9")), 0);
}

TEST_F(OfflineRecordFilesTest, NamesWhoseCodePageBytesHoldABackslashReadBack) {
  // The first character's second code-page byte is 0x5C.
  const CVString name(u"\u4e57x");
  ASSERT_NE(CVStringToMultiByte(CP_ACP, name).find('\\'), std::string::npos);
  COLUpdateList list;
  list.SetFolder(DataFolder());
  list.Records().Add(MakeRecord(131, {"1_2"}));
  list.Records().Add(MakeRecord(132, {"4_5"}));
  list.Records()[0].local.name = name;
  list.Records()[0].server.name = name;
  ASSERT_EQ(list.Write(), 1);
  COLUpdateList again;
  again.SetFolder(DataFolder());
  ASSERT_EQ(again.Read(), 1);
  ASSERT_EQ(again.Records().GetSize(), 2);
  EXPECT_EQ(again.Records()[0].local.name, name);
  EXPECT_EQ(again.Records()[0].server.name, name);

  // A city list stored as the service sends it (code-page bytes) keeps the name too.
  const std::string cities = "[{\"i\":\"131\",\"n\":\"" + CVStringToMultiByte(CP_ACP, name) +
                             "\",\"sl\":1,\"sh\":2},{\"i\":\"132\",\"n\":\"b\",\"sl\":1,\"sh\":2}]";
  WriteAll(DataFolder() + CVString("OfflineSearch.dat"), cities);
  COLSearchList search;
  search.SetFolder(DataFolder());
  ASSERT_EQ(search.Read(), 1);
  const CVArray<COLSearchRecord>& all = search.Search(CVString());
  ASSERT_EQ(all.GetSize(), 2);
  EXPECT_EQ(all[0].name, name);
}

TEST_F(OfflineRecordFilesTest, BrokenUpdateFilesAndRecordsAreRefused) {
  COLUpdateList list;
  list.SetFolder(DataFolder());
  list.Records().Add(MakeRecord(1, {"1_1"}));
  list.Records().Add(MakeRecord(2, {}));  // written, but dropped when read again
  list.Records().Add(MakeRecord(3, {"3_3"}));
  ASSERT_EQ(list.Write(), 1);
  ASSERT_EQ(list.Read(), 1);
  ASSERT_EQ(list.Records().GetSize(), 2);
  EXPECT_EQ(list.Records()[1].local.id, 3);

  std::string whole = ReadAll(DataFolder() + CVString("OfflineUpdate.dat"));
  for (std::size_t cut : {std::size_t{1}, whole.size() / 3, whole.size() - 3}) {
    WriteAll(DataFolder() + CVString("OfflineUpdate.dat"), whole.substr(0, cut));
    EXPECT_EQ(list.Read(), 0) << cut;
    EXPECT_EQ(list.Records().GetSize(), 0);
  }
  WriteAll(DataFolder() + CVString("OfflineUpdate.dat"), "[{\"li\":\"1\"}, 7, \"x\"]");
  EXPECT_EQ(list.Read(), 1);
  EXPECT_EQ(list.Records().GetSize(), 0);
}

TEST_F(OfflineRecordFilesTest, CityListsPickTheSizeOfTheScreenAndSearchByName) {
  std::string gbk = CVStringToMultiByte(CP_ACP, CVString(u"\u4e0a\u6d77"));
  std::string text = "[{\"i\":\"289\",\"n\":\"" + gbk +
                     "\",\"sl\":10,\"sh\":20},{\"i\":\"131\",\"n\":\"Beijing\",\"sl\":5},"
                     "{\"n\":\"no id\",\"sl\":1}]";
  COLSearchList search;
  search.SetFolder(DataFolder());
  search.SetHighDensity(true);
  ASSERT_EQ(search.Store(text.data(), static_cast<int>(text.size())), 1);
  EXPECT_EQ(FileExists(DataFolder() + CVString("UpdateTmp.dat")), 0);
  // A high-density screen: "sh" is needed.
  const CVArray<COLSearchRecord>& all = search.Search(CVString());
  ASSERT_EQ(all.GetSize(), 1);
  EXPECT_EQ(all[0].name, CVString(u"\u4e0a\u6d77"));
  EXPECT_EQ(all[0].size, 20);
  EXPECT_EQ(search.Search(CVString("zzz")).GetSize(), 0);
  EXPECT_EQ(search.Contains(289), 1);
  EXPECT_EQ(search.Contains(131), 0);

  // Any other screen reads "sl".
  COLHotcityList hot;
  hot.SetFolder(DataFolder());
  ASSERT_EQ(hot.Store(text.data(), static_cast<int>(text.size())), 1);
  ASSERT_EQ(hot.GetList().GetSize(), 2);
  EXPECT_EQ(hot.GetList()[1].size, 5);
}

TEST_F(OfflineRecordFilesTest, VersionFilesReadWithDefaults) {
  CVerDatsetMan versions;
  versions.Init(DataFolder());
  ASSERT_EQ(versions.Local().GetSize(), 2);
  EXPECT_EQ(versions.Local()[0].fileName, CVString("OfflineHotcity.dat"));
  EXPECT_EQ(versions.Local()[1].version, CVString("1.0.0"));

  std::string offered =
      "[{\"f\":\"CMRequire.dat\",\"a\":\"2\",\"d\":\"1\"},{\"f\":\"OfflineSearch.dat\",\"d\":\"1.1\"},{\"d\":"
      "\"3\"}]";
  ASSERT_EQ(versions.CompareServerList(offered.data(), static_cast<int>(offered.size())), 1);
  ASSERT_EQ(versions.Server().GetSize(), 2);
  EXPECT_EQ(versions.Server()[0].version, CVString("2"));
  EXPECT_EQ(versions.CompareServerList("not json", 8), 0);
  ASSERT_EQ(versions.UpdateLocalVersion(CVString("OfflineSearch.dat")), 1);
  EXPECT_EQ(versions.UpdateLocalVersion(CVString("CMRequire.dat")), 0);
  CVerDatsetMan reread;
  reread.Init(DataFolder());
  ASSERT_EQ(reread.Local().GetSize(), 2);
  EXPECT_EQ(reread.Local()[1].version, CVString("1.1"));

  COLVersionInfo version{CVString("c1"), CVString("d1"), CVString("m1")};
  ASSERT_EQ(version.Write(DataFolder() + CVString("OfflineVersion.dat")), 1);
  EXPECT_EQ(ReadAll(DataFolder() + CVString("OfflineVersion.dat")),
            std::string("{\"d\":\"d1\",\"m\":\"m1\",\"c\":\"c1\"}\0", 29));
  COLVersionInfo read;
  ASSERT_EQ(read.Read(DataFolder() + CVString("OfflineVersion.dat")), 1);
  EXPECT_TRUE(read == version);
  WriteAll(DataFolder() + CVString("OfflineVersion.dat"), "{\"d\":\"d1\",\"m");
  EXPECT_EQ(read.Read(DataFolder() + CVString("OfflineVersion.dat")), 0);
  EXPECT_TRUE(read.d.IsEmpty());
  EXPECT_TRUE(read.m.IsEmpty());
  EXPECT_TRUE(read.c.IsEmpty());
  // A file that is gone leaves nothing of the version read before either.
  ASSERT_EQ(version.Write(DataFolder() + CVString("OfflineVersion.dat")), 1);
  ASSERT_EQ(read.Read(DataFolder() + CVString("OfflineVersion.dat")), 1);
  EXPECT_EQ(read.Read(DataFolder() + CVString("Missing.dat")), 0);
  EXPECT_TRUE(read.d.IsEmpty());
  EXPECT_TRUE(read.m.IsEmpty());
  EXPECT_TRUE(read.c.IsEmpty());
}

class COLRecordManTest : public offline_test::OfflineEngineTest {
 protected:
  void Seed(const CVArray<COLUpdateRecord>& records) {
    COLUpdateList list;
    list.SetFolder(DataFolder());
    list.Records().Copy(records);
    ASSERT_EQ(list.Write(), 1);
  }
  std::vector<std::pair<int, int>> UiStates() {
    std::vector<std::pair<int, int>> seen;
    auto notifier = std::make_unique<enginetest::FunctionNotifier>();
    notifier->offline = [&seen](int a, int b) { seen.emplace_back(a, b); };
    engine->SetNotifier(std::move(notifier));
    Drain();
    // The SDK's notifier again, the offline delegate with it.
    engine->SetNotifier(nullptr);
    mapsdk::GMKNotifier::setOfflineDelegate(delegate);
    return seen;
  }
};

TEST_F(COLRecordManTest, ProgressWritesOnlyOnLargeChangesAndQueueSeedResumesDownloadsFirst) {
  CVArray<COLUpdateRecord> records;
  records.Add(MakeRecord(1, {"1_1"}));
  records.Add(MakeRecord(2, {"2_2"}));
  records[0].local.state = OfflineCityState::Queued;
  records[1].local.state = OfflineCityState::Downloading;
  Seed(records);
  COLRecordMan man(Dispatcher(), true);
  man.Init(DataFolder());

  COLUpdateRecord next;
  ASSERT_EQ(man.TakeNextCity(next), 1);
  EXPECT_EQ(next.local.id, 2);  // the interrupted download first
  ASSERT_EQ(man.TakeNextCity(next), 1);
  EXPECT_EQ(next.local.id, 1);
  COLUpdateRecord unchanged = next;
  EXPECT_EQ(man.TakeNextCity(unchanged), 1);  // empty queue: record kept, id 1 known
  EXPECT_EQ(unchanged.local.id, 1);

  std::string before = ReadAll(DataFolder() + CVString("OfflineUpdate.dat"));
  next.local.ratio = 40;
  ASSERT_EQ(man.ReportProgress(next), 1);
  EXPECT_EQ(ReadAll(DataFolder() + CVString("OfflineUpdate.dat")), before);
  next.local.ratio = 10000;
  ASSERT_EQ(man.ReportProgress(next), 1);
  EXPECT_NE(ReadAll(DataFolder() + CVString("OfflineUpdate.dat")).find("\"lr\":10000"), std::string::npos);
  const int cityChanged = ToInt(OfflineState::CityChanged);
  EXPECT_EQ((UiStates()), (std::vector<std::pair<int, int>>{{cityChanged, 1}, {cityChanged, 1}}));
}

TEST_F(COLRecordManTest, RemoveKeepsSharedPackageCountsAndClearAllEmptiesTheFile) {
  CVArray<COLUpdateRecord> records;
  records.Add(MakeRecord(1, {"1_1", "5_5"}));
  records.Add(MakeRecord(2, {"5_5"}));
  Seed(records);
  COLRecordMan man(Dispatcher(), true);
  man.Init(DataFolder());
  CVString shared("5_5");
  EXPECT_EQ(man.PackageCount(shared), 2);
  int id = 1;
  ASSERT_EQ(man.RemoveCity(id), 1);
  EXPECT_EQ(man.PackageCount(shared), 1);
  EXPECT_EQ(man.RemoveCity(id), 0);
  COLUpdateRecord removed;
  ASSERT_EQ(man.TakeNextRemoved(removed), 1);
  EXPECT_EQ(removed.local.id, 1);
  EXPECT_EQ(man.TakeNextRemoved(removed), 0);

  ASSERT_EQ(man.ClearAllRecords(), 1);
  EXPECT_EQ(ReadAll(DataFolder() + CVString("OfflineUpdate.dat")), std::string("[\r\n]\0", 5));
}

TEST_F(COLRecordManTest, MergeFlagsNewerDataOfAFinishedCityAndQueuesNewCities) {
  CVArray<COLUpdateRecord> records;
  records.Add(MakeRecord(7, {"1_1"}));
  records[0].local.state = OfflineCityState::Finished;
  records[0].local.ratio = 10000;
  Seed(records);
  COLRecordMan man(Dispatcher(), true);
  man.Init(DataFolder());

  CVArray<COLUpdateRecord> offered;
  offered.Add(MakeRecord(7, {"1_1"}));
  offered[0].server.dataVersion = "2";
  offered.Add(MakeRecord(8, {"9_9"}));
  ASSERT_EQ(man.MergeCities(offered), 1);

  std::optional<COLUpdateRecord> stored = man.GetUpdateRecord(7);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->server.update, 1);
  EXPECT_EQ(stored->server.dataVersion, CVString("2"));
  stored = man.GetUpdateRecord(8);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->local.state, OfflineCityState::Queued);
  EXPECT_EQ((UiStates()), (std::vector<std::pair<int, int>>{{ToInt(OfflineState::NewerVersion), 0}}));

  EXPECT_EQ(man.LogWifi(8), 0);  // not in the search list
}

TEST_F(COLRecordManTest, WifiLogKeepsEachListedCityOnceInItsFile) {
  COLRecordMan man(Dispatcher(), true);
  man.Init(DataFolder());
  const std::string cities =
      "[{\"i\":\"289\",\"n\":\"a\",\"sl\":10,\"sh\":20},{\"i\":\"131\",\"n\":\"b\",\"sl\":5,\"sh\":6},"
      "{\"i\":\"75\",\"n\":\"c\",\"sl\":7,\"sh\":8}]";
  ASSERT_EQ(man.StoreSearchList(cities.data(), static_cast<int>(cities.size())), 1);
  EXPECT_EQ(man.LogWifi(289), 1);  // the first of the list
  EXPECT_EQ(man.LogWifi(289), 0);  // there already
  EXPECT_EQ(man.LogWifi(131), 2);
  EXPECT_EQ(man.LogWifi(75), 2);
  EXPECT_EQ(man.LogWifi(8), 0);  // not in the search list
  ASSERT_EQ(ReadAll(DataFolder() + CVString("OfflineWifilog.dat")),
            std::string("[\r\n{\"i\":289},\r\n{\"i\":131},\r\n{\"i\":75}\r\n]\0", 39));
  EXPECT_EQ((UiStates()), (std::vector<std::pair<int, int>>{{1, 289}, {2, 131}, {2, 75}}));

  ASSERT_EQ(man.ClearAllRecords(), 1);
  EXPECT_EQ(ReadAll(DataFolder() + CVString("OfflineWifilog.dat")), std::string("[\r\n]\0", 5));
}

}  // namespace

namespace {

TEST_F(OfflineRecordFilesTest, ARecordFileIsReplacedWholeOrNotAtAll) {
  const CVString path = DataFolder() + CVString("replaced.dat");
  ASSERT_EQ(olrecord::WriteBytesFile(path, "old text", 8), 1);
  ASSERT_EQ(olrecord::WriteBytesFile(path, "new", 3), 1);
  std::string bytes;
  ASSERT_TRUE(olrecord::ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "new");
  EXPECT_EQ(FileExists(path + CVString(".tmp")), 0);

  // A replacement that cannot be written leaves the file as it was.
  ASSERT_EQ(CreateDirectory(path + CVString(".tmp/")), 1);
  EXPECT_EQ(olrecord::WriteBytesFile(path, "newer text", 10), 0);
  ASSERT_TRUE(olrecord::ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "new");
}

}  // namespace
