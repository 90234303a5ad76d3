#include "mapsdk/display/CLocUploader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mapsdk/display/CLocHttpClient.h"

namespace mapsdk {

using gmengine::CVString;

int CLocUploader::IntervalForSpeed(double v) {
  double interval;
  if (v - 1e-5 < 0.0001) {
    interval = 120000;
  } else if (v < 20) {
    interval = 360000 / v;
  } else if (v < 40) {
    interval = 720000 / v;
  } else if (v < 100) {
    interval = 1800000 / v;
  } else if (v < 200) {
    interval = 3600000 / v;
  } else {
    interval = 60000;
  }
  return static_cast<int>(
      std::clamp(interval, static_cast<double>(kMinIntervalMs), static_cast<double>(kMaxWaitMs)));
}

int CLocUploader::Collect(const std::string& cellKey, const GpsFix& fix, const std::string& wifiUploadText) {
  bool valid = fix.state == FixState::Fix;
  if (valid && std::fabs(fix.longitude - lastLongitude_) < 0.0001 &&
      std::fabs(fix.latitude - lastLatitude_) < 0.0001) {
    return kMinIntervalMs;
  }
  double longitude = valid ? fix.longitude : 0;
  double latitude = valid ? fix.latitude : 0;
  double speed = valid ? fix.speed : 0;
  double course = valid ? fix.course : 0;
  if (!cellKey.empty() && cellKey != lastCellKey_) {
    lastCellKey_ = cellKey;
    std::string entry = "&cl=" + cellKey;
    if (std::fabs(longitude) < 2.220446e-16 && std::fabs(latitude) < 2.220446e-16) {
      entry += "&wf=" + wifiUploadText;
    } else {
      char text[128];
      std::snprintf(text, sizeof text, "&ll=%f|%f&s=%f&d=%f&wf=", longitude, latitude, speed, course);
      entry += text + wifiUploadText;
    }
    entries_.Add(CVString::FromUtf8(entry));
  }
  lastLongitude_ = longitude;
  lastLatitude_ = latitude;
  int count = entries_.GetSize();
  if ((count >= kBatch || (count >= 1 && accumulated_ >= kMaxWaitMs)) && !pending_ && client_ &&
      !client_->IsBusy()) {
    if (client_->UploadLocations(entries_, 0)) {
      pending_ = true;
      inFlight_.Copy(entries_);
      entries_.RemoveAll();
      accumulated_ = 0;
    }
  }
  int next = IntervalForSpeed(valid ? fix.speed : 0);
  accumulated_ += next;
  return next;
}

void CLocUploader::OnHttpMessage(gmengine::EngineMsg message) {
  switch (message) {
    case gmengine::EngineMsg::HttpComplete:
      inFlight_.RemoveAll();
      pending_ = false;
      break;
    case gmengine::EngineMsg::HttpConnectFailed:
    case gmengine::EngineMsg::HttpAttemptsOver:
    case gmengine::EngineMsg::HttpTimeout:
    case gmengine::EngineMsg::HttpMarkupPage:
      entries_.Append(inFlight_);
      inFlight_.RemoveAll();
      pending_ = false;
      break;
    case gmengine::EngineMsg::HttpPage:
      pending_ = false;
      break;
    default:
      break;
  }
}

}  // namespace mapsdk
