#include "mapsdk/display/CVDCDrawTarget.h"

#include <cstdint>

#include "mapsdk/raster/CVBitmap.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/raster/CVPen.h"
#include "mapsdk/raster/VImageDecode.h"
#include "mapsdk/raster/VRaster.h"

namespace mapsdk {

namespace {
constexpr std::uint32_t kSourceCopy = 0xCC0020;
}

void CVDCDrawTarget::drawBitmap(const std::uint32_t* pixels, int width, int height, int bytes,
                                const gmengine::_VRect& destination) {
  if (!pixels || width <= 0 || height <= 0 || !dc_.IsValid()) return;
  const std::int64_t pixelBytes = std::int64_t{width} * height * 4;
  // Transparent pixels are left out only through the alpha plane: the words' own alpha is not read.
  const bool alpha = bytes >= pixelBytes + std::int64_t{width} * height;
  const int dw = destination.right - destination.left;
  const int dh = destination.bottom - destination.top;
  if (dw == width && dh == height) {
    gmengine::BITMAPINFOHEADER info = gmengine::MakeDecodedInfo(
        width, height, static_cast<int>(alpha ? pixelBytes + std::int64_t{width} * height : pixelBytes));
    dc_.SetDIBitsToDevice(destination.left, destination.top, width, height, 0, 0, pixels, &info);
    return;
  }
  if (alpha) {
    gmengine::VBitmap* source = gmengine::VCreateBitmapWithAlpha(
        width, height, pixels, reinterpret_cast<const std::uint8_t*>(pixels) + pixelBytes);
    if (!source) return;
    dc_.StretchBlt(destination.left, destination.top, dw, dh, source, 0, 0, width, height, kSourceCopy);
    gmengine::FreeBitmapData(source);
    return;
  }
  gmengine::CVBitmap source;
  if (!source.CreateBitmap(width, height, 1, 32, pixels)) return;
  dc_.StretchBlt(destination.left, destination.top, dw, dh, source.GetHandle(), 0, 0, width, height,
                 kSourceCopy);
}

void CVDCDrawTarget::drawPolyline(std::span<const gmengine::_VPoint> points, std::uint32_t color, int width) {
  if (points.size() < 2 || !dc_.IsValid()) return;
  gmengine::CVPen pen;
  if (!pen.CreatePen(gmengine::PenStyle::Solid, width, color)) return;
  gmengine::VPen* old = dc_.SelectObject(&pen);
  dc_.Polyline(points.data(), static_cast<int>(points.size()), 255);
  if (old) dc_.SelectObject(old);
}

}  // namespace mapsdk
