// Tiles of an offline download come from a map service that may send any bytes (cut short by a
// dropped connection, a portal's page, damage on the way): the offline check keeps only tiles the
// tile layers then draw, an empty-tile record or a picture that decodes whole to 256 x 256.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "mapsdk/display/TileImage.h"
#include "mapsdk/offline/OfflineTileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mapsdk::tileimage;
  if (size > kMaxTileBytes + 16) return 0;
  const int n = static_cast<int>(size);
  if (!gmengine::OfflineTileDecodes(data, n)) return 0;
  if (size == 0) return 0;
  const RecordKind kind = KindOf(data, size);
  if (kind == RecordKind::EmptyTile || kind == RecordKind::NoTile) return 0;
  if (kind != RecordKind::PNG && kind != RecordKind::JPEG) std::abort();
  std::vector<std::uint32_t> tile(kTilePixels);
  if (!Decode(data, size, tile.data())) std::abort();
  return 0;
}
