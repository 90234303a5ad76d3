#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
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
