#pragma once
#include <cstdint>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/raster/VRaster.h"

namespace gmengine {

// The look of a point element: the icon's 16-bit image id and the size it is drawn at.
struct PointStyle {
  int imageId = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
};

struct LineStyle {
  PenStyle penStyle = PenStyle::Solid;
  std::uint32_t color = 0xFF000000u;
  int width = 1;
  float opacity = 1.0f;  // 0..1
};

struct SurfaceStyle {
  int lineStyleId = 0;  // the border, an id of the line styles
  std::uint32_t fillColor = 0xFFFFFFFFu;
};

struct TextStyle {
  int fontSize = 16;
  std::uint32_t color = 0xFF000000u;
};

// The style tables of the geo element drawer, looked up by style id with an offset: point styles
// from id 1, line and surface styles from 60, text styles from 30. An id outside a table has no
// style. Empty at construction; nothing in the map fills them (see mapsdk/README.md). One thread
// at a time.
class CDrawParam {
 public:
  static constexpr int kFirstPointStyle = 1;
  static constexpr int kFirstLineStyle = 60;
  static constexpr int kFirstSurfaceStyle = 60;
  static constexpr int kFirstTextStyle = 30;

  CDrawParam() = default;
  virtual ~CDrawParam() = default;

  const PointStyle* GetPointStyle(int id) const { return Find(points, id - kFirstPointStyle); }
  const LineStyle* GetLineStyle(int id) const { return Find(lines, id - kFirstLineStyle); }
  const SurfaceStyle* GetSurfaceStyle(int id) const { return Find(surfaces, id - kFirstSurfaceStyle); }
  const TextStyle* GetTextStyle(int id) const { return Find(texts, id - kFirstTextStyle); }
  void Clear() {
    points.RemoveAll();
    lines.RemoveAll();
    surfaces.RemoveAll();
    texts.RemoveAll();
  }

  CVArray<PointStyle> points;
  CVArray<LineStyle> lines;
  CVArray<SurfaceStyle> surfaces;
  CVArray<TextStyle> texts;

 private:
  template <class T>
  static const T* Find(const CVArray<T>& table, int index) {
    return index >= 0 && index < table.GetSize() ? &table[index] : nullptr;
  }
};

}  // namespace gmengine
