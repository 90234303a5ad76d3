#include "mapsdk/display/CLocHttpClient.h"

#include <cJSON.h>

#include <cstdlib>
#include <memory>

#include "mapsdk/engine/CUrlTranslater.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "platform/foundation/Mutex.h"

namespace mapsdk {

using gmengine::CVArray;
using gmengine::CVString;

int CLocHttpClient::Init(gmengine::EngineClient client, const gmengine::EngineServices& engine) {
  if (!engine.urls || !CHttpClient::Init(engine.Sockets(), engine.Dispatcher())) return 0;
  dispatcher_ = engine.Dispatcher();
  urls_ = engine.urls;
  SetClientID(client);
  SetReceiveBuffer(buffer_.data(), &length_, kBufferSize);
  SetUseGzip(1);
  return 1;
}

int CLocHttpClient::RequestLocation(const CVString& cellKey, const std::string& wifiRequest,
                                    const std::string& wifiKey, unsigned int tag, int coordType) {
  platform::MutexLock lock(mutex_);
  type_ = LocationAnswerType::Location;
  ClearPostFields();
  gmengine::CUrlTranslater* translater = urls_;
  CVString url;
  CVArray<CVString> names, values;
  if (!translater ||
      !translater->GetLocationUrl(url, names, values, cellKey, CVString::FromUtf8(wifiRequest), coordType)) {
    return 0;
  }
  for (int i = 0; i < names.GetSize() && i < values.GetSize(); ++i) AddPostField(names[i], values[i]);
  if (!names.IsEmpty()) {
    requestKey_ = cellKey.ToUtf8() + wifiKey;
    for (const auto& [key, answer] : cache_) {
      if (key == requestKey_ && answer.type == LocationAnswerType::Location) {
        cached_ = answer;
        if (dispatcher_) {
          dispatcher_->PostMessage(gmengine::CVMsgDispatcher::kEngineQueue,
                                   ToInt(gmengine::EngineMsg::HttpComplete), ToInt(GetClientID()),
                                   static_cast<int>(tag));
        }
        return 1;
      }
    }
  }
  cached_.reset();
  return RequestPost(url, tag);
}

int CLocHttpClient::UploadLocations(const CVArray<CVString>& entries, unsigned int tag) {
  platform::MutexLock lock(mutex_);
  type_ = LocationAnswerType::Upload;
  cached_.reset();
  ClearPostFields();
  gmengine::CUrlTranslater* translater = urls_;
  CVString url;
  CVArray<CVString> names, values;
  if (!translater || !translater->GetLocDataPostFields(url, names, values, entries)) return 0;
  for (int i = 0; i < names.GetSize() && i < values.GetSize(); ++i) AddPostField(names[i], values[i]);
  return RequestPost(url, tag);
}

LocationResult CLocHttpClient::GetResult(LocationAnswer& answer) {
  platform::MutexLock lock(mutex_);
  if (cached_) {
    answer = *cached_;
    cached_.reset();
    return LocationResult::Ok;
  }
  int length = std::clamp(length_, 0, kBufferSize);
  if (length == 0) return LocationResult::NoBody;
  std::optional<LocationAnswer> parsed = ParseLocationResult(std::string_view(buffer_.data(), length));
  if (!parsed) return LocationResult::NotParsed;
  answer = *parsed;
  answer.type = type_;
  if (answer.type == LocationAnswerType::Location && answer.error == kLocated) {
    const std::string key = requestKey_;
    cache_.remove_if([&](const auto& entry) { return entry.first == key; });
    cache_.emplace_front(key, answer);
    if (static_cast<int>(cache_.size()) > kCacheCapacity) cache_.pop_back();
  }
  return LocationResult::Ok;
}

std::optional<LocationAnswer> CLocHttpClient::ParseLocationResult(std::string_view body) {
  std::unique_ptr<cJSON, decltype(&cJSON_Delete)> root(cJSON_ParseWithLength(body.data(), body.size()),
                                                       &cJSON_Delete);
  if (!cJSON_IsObject(root.get())) return std::nullopt;
  cJSON* result = cJSON_GetObjectItemCaseSensitive(root.get(), "result");
  cJSON* content = cJSON_GetObjectItemCaseSensitive(root.get(), "content");
  if (!cJSON_IsObject(result) || !cJSON_IsObject(content)) return std::nullopt;
  cJSON* point = cJSON_GetObjectItemCaseSensitive(content, "point");
  if (!cJSON_IsObject(point)) return std::nullopt;
  cJSON* x = cJSON_GetObjectItemCaseSensitive(point, "x");
  cJSON* y = cJSON_GetObjectItemCaseSensitive(point, "y");
  if (!cJSON_IsString(x) || !cJSON_IsString(y)) return std::nullopt;
  LocationAnswer answer;
  answer.x = std::atof(x->valuestring);
  answer.y = std::atof(y->valuestring);
  cJSON* error = cJSON_GetObjectItemCaseSensitive(result, "error");
  if (cJSON_IsString(error)) answer.error = std::atoi(error->valuestring);
  cJSON* radius = cJSON_GetObjectItemCaseSensitive(content, "radius");
  if (cJSON_IsString(radius)) answer.radius = std::atoi(radius->valuestring);
  return answer;
}

}  // namespace mapsdk
