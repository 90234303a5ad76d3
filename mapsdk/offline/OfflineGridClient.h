#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/TileKey.h"

namespace gmengine {

// What the offline map manager uses of the map controller's grid HTTP client (the tile client it
// shares with the tile layers). The map display implements it over its grid client; its answers
// reach the manager as SaveGridData for every tile and ContinueDownload after each batch.
class OfflineGridClient {
 public:
  // The grid kind of offline batches (the grid client's own list names it Offline too).
  static constexpr int kOfflineKind = 3;

  virtual ~OfflineGridClient() = default;
  // The map's own tile request pending flag.
  virtual int IsMapRequesting() const = 0;
  virtual void SetMapRequesting(int pending) = 0;
  virtual int CancelRequest() = 0;
  // Requests the tiles of keys at level as one batch (offline kind) with the sequence as request
  // tag; 1 when the request started.
  virtual int RequestGrids(int kind, int level, const CVArray<GridKey>& keys, int sequence, int flag) = 0;
};

}  // namespace gmengine
