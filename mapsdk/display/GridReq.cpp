#include "mapsdk/display/GridReq.h"

#include <algorithm>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/TileImage.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VFileUtil.h"
#include "mapsdk/offline/COfflineDataCache.h"

namespace mapsdk {

using gmengine::CVArray;
using gmengine::CVString;
using gmengine::GridKey;
using gmengine::tagGirdData;

namespace {

bool SameTile(const tagGirdData& a, const tagGirdData& b) {
  return a.level == b.level && a.x == b.x && a.y == b.y;
}

CVString DocumentsFile(const char* name) {
  std::string folder = gmengine::GetDocumentsPath().ToUtf8();
  std::replace(folder.begin(), folder.end(), '\\', '/');
  folder.erase(folder.rfind('/') + 1);
  return CVString::FromUtf8(folder + name);
}

bool IsHttpFailure(gmengine::EngineMsg message) {
  return (message >= gmengine::EngineMsg::HttpConnectFailed &&
          message <= gmengine::EngineMsg::HttpTooLarge) ||
         message == gmengine::EngineMsg::HttpMarkupPage;
}

}  // namespace

GridReq::GridReq(GridKind kind, CMapStatus* status) : kind_(kind), status_(status) {}

GridReq::~GridReq() = default;

int GridReq::Init(int cols, int rows, int fileCapacity, const char* indexName, const char* dataName,
                  bool traffic, bool allocate) {
  int result = 1;
  indexName_ = indexName ? indexName : "";
  cols_ = cols;
  rows_ = rows;
  allocate_ = allocate;
  int count = std::max(0, cols * rows);
  if (static_cast<int>(buffers_.size()) != count || buffers_.empty()) {
    result = cache_.Init(DocumentsFile(indexName), DocumentsFile(dataName), std::max(1, count), fileCapacity,
                         kFileByteLimit);
    // Buffers are made as tiles are decoded: a layer that is never shown holds none.
    buffers_.assign(static_cast<std::size_t>(count), {});
    if (needed_) needed_->RemoveAll();
    if (drawList_) drawList_->clear();
  }
  traffic_ = traffic;
  return result;
}

void GridReq::SetGridData(GridTileList* needed, GridShowList* drawList) {
  needed_ = needed;
  drawList_ = drawList;
}

void GridReq::FreeBuffers() {
  for (auto& buffer : buffers_) std::vector<std::uint32_t>().swap(buffer);
  if (needed_) {
    for (tagGirdData& tile : *needed_) {
      tile.data = nullptr;
      tile.size = 0;
    }
  }
}

void GridReq::OnShow(bool shown) {
  hidden_ = !shown;
  if (shown) return;
  FreeBuffers();
  if (drawList_) drawList_->clear();
  previousDraw_.clear();
}

std::size_t GridReq::DecodedBytes() const {
  std::size_t bytes = 0;
  for (const auto& buffer : buffers_) bytes += buffer.capacity() * sizeof(std::uint32_t);
  if (drawList_) {
    for (const tagGirdDataForShow& entry : *drawList_) {
      if (entry.pixels) bytes += entry.pixels->capacity() * sizeof(std::uint32_t);
    }
  }
  return bytes;
}

std::uint32_t* GridReq::BufferOf(int slot) {
  if (slot < 0 || slot >= static_cast<int>(buffers_.size())) return nullptr;
  auto& buffer = buffers_[static_cast<std::size_t>(slot)];
  if (buffer.empty()) {
    if (!allocate_ || hidden_) return nullptr;
    // Traffic tiles are transparent but for their roads: their buffers hold the alpha plane too.
    buffer.assign(traffic_ ? tileimage::kTileWordsWithAlpha : tileimage::kTilePixels, 0);
  }
  return buffer.data();
}

int GridReq::DecodeInto(int slot, const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t* out = BufferOf(slot);
  if (!out || !tileimage::Decode(bytes, size, out)) return 0;
  if (!traffic_ && !tileimage::HasAlpha(out)) return kTileBytes;
  auto& buffer = buffers_[static_cast<std::size_t>(slot)];
  if (buffer.size() < static_cast<std::size_t>(tileimage::kTileWordsWithAlpha))
    buffer.resize(tileimage::kTileWordsWithAlpha);
  tileimage::WriteAlphaPlane(buffer.data());
  return kTileBytes + tileimage::kAlphaPlaneBytes;
}

int GridReq::SlotOf(int level, int column, int row) const {
  if (!needed_) return -1;
  for (int i = 0; i < needed_->GetSize(); ++i) {
    const tagGirdData& tile = (*needed_)[i];
    if (tile.level == level && tile.x == column && tile.y == row) return i;
  }
  return -1;
}

void GridReq::BuildTileList() {
  CMapStatus& s = *status_;
  needed_->RemoveAll();
  if (s.upp <= 0) return;
  gmengine::_VRect range = s.WindowTileRange();
  s.loadedLeftCol = range.left;
  s.loadedRightCol = range.right;
  s.loadedBottomRow = range.bottom;
  s.loadedTopRow = range.top;
  keys_.Refresh(s.firstTileCol, s.firstTileRow, cols_, rows_);
  keys_.LimitSize();
  auto add = [&](int column, int row) {
    if (keys_.List(GridKey{column, row})) needed_->Add(tagGirdData{s.level, column, row, nullptr, 0});
  };
  int l = range.left, r = range.right, b = range.bottom, t = range.top;
  while (l <= r && b <= t) {
    for (int c = r; c >= l; --c) add(c, b);
    for (int row = b + 1; row <= t; ++row) add(l, row);
    if (t > b) {
      for (int c = l + 1; c <= r; ++c) add(c, t);
    }
    if (r > l) {
      for (int row = t - 1; row > b; --row) add(r, row);
    }
    ++l;
    --r;
    ++b;
    --t;
  }
  std::reverse(needed_->begin(), needed_->end());
  // The kept block bounds what the buffers can hold.
  if (needed_->GetSize() > static_cast<int>(buffers_.size())) {
    needed_->SetSize(static_cast<int>(buffers_.size()));
  }
}

void GridReq::Reuse(const GridTileList& previous) {
  std::vector<std::vector<std::uint32_t>> old(buffers_.size());
  old.swap(buffers_);
  std::vector<bool> taken(old.size(), false);
  for (int i = 0; i < needed_->GetSize(); ++i) {
    tagGirdData& tile = (*needed_)[i];
    for (int j = 0; j < previous.GetSize() && j < static_cast<int>(old.size()); ++j) {
      const tagGirdData& before = previous[j];
      if (!before.data || taken[static_cast<std::size_t>(j)] || !SameTile(tile, before)) continue;
      buffers_[static_cast<std::size_t>(i)].swap(old[static_cast<std::size_t>(j)]);
      taken[static_cast<std::size_t>(j)] = true;
      tile.data = buffers_[static_cast<std::size_t>(i)].data();
      tile.size = before.size;
      break;
    }
  }
  // The other buffers serve the other slots as they are.
  std::size_t next = 0;
  for (auto& buffer : buffers_) {
    if (!buffer.empty()) continue;
    while (next < old.size() && old[next].empty()) ++next;
    if (next == old.size()) break;
    buffer.swap(old[next++]);
  }
}

void GridReq::CacheLookup(GridTileList& tiles) {
  cache_.GetGridData(tiles);
  if (offline_) {
    offline_->SetGridCache(&cache_);
    offline_->LoadGridData(tiles);
  }
}

void GridReq::FillFromCaches(bool fetch, bool evict) {
  GridTileList lookup;
  std::vector<int> slots;
  for (int i = 0; i < needed_->GetSize(); ++i) {
    const tagGirdData& tile = (*needed_)[i];
    if (tile.data) continue;
    lookup.Add(tagGirdData{tile.level, tile.x, tile.y, nullptr, 0});
    slots.push_back(i);
  }
  if (lookup.IsEmpty()) {
    if (fetch) pending_.RemoveAll();
    return;
  }
  CacheLookup(lookup);
  GridTileList missing;
  CVArray<GridKey> missingKeys;
  for (int k = 0; k < lookup.GetSize(); ++k) {
    tagGirdData& found = lookup[k];
    tagGirdData& tile = (*needed_)[slots[static_cast<std::size_t>(k)]];
    bool ask = true;
    if (found.data && found.size > 0) {
      const auto* bytes = static_cast<const std::uint8_t*>(found.data);
      auto size = static_cast<std::size_t>(found.size);
      const int slot = slots[static_cast<std::size_t>(k)];
      std::uint32_t* buffer = BufferOf(slot);
      switch (tileimage::KindOf(bytes, size)) {
        case tileimage::RecordKind::EmptyTile:
          if (buffer) {
            std::fill_n(buffer, tileimage::kTilePixels, tileimage::BackgroundFor(tile.level));
            tile.data = buffer;
            tile.size = kTileBytes;
          }
          ask = false;
          break;
        case tileimage::RecordKind::NoTile:
          ask = false;
          break;
        case tileimage::RecordKind::PNG:
        case tileimage::RecordKind::JPEG:
          if (const int decoded = DecodeInto(slot, bytes, size); decoded > 0) {
            tile.data = buffers_[static_cast<std::size_t>(slot)].data();
            tile.size = decoded;
            ask = false;
          } else if (evict) {
            cache_.RemoveGridData(found, 1);
          } else {
            ask = false;
          }
          break;
        case tileimage::RecordKind::Unknown:
          cache_.RemoveGridData(found, 1);
          break;
      }
    }
    if (ask) {
      missing.Add(tagGirdData{tile.level, tile.x, tile.y, nullptr, 0});
      missingKeys.Add(tile.Key().grid);
    }
  }
  if (fetch) {
    pending_.Copy(missing);
    BatchFetch(missingKeys);
  }
}

void GridReq::Request() {
  if (!needed_) return;
  GridTileList previous;
  previous.Copy(*needed_);
  BuildTileList();
  Reuse(previous);
  FillFromCaches(true, true);
}

int GridReq::NextSequence() const { return sequence_ >= 999999 ? 1 : sequence_ + 1; }

void GridReq::BatchFetch(const CVArray<GridKey>& keys) {
  int sequence = NextSequence();
  if (!client_ || !needed_ || needed_->IsEmpty() || keys.IsEmpty()) return;
  if (client_->RequestGrids(static_cast<int>(kind_), (*needed_)[0].level, 0, 0, keys, sequence, 1)) {
    sequence_ = sequence;
    delivered_ = 0;
    PostUI(gmengine::EngineMsg::TileActivity, 1, 0);
  }
}

void GridReq::PostUI(gmengine::EngineMsg message, int wParam, int lParam) {
  if (dispatcher_) {
    dispatcher_->PostMessage(gmengine::CVMsgDispatcher::kUIQueue, gmengine::ToInt(message), wParam, lParam);
  }
}

void GridReq::OnTileData(const std::uint8_t* data, int length, GridKey key, int level, int flag) {
  if (length < 0) return;
  const int column = key.x, row = key.y;
  int slot = SlotOf(level, column, row);
  tagGirdData tile{level, column, row, nullptr, 0};
  CVArray<tagGirdData> one;
  if (length == 0) {
    auto record = tileimage::EmptyRecord(static_cast<std::uint8_t>(flag));
    tile.data = record.data();
    tile.size = static_cast<int>(record.size());
    one.Add(tile);
    cache_.AddGridData(one, 0);
    ++delivered_;
    std::uint32_t* buffer = BufferOf(slot);
    if (flag == 0 && slot >= 0 && buffer) {
      std::fill_n(buffer, tileimage::kTilePixels, tileimage::BackgroundFor(level));
      (*needed_)[slot].data = buffer;
      (*needed_)[slot].size = kTileBytes;
    }
    return;
  }
  if (!data) return;
  const auto size = static_cast<std::size_t>(length);
  const int decoded = BufferOf(slot) ? DecodeInto(slot, data, size) : 0;
  bool decodes = decoded > 0;
  if (!decodes && !BufferOf(slot)) {
    // No buffer to show it in (hidden, or a tile the window left): decoded only to be judged.
    std::vector<std::uint32_t> check(tileimage::kTilePixels);
    decodes = tileimage::Decode(data, size, check.data());
  }
  if (!decodes) {
    if (slot >= 0) {
      (*needed_)[slot].data = nullptr;
      (*needed_)[slot].size = -1;
    }
    return;
  }
  if (decoded > 0) {
    (*needed_)[slot].data = buffers_[static_cast<std::size_t>(slot)].data();
    (*needed_)[slot].size = decoded;
  }
  tile.data = const_cast<std::uint8_t*>(data);
  tile.size = length;
  one.Add(tile);
  cache_.AddGridData(one, 1);
  ++delivered_;
}

bool GridReq::HasMissing() const {
  if (!needed_) return false;
  for (const tagGirdData& tile : *needed_) {
    if (!tile.data) return true;
  }
  return false;
}

bool GridReq::OnHttpMessage(gmengine::EngineMsg message, int tag) {
  if (!client_ || tag != sequence_) return false;
  if (message == gmengine::EngineMsg::HttpData || message == gmengine::EngineMsg::HttpComplete) {
    BatchParseState& state = client_->ParseState();
    CVArray<GridKey> keys;
    client_->ParseBatch(tag, state, keys);
    bool changed = false;
    for (int e = state.deliveredBefore; e < state.complete && e < keys.GetSize(); ++e) {
      int position = state.positions[static_cast<std::size_t>(e)];
      if (position < 0) continue;  // the server has no such tile
      OnTileData(client_->Buffer() + position, state.lengths[static_cast<std::size_t>(e)], keys[e],
                 state.level, 0);
      changed = true;
    }
    if (message == gmengine::EngineMsg::HttpComplete) client_->SetMapRequesting(0);
    return changed;
  }
  if (IsHttpFailure(message)) client_->CancelRequest();
  return false;
}

void GridReqEx::Request() {
  GridReq::Request();
  BuildDrawList(true);
}

bool GridReqEx::OnHttpMessage(gmengine::EngineMsg message, int tag) {
  bool changed = GridReq::OnHttpMessage(message, tag);
  if (changed) RefreshFromCache(true);
  return changed;
}

void GridReqEx::RefreshFromCache(bool fallback) {
  if (!needed_) return;
  GridTileList previous;
  previous.Copy(*needed_);
  BuildTileList();
  if (!previous.IsEmpty() && !needed_->IsEmpty() && previous[0].level == (*needed_)[0].level) {
    Reuse(previous);
  }
  FillFromCaches(false, false);
  BuildDrawList(fallback);
}

void GridReqEx::BuildDrawList(bool fallback) {
  if (!drawList_ || !needed_) return;
  previousDraw_.swap(*drawList_);
  drawList_->clear();
  for (const tagGirdData& tile : *needed_) {
    tagGirdDataForShow entry;
    entry.level = tile.level;
    entry.x = tile.x;
    entry.y = tile.y;
    if (!tile.data) {
      for (const tagGirdDataForShow& before : previousDraw_) {
        if (before.pixels && before.level == tile.level && before.x == tile.x && before.y == tile.y) {
          entry = before;
          break;
        }
      }
    }
    drawList_->push_back(std::move(entry));
  }
  previousDraw_.clear();
  if (!fallback) return;
  for (int i = 0; i < needed_->GetSize(); ++i) {
    const tagGirdData& tile = (*needed_)[i];
    tagGirdDataForShow& entry = (*drawList_)[static_cast<std::size_t>(i)];
    if (tile.data || entry.pixels) continue;
    for (int k = 1; k <= kMaxAncestorSteps && tile.level - k >= CMapStatus::kMinLevel; ++k) {
      int scale = 1 << k;
      GridTileList one;
      one.Add(tagGirdData{tile.level - k, tile.x / scale, tile.y / scale, nullptr, 0});
      if (cache_.GetGridData(one) == 0) continue;
      const auto* bytes = static_cast<const std::uint8_t*>(one[0].data);
      auto size = static_cast<std::size_t>(one[0].size);
      tileimage::RecordKind kind = tileimage::KindOf(bytes, size);
      if (kind == tileimage::RecordKind::PNG || kind == tileimage::RecordKind::JPEG) {
        scratch_.resize(tileimage::kTilePixels);
        if (tileimage::Decode(bytes, size, scratch_.data())) {
          int side = tileimage::kTileSide / scale;
          int colIn = ((tile.x % scale) + scale) % scale;
          int rowIn = ((tile.y % scale) + scale) % scale;
          auto pixels = std::make_shared<std::vector<std::uint32_t>>(tileimage::kTilePixels);
          tileimage::StretchSquare(scratch_.data(), colIn * side, (scale - 1 - rowIn) * side, side,
                                   pixels->data());
          entry.size = kTileBytes;
          // A transparent ancestor stays transparent where it is magnified.
          if (tileimage::HasAlpha(pixels->data())) {
            pixels->resize(tileimage::kTileWordsWithAlpha);
            tileimage::WriteAlphaPlane(pixels->data());
            entry.size += tileimage::kAlphaPlaneBytes;
          }
          entry.ancestorLevel = tile.level - k;
          entry.ancestorX = one[0].x;
          entry.ancestorY = one[0].y;
          entry.pixels = std::move(pixels);
        }
      } else if (kind == tileimage::RecordKind::Unknown) {
        cache_.RemoveGridData(one[0], 1);
      }
      break;
    }
  }
}

}  // namespace mapsdk
