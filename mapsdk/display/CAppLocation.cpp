#include "mapsdk/display/CAppLocation.h"

#include <cmath>
#include <cstdio>

#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VCoordShift.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/engine/VTick.h"
#include "platform/foundation/Mutex.h"

namespace mapsdk {

namespace {

std::string CellKeyOf(const CellRecord& cell) {
  if (!cell.HasCell()) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%d|%d|%d|%d", cell.c0, cell.c1, cell.c2, cell.c3);
  return text;
}

// A valid network location of the cell at map point (x, y).
LocationRecord NetworkRecord(const CellRecord& cell, double x, double y, int radius) {
  LocationRecord record;
  record.mapX = x;
  record.mapY = y;
  gmengine::MercatorToGeo(x, y, &record.longitude, &record.latitude);
  record.radius = radius;
  record.source = LocationSource::Network;
  record.state = LocationState::Valid;
  record.c0 = cell.c0;
  record.c1 = cell.c1;
  record.c2 = cell.c2;
  record.c3 = cell.c3;
  return record;
}

}  // namespace

CAppLocation::CAppLocation(const gmengine::EngineServices& engine)
    : CAppLocation(std::make_unique<CGPSMan>(), std::make_unique<CCellMan>(), std::make_unique<CWifiMan>(),
                   {}, engine) {}

CAppLocation::CAppLocation(std::unique_ptr<GpsSource> gps, std::unique_ptr<CellSource> cell,
                           std::unique_ptr<WifiSource> wifi, std::string cellCachePath,
                           const gmengine::EngineServices& engine)
    : gps_(std::move(gps)),
      cell_(std::move(cell)),
      wifi_(std::move(wifi)),
      uploader_(&uploadClient_),
      cellCache_(cellCachePath.empty() && engine.platform
                     ? engine.platform->sysInfo.dataPath.ToUtf8() + "loc.dat"
                     : std::move(cellCachePath)),
      engine_(engine) {
  resultMutex_.Create();
}

CAppLocation::~CAppLocation() = default;

int CAppLocation::Init() {
  if (!cell_->Init()) return 0;
  client_.Init(gmengine::EngineClient::Location, engine_);
  uploadClient_.Init(gmengine::EngineClient::LocationUpload, engine_);
  return 1;
}

int CAppLocation::UnInit() {
  gps_->Stop();
  cell_->Stop();
  wifi_->Stop();
  platform::MutexLock lock(mutex_);
  mode_ = LocMode::Off;
  return 1;
}

void CAppLocation::Reset() {
  {
    platform::MutexLock lock(resultMutex_);
    network_ = LocationRecord();
  }
  platform::MutexLock lock(mutex_);
  pending_ = false;
  lastNotify_ = 0;
  notifiedOnce_ = false;
  requestCellKey_.clear();
  requestWifiKey_.clear();
}

int CAppLocation::SetLocMode(LocMode mode) {
  if (static_cast<int>(mode) < 1 || static_cast<int>(mode) > 5) return 0;
  {
    platform::MutexLock lock(mutex_);
    if (mode_ == mode) return 1;
  }
  int result = 1;
  switch (mode) {
    case LocMode::Off:
      gps_->Stop();
      wifi_->Stop();
      break;
    case LocMode::SatelliteAndNetwork:
      if (!gps_->Start()) result = 0;
      if (!wifi_->Start()) result = 0;
      break;
    case LocMode::NetworkOnly:
      if (!wifi_->Start()) return 0;
      gps_->Stop();
      break;
    case LocMode::SatelliteOnly:
      if (!gps_->Start()) result = 0;
      break;
    case LocMode::Mode4:
      break;
  }
  platform::MutexLock lock(mutex_);
  mode_ = mode;
  if (mode == LocMode::SatelliteAndNetwork || mode == LocMode::NetworkOnly) retryCountdown_ = 0;
  return result;
}

bool CAppLocation::FindCell(const CellRecord& cell, double& x, double& y, int& radius) {
  platform::MutexLock lock(cacheMutex_);
  return cellCache_.Find(cell, x, y, radius);
}

void CAppLocation::AddCell(const CellRecord& cell, double x, double y, int radius) {
  platform::MutexLock lock(cacheMutex_);
  cellCache_.Add(cell, x, y, radius);
}

LocMode CAppLocation::GetLocMode() const {
  platform::MutexLock lock(mutex_);
  return mode_;
}

LocationRecord CAppLocation::SatelliteRecord(const GpsFix& fix) const {
  gmengine::ShiftedPoint shifted = gmengine::ShiftGpsPoint(fix.longitude, fix.latitude, fix.height);
  double longitude = shifted.longitude, latitude = shifted.latitude;
  gmengine::CoordShiftToMapSystem(shifted.longitude, shifted.latitude, &longitude, &latitude);
  LocationRecord record;
  gmengine::GeoToMercator(longitude, latitude, &record.mapX, &record.mapY);
  record.longitude = longitude;
  record.latitude = latitude;
  record.radius = static_cast<std::int32_t>(std::fmin(std::fmax(fix.accuracy, 0.0f), 2e9f));
  record.course = fix.course;
  record.speed = fix.speed;
  record.height = fix.height;
  record.source = LocationSource::Satellite;
  record.state = LocationState::Valid;
  return record;
}

LocationRecord CAppLocation::NetworkResult() {
  platform::MutexLock lock(resultMutex_);
  return network_;
}

LocationRecord CAppLocation::GetLocation() {
  LocMode mode = GetLocMode();
  LocationRecord record;
  if (mode == LocMode::Off) {
    platform::MutexLock lock(mutex_);
    last_.source = LocationSource::None;
    last_.state = LocationState::Searching;
    return last_;
  }
  bool useNetwork = mode == LocMode::NetworkOnly || mode == LocMode::Mode4;
  if (mode == LocMode::SatelliteAndNetwork || mode == LocMode::SatelliteOnly) {
    GpsFix fix = gps_->GetFix();
    platform::MutexLock lock(mutex_);
    if (fix.state == FixState::Fix) {
      satellite_ = SatelliteRecord(fix);
      record = satellite_;
    } else {
      satellite_.state = LocationState::Searching;
      record = satellite_;
      useNetwork = mode == LocMode::SatelliteAndNetwork;
    }
  }
  if (useNetwork) record = NetworkResult();
  if (record.radius > kMaxRadius) record.radius = kMaxRadius;
  platform::MutexLock lock(mutex_);
  last_ = record;
  return record;
}

bool CAppLocation::TakeNotifySlot(std::uint32_t now) {
  platform::MutexLock lock(mutex_);
  if (notifiedOnce_ && now - lastNotify_ < kMinNotifyIntervalMs) return false;
  notifiedOnce_ = true;
  lastNotify_ = now;
  return true;
}

void CAppLocation::Notify(int lParam) {
  if (notify_) {
    notify_(lParam);
    return;
  }
  if (gmengine::CVMsgDispatcher* dispatcher = engine_.Dispatcher()) {
    dispatcher->SendMessage(gmengine::CVMsgDispatcher::kUIQueue,
                            gmengine::ToInt(gmengine::EngineMsg::LocationChanged), 0, lParam);
  }
}

void CAppLocation::OnTimer() {
  const std::uint32_t now = gmengine::GetTickCount();
  LocMode mode = GetLocMode();
  GpsFix fix;
  bool haveFix = false;
  if (mode == LocMode::SatelliteAndNetwork || mode == LocMode::SatelliteOnly) {
    fix = gps_->GetFix();
    haveFix = fix.state == FixState::Fix;
  }
  CellRecord cell;
  bool cellRead = false;
  if (haveFix) {
    LocationRecord shifted = SatelliteRecord(fix);
    bool moved;
    {
      platform::MutexLock lock(mutex_);
      moved = std::fabs(shifted.longitude - satellite_.longitude) > 1e-7 ||
              std::fabs(shifted.latitude - satellite_.latitude) > 1e-7;
    }
    if (moved && TakeNotifySlot(now)) Notify(0);
  } else if (mode == LocMode::SatelliteAndNetwork || mode == LocMode::NetworkOnly) {
    bool ask = false;
    {
      platform::MutexLock lock(mutex_);
      if (retryCountdown_ > 0) {
        --retryCountdown_;
      } else {
        ask = true;
      }
    }
    if (ask) {
      cell = cell_->GetCell();
      cellRead = true;
      WifiScan wifi = wifi_->Scan();
      std::string cellKey = CellKeyOf(cell);
      bool unchanged;
      {
        platform::MutexLock lock(mutex_);
        unchanged =
            (cell.c3 == requestCell_.c3 && cell.c2 == requestCell_.c2 && wifi.keyText == requestWifiKey_) ||
            (!cell.HasCell() && wifi.keyText.empty());
        if (unchanged) retryCountdown_ = kRetryTicks;
      }
      if (!unchanged) {
        double x = 0, y = 0;
        int radius = 0;
        if (FindCell(cell, x, y, radius)) {
          {
            platform::MutexLock lock(resultMutex_);
            network_ = NetworkRecord(cell, x, y, radius);
          }
          if (TakeNotifySlot(now)) Notify(0);
        }
        if (!client_.IsBusy() && client_.RequestLocation(gmengine::CVString::FromUtf8(cellKey),
                                                         wifi.requestText, wifi.keyText, 0, kCoordType)) {
          platform::MutexLock lock(mutex_);
          pending_ = true;
          requestCell_ = cell;
          requestCellKey_ = cellKey;
          requestWifiKey_ = wifi.keyText;
        }
      }
    }
  }

  bool refresh;
  {
    platform::MutexLock lock(mutex_);
    refresh = !notifiedOnce_ || now - lastNotify_ >= kRefreshMs;
  }
  if (refresh && GetLocation().state == LocationState::Valid) {
    {
      platform::MutexLock lock(mutex_);
      notifiedOnce_ = true;
      lastNotify_ = now;
    }
    Notify(0);
  }

  platform::MutexLock lock(mutex_);
  if (uploadCountdown_ > 0) {
    uploadCountdown_ -= kTimerMs;
    return;
  }
  if (!cellRead || !cell.HasCell()) cell = cell_->GetCell();
  std::string wifiUpload = wifi_->Scan().uploadText;
  GpsFix uploadFix = mode == LocMode::NetworkOnly ? GpsFix() : fix;
  uploadCountdown_ = uploader_.Collect(CellKeyOf(cell), uploadFix, wifiUpload);
}

void CAppLocation::OnHttpMessage(gmengine::EngineMsg message, gmengine::EngineClient client) {
  if (client == gmengine::EngineClient::LocationUpload) {
    platform::MutexLock lock(mutex_);
    uploader_.OnHttpMessage(message);
    return;
  }
  if (client != gmengine::EngineClient::Location) return;
  const std::uint32_t now = gmengine::GetTickCount();
  CellRecord request;
  {
    platform::MutexLock lock(mutex_);
    request = requestCell_;
  }
  if (message == gmengine::EngineMsg::HttpComplete) {
    LocationAnswer answer;
    bool accepted = client_.GetResult(answer) == LocationResult::Ok &&
                    answer.error == CLocHttpClient::kLocated && answer.type == LocationAnswerType::Location &&
                    answer.x != 0 && answer.y != 0;
    {
      platform::MutexLock lock(mutex_);
      pending_ = false;
      retryCountdown_ = kRetryTicks;
    }
    if (accepted) {
      bool moved;
      {
        platform::MutexLock lock(resultMutex_);
        int step = answer.radius / 3;
        moved = std::fabs(answer.x - network_.mapX) > step || std::fabs(answer.y - network_.mapY) > step;
        network_ = NetworkRecord(request, answer.x, answer.y, answer.radius);
      }
      if (request.c2 != 0 && request.c3 != 0) AddCell(request, answer.x, answer.y, answer.radius);
      if (moved && TakeNotifySlot(now)) Notify(0);
      return;
    }
    bool sameCell;
    {
      platform::MutexLock lock(resultMutex_);
      sameCell = network_.c3 != 0 && network_.c3 == request.c3 && network_.c2 == request.c2;
      if (!sameCell) {
        network_ = LocationRecord();
        network_.c0 = request.c0;
        network_.c1 = request.c1;
        network_.c2 = request.c2;
        network_.c3 = request.c3;
      }
    }
    if (!sameCell) Notify(kNetworkFailed);
    return;
  }
  if (gmengine::IsHttpConnectionFailure(message) || message == gmengine::EngineMsg::HttpBadAnswer) {
    std::int32_t resultCell;
    {
      platform::MutexLock lock(resultMutex_);
      resultCell = network_.c3;
    }
    platform::MutexLock lock(mutex_);
    pending_ = false;
    if (requestCell_.c3 != resultCell) requestCell_ = CellRecord();
  } else if (message == gmengine::EngineMsg::HttpPage || message == gmengine::EngineMsg::HttpMarkupPage) {
    platform::MutexLock lock(mutex_);
    pending_ = false;
    requestCell_ = CellRecord();
  }
}

}  // namespace mapsdk
