#pragma once
#include "mapsdk/raster/VOwnedHandle.h"

namespace gmengine {

// A font of the raster engine (its height and width; text is not drawn by the engine). Ownership
// as CVPen. One thread at a time.
class CVFont {
 public:
  CVFont() = default;
  virtual ~CVFont() = default;
  CVFont(const CVFont&) = delete;
  CVFont& operator=(const CVFont&) = delete;

  // Only when empty; only height, width and the face name are used, and a face name and the
  // engine's platform information (the drawer's) are required. 1 on success.
  int CreateFont(int height, int width, int escapement, int orientation, int weight, int italic,
                 int underline, int strikeOut, int charSet, int outPrecision, int clipPrecision, int quality,
                 int pitchAndFamily, const char16_t* faceName, const CVGlobalMan* platform);
  int DeleteObject() { return handle_.Delete(); }
  int Attach(VFont* font) { return handle_.Attach(font); }
  VFont* GetHandle() const { return handle_.Get(); }

 private:
  VOwnedHandle<VFont, VFreeFont> handle_;
};

}  // namespace gmengine
