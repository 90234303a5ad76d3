#include "mapsdk/raster/CVBitmap.h"

#include <cstring>
#include <optional>

#include "mapsdk/raster/VImageDecode.h"
#include "platform/foundation/FileManager.h"

namespace gmengine {

namespace {

// The whole file, when it is a regular file no larger than an image file may be.
std::optional<platform::Data> ReadImageFile(const CVString& path) {
  std::string p = path.ToUtf8();
  std::optional<platform::FileAttributes> attributes = platform::FileManager::attributesOfItemAtPath(p);
  if (!attributes || attributes->size > kMaxImageFileBytes) return std::nullopt;
  return platform::FileManager::contentsAtPath(p);
}

}  // namespace

int CVBitmap::CreateBitmap(int width, int height, int, int, const void* bits) {
  if (!handle_.IsEmpty()) return 0;
  handle_.Own(VCreateBitmap(width, height, 32, bits));
  return handle_.IsEmpty() ? 0 : 1;
}

int CVBitmap::LoadBitmap(const CVString& path) {
  if (!handle_.IsEmpty()) return 0;
  std::optional<platform::Data> file = ReadImageFile(path);
  if (!file || file->size() < 14 + sizeof(BITMAPINFOHEADER)) return 0;
  const platform::Data& f = *file;
  if (f[0] == 'B') {
    if (f[1] == 'E') return 0;
    if (f[1] == 'M') {
      BITMAPINFOHEADER info;
      std::memcpy(&info, f.data() + 14, sizeof info);
      if (info.biBitCount != 32) return 0;
    }
  }
  handle_.Own(VCreateBitmapFromDIB(f.data() + 14, f.size() - 14));
  return handle_.IsEmpty() ? 0 : 1;
}

int CVBitmap::LoadPNG(const CVString& path) {
  if (!handle_.IsEmpty()) return 0;
  std::optional<platform::Data> file = ReadImageFile(path);
  if (!file || file->empty()) return 0;
  handle_.Own(DecodePngBitmap(file->data(), static_cast<int>(file->size())));
  return handle_.IsEmpty() ? 0 : 1;
}

_VSize CVBitmap::GetBitmapSize() const {
  VBitmap* b = handle_.Get();
  return b ? _VSize{b->width, b->height} : _VSize{};
}

void* CVBitmap::GetBits() const {
  VBitmap* b = handle_.Get();
  return b ? b->pixels : nullptr;
}

const BITMAPINFOHEADER* CVBitmap::GetBitmapInfo() const {
  VBitmap* b = handle_.Get();
  return b ? b->info : nullptr;
}

}  // namespace gmengine
