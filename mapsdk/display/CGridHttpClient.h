#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineServices.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/engine/TileKey.h"
#include "mapsdk/offline/OfflineGridClient.h"

namespace mapsdk {

// Kinds of tile batch.
enum class GridKind : int { Street = 0, Traffic = 1, TrafficHistory = 2, Offline = 3, Satellite = 4 };
static_assert(static_cast<int>(GridKind::Offline) == gmengine::OfflineGridClient::kOfflineKind);

// The last batch asked for.
struct tag_GridReqState {
  int kind = 0;
  int level = 0;
  int x = -1;
  int y = -1;
  gmengine::CVArray<gmengine::GridKey> keys;
};

// How far the answer of the batch in flight has been read. Positions and lengths of the entries
// (a position of -1: the server has no such tile, or the entry is unusable).
struct BatchParseState {
  static constexpr int kMaxEntries = 40;
  int kind = 0;
  int level = 0;
  int x = 0;
  int y = 0;
  int keyCount = 0;
  int tileCount = 0;
  int complete = 0;         // entries whose bytes have all arrived, counted from the first
  int deliveredBefore = 0;  // complete as the previous call left it
  std::array<int, kMaxEntries> positions{};
  std::array<int, kMaxEntries> lengths{};
};

// The tile client of the map: asks the map service for batches of up to 40 tiles and reads the
// answer as it arrives. Answer format (little-endian 32-bit words): header length H, tile count n,
// n pairs (offset, length), offset -1 for a tile the server does not have; tile i's bytes start at
// H + offset. The answer buffer holds 256000 bytes; a longer answer ends in HttpTooLarge.
// The offline map manager shares it (OfflineGridClient). Main thread, except what CHttpClient says.
class CGridHttpClient : public gmengine::OfflineGridClient {
 public:
  static constexpr int kMaxKeys = BatchParseState::kMaxEntries;
  static constexpr int kBufferSize = 256000;
  static constexpr int kTimeoutMs = 10000;

  CGridHttpClient();
  // Over the engine's network threads, dispatcher and URL builder: the client (Street, or
  // Satellite), no gzip, progress messages on, 10 s time-out. 0 without them.
  int Init(const gmengine::EngineServices& engine,
           gmengine::EngineClient client = gmengine::EngineClient::Street);

  // Asks for the batch; 0 for a key count outside 1..40, a repeat of the batch in flight, or a
  // request that does not start. Kinds 0-2 go as EngineClient::Street and set the map-requesting
  // flag, kind 3 as OfflineBatch, kind 4 as Satellite.
  int RequestGrids(int kind, int level, int x, int y, const gmengine::CVArray<gmengine::GridKey>& keys,
                   int sequence, int flag);
  // Reads what has arrived of the batch in flight into state (the caller keeps it between calls)
  // and copies the batch's keys, when tag is that batch's sequence and the answer buffer holds its
  // bytes; otherwise (an answer of a batch since replaced, of another client sharing the id, or
  // not delivered here) it reads nothing and answers false, so no batch's tiles are ever taken
  // from another's answer.
  bool ParseBatch(int tag, BatchParseState& state, gmengine::CVArray<gmengine::GridKey>& keys);
  // The batch parse state the client keeps for its own batch.
  BatchParseState& ParseState() { return parse_; }

  const std::uint8_t* Buffer() const { return buffer_.data(); }
  int Received() const { return received_; }
  int IsBusy() const { return http_.IsBusy(); }
  // Whether the answer buffer holds bytes of the request with this tag (this client's, not another's
  // under the same id).
  bool HoldsAnswerOf(int tag) const { return http_.HoldsAnswerOf(static_cast<unsigned int>(tag)) != 0; }
  gmengine::EngineClient GetClientID() const { return http_.GetClientID(); }

  // OfflineGridClient
  int IsMapRequesting() const override { return mapRequesting_; }
  void SetMapRequesting(int pending) override { mapRequesting_ = pending; }
  int CancelRequest() override;
  int RequestGrids(int kind, int level, const gmengine::CVArray<gmengine::GridKey>& keys, int sequence,
                   int flag) override {
    return RequestGrids(kind, level, 0, 0, keys, sequence, flag);
  }

 private:
  gmengine::CHttpClient http_;
  gmengine::CUrlTranslater* urls_ = nullptr;
  tag_GridReqState last_;
  std::vector<std::uint8_t> buffer_;
  int received_ = 0;
  BatchParseState parse_;
  gmengine::CVArray<gmengine::GridKey> inFlight_;
  int batchTag_ = 0;  // the sequence of the batch last sent
  bool batchSent_ = false;
  // Asked by the offline manager on the engine's timer thread while the map's own messages set it.
  std::atomic<int> mapRequesting_{0};
};

}  // namespace mapsdk
