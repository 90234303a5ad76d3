// The map's software renderer side by side with Cairo's image surface doing the same work with the
// same (grey-level) anti-aliasing: 1,000 random 50-point polygons filled on 1024 x 1024 (non-zero
// winding), wide polylines (width 6, bevel joins, round-ish caps; 10,000 segments in all) and a
// 256 x 256 blit through an alpha channel. The polygons and wide lines are also drawn by AGG's
// scanline rasteriser (same anti-aliasing, fill rule, width, joins and caps, into a 1024 x 1024 BGRA
// buffer). Reports ours/Cairo and ours/AGG speed per hot path through bench/Ratio.h.
#include <agg_conv_stroke.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_p.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/Ratio.h"
#include "mapsdk/raster/VRaster.h"

namespace {

using gmengine::_VPoint;

constexpr int kSide = 1024;

struct Scene {
  std::vector<std::vector<_VPoint>> polygons;   // 1,000 of 50 points
  std::vector<std::vector<_VPoint>> polylines;  // 100 of 101 points
  std::vector<std::uint32_t> icon;              // 256 x 256 colours
  std::vector<std::uint8_t> iconAlpha;
};

const Scene& scene() {
  static const Scene s = [] {
    Scene sc;
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> corner(0, kSide - 200), offset(0, 200), step(-20, 20),
        any(0, kSide - 1);
    for (int i = 0; i < 1000; ++i) {
      int x0 = corner(rng), y0 = corner(rng);
      std::vector<_VPoint> p;
      for (int k = 0; k < 50; ++k) p.emplace_back(x0 + offset(rng), y0 + offset(rng));
      sc.polygons.push_back(std::move(p));
    }
    for (int i = 0; i < 100; ++i) {
      _VPoint at(any(rng), any(rng));
      std::vector<_VPoint> p{at};
      for (int k = 0; k < 100; ++k) {
        at.x = std::clamp(at.x + step(rng), 0, kSide - 1);
        at.y = std::clamp(at.y + step(rng), 0, kSide - 1);
        p.push_back(at);
      }
      sc.polylines.push_back(std::move(p));
    }
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        sc.icon.push_back(0xFF000000u | static_cast<std::uint32_t>(x) << 16 | static_cast<std::uint32_t>(y));
        sc.iconAlpha.push_back(static_cast<std::uint8_t>((x + y) / 2));
      }
    return sc;
  }();
  return s;
}

// Our context on a 1024 x 1024 bitmap.
struct OurCanvas {
  gmengine::VDC* dc = gmengine::VCreateDC();
  gmengine::VBitmap* bitmap = gmengine::VCreateBitmap(kSide, kSide, 32, nullptr);
  OurCanvas() { gmengine::FreeBitmapData(gmengine::VSelectBitmap(dc, bitmap)); }
  ~OurCanvas() { gmengine::VFreeDC(dc); }
  void Pen(gmengine::PenStyle style, int width) {
    gmengine::VFreePen(gmengine::VSelectPen(dc, gmengine::VCreatePen(style, width, 0xFF2060A0u)));
  }
};

struct CairoCanvas {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
  cairo_t* cr = cairo_create(surface);
  CairoCanvas() {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    cairo_set_source_rgba(cr, 0x20 / 255.0, 0x60 / 255.0, 0xA0 / 255.0, 200 / 255.0);
  }
  ~CairoCanvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

// AGG's scanline rasteriser on a 1024 x 1024 BGRA buffer, the same colour.
struct AggCanvas {
  std::vector<agg::int8u> pixels = std::vector<agg::int8u>(kSide * kSide * 4);
  agg::rendering_buffer buffer{pixels.data(), kSide, kSide, kSide * 4};
  agg::pixfmt_bgra32 format{buffer};
  agg::renderer_base<agg::pixfmt_bgra32> base{format};
  agg::renderer_scanline_aa_solid<agg::renderer_base<agg::pixfmt_bgra32>> solid{base};
  agg::rasterizer_scanline_aa<> rasterizer;
  agg::scanline_p8 scanline;
  AggCanvas() { solid.color(agg::rgba8(0x20, 0x60, 0xA0, 200)); }
  void draw() { agg::render_scanlines(rasterizer, scanline, solid); }
};

void SetUpPolygons(OurCanvas& c) {
  c.Pen(gmengine::PenStyle::None, 1);
  gmengine::VFreeBrush(
      gmengine::VSelectBrush(c.dc, gmengine::VCreateBrush(gmengine::BrushStyle::Solid, 0xFF2060A0u)));
}
void DrawPolygons(OurCanvas& c) {
  for (const auto& p : scene().polygons) gmengine::VPolygon(c.dc, p.data(), static_cast<int>(p.size()), 200);
}
void SetUpPolygons(CairoCanvas& c) { cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_WINDING); }
void DrawPolygons(CairoCanvas& c) {
  for (const auto& p : scene().polygons) {
    cairo_move_to(c.cr, p[0].x, p[0].y);
    for (std::size_t k = 1; k < p.size(); ++k) cairo_line_to(c.cr, p[k].x, p[k].y);
    cairo_close_path(c.cr);
    cairo_fill(c.cr);
  }
}

