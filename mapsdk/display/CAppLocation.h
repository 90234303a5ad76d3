#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "mapsdk/display/CLocCellCache.h"
#include "mapsdk/display/CLocHttpClient.h"
#include "mapsdk/display/CLocUploader.h"
#include "mapsdk/display/LocationSources.h"
#include "mapsdk/display/LocationTypes.h"
#include "mapsdk/engine/CVMutex.h"
#include "mapsdk/engine/EngineServices.h"
#include "mapsdk/engine/EngineTypes.h"
#include "platform/foundation/Mutex.h"

namespace mapsdk {

enum class LocMode : int { Off = 1, SatelliteAndNetwork = 2, NetworkOnly = 3, Mode4 = 4, SatelliteOnly = 5 };

// The engine's location: combines the satellite receiver with network location (cell and Wi-Fi
// observations sent to the location endpoint), keeps the current record and tells the UI side of
// changes with EngineMsg::LocationChanged (lParam 0; 201 when network location failed for a new
// cell), sent at once on the UI queue. OnTimer runs on the engine's timer thread
// (EngineTimer::Location, every second),
// OnHttpMessage and GetLocation on the main thread. The network result is guarded by an engine
// mutex; the rest of the shared state by a lock of its own. Nothing is announced while a lock is
// held, so the announcement's handler may call GetLocation.
class CAppLocation {
 public:
  static constexpr int kTimerMs = 1000;
  static constexpr int kNetworkFailed = 201;
  static constexpr int kMaxRadius = 2000;
  static constexpr std::uint32_t kMinNotifyIntervalMs = 1000;
  static constexpr std::uint32_t kRefreshMs = 600000;
  static constexpr int kRetryTicks = 2;
  static constexpr int kCoordType = 2;

  // The platform's sources. The engine's dispatcher takes the announcements, its network threads
  // and URL builder serve the two clients, and the cell cache is "loc.dat" of its data folder
  // unless a path is given (without an engine: nothing is announced or asked, no cache file).
  explicit CAppLocation(const gmengine::EngineServices& engine = {});
  CAppLocation(std::unique_ptr<GpsSource> gps, std::unique_ptr<CellSource> cell,
               std::unique_ptr<WifiSource> wifi, std::string cellCachePath = {},
               const gmengine::EngineServices& engine = {});
  ~CAppLocation();

  // The cell source and the two clients (EngineClient::Location and LocationUpload); 0 when the
  // cell source fails.
  int Init();
  int UnInit();
  void Reset();
  // 1 when set (or already so); 0 outside 1..5, or when a source needed does not start.
  int SetLocMode(LocMode mode);
  LocMode GetLocMode() const;
  LocationRecord GetLocation();

  void OnTimer();
  void OnHttpMessage(gmengine::EngineMsg message, gmengine::EngineClient client);

  // What the engine lent this object.
  const gmengine::EngineServices& Services() const { return engine_; }
  // Where the announcements go; by default EngineMsg::LocationChanged sent at once on the engine's
  // UI queue.
  void SetNotify(std::function<void(int lParam)> notify) { notify_ = std::move(notify); }
  bool FindCell(const CellRecord& cell, double& x, double& y, int& radius);
  void AddCell(const CellRecord& cell, double x, double y, int radius);

 private:
  LocationRecord SatelliteRecord(const GpsFix& fix) const;
  void Notify(int lParam);
  // Whether a notification may go now; records the time when it may.
  bool TakeNotifySlot(std::uint32_t now);
  LocationRecord NetworkResult();

  std::unique_ptr<GpsSource> gps_;
  std::unique_ptr<CellSource> cell_;
  std::unique_ptr<WifiSource> wifi_;
  CLocHttpClient client_;
  CLocHttpClient uploadClient_;
  CLocUploader uploader_ GUARDED_BY(mutex_);
  platform::Mutex cacheMutex_;  // the cell cache: looked up on the timer thread, added to on the main thread
  CLocCellCache cellCache_ GUARDED_BY(cacheMutex_);
  gmengine::EngineServices engine_;
  std::function<void(int)> notify_;

  mutable platform::Mutex mutex_;  // everything below but the network result
  LocMode mode_ GUARDED_BY(mutex_) = LocMode::Off;
  LocationRecord last_ GUARDED_BY(mutex_);
  LocationRecord satellite_ GUARDED_BY(mutex_);
  int retryCountdown_ GUARDED_BY(mutex_) = 0;
  int uploadCountdown_ GUARDED_BY(mutex_) = 0;
  CellRecord requestCell_ GUARDED_BY(mutex_);
  std::string requestCellKey_ GUARDED_BY(mutex_);
  std::string requestWifiKey_ GUARDED_BY(mutex_);
  bool pending_ GUARDED_BY(mutex_) = false;
  std::uint32_t lastNotify_ GUARDED_BY(mutex_) = 0;
  bool notifiedOnce_ GUARDED_BY(mutex_) = false;

  gmengine::CVMutex resultMutex_;
  LocationRecord network_ GUARDED_BY(resultMutex_);
};

}  // namespace mapsdk
