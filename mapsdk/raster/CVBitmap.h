#pragma once
#include "mapsdk/engine/CVString.h"
#include "mapsdk/raster/VOwnedHandle.h"

namespace gmengine {

// A 32-bit bitmap of the raster engine, made empty, loaded from a DIB file or decoded from a PNG
// file. Ownership as CVPen: a bitmap selected into a context is freed by the context if the
// context goes first. One thread at a time.
class CVBitmap {
 public:
  CVBitmap() = default;
  virtual ~CVBitmap() = default;
  CVBitmap(const CVBitmap&) = delete;
  CVBitmap& operator=(const CVBitmap&) = delete;

  // Only when empty; planes and bitsPerPixel are ignored (always 32 bits). bits, when given, hold
  // height rows of width x 4 bytes and are copied, else the bitmap is zeroed. 1 on success.
  int CreateBitmap(int width, int height, int planes, int bitsPerPixel, const void* bits);
  int CreateBitmap(const _VSize& size) { return CreateBitmap(size.cx, size.cy, 1, 32, nullptr); }
  int DeleteObject() { return handle_.Delete(); }
  int Attach(VBitmap* bitmap) { return handle_.Attach(bitmap); }
  VBitmap* Detach() { return handle_.Detach(); }
  // A BMP file of 32 bits per pixel ("BM"; "BE" refused). Only when empty; 1 when loaded.
  int LoadBitmap(const CVString& path);
  // A PNG file, with an alpha plane when the image has alpha. Only when empty; 1 when loaded.
  int LoadPNG(const CVString& path);

  _VSize GetBitmapSize() const;
  void* GetBits() const;
  const BITMAPINFOHEADER* GetBitmapInfo() const;
  VBitmap* GetHandle() const { return handle_.Get(); }

 private:
  VOwnedHandle<VBitmap, FreeBitmapData> handle_;
};

}  // namespace gmengine
