#pragma once
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineServices.h"
#include "platform/foundation/Mutex.h"

namespace mapsdk {

enum class LocationAnswerType : int { Location = 503, Upload = 504 };

// A location request's answer: x and y in map units (coordinate type 2), error 161 = located.
struct LocationAnswer {
  LocationAnswerType type = LocationAnswerType::Location;
  double x = 0;
  double y = 0;
  int radius = 0;
  int error = 0;
};

// Result codes of CLocHttpClient::GetResult.
enum class LocationResult : int { Ok = 0, NotParsed = 3, NoBody = 102 };

// The location endpoint's client: location requests ("bloc", answers cached by cell and Wi-Fi key,
// 20 of them, newest first) and observation uploads ("cldc"). 10240-byte answers at most.
// Requests come from the location timer thread, results are read on the main thread: the client's
// own state is under a lock.
class CLocHttpClient : public gmengine::CHttpClient {
 public:
  static constexpr int kBufferSize = 10240;
  static constexpr int kCacheCapacity = 20;
  static constexpr int kLocated = 161;

  // Over the engine's network threads, dispatcher and URL builder; 0 without them.
  int Init(gmengine::EngineClient client, const gmengine::EngineServices& engine);
  // 1 when the request started or a cached answer was posted (EngineMsg::HttpComplete on the engine
  // queue).
  int RequestLocation(const gmengine::CVString& cellKey, const std::string& wifiRequest,
                      const std::string& wifiKey, unsigned int tag, int coordType);
  int UploadLocations(const gmengine::CVArray<gmengine::CVString>& entries, unsigned int tag);
  LocationResult GetResult(LocationAnswer& answer);

  // Reads a location answer body: {"result": {"error": "161"}, "content": {"radius": "..", "point":
  // {"x": "..", "y": ".."}}}, every value a string; none unless the objects and x and y are there.
  static std::optional<LocationAnswer> ParseLocationResult(std::string_view body);

 private:
  // Set by Init, before the location timer runs.
  gmengine::CVMsgDispatcher* dispatcher_ = nullptr;
  gmengine::CUrlTranslater* urls_ = nullptr;
  platform::Mutex
      mutex_;  // what follows but the receive buffer (the HTTP client fills it on the main thread)
  LocationAnswerType type_ GUARDED_BY(mutex_) = LocationAnswerType::Location;
  std::vector<char> buffer_ = std::vector<char>(kBufferSize);
  int length_ GUARDED_BY(mutex_) = 0;
  std::string requestKey_ GUARDED_BY(mutex_);
  std::optional<LocationAnswer> cached_ GUARDED_BY(mutex_);
  std::list<std::pair<std::string, LocationAnswer>> cache_ GUARDED_BY(mutex_);
};

}  // namespace mapsdk