void BM_Polygons_Ours(benchmark::State& state) {
  OurCanvas c;
  SetUpPolygons(c);
  for (auto _ : state) DrawPolygons(c);
}

void BM_Polygons_Cairo(benchmark::State& state) {
  CairoCanvas c;
  SetUpPolygons(c);
  for (auto _ : state) DrawPolygons(c);
  cairo_surface_flush(c.surface);
}

void BM_Polygons_AGG(benchmark::State& state) {
  AggCanvas c;
  c.rasterizer.filling_rule(agg::fill_non_zero);
  for (auto _ : state)
    for (const auto& p : scene().polygons) {
      c.rasterizer.reset();
      c.rasterizer.move_to_d(p[0].x, p[0].y);
      for (std::size_t k = 1; k < p.size(); ++k) c.rasterizer.line_to_d(p[k].x, p[k].y);
      c.rasterizer.close_polygon();
      c.draw();
    }
  benchmark::DoNotOptimize(c.pixels.data());
}

void SetUpWideLines(OurCanvas& c) { c.Pen(gmengine::PenStyle::Solid, 6); }
void DrawWideLines(OurCanvas& c) {
  for (const auto& p : scene().polylines)
    gmengine::VPolyline(c.dc, p.data(), static_cast<int>(p.size()), 200);
}
void SetUpWideLines(CairoCanvas& c) {
  cairo_set_line_width(c.cr, 6);
  cairo_set_line_join(c.cr, CAIRO_LINE_JOIN_BEVEL);
  cairo_set_line_cap(c.cr, CAIRO_LINE_CAP_ROUND);
}
void DrawWideLines(CairoCanvas& c) {
  for (const auto& p : scene().polylines) {
    cairo_move_to(c.cr, p[0].x, p[0].y);
    for (std::size_t k = 1; k < p.size(); ++k) cairo_line_to(c.cr, p[k].x, p[k].y);
    cairo_stroke(c.cr);
  }
}

void BM_WideLines_Ours(benchmark::State& state) {
  OurCanvas c;
  SetUpWideLines(c);
  for (auto _ : state) DrawWideLines(c);
}

void BM_WideLines_Cairo(benchmark::State& state) {
  CairoCanvas c;
  SetUpWideLines(c);
  for (auto _ : state) DrawWideLines(c);
  cairo_surface_flush(c.surface);
}

void BM_WideLines_AGG(benchmark::State& state) {
  AggCanvas c;
  agg::path_storage path;
  agg::conv_stroke<agg::path_storage> stroke(path);
  stroke.width(6);
  stroke.line_join(agg::bevel_join);
  stroke.line_cap(agg::round_cap);
  for (auto _ : state)
    for (const auto& p : scene().polylines) {
      path.remove_all();
      path.move_to(p[0].x, p[0].y);
      for (std::size_t k = 1; k < p.size(); ++k) path.line_to(p[k].x, p[k].y);
      c.rasterizer.reset();
      c.rasterizer.add_path(stroke);
      c.draw();
    }
  benchmark::DoNotOptimize(c.pixels.data());
}

void BM_AlphaBlit_Ours(benchmark::State& state) {
  OurCanvas c;
  gmengine::VBitmap* icon =
      gmengine::VCreateBitmapWithAlpha(256, 256, scene().icon.data(), scene().iconAlpha.data());
  for (auto _ : state) gmengine::VBitBlt(c.dc, 100, 100, 256, 256, icon, 0, 0, gmengine::SRCCOPY);
  gmengine::FreeBitmapData(icon);
}

