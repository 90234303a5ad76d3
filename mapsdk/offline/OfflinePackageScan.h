#pragma once
#include <cstdint>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/CVThread.h"
#include "mapsdk/offline/COLUpdateRecord.h"

namespace gmengine {

class COLRecordMan;
class COfflineMapMan;
class CVMsgDispatcher;
struct tagOffLineFileInfo;

// What a scan works with (none owned): the record manager it reads and records into (it outlives
// the scan: the map manager, which joins the scan thread, goes first), the dispatcher its states go
// through and the SDK data folder.
struct OfflineScanContext {
  COLRecordMan* records = nullptr;
  CVMsgDispatcher* dispatcher = nullptr;
  CVString dataFolder;
};

// The scan thread's start: the manager whose scan fields it fills, and its context.
struct OfflineScanStart {
  COfflineMapMan* man = nullptr;
  OfflineScanContext context;
};

// One line of a ".chk" file: a tile file and the MD5 of its first and last 1024 bytes.
struct tag_CheckInfo {
  CVString name;
  int size = 0;
  char smd5[50] = {};
  char emd5[50] = {};
};

// A ".zip" file of the documents folder.
struct tagZipFileEntry {
  int length = 0;
  CVString path;
};

// The offline package scan: zip packages copied into the documents folder and loose city files
// in "GeoMap/Mapdata/" of the SDK data folder are installed into the data folder. Runs on its own
// thread (ScanThreadProc), started by the offline map manager's OfflineCommand::Scan; states go to
// the UI as EngineMsg::OfflineState: Installing (package i), FolderInstalled (cities from
// "GeoMap/Mapdata/"), PackagesDone (zip packages done: 0 good, 1 otherwise), NotInstalled
// (packages not installed).
//
// Package entries whose names are absolute or climb out with ".." are refused, as are ".chk"
// lines naming anything but a file in their folder: nothing is ever written outside the data
// folder.

// The process-wide thread object of the scan.
CVThread& OfflineScanThread();

int ScanThreadProc(COfflineMapMan* man, const OfflineScanContext& context);
// Rebuilds the manager's install list; the number of packages in it.
int CollectPackages(COfflineMapMan* man, const OfflineScanContext& context);
// 0 no description entry (or not a zip), 1 description unreadable, 2 not newer than the installed
// data, 3 to be installed (info filled when given).
int CheckPackage(COfflineMapMan* man, const OfflineScanContext& context, const CVString& path,
                 tagOffLineFileInfo* info);
int InstallPackage(COfflineMapMan* man, const OfflineScanContext& context, const CVString& path);
int ReadPackageInfo(COfflineMapMan* man, const CVString& dataFolder, const CVString& path);
// Cities waiting in the data folder's "GeoMap/Mapdata/" moved into "data/" and recorded; how many.
int InstallMapdataFolder(const OfflineScanContext& context);

// A package description or ".cfg" file: a JSON array of exactly one complete update record.
int ReadCfgFile(const CVString& path, COLUpdateRecord& record);
int ParseCfg(const char* data, int length, COLUpdateRecord& record);
// Appends one line per complete object; 1 when the JSON parsed.
int ReadChkFile(const CVString& path, CVArray<tag_CheckInfo>& list);
int ParseChk(const char* data, int length, CVArray<tag_CheckInfo>& list);
// Whether the record is at least as new as the installed city (1 when none is installed).
int IsRecordNewer(COLRecordMan* records, const COLUpdateRecord& record);

// What a package may expand to: the largest city packages are a few hundred megabytes.
inline constexpr std::uint64_t kMaxExpandedPackageBytes = 2ull * 1024 * 1024 * 1024;

// Extracts every entry (or only the first ".cfg" entry) below targetFolder; 1 on success. A
// package whose entries expand past maxExpandedBytes, or past the free disk space, is refused
// before anything is written; an entry that inflates past its declared size fails.
int UnzipPackage(const CVString& zipPath, const CVString& targetFolder,
                 std::uint64_t maxExpandedBytes = kMaxExpandedPackageBytes);
int UnzipPackageCfg(const CVString& zipPath, const CVString& targetFolder);
// Adds an entry's declared size to the package's total; false (total unchanged) when the sum
// would not fit in 64 bits.
bool AddDeclaredSize(std::uint64_t& total, std::uint64_t size);
// True for a relative entry name that stays inside its target folder.
bool IsSafeEntryName(const char* name);

// The ".zip" files of the documents folder (names not starting with "."), by name.
int FindZipFiles(CVArray<tagZipFileEntry>& files);
void GetDiskSpaceInfo(std::int64_t& total, double& available);
// The description name of a package file name (".gmap.zip", ".gmap.gmap", ".gmap" or ".zip"
// replaced by ".txt").
CVString PackageDescriptionName(const CVString& fileName);

}  // namespace gmengine
