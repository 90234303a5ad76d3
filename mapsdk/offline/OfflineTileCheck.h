#pragma once

namespace gmengine {

// Whether a tile fetched for an offline package decodes as the tile layers draw it: the empty
// record ("taon" and a flag byte; a stored size of 0 reads back as one), or a PNG or JPEG picture
// of 256 x 256 pixels read to its end. A truncated or damaged tile does not. Stateless; any thread.
bool OfflineTileDecodes(const void* data, int size);

}  // namespace gmengine
