#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapsdk/display/CGridHttpClient.h"
#include "mapsdk/display/CMapLayer.h"
#include "mapsdk/display/TileImage.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/engine/CGridDataCache.h"
#include "mapsdk/engine/EngineTypes.h"

namespace gmengine {
class COfflineDataCache;
class CVMsgDispatcher;
}  // namespace gmengine

namespace mapsdk {

class CMapStatus;

// One substitute image: a magnified part of an ancestor tile shown while the tile is missing.
struct tagGirdDataForShow {
  int level = 0;
  int x = 0;
  int y = 0;
  int ancestorLevel = 0;
  int ancestorX = 0;
  int ancestorY = 0;
  std::shared_ptr<const std::vector<std::uint32_t>> pixels;  // 256 x 256, null without one
  int size = 0;
};

using GridTileList = gmengine::CVArray<gmengine::tagGirdData>;
using GridShowList = std::vector<tagGirdDataForShow>;

// The tile request of a tile layer: lists the window's tiles (centre first), takes what it can
// from the memory and file caches and the offline store, decodes into one 256 x 256 pixel buffer
// per kept tile, and asks the map service for the rest in one batch. Answers arrive as engine
// messages of the tile client (OnHttpMessage); a tile is decoded before it enters any cache, so an
// answer that is cut short, too large or not a picture leaves its tile missing, to be asked again
// by a later pass, and never reaches the caches. Main thread.
class GridReq : public CReqBase {
 public:
  static constexpr int kTileBytes = 32 * 8192;  // bits per pixel x 8192
  static_assert(kTileBytes == tileimage::kTileBytes);
  static constexpr int kFileByteLimit = 104857600;

  explicit GridReq(GridKind kind, CMapStatus* status = nullptr);
  ~GridReq() override;

  // Kept block cols x rows; cache files under the documents folder; allocate lets the layer hold
  // pixel buffers (made as tiles are decoded, one per kept tile at most). The memory cache is
  // rebuilt only when the block size changes. 1; 0 when the file cache could not be opened (the
  // memory cache works all the same).
  int Init(int cols, int rows, int fileCapacity, const char* indexName, const char* dataName, bool traffic,
           bool allocate);
  // The layer's lists (not owned).
  void SetGridData(GridTileList* needed, GridShowList* drawList);
  void SetClient(CGridHttpClient* client) { client_ = client; }
  // Where the tile activity is posted (the engine's dispatcher; not owned).
  void SetDispatcher(gmengine::CVMsgDispatcher* dispatcher) { dispatcher_ = dispatcher; }
  // The offline grid store read before the network (not owned; the street request has one).
  void SetOfflineStore(gmengine::COfflineDataCache* store) { offline_ = store; }

  void Request() override;
  // One tile of an answer: length 0 is an empty tile (flag 0: painted in the background colour).
  virtual void OnTileData(const std::uint8_t* data, int length, gmengine::GridKey key, int level, int flag);
  // Fills the listed tiles from the memory cache (through the file cache) and the offline store.
  virtual void CacheLookup(GridTileList& tiles);
  virtual void BatchFetch(const gmengine::CVArray<gmengine::GridKey>& keys);
  // An engine message of the tile client with its request tag; true when tiles changed.
  virtual bool OnHttpMessage(gmengine::EngineMsg message, int tag);

  const GridTileList& Pending() const { return pending_; }
  // Tiles the batch last sent brought (decoded or empty); whether a tile of the window still has
  // no picture.
  int Delivered() const { return delivered_; }
  bool HasMissing() const;
  // The index file name of the tile file cache given to Init.
  const std::string& IndexName() const { return indexName_; }
  int Sequence() const { return sequence_; }
  void SetSequence(int sequence) { sequence_ = sequence; }
  gmengine::CGridDataCache& Cache() { return cache_; }
  TileKeyMap& Keys() { return keys_; }
  int Rows() const { return rows_; }
  GridKind Kind() const { return kind_; }
  void FreeBuffers();
  // Shown: buffers are made again as tiles are decoded. Hidden: the decoded pixels (tiles and
  // substitutes) are freed and none are made until shown; the memory cache keeps its records.
  virtual void OnShow(bool shown);
  // Bytes of decoded pixels held: tile buffers and the substitutes of missing tiles.
  std::size_t DecodedBytes() const;

 protected:
  // Rebuilds the needed list from the status centre, outer ring first, then reversed.
  void BuildTileList();
  // Moves the buffers of tiles still needed into their new slots.
  void Reuse(const GridTileList& previous);
  // Fills tiles from the caches; with fetch, asks for the missing ones; with evict, a record that
  // does not decode leaves the cache.
  void FillFromCaches(bool fetch, bool evict);
  void PostUI(gmengine::EngineMsg message, int wParam, int lParam);
  int SlotOf(int level, int column, int row) const;
  std::uint32_t* BufferOf(int slot);
  // Decodes a tile record into the slot's buffer: its size in bytes (with the alpha plane when the
  // picture has transparent pixels, always for traffic), 0 when it does not decode or the slot has
  // no buffer.
  int DecodeInto(int slot, const std::uint8_t* bytes, std::size_t size);
  virtual int NextSequence() const;

  GridKind kind_;
  CMapStatus* status_;
  TileKeyMap keys_;
  GridTileList* needed_ = nullptr;
  GridShowList* drawList_ = nullptr;
  GridShowList previousDraw_;
  GridTileList pending_;
  gmengine::CGridDataCache cache_;
  int cols_ = 0;
  int rows_ = 0;
  CGridHttpClient* client_ = nullptr;
  gmengine::CVMsgDispatcher* dispatcher_ = nullptr;
  gmengine::COfflineDataCache* offline_ = nullptr;
  int sequence_ = 0;
  int delivered_ = 0;
  std::string indexName_;
  std::vector<std::vector<std::uint32_t>> buffers_;
  bool traffic_ = false;
  bool allocate_ = true;
  bool hidden_ = false;
};

// The street and satellite request: adds the ancestor fallback and the cache-only refresh.
class GridReqEx : public GridReq {
 public:
  static constexpr int kMaxAncestorSteps = 4;
  using GridReq::GridReq;

  void Request() override;
  bool OnHttpMessage(gmengine::EngineMsg message, int tag) override;
  // Steps of Request without any fetch; then the draw list and, with fallback, the substitutes.
  void RefreshFromCache(bool fallback);

 private:
  void BuildDrawList(bool fallback);
  std::vector<std::uint32_t> scratch_;
};

}  // namespace mapsdk
