#pragma once
#include <string>

#include "mapsdk/display/LocationTypes.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineTypes.h"

namespace mapsdk {

class CLocHttpClient;

// Collects position observations (cell key, satellite position, Wi-Fi text) and uploads them in
// batches through the upload client; paces itself by the fix speed. Timer thread for Collect, main
// thread for OnHttpMessage: the owner serialises the two.
class CLocUploader {
 public:
  static constexpr int kBatch = 9;
  static constexpr int kMaxWaitMs = 120000;
  static constexpr int kMinIntervalMs = 30000;

  explicit CLocUploader(CLocHttpClient* client = nullptr) : client_(client) {}
  void SetClient(CLocHttpClient* client) { client_ = client; }

  // The next upload countdown in ms.
  int Collect(const std::string& cellKey, const GpsFix& fix, const std::string& wifiUploadText);
  void OnHttpMessage(gmengine::EngineMsg message);

  static int IntervalForSpeed(double speed);
  const gmengine::CVArray<gmengine::CVString>& Entries() const { return entries_; }

 private:
  CLocHttpClient* client_;
  gmengine::CVArray<gmengine::CVString> entries_;
  gmengine::CVArray<gmengine::CVString> inFlight_;
  std::string lastCellKey_;
  double lastLongitude_ = 0;
  double lastLatitude_ = 0;
  int accumulated_ = 0;
  bool pending_ = false;
};

}  // namespace mapsdk
