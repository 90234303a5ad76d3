#include "mapsdk/display/CVDCDrawTarget.h"

#include "mapsdk/raster/CVBitmap.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/raster/CVPen.h"
#include "mapsdk/raster/VImageDecode.h"

namespace mapsdk {

namespace {
constexpr std::uint32_t kSourceCopy = 0xCC0020;
}

void CVDCDrawTarget::drawBitmap(const std::uint32_t* pixels, int width, int height,
                                const gmengine::_VRect& destination) {
  if (!pixels || width <= 0 || height <= 0 || !dc_.IsValid()) return;
  const int dw = destination.right - destination.left;
  const int dh = destination.bottom - destination.top;
  if (dw == width && dh == height) {
    gmengine::BITMAPINFOHEADER info = gmengine::MakeDecodedInfo(width, height, width * height * 4);
    dc_.SetDIBitsToDevice(destination.left, destination.top, width, height, 0, 0, pixels, &info);
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
