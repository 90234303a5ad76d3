#pragma once
#include "mapsdk/engine/CGeoElement.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CDrawParam.h"
#include "mapsdk/raster/CVBrush.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/raster/CVPen.h"

namespace gmengine {

// Draws one geo element of the vector and background layers into a context: points as icons
// (from the icon table it is given; none without) or a direction marker, lines as polylines,
// surfaces as filled polygons, texts as labels (measured and drawn through the context, which
// draws no text).
// Element coordinates are screen pixels. Whatever Draw selects it restores. One thread at a time
// (the drawing thread).
class CDataDisp {
 public:
  // Style id of the direction marker.
  static constexpr int kDirectionStyle = 20;

  CDataDisp() = default;
  virtual ~CDataDisp() = default;
  CDataDisp(const CDataDisp&) = delete;
  CDataDisp& operator=(const CDataDisp&) = delete;

  // The icons come from the table of this platform information (it outlives the drawer).
  void SetIcons(CVGlobalMan* icons) { icons_ = icons; }
  void Draw(CVDC* dc, const CGeoElement* element);
  // Empties the style tables; the pen and brush let go of their handles (freeing owned ones).
  void Release();

  CDrawParam param;
  CVPen pen;      // the direction marker's outline; empty unless its user creates it
  CVBrush brush;  // the direction marker's fill

 private:
  void DrawPoints(CVDC& dc, const CGeoElement& element);
  void DrawDirection(CVDC& dc, const CGeoElement& element, int radius);
  void DrawLines(CVDC& dc, const CGeoElement& element);
  void DrawSurfaces(CVDC& dc, const CGeoElement& element);
  void DrawTexts(CVDC& dc, const CGeoElement& element);

  CVGlobalMan* icons_ = nullptr;
};

}  // namespace gmengine
