#include "mapsdk/raster/CDataDisp.h"

#include <cmath>
#include <memory>

#include "mapsdk/raster/CVBitmap.h"
#include "mapsdk/raster/CVFont.h"

namespace gmengine {

namespace {

// Icons stand on their point for these style ids; all others are centred on it.
bool StandsOnPoint(int styleId) { return (styleId >= 1 && styleId <= 10) || styleId == 22; }

// The icon of an image id, loaded now unless its entry keeps it loaded. A loaded-for-now icon is
// released by the returned holder's owner once drawn.
struct IconFetch {
  CVBitmap* bitmap = nullptr;
  std::shared_ptr<CVBitmap> temporary;
};

IconFetch FetchIcon(CVGlobalMan* global, int imageId) {
  IconFetch fetch;
  if (!global) return fetch;
  void* value = nullptr;
  if (!global->iconTable.Lookup(static_cast<std::uint16_t>(imageId), value) || !value) return fetch;
  auto* entry = static_cast<tag_IconImage*>(value);
  if (entry->keepLoaded && entry->bitmap) {
    fetch.bitmap = entry->bitmap.get();
    return fetch;
  }
  auto bitmap = std::make_shared<CVBitmap>();
  CVString path = global->iconFolder + entry->fileName;
  int loaded = entry->fileKind == 1   ? bitmap->LoadPNG(path)
               : entry->fileKind == 0 ? bitmap->LoadBitmap(path)
                                      : 0;
  if (!loaded) return fetch;
  if (entry->keepLoaded) {
    entry->bitmap = bitmap;
  } else {
    fetch.temporary = bitmap;
  }
  fetch.bitmap = bitmap.get();
  return fetch;
}

// Calls fn for every point of every part of the element's shape.
template <class Fn>
void ForEachPoint(const CGeoElement& element, Fn fn) {
  for (int part = 0; part < element.shape.GetPartSize(); ++part) {
    const CVArray<_VPoint>* points = element.shape.GetPart(part);
    for (int i = 0; points && i < points->GetSize(); ++i) fn((*points)[i]);
  }
}

// Calls fn with every part of the element's shape.
template <class Fn>
void ForEachPart(const CGeoElement& element, Fn fn) {
  for (int part = 0; part < element.shape.GetPartSize(); ++part) {
    if (const CVArray<_VPoint>* points = element.shape.GetPart(part)) fn(*points);
  }
}

// Reduced by 360 when above 360, as the marker's three angles are.
double Wrap(double degrees) { return degrees > 360 ? degrees - 360 : degrees; }

}  // namespace

void CDataDisp::Draw(CVDC* dc, const CGeoElement* element) {
  if (!dc || !dc->IsValid() || !element) return;
  switch (element->geometryKind) {
    case CGeoElement::kPoint:
      DrawPoints(*dc, *element);
      break;
    case CGeoElement::kLine:
      DrawLines(*dc, *element);
      break;
    case CGeoElement::kSurface:
      DrawSurfaces(*dc, *element);
      break;
    case CGeoElement::kText:
      DrawTexts(*dc, *element);
      break;
    default:
      break;
  }
}

void CDataDisp::Release() {
  param.Clear();
  pen.Detach();
  pen.DeleteObject();
  brush.Detach();
  brush.DeleteObject();
}

void CDataDisp::DrawPoints(CVDC& dc, const CGeoElement& element) {
  const PointStyle* style = param.GetPointStyle(element.styleId);
  if (!style) return;
  if (element.styleId == kDirectionStyle) {
    DrawDirection(dc, element, style->width);
    return;
  }
  IconFetch icon = FetchIcon(icons_, style->imageId);
  if (!icon.bitmap || !icon.bitmap->GetHandle()) return;
  int w = style->width;
  int h = style->height;
  bool standing = StandsOnPoint(element.styleId);
  ForEachPoint(element, [&](const _VPoint& p) {
    dc.BitBlt(p.x - w / 2, standing ? p.y - h : p.y - h / 2, w, h, icon.bitmap->GetHandle(), 0, 0, SRCCOPY);
  });
}

void CDataDisp::DrawDirection(CVDC& dc, const CGeoElement& element, int radius) {
  VPen* oldPen = dc.SelectObject(&pen);
  VBrush* oldBrush = dc.SelectObject(&brush);
  int inner = static_cast<int>(0.6 * radius);
  const double rad = 3.14159265358979323846 / 180.0;
  double a = element.angle;
  double angles[3] = {Wrap(a + 240), a, Wrap(a + 120)};
  ForEachPoint(element, [&](const _VPoint& p) {
    dc.Ellipse(p.x - radius, p.y - radius, p.x + radius, p.y + radius, 255);
    _VPoint chevron[3];
    for (int k = 0; k < 3; ++k) {
      chevron[k] = _VPoint(p.x + static_cast<int>(inner * std::sin(angles[k] * rad)),
                           p.y - static_cast<int>(inner * std::cos(angles[k] * rad)));
    }
    dc.Polyline(chevron, 3, 255);
  });
  if (oldPen) dc.SelectObject(oldPen);
  if (oldBrush) dc.SelectObject(oldBrush);
}

void CDataDisp::DrawLines(CVDC& dc, const CGeoElement& element) {
  const LineStyle* style = param.GetLineStyle(element.styleId);
  if (!style) return;
  CVPen linePen;
  if (!linePen.CreatePen(PenStyle::Solid, style->width, style->color)) return;
  VPen* old = dc.SelectObject(&linePen);
  int opacity = static_cast<int>(style->opacity * 255);
  ForEachPart(element, [&](const CVArray<_VPoint>& points) {
    dc.Polyline(points.GetData(), points.GetSize(), opacity);
  });
  if (old) dc.SelectObject(old);
}

void CDataDisp::DrawSurfaces(CVDC& dc, const CGeoElement& element) {
  const SurfaceStyle* style = param.GetSurfaceStyle(element.styleId);
  if (!style) return;
  const LineStyle* border = param.GetLineStyle(style->lineStyleId);
  if (!border) return;
  CVPen borderPen;
  CVBrush fill;
  if (!borderPen.CreatePen(border->penStyle, border->width, border->color) ||
      !fill.CreateSolidBrush(style->fillColor))
    return;
  VPen* oldPen = dc.SelectObject(&borderPen);
  VBrush* oldBrush = dc.SelectObject(&fill);
  ForEachPart(element,
              [&](const CVArray<_VPoint>& points) { dc.Polygon(points.GetData(), points.GetSize(), 255); });
  if (oldPen) dc.SelectObject(oldPen);
  if (oldBrush) dc.SelectObject(oldBrush);
}

void CDataDisp::DrawTexts(CVDC& dc, const CGeoElement& element) {
  const TextStyle* style = param.GetTextStyle(element.styleId);
  if (!style) return;
  CVFont font;
  if (!font.CreateFont(style->fontSize, style->fontSize, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, u"MSYH.TTF",
                       icons_))
    return;
  VFont* oldFont = dc.SelectObject(&font);
  std::uint32_t oldColor = dc.SetTextColor(style->color);
  const CVString& text = element.label;
  ForEachPoint(element, [&](const _VPoint& p) {
    _VSize size = dc.GetTextExtent(text.GetBuffer(), text.GetLength());
    dc.DrawText(text.GetBuffer(), text.GetLength(), _VRect(p.x, p.y, p.x + size.cx, p.y + size.cy));
  });
  if (oldFont) dc.SelectObject(oldFont);
  dc.SetTextColor(oldColor);
}

}  // namespace gmengine
