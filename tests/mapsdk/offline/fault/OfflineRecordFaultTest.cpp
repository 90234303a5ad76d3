#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COLUpdateList.h"
#include "mapsdk/offline/COLVersionInfo.h"
#include "mapsdk/offline/CVerDatsetMan.h"
#include "tests/mapsdk/offline/OfflineTestSupport.h"
#include "tests/support/FaultShim.h"
#include "tests/support/TempDir.h"

namespace gmengine {
namespace {

using kavro::test::FaultShim;
using kavro::test::FaultTurns;
using offline_test::MakeRecord;

const bool shimLoaded = FaultShim::rerunWithShim(KAVRO_FAULT_SHIM);

class OfflineRecordFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(shimLoaded && FaultShim::loaded()); }
  void TearDown() override { FaultShim::disarm(); }
  std::string Bytes(const char* name) const {
    std::ifstream in(dir_.path() + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::unique_ptr<COLRecordMan> Open() const {
    auto man = std::make_unique<COLRecordMan>(nullptr, true);
    man->Init(folder_);
    return man;
  }
  kavro::test::TempDir dir_;
  const CVString folder_ = CVString::FromUtf8(dir_.path() + "/");
};

std::vector<int> Ids(const CVArray<COLUpdateRecord>& records) {
  std::vector<int> ids;
  for (const COLUpdateRecord& r : records) ids.push_back(r.local.id);
  return ids;
}

CVArray<COLUpdateRecord> IdsList(const CVString& folder) {
  COLUpdateList list;
  list.SetFolder(folder);
  list.Read();
  CVArray<COLUpdateRecord> copy;
  copy.Copy(list.Records());
  return copy;
}

std::vector<int> IdsOnDisk(const CVString& folder) {
  COLUpdateList list;
  list.SetFolder(folder);
  list.Read();
  return Ids(list.Records());
}

// An update list that could not be read was taken for an empty one: the next record stored, or the
// record manager's last write, rewrote the file without every city downloaded before.
TEST_F(OfflineRecordFaultTest, UpdateRecordsThatCouldNotBeReadAreNeitherLostNorRewritten) {
  {
    COLUpdateList list;
    list.SetFolder(folder_);
    list.Records().Add(MakeRecord(1, {"1_1"}));
    list.Records().Add(MakeRecord(2, {"2_2"}));
    list.Records()[1].local.state = OfflineCityState::Downloading;
    ASSERT_EQ(list.Write(), 1);
  }
  const FaultShim::Fault once{.path = "OfflineUpdate.dat$", .calls = FaultShim::Reads, .times = 1};

  // Failing once at start: the next command reads again, the interrupted download queued as then.
  FaultShim::arm(once);
  auto man = Open();
  EXPECT_EQ(FaultShim::failed(), 1);
  EXPECT_EQ(Ids(man->GetUpdateList()), (std::vector<int>{1, 2}));
  EXPECT_EQ(man->PackageCount(CVString("2_2")), 1);
  COLUpdateRecord next;
  ASSERT_EQ(man->TakeNextCity(next), 1);
  EXPECT_EQ(next.local.id, 2);
  man.reset();
  EXPECT_EQ(IdsOnDisk(folder_), (std::vector<int>{1, 2}));

  // Failing at start and at the command: the write reads again first.
  FaultShim::arm(once);
  man = Open();
  FaultShim::arm(once);
  COLUpdateRecord third = MakeRecord(3, {"3_3"});
  EXPECT_EQ(man->StoreRecord(third), 1);
  EXPECT_EQ(FaultShim::failed(), 1);
  EXPECT_EQ(IdsOnDisk(folder_), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(Ids(man->GetUpdateList()), (std::vector<int>{3, 1, 2}));
  man.reset();

  // Failing for good: the new city is kept in memory, the file left as it was until it reads.
  const std::string before = Bytes("OfflineUpdate.dat");
  FaultShim::arm({.path = "OfflineUpdate.dat$", .calls = FaultShim::Reads, .times = 0});
  man = Open();
  COLUpdateRecord fourth = MakeRecord(4, {"4_4"});
  EXPECT_EQ(man->StoreRecord(fourth), 1);
  EXPECT_EQ(Ids(man->GetUpdateList()), (std::vector<int>{4}));
  EXPECT_GE(FaultShim::failed(), 3);
  FaultShim::disarm();
  EXPECT_EQ(Bytes("OfflineUpdate.dat"), before);
  EXPECT_EQ(Ids(man->GetUpdateList()), (std::vector<int>{4, 3, 1, 2}));
  man.reset();
  EXPECT_EQ(IdsOnDisk(folder_), (std::vector<int>{4, 3, 1, 2}));
}

// The start's read and the command's both failed and the write's own read worked: the interrupted
// download it found was never queued. And a city removed while the file could not be read came
// back once it read, and was written back.
TEST_F(OfflineRecordFaultTest, RecordsReadLateAreQueuedAndCitiesRemovedMeanwhileStayRemoved) {
  {
    COLUpdateList list;
    list.SetFolder(folder_);
    list.Records().Add(MakeRecord(1, {"1_1"}));
    list.Records().Add(MakeRecord(2, {"2_2"}));
    list.Records()[0].local.state = OfflineCityState::Finished;
    list.Records()[1].local.state = OfflineCityState::Downloading;
    ASSERT_EQ(list.Write(), 1);
  }
  FaultShim::arm({.path = "OfflineUpdate.dat$", .calls = FaultShim::Reads, .times = 2});
  auto man = Open();
  COLUpdateRecord third = MakeRecord(3, {"3_3"});
  EXPECT_EQ(man->StoreRecord(third), 1);
  EXPECT_EQ(FaultShim::failed(), 2);
  EXPECT_EQ(Ids(man->GetUpdateList()), (std::vector<int>{3, 1, 2}));
  std::vector<int> queue;
  for (COLUpdateRecord next; man->TakeNextCity(next) == 1 && queue.size() < 5;) {
    queue.push_back(next.local.id);
    next = COLUpdateRecord{};
  }
  EXPECT_EQ(queue, (std::vector<int>{2, 3}));
  man.reset();

  // Removed while the file could not be read: the city stored again (finished) and then removed,
  // and the one stored new and removed, stay removed; the others come back.
  FaultShim::arm({.path = "OfflineUpdate.dat$", .calls = FaultShim::Reads, .times = 0});
  man = Open();
  COLUpdateRecord first = MakeRecord(1, {"1_1"});
  first.local.state = first.server.state = OfflineCityState::Finished;
  EXPECT_EQ(man->StoreRecord(first), 1);
  EXPECT_EQ(man->RemoveCity(1), 1);
  EXPECT_EQ(man->RemoveCity(3), 0);  // not known yet: nothing is said removed
  COLUpdateRecord fourth = MakeRecord(4, {"4_4"});
  EXPECT_EQ(man->StoreRecord(fourth), 1);
  EXPECT_EQ(Ids(man->GetUpdateList()), (std::vector<int>{4}));
  FaultShim::disarm();
  EXPECT_EQ(Ids(man->GetUpdateList()), (std::vector<int>{4, 3, 2}));
  EXPECT_EQ(man->PackageCount(CVString("1_1")), 0);
  EXPECT_EQ(man->PackageCount(CVString("3_3")), 1);
  EXPECT_EQ(IdsOnDisk(folder_), (std::vector<int>{4, 3, 2}));
  man.reset();
  EXPECT_EQ(IdsOnDisk(folder_), (std::vector<int>{4, 3, 2}));

  // One list used twice: a removal made while a read failed is spent by the merge or the whole read
  // that follows, so when a later read fails too, a city another session stored since under that id
  // is kept.
  COLUpdateList list;
  list.SetFolder(folder_);
  auto failOneRead = [] {
    FaultShim::arm({.path = "OfflineUpdate.dat$", .calls = FaultShim::Reads, .times = 1});
  };
  for (const bool merged : {true, false}) {
    SCOPED_TRACE(merged);
    const int id = merged ? 5 : 6;
    const std::string package = std::to_string(id) + "_" + std::to_string(id);
    failOneRead();
    EXPECT_EQ(list.Read(), 0);
    list.Records().Add(MakeRecord(id, {package}));
    list.RemoveRecord(list.Records().GetSize() - 1);
    EXPECT_EQ(merged ? list.ReadAgain() : list.Read(), 1);
    EXPECT_EQ(Ids(list.Records()), merged ? (std::vector<int>{4, 3, 2}) : (std::vector<int>{4, 3, 2, 5}));
    {
      COLUpdateList other;
      other.SetFolder(folder_);
      ASSERT_EQ(other.Read(), 1);
      other.Records().Add(MakeRecord(id, {package}));
      ASSERT_EQ(other.Write(), 1);
    }
    failOneRead();
    EXPECT_EQ(list.Read(), 0);
    EXPECT_EQ(list.ReadAgain(), 1);
    EXPECT_EQ(Ids(list.Records()),
              merged ? (std::vector<int>{4, 3, 2, 5}) : (std::vector<int>{4, 3, 2, 5, 6}));
    EXPECT_EQ(IdsOnDisk(folder_), Ids(list.Records()));
  }
  // A removal of a place the list does not have removes nothing, also while a read failed: a city
  // another session stored meanwhile, under any id, is kept.
  {
    COLUpdateList other;
    other.SetFolder(folder_);
    ASSERT_EQ(other.Read(), 1);
    other.Records().Add(MakeRecord(0, {"0_0"}));
    ASSERT_EQ(other.Write(), 1);
  }
  failOneRead();
  EXPECT_EQ(list.Read(), 0);
  list.RemoveRecord(list.Records().GetSize());
  list.RemoveRecord(-1);
  EXPECT_EQ(list.ReadAgain(), 1);
  EXPECT_EQ(Ids(list.Records()), (std::vector<int>{4, 3, 2, 5, 6, 0}));
}

// The merge of an update list read late with what changed in memory, against the plain path: a
// record manager whose file always reads, given the same commands. Random sequences of cities
// stored finished (over one of the file's or not) and stored new, removals of cities the store knows
// and of ones nobody knows, reads that fail and work again, writes that fail on both sides, and
// second uses (a new manager on the file): the same answers whenever the file reads, the same
// records, package counts and queue heads, and the same file after each second use.
TEST_F(OfflineRecordFaultTest, AnUpdateListReadLateMergesAsIfReadAtOnce) {
  enum Op {
    StoreFinished,
    StoreNew,
    Remove,
    RemoveUnknown,
    FailReads,
    ReadsWork,
    FailWrites,
    WritesWork,
    SecondUse,
    Ops
  };
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const std::string root = dir_.path() + "/" + std::to_string(seed);
    const CVString plainFolder = CVString::FromUtf8(root + "/plain/");
    const CVString lateFolder = CVString::FromUtf8(root + "/late/");
    auto open = [](const CVString& folder) {
      auto man = std::make_unique<COLRecordMan>(nullptr, true);
      man->Init(folder);
      return man;
    };
    std::filesystem::create_directories(root + "/plain");
    std::filesystem::create_directories(root + "/late");
    // Both files start with the same cities, one of them an interrupted download.
    for (const CVString& folder : {plainFolder, lateFolder}) {
      COLUpdateList list;
      list.SetFolder(folder);
      for (int id = 1; id <= 3; ++id) list.Records().Add(MakeRecord(id, {std::to_string(id) + "_p"}));
      list.Records()[1].local.state = OfflineCityState::Downloading;
      ASSERT_EQ(list.Write(), 1);
    }
    FaultTurns faults({.path = root + "/late/OfflineUpdate.dat$", .calls = FaultShim::Reads, .times = 0},
                      {.path = root + "/", .calls = FaultShim::Writes, .times = 0, .error = ENOSPC});
    auto plain = open(plainFolder);
    auto late = open(lateFolder);
    std::vector<int> known;  // cities stored since the last second use: both sides hold them
    std::vector<int> ever;   // cities stored at all: a new city is none of these
    auto same = [&](const char* when) {
      EXPECT_EQ(Ids(late->GetUpdateList()), Ids(plain->GetUpdateList())) << when;
      for (int id = 1; id <= 20; ++id)
        EXPECT_EQ(late->PackageCount(CVString::FromUtf8(std::to_string(id) + "_p")),
                  plain->PackageCount(CVString::FromUtf8(std::to_string(id) + "_p")))
            << when << " " << id;
    };
    for (int step = 0; step < 60; ++step) {
      const int op = static_cast<int>(random() % Ops);
      const int id = 1 + static_cast<int>(random() % 20);
      switch (op) {
        case StoreFinished:
        case StoreNew: {
          // A new city must be one neither side has: past the file's and not stored yet.
          if (op == StoreNew && (id <= 3 || std::count(ever.begin(), ever.end(), id))) break;
          COLUpdateRecord r = MakeRecord(id, {std::to_string(id) + "_p"});
          if (op == StoreFinished) r.local.state = r.server.state = OfflineCityState::Finished;
          COLUpdateRecord copy = r;
          EXPECT_EQ(late->StoreRecord(r), plain->StoreRecord(copy));
          known.push_back(id);
          ever.push_back(id);
          break;
        }
        case Remove:
          if (!std::count(known.begin(), known.end(), id)) break;
          EXPECT_EQ(late->RemoveCity(id), plain->RemoveCity(id));
          std::erase(known, id);
          break;
        case RemoveUnknown:
          EXPECT_EQ(late->RemoveCity(100 + id), 0);
          EXPECT_EQ(plain->RemoveCity(100 + id), 0);
          break;
        case FailReads:
        case ReadsWork:
        case FailWrites:
        case WritesWork:
          faults.take(FaultTurns::Turn(op - FailReads));
          if (op == ReadsWork) same("reads work");
          break;
        case SecondUse: {
          faults.take(FaultTurns::AllWork);
          same("before the second use");
          COLUpdateRecord head, plainHead;
          EXPECT_EQ(late->TakeNextCity(head), plain->TakeNextCity(plainHead));
          EXPECT_EQ(head.local.id, plainHead.local.id);
          late.reset();
          plain.reset();
          EXPECT_EQ(Ids(IdsList(lateFolder)), Ids(IdsList(plainFolder)));
          known.clear();
          plain = open(plainFolder);
          // Half the time the new manager's first read fails.
          if (random() % 2) faults.take(FaultTurns::FailReads);
          late = open(lateFolder);
          break;
        }
        default:
          break;
      }
    }
    faults.take(FaultTurns::AllWork);
    same("at the end");
  }
}

// The catalogue version that could not be read read as none, and a new one was written over it.
TEST_F(OfflineRecordFaultTest, AVersionThatCouldNotBeReadIsNotWrittenOver) {
  COLVersionInfo stored{CVString("7"), CVString("5"), CVString("6")};
  ASSERT_EQ(stored.Write(folder_ + CVString("OfflineVersion.dat")), 1);
  FaultShim::arm({.path = "OfflineVersion.dat$", .calls = FaultShim::Reads, .times = 1});
  auto man = Open();
  EXPECT_EQ(FaultShim::failed(), 1);
  EXPECT_EQ(man->GetVersion(), stored);

  const std::string before = Bytes("OfflineVersion.dat");
  COLVersionInfo newer{CVString("8"), CVString("9"), CVString("10")};
  FaultShim::arm({.path = "OfflineVersion.dat$", .calls = FaultShim::Reads, .times = 0});
  man = Open();
  EXPECT_EQ(man->StoreVersion(newer), 0);
  EXPECT_EQ(man->GetVersion(), COLVersionInfo{});
  EXPECT_GE(FaultShim::failed(), 3);
  FaultShim::disarm();
  EXPECT_EQ(Bytes("OfflineVersion.dat"), before);
  EXPECT_EQ(man->GetVersion(), stored);
  EXPECT_EQ(man->StoreVersion(newer), 1);
  COLVersionInfo reread;
  EXPECT_EQ(reread.Read(folder_ + CVString("OfflineVersion.dat")), 1);
  EXPECT_EQ(reread, newer);
}

// The data files' version list that could not be read stood in as the two defaults, and taking one
// new version wrote those alone: the other files' versions were lost.
TEST_F(OfflineRecordFaultTest, DataFileVersionsThatCouldNotBeReadAreNeitherLostNorRewritten) {
  const std::string offered =
      "[{\"f\":\"OfflineSearch.dat\",\"d\":\"2.0\"},{\"f\":\"MPZoomCtl.dat\",\"d\":\"4.0\"}]";
  auto versions = [](const CVArray<CVerDatsetRecord>& list) {
    std::string out;
    for (const CVerDatsetRecord& r : list) out += r.fileName.ToUtf8() + "=" + r.version.ToUtf8() + " ";
    return out;
  };
  auto onDisk = [this, &versions] {
    CVerDatsetMan reread;
    reread.Init(folder_);
    return versions(reread.Local());
  };
  {
    std::ofstream(dir_.path() + "/VerDatset.dat")
        << "[{\"f\":\"CMRequire.dat\",\"d\":\"3\"},{\"f\":\"MPZoomCtl.dat\",\"d\":\"3\"},"
           "{\"f\":\"OfflineHotcity.dat\",\"d\":\"1.1\"},{\"f\":\"OfflineSearch.dat\",\"d\":\"1.1\"}]";
  }
  const std::string all = onDisk();
  ASSERT_EQ(all, "CMRequire.dat=3 MPZoomCtl.dat=3 OfflineHotcity.dat=1.1 OfflineSearch.dat=1.1 ");

  FaultShim::arm({.path = "VerDatset.dat$", .calls = FaultShim::Reads, .times = 1});
  CVerDatsetMan man;
  man.Init(folder_);
  EXPECT_EQ(FaultShim::failed(), 1);
  ASSERT_EQ(man.CompareServerList(offered.data(), static_cast<int>(offered.size())), 1);
  EXPECT_EQ(man.UpdateLocalVersion(CVString("OfflineSearch.dat")), 1);
  EXPECT_EQ(onDisk(), "CMRequire.dat=3 MPZoomCtl.dat=3 OfflineHotcity.dat=1.1 OfflineSearch.dat=2.0 ");

  const std::string before = Bytes("VerDatset.dat");
  FaultShim::arm({.path = "VerDatset.dat$", .calls = FaultShim::Reads, .times = 0});
  CVerDatsetMan failing;
  failing.Init(folder_);
  const std::string newer =
      "[{\"f\":\"OfflineSearch.dat\",\"d\":\"2.1\"},{\"f\":\"MPZoomCtl.dat\",\"d\":\"4.0\"}]";
  ASSERT_EQ(failing.CompareServerList(newer.data(), static_cast<int>(newer.size())), 1);
  EXPECT_EQ(failing.UpdateLocalVersion(CVString("OfflineSearch.dat")), 0);
  EXPECT_EQ(failing.Write(), 0);
  EXPECT_GE(FaultShim::failed(), 2);
  FaultShim::disarm();
  EXPECT_EQ(Bytes("VerDatset.dat"), before);
  EXPECT_EQ(failing.UpdateLocalVersion(CVString("MPZoomCtl.dat")), 1);
  EXPECT_EQ(failing.UpdateLocalVersion(CVString("OfflineSearch.dat")), 1);
  EXPECT_EQ(onDisk(), "CMRequire.dat=3 MPZoomCtl.dat=4.0 OfflineHotcity.dat=1.1 OfflineSearch.dat=2.1 ");
}

}  // namespace
}  // namespace gmengine
