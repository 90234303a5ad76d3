#include "mapsdk/display/CGridHttpClient.h"

#include <algorithm>
#include <cstring>

#include "mapsdk/display/TileImage.h"
#include "mapsdk/engine/CUrlTranslater.h"

namespace mapsdk {

using gmengine::CVArray;
using gmengine::CVString;

namespace {

std::int64_t WordAt(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                   static_cast<std::uint32_t>(p[2]) << 16 |
                                   static_cast<std::uint32_t>(p[3]) << 24);
}

using gmengine::GridKey;

bool Contains(const CVArray<GridKey>& keys, const GridKey& key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

CGridHttpClient::CGridHttpClient() : buffer_(kBufferSize) {}

int CGridHttpClient::Init(const gmengine::EngineServices& engine, gmengine::EngineClient client) {
  if (!engine.urls || !http_.Init(engine.Sockets(), engine.Dispatcher())) return 0;
  urls_ = engine.urls;
  http_.SetClientID(client);
  http_.SetReceiveBuffer(buffer_.data(), &received_, kBufferSize);
  http_.SetUseGzip(0);
  http_.SetNotifyProgress(1);
  http_.SetTimeout(kTimeoutMs);
  return 1;
}

int CGridHttpClient::CancelRequest() {
  http_.CancelRequest();
  inFlight_.RemoveAll();
  batchSent_ = false;
  mapRequesting_ = 0;
  return 1;
}

int CGridHttpClient::RequestGrids(int kind, int level, int x, int y, const CVArray<GridKey>& keys,
                                  int sequence, int flag) {
  int count = keys.GetSize();
  if (count < 1 || count > kMaxKeys) return 0;
  gmengine::EngineClient client = gmengine::EngineClient::Street;
  if (kind == static_cast<int>(GridKind::Offline)) {
    client = gmengine::EngineClient::OfflineBatch;
  } else if (kind == static_cast<int>(GridKind::Satellite)) {
    client = gmengine::EngineClient::Satellite;
  } else if (kind < 0 || kind > 2) {
    return 0;
  }
  if (kind == last_.kind && level == last_.level && x == last_.x && y == last_.y &&
      count <= last_.keys.GetSize() && http_.IsBusy()) {
    bool all =
        std::all_of(keys.begin(), keys.end(), [&](const GridKey& k) { return Contains(last_.keys, k); });
    if (all) return 0;  // the same batch is on its way
  }
  gmengine::CUrlTranslater* translater = urls_;
  // The service reads the tiles as "%d_%d" texts.
  CVArray<CVString> texts;
  for (const GridKey& key : keys) texts.Add(CVString::FromUtf8(key.Text()));
  CVString url;
  if (!translater || !translater->GetGridDataUrl(url, kind, level, x, y, texts, sequence)) return 0;
  http_.SetClientID(client);
  if (kind <= 2) mapRequesting_ = 1;
  unsigned int tag = static_cast<unsigned int>(sequence);
  if (!http_.RequestGet(url, tag, flag)) return 0;
  parse_ = BatchParseState();
  received_ = 0;
  std::fill(buffer_.begin(), buffer_.begin() + std::min<std::size_t>(buffer_.size(), 64), 0);
  parse_.kind = kind;
  parse_.level = level;
  parse_.x = x;
  parse_.y = y;
  parse_.keyCount = count;
  batchTag_ = sequence;
  batchSent_ = true;
  last_.kind = kind;
  last_.level = level;
  last_.x = x;
  last_.y = y;
  last_.keys.Copy(keys);
  inFlight_.Copy(keys);
  return 1;
}

bool CGridHttpClient::ParseBatch(int tag, BatchParseState& state, CVArray<GridKey>& keys) {
  if (!batchSent_ || tag != batchTag_ || !http_.HoldsAnswerOf(static_cast<unsigned int>(tag))) {
    keys.RemoveAll();
    state.deliveredBefore = state.complete;
    return false;
  }
  keys.Copy(inFlight_);
  const std::int64_t received = std::clamp(received_, 0, kBufferSize);
  state.deliveredBefore = state.complete;
  if (received < 5) return true;
  const std::uint8_t* p = buffer_.data();
  const std::int64_t header = WordAt(p);
  if (header > received) return true;
  if (state.tileCount == 0 && state.complete == 0) {
    if (received < 8) return true;
    std::int64_t n = WordAt(p + 4);
    // A count the batch cannot have, or a header too short for its pairs, makes the whole answer
    // unusable: no entry is taken from it.
    if (n < 0 || n > state.keyCount || n > BatchParseState::kMaxEntries || header < 8 + 8 * n) return true;
    for (int i = 0; i < n; ++i) {
      std::int64_t offset = WordAt(p + 8 + 8 * i);
      std::int64_t length = WordAt(p + 12 + 8 * i);
      bool usable = offset >= 0 && length >= 0 &&
                    length <= static_cast<std::int64_t>(tileimage::kMaxTileBytes) &&
                    header + offset + length <= kBufferSize;
      state.positions[static_cast<std::size_t>(i)] = usable ? static_cast<int>(header + offset) : -1;
      state.lengths[static_cast<std::size_t>(i)] = usable ? static_cast<int>(length) : 0;
    }
    state.tileCount = static_cast<int>(n);
  }
  state.deliveredBefore = state.complete;
  while (state.complete < state.tileCount) {
    auto i = static_cast<std::size_t>(state.complete);
    if (state.positions[i] >= 0 &&
        state.positions[i] + static_cast<std::int64_t>(state.lengths[i]) > received) {
      break;
    }
    ++state.complete;
  }
  if (state.complete == state.tileCount && state.tileCount > 0) {
    auto last = static_cast<std::size_t>(state.tileCount - 1);
    if (state.positions[last] < 0 ||
        state.positions[last] + static_cast<std::int64_t>(state.lengths[last]) == received) {
      inFlight_.RemoveAll();
    }
  }
  return true;
}

}  // namespace mapsdk