void BM_AlphaBlit_Cairo(benchmark::State& state) {
  CairoCanvas c;
  cairo_surface_t* icon = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 256, 256);
  cairo_surface_flush(icon);
  auto* px = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(icon));
  int stride = cairo_image_surface_get_stride(icon) / 4;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      std::uint32_t v = scene().icon[static_cast<std::size_t>(y * 256 + x)];
      std::uint32_t a = scene().iconAlpha[static_cast<std::size_t>(y * 256 + x)];
      std::uint32_t r = ((v >> 16) & 0xFF) * a / 255, g = ((v >> 8) & 0xFF) * a / 255,
                    b = (v & 0xFF) * a / 255;
      px[y * stride + x] = a << 24 | r << 16 | g << 8 | b;  // premultiplied, as Cairo keeps it
    }
  cairo_surface_mark_dirty(icon);
  for (auto _ : state) {
    cairo_set_source_surface(c.cr, icon, 100, 100);
    cairo_paint(c.cr);
  }
  cairo_surface_flush(c.surface);
  cairo_surface_destroy(icon);
}

// The colour both sides put on a black canvas, summed over every pixel and channel: anti-aliasing
// differs a little between rasterisers, what is covered may not.
double OurInk(const OurCanvas& c) {
  double sum = 0;
  for (int y = 0; y < c.bitmap->height; ++y) {
    const std::uint8_t* row = c.bitmap->pixels + static_cast<std::size_t>(y) * c.bitmap->stride;
    for (int x = 0; x < c.bitmap->width; ++x) sum += row[4 * x] + row[4 * x + 1] + row[4 * x + 2];
  }
  return sum;
}
double CairoInk(CairoCanvas& c) {
  cairo_surface_flush(c.surface);
  const std::uint8_t* data = cairo_image_surface_get_data(c.surface);
  const int stride = cairo_image_surface_get_stride(c.surface);
  double sum = 0;
  // Premultiplied: a pixel's colour over black, as ours keeps it.
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const std::uint8_t* px = data + static_cast<std::ptrdiff_t>(y) * stride + 4 * x;
      sum += px[0] + px[1] + px[2];
    }
  return sum;
}
void CheckSameInk(const char* what, double ours, double cairo) {
  std::printf("%s: ink %.0f ours, %.0f Cairo\n", what, ours, cairo);
  kavro::bench::requireSameOutput(ours > 0 && std::abs(ours - cairo) <= 0.02 * cairo,
                                  std::string(what) + ": ours and Cairo cover different areas");
}
// Each scene drawn once by both sides on a fresh canvas, before anything is timed.
void CheckOutputs() {
  {
    OurCanvas ours;
    CairoCanvas cairo;
    SetUpPolygons(ours);
    SetUpPolygons(cairo);
    DrawPolygons(ours);
    DrawPolygons(cairo);
    CheckSameInk("polygons", OurInk(ours), CairoInk(cairo));
  }
  {
    OurCanvas ours;
    CairoCanvas cairo;
    SetUpWideLines(ours);
    SetUpWideLines(cairo);
    DrawWideLines(ours);
    DrawWideLines(cairo);
    CheckSameInk("wide lines", OurInk(ours), CairoInk(cairo));
  }
}

BENCHMARK(BM_Polygons_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Polygons_Cairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WideLines_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WideLines_Cairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Polygons_AGG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WideLines_AGG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlphaBlit_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AlphaBlit_Cairo)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  CheckOutputs();
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5, kavro::bench::Order::Shuffled);
  // Also ends the console reporter's last coloured line, which a summary line must not share.
  std::printf("\nThe raster engine's speed as a share of Cairo's, best of the repetitions\n");
  using kavro::bench::figure;
  struct Path {
    const char* kind;
    const char* hotPath;
    double scale;  // ns to the shown unit
    const char* unit;
  };
  for (const Path& p : {Path{"Polygons", "raster 1,000 AA 50-point polygons 1024x1024", 1e6, "ms"},
                        Path{"WideLines", "raster wide polylines w6, 10,000 segments", 1e6, "ms"},
                        Path{"AlphaBlit", "raster 256x256 alpha blit", 1e3, "us"}}) {
    const std::string ours = std::string("BM_") + p.kind + "_Ours",
                      cairo = std::string("BM_") + p.kind + "_Cairo";
    kavro::bench::reportRatio(p.hotPath, figure(reporter.timeNs(ours) / p.scale, p.unit),
                              "Cairo " + figure(reporter.timeNs(cairo) / p.scale, p.unit),
                              reporter.timeRatio(ours, cairo), 1.0);
    const std::string agg = std::string("BM_") + p.kind + "_AGG";
    if (reporter.has(agg))
      kavro::bench::reportRatio(p.hotPath, figure(reporter.timeNs(ours) / p.scale, p.unit),
                                "AGG " + figure(reporter.timeNs(agg) / p.scale, p.unit),
                                reporter.timeRatio(ours, agg), 1.0);
  }
  return 0;
}
