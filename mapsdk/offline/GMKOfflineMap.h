#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "mapsdk/offline/GMKOLUpdateElement.h"
#include "mapsdk/search/GMKOfflineMapDelegate.h"

namespace gmengine {
class COLRecordMan;
struct COLUpdateRecord;

// The engine's record manager; null without an engine or before GMKOfflineMap made one. For the
// offline map interface and the SDK's tools: the parts are handed the record manager.
COLRecordMan* RecordManOfEngine();
}  // namespace gmengine

namespace mapsdk {

// The map SDK's offline maps: creating one brings up the engine's offline machinery (record
// manager, catalogue task manager, version-list manager, search object), which then lives as
// long as the engine. Installs offline packages (scan), removes a city's data and reads the
// cities' update states; states reach the delegate through the notifier. Main thread.
class GMKOfflineMap {
 public:
  // Null without an engine, or when a part cannot be made. A second map reuses the parts.
  static std::shared_ptr<GMKOfflineMap> create();
  ~GMKOfflineMap();
  GMKOfflineMap(const GMKOfflineMap&) = delete;
  GMKOfflineMap& operator=(const GMKOfflineMap&) = delete;

  std::shared_ptr<GMKOfflineMapDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate);

  // Starts the package scan on its own thread; false without a map controller or while a scan
  // runs.
  bool scan();
  // Removes the city's record (its unshared files are deleted by the download side); true when
  // there was something to remove.
  bool remove(int cityID);
  // Every offline city in list order; empty optional when there is none.
  std::optional<std::vector<std::shared_ptr<GMKOLUpdateElement>>> getAllUpdateInfo() const;
  std::shared_ptr<GMKOLUpdateElement> getUpdateInfo(int cityID) const;

  static std::shared_ptr<GMKOLUpdateElement> elementFromRecord(const gmengine::COLUpdateRecord& record);

 private:
  GMKOfflineMap() = default;
  std::weak_ptr<GMKOfflineMapDelegate> delegate_;
};

}  // namespace mapsdk
