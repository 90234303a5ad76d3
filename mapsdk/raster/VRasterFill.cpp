#include "mapsdk/raster/VRasterFill.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "mapsdk/engine/VMemory.h"

namespace gmengine::raster {

namespace {

constexpr int kShift = 8;
constexpr int kScale = 1 << kShift;
constexpr int kMask = kScale - 1;

// Only what the filler's single block may grow to; a larger request is refused, not attempted.
constexpr std::int64_t kMaxFillBlock = std::int64_t{1} << 28;

// One edge piece after clipping, oriented downward (y1 < y2).
struct EdgeEx {
  int x1, y1, x2, y2;  // 24.8
  int row1, row2;      // first and last pixel row touched
  int dir;             // 1 when the edge ran upward (its ends were swapped)
  int next;            // next edge starting in the same row, -1 at the end
  // x at the current position and the carry of the floor division stepping it.
  int curX;
  std::int64_t rem;
  std::int64_t dx, dy;
};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

std::int64_t RoundCross(std::int64_t start, std::int64_t boundaryOffset, std::int64_t otherDelta,
                        std::int64_t delta) {
  return start + std::llround(static_cast<double>(boundaryOffset) * static_cast<double>(otherDelta) /
                              static_cast<double>(delta));
}

// The cells of one scanline: cover and area summed per column, a bit per column telling which
// columns have any. The row is read back in column order through the bits, so no sort is needed;
// reading a column clears its bit, which leaves the row empty for the next scanline.
class CellRow {
 public:
  // Columns first..first + width - 1; cover and area hold width entries, used (width + 63) / 64.
  CellRow(int first, int width, int* cover, int* area, std::uint64_t* used)
      : first_(first), width_(static_cast<unsigned>(width)), cover_(cover), area_(area), used_(used) {
    std::fill(used_, used_ + (width + 63) / 64, 0);
  }
  bool Empty() const { return lowWord_ > highWord_; }

  void Add(int x, int cover, int area) {
    if (cover == 0 && area == 0) return;
    const int i = x - first_;
    if (static_cast<unsigned>(i) >= width_) return;  // cannot happen: pieces lie in the columns
    const int word = i >> 6;
    const std::uint64_t bit = std::uint64_t{1} << (i & 63);
    if (used_[word] & bit) {
      cover_[i] += cover;
      area_[i] += area;
      return;
    }
    used_[word] |= bit;
    cover_[i] = cover;
    area_[i] = area;
    lowWord_ = std::min(lowWord_, word);
    highWord_ = std::max(highWord_, word);
  }

  // Calls fn(x, cover, area) for every column with cells, in column order, and empties the row.
  template <class Fn>
  void Drain(Fn&& fn) {
    for (int word = lowWord_; word <= highWord_; ++word) {
      for (std::uint64_t bits = used_[word]; bits != 0; bits &= bits - 1) {
        const int i = (word << 6) + std::countr_zero(bits);
        fn(first_ + i, cover_[i], area_[i]);
      }
      used_[word] = 0;
    }
    lowWord_ = std::numeric_limits<int>::max();
    highWord_ = -1;
  }

  // One edge's part inside a row: x1, x2 are 24.8 x values, fy1, fy2 the sub-pixel y in the row.
  void render_hline(int x1, int fy1, int x2, int fy2, int dir) {
    if (fy1 == fy2) return;
    int sign = dir ? -1 : 1;
    int ex1 = x1 >> kShift;
    int ex2 = x2 >> kShift;
    int fx1 = x1 & kMask;
    int fx2 = x2 & kMask;
    if (ex1 == ex2) {
      int cover = fy2 - fy1;
      Add(ex1, sign * cover, sign * cover * (fx1 + fx2));
      return;
    }
    std::int64_t d = fy2 - fy1;
    std::int64_t dx = static_cast<std::int64_t>(x2) - x1;
    std::int64_t p;
    int first;
    int incr;
    if (dx > 0) {
      p = (kScale - fx1) * d;
      first = kScale;
      incr = 1;
    } else {
      p = fx1 * d;
      first = 0;
      incr = -1;
      dx = -dx;
    }
    std::int64_t delta = FloorDiv(p, dx);
    std::int64_t mod = p - delta * dx;
    Add(ex1, sign * static_cast<int>(delta), sign * static_cast<int>(delta * (fx1 + first)));
    ex1 += incr;
    std::int64_t y = fy1 + delta;
    if (ex1 != ex2) {
      std::int64_t full = kScale * d;
      std::int64_t lift = FloorDiv(full, dx);
      std::int64_t rest = full - lift * dx;
      mod -= dx;
      while (ex1 != ex2) {
        delta = lift;
        mod += rest;
        if (mod >= 0) {
          mod -= dx;
          ++delta;
        }
        Add(ex1, sign * static_cast<int>(delta), sign * static_cast<int>(delta * kScale));
        y += delta;
        ex1 += incr;
      }
    }
    delta = fy2 - y;
    Add(ex2, sign * static_cast<int>(delta), sign * static_cast<int>(delta * (fx2 + kScale - first)));
  }

 private:
  int first_;
  unsigned width_;
  int* cover_;
  int* area_;
  std::uint64_t* used_;
  int lowWord_ = std::numeric_limits<int>::max();
  int highWord_ = -1;
};

inline std::uint32_t Blend255(std::uint32_t color, std::uint32_t pixel, unsigned a) {
  unsigned na = 255 - a;
  unsigned r = (((color >> 16) & 0xFF) * a + ((pixel >> 16) & 0xFF) * na) >> 8;
  unsigned g = (((color >> 8) & 0xFF) * a + ((pixel >> 8) & 0xFF) * na) >> 8;
  unsigned b = ((color & 0xFF) * a + (pixel & 0xFF) * na) >> 8;
  return 0xFF000000u | r << 16 | g << 8 | b;
}

// The filler's per-call state: clip in 24.8, the edge pieces and their buckets.
class Filler {
 public:
  Filler(const _VRect& clip, EdgeEx* edges) : edges_(edges) {
    left_ = static_cast<std::int64_t>(clip.left) << kShift;
    right_ = static_cast<std::int64_t>(clip.right) << kShift;
    top_ = static_cast<std::int64_t>(clip.top) << kShift;
    bottom_ = static_cast<std::int64_t>(clip.bottom) << kShift;
  }
  int EdgeCount() const { return count_; }

  // Clips one polygon edge: parts left or right of the clip become vertical pieces on its
  // boundary (their coverage is kept); parts above or below are cut by line_clip_y.
  void ClipEdge(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
    auto yflags = [&](std::int64_t y) { return (y > bottom_ ? 2 : 0) | (y < top_ ? 8 : 0); };
    auto xflags = [&](std::int64_t x) { return (x > right_ ? 1 : 0) | (x < left_ ? 4 : 0); };
    int fy1 = yflags(y1);
    int fy2 = yflags(y2);
    if ((fy1 & fy2) != 0) return;  // both above or both below
    int fx1 = xflags(x1);
    int fx2 = xflags(x2);
    if (fx1 == 0 && fx2 == 0) {
      line_clip_y(x1, y1, x2, y2);
      return;
    }
    if (fx1 == fx2) {
      std::int64_t bx = fx1 == 1 ? right_ : left_;
      line_clip_y(bx, y1, bx, y2);
      return;
    }
    // The edge crosses one or both vertical boundaries: split it there, in order from the start.
    std::int64_t xs[4] = {x1, 0, 0, x2};
    std::int64_t ys[4] = {y1, 0, 0, y2};
    int n = 1;
    std::int64_t bounds[2] = {left_, right_};
    if (x1 > x2) std::swap(bounds[0], bounds[1]);
    for (std::int64_t b : bounds) {
      if ((x1 < b && b < x2) || (x2 < b && b < x1)) {
        xs[n] = b;
        ys[n] = RoundCross(y1, b - x1, y2 - y1, x2 - x1);
        ++n;
      }
    }
    xs[n] = x2;
    ys[n] = y2;
    for (int i = 0; i < n; ++i) {
      line_clip_y(std::clamp(xs[i], left_, right_), ys[i], std::clamp(xs[i + 1], left_, right_), ys[i + 1]);
    }
  }

  // Cuts a piece (x already within the clip) to the clip's rows and stores it.
  void line_clip_y(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
    if (y1 == y2) return;  // horizontal: no cells
    if ((y1 < top_ && y2 < top_) || (y1 > bottom_ && y2 > bottom_)) return;
    // An end above or below the clip moves along the edge onto that boundary.
    auto toRows = [&](std::int64_t& x, std::int64_t& y) {
      std::int64_t boundary = y < top_ ? top_ : y > bottom_ ? bottom_ : y;
      if (boundary == y) return;
      x = RoundCross(x1, boundary - y1, x2 - x1, y2 - y1);
      y = boundary;
    };
    std::int64_t cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
    toRows(cx1, cy1);
    toRows(cx2, cy2);
    if (cy1 == cy2) return;
    cx1 = std::clamp(cx1, left_, right_);
    cx2 = std::clamp(cx2, left_, right_);
    EdgeEx& e = edges_[count_++];
    e.dir = 0;
    if (cy1 > cy2) {
      std::swap(cx1, cx2);
      std::swap(cy1, cy2);
      e.dir = 1;
    }
    e.x1 = static_cast<int>(cx1);
    e.y1 = static_cast<int>(cy1);
    e.x2 = static_cast<int>(cx2);
    e.y2 = static_cast<int>(cy2);
    e.row1 = e.y1 >> kShift;
    e.row2 = (e.y2 - 1) >> kShift;
    e.next = -1;
    e.dx = cx2 - cx1;
    e.dy = cy2 - cy1;
    e.curX = e.x1;
    e.rem = 0;
  }

 private:
  EdgeEx* edges_;
  int count_ = 0;
  std::int64_t left_, right_, top_, bottom_;
};

}  // namespace

int FillPolygon(VBitmap* bitmap, const _VRect& clip, const FixPoint* points, int count, std::uint32_t color,
                int opacity) {
  if (!bitmap || !points || count < 3 || count > kMaxFillPoints || bitmap->bitsPerPixel != 32) return 0;
  if (clip.right <= clip.left || clip.bottom <= clip.top) return 0;
  std::int64_t minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
  for (int i = 1; i < count; ++i) {
    minX = std::min(minX, points[i].x);
    maxX = std::max(maxX, points[i].x);
    minY = std::min(minY, points[i].y);
    maxY = std::max(maxY, points[i].y);
  }
  std::int64_t cl = std::int64_t{clip.left} << kShift, cr = std::int64_t{clip.right} << kShift;
  std::int64_t ct = std::int64_t{clip.top} << kShift, cb = std::int64_t{clip.bottom} << kShift;
  if (maxX <= cl || minX >= cr || maxY <= ct || minY >= cb) return 0;
  if (opacity <= 0) return 1;
  opacity = std::min(opacity, 255);

  int topRow = static_cast<int>(std::max(minY, ct) >> kShift);
  int bottomRow = static_cast<int>(std::min((maxY - 1) >> kShift, std::int64_t{clip.bottom} - 1));
  if (bottomRow < topRow) return 1;
  std::int64_t rows = bottomRow - topRow + 1;
  std::int64_t maxPieces = std::int64_t{count} * 3;
  // Cells fall in the columns of the polygon's extent within the clip, its right edge included
  // (a piece clipped to the right side lies on it).
  const int firstColumn = static_cast<int>(std::max(minX >> kShift, std::int64_t{clip.left}));
  const int lastColumn = static_cast<int>(std::min(maxX >> kShift, std::int64_t{clip.right}));
  const std::int64_t columns = lastColumn - firstColumn + 1;
  const std::int64_t words = (columns + 63) / 64;

  std::int64_t bytes = maxPieces * static_cast<std::int64_t>(sizeof(EdgeEx)) +
                       words * static_cast<std::int64_t>(sizeof(std::uint64_t)) +
                       (rows + maxPieces + 2 * columns) * static_cast<std::int64_t>(sizeof(int)) + 64;
  if (bytes > kMaxFillBlock) return 0;
  // Not zero-filled: every edge, bucket, active slot and cell is written before it is read (a
  // cell's column bit says whether it has been), and clearing them took an eighth of a wide
  // line's time.
  std::unique_ptr<std::uint8_t, decltype(&std::free)> owned(
      static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(bytes))), &std::free);
  if (!owned) return 0;
  std::uint8_t* block = owned.get();
  auto* edges = reinterpret_cast<EdgeEx*>(block);
  auto* used = reinterpret_cast<std::uint64_t*>(edges + maxPieces);
  auto* buckets = reinterpret_cast<int*>(used + words);
  int* active = buckets + rows;
  int* cellCover = active + maxPieces;
  int* cellArea = cellCover + columns;

  Filler filler(clip, edges);
  for (int i = 0; i < count; ++i) {
    const FixPoint& a = points[i];
    const FixPoint& b = points[(i + 1) % count];
    filler.ClipEdge(a.x, a.y, b.x, b.y);
  }
  std::fill(buckets, buckets + rows, -1);
  for (int i = filler.EdgeCount() - 1; i >= 0; --i) {
    EdgeEx& e = edges[i];
    if (e.row1 < topRow || e.row1 > bottomRow) continue;
    e.next = buckets[e.row1 - topRow];
    buckets[e.row1 - topRow] = i;
  }

  unsigned alphaOf[256];
  float scale = static_cast<float>(opacity) / 255.0f;
  for (int c = 0; c < 256; ++c) alphaOf[c] = static_cast<unsigned>(static_cast<float>(c) * scale);

  CellRow row(firstColumn, static_cast<int>(columns), cellCover, cellArea, used);
  int activeCount = 0;
  int xLimit = clip.right;
  for (int r = topRow; r <= bottomRow; ++r) {
    for (int i = buckets[r - topRow]; i >= 0; i = edges[i].next) active[activeCount++] = i;
    int rowTop = r << kShift;
    int rowBottom = rowTop + kScale;
    int kept = 0;
    for (int k = 0; k < activeCount; ++k) {
      EdgeEx& e = edges[active[k]];
      int ya = std::max(e.y1, rowTop);
      int yb = std::min(e.y2, rowBottom);
      int xa = e.curX;
      int xb;
      if (yb == e.y2) {
        xb = e.x2;
      } else {
        // x at the row's bottom boundary: floor division, the remainder carried to the next row.
        std::int64_t num = static_cast<std::int64_t>(yb - ya) * e.dx + e.rem;
        std::int64_t step = FloorDiv(num, e.dy);
        e.rem = num - step * e.dy;
        xb = xa + static_cast<int>(step);
      }
      row.render_hline(xa, ya - rowTop, xb, yb - rowTop, e.dir);
      e.curX = xb;
      if (e.y2 > rowBottom) active[kept++] = active[k];
    }
    activeCount = kept;
    if (row.Empty()) continue;

    auto* line =
        reinterpret_cast<std::uint32_t*>(bitmap->pixels + static_cast<std::size_t>(r) * bitmap->stride);
    auto put = [&](int x, int coverage) {
      if (coverage < 0) coverage = -coverage;
      if (coverage > 255) coverage = 255;
      unsigned a = alphaOf[coverage];
      if (a == 0) return;
      line[x] = a == 255 ? color : Blend255(color, line[x], a);
    };
    // From each column with cells, the running cover fills the columns up to the next one.
    auto fillTo = [&](int from, int to, int cover) {
      from = std::max(from, clip.left);
      to = std::min(to, xLimit);
      if (from >= to || cover == 0) return;
      int coverage = std::min(cover < 0 ? -cover : cover, 255);
      unsigned a = alphaOf[coverage];
      if (a == 255) {
        std::fill(line + from, line + to, color);
      } else if (a != 0) {
        for (int px = from; px < to; ++px) line[px] = Blend255(color, line[px], a);
      }
    };
    int cover = 0;
    int previous = 0;
    bool any = false;
    row.Drain([&](int x, int cellCover, int cellArea) {
      if (any) fillTo(previous + 1, x, cover);
      any = true;
      cover += cellCover;
      if (x >= clip.left && x < xLimit) put(x, cover - (cellArea >> 9));
      previous = x;
    });
    fillTo(previous + 1, xLimit, cover);
  }
  return 1;
}

int StrokePolyline(VBitmap* bitmap, const _VRect& clip, const FixPoint* points, int count,
                   std::int64_t halfWidth, std::uint32_t color, int opacity) {
  if (!bitmap || !points || count < 1 || count > kMaxFillPoints / 4 || halfWidth <= 0) return 0;
  // Consecutive points on the same pixel are one point.
  auto* kept = static_cast<FixPoint*>(VMalloc(sizeof(FixPoint) * static_cast<std::size_t>(count)));
  if (!kept) return 0;
  int n = 0;
  for (int i = 0; i < count; ++i) {
    if (n > 0 && (kept[n - 1].x >> kShift) == (points[i].x >> kShift) &&
        (kept[n - 1].y >> kShift) == (points[i].y >> kShift))
      continue;
    kept[n++] = points[i];
  }
  if (n < 2) {
    VFree(kept);
    return 0;
  }
  // Per segment the offset normal (left of the direction, y down), taken along its major axis.
  auto* normals = static_cast<FixPoint*>(VMalloc(sizeof(FixPoint) * static_cast<std::size_t>(n)));
  auto* outline = static_cast<FixPoint*>(VMalloc(sizeof(FixPoint) * (static_cast<std::size_t>(n) * 4 + 10)));
  if (!normals || !outline) {
    VFree(kept);
    VFree(normals);
    VFree(outline);
    return 0;
  }
  double h = static_cast<double>(halfWidth);  // 24.8
  for (int i = 0; i + 1 < n; ++i) {
    std::int64_t dx = kept[i + 1].x - kept[i].x;
    std::int64_t dy = kept[i + 1].y - kept[i].y;
    std::int64_t adx = dx < 0 ? -dx : dx;
    std::int64_t ady = dy < 0 ? -dy : dy;
    FixPoint nrm;
    if (adx >= ady) {
      double s = static_cast<double>(dy * kScale / adx);
      double len = std::max(1.0, std::sqrt(s * s + 65536.0));
      double sx = dx < 0 ? -1.0 : 1.0;
      nrm.x = static_cast<std::int64_t>(-(h * s) / len);
      nrm.y = static_cast<std::int64_t>(sx * h * kScale / len);
    } else {
      double s = static_cast<double>(dx * kScale / ady);
      double len = std::max(1.0, std::sqrt(s * s + 65536.0));
      double sy = dy < 0 ? -1.0 : 1.0;
      nrm.x = static_cast<std::int64_t>(-sy * h * kScale / len);
      nrm.y = static_cast<std::int64_t>((h * s) / len);
    }
    normals[i] = nrm;
  }
  int m = 0;
  auto add = [&](std::int64_t x, std::int64_t y) { outline[m++] = {x, y}; };
  // A half octagon around p from side -n to side +n through the back (t points away from the
  // line); its diagonals use 181/256 of the summed offsets.
  auto cap = [&](const FixPoint& p, const FixPoint& nrm, const FixPoint& t) {
    add(p.x - nrm.x, p.y - nrm.y);
    add(p.x + (-nrm.x + t.x) * 181 / 256, p.y + (-nrm.y + t.y) * 181 / 256);
    add(p.x + t.x, p.y + t.y);
    add(p.x + (nrm.x + t.x) * 181 / 256, p.y + (nrm.y + t.y) * 181 / 256);
    add(p.x + nrm.x, p.y + nrm.y);
  };
  // With the left normal n = (-dy, dx) / |d| x h, the forward direction scaled to h is (n.y, -n.x).
  FixPoint n0 = normals[0];
  cap(kept[0], n0, {-n0.y, n0.x});
  for (int i = 1; i + 1 < n; ++i) {
    add(kept[i].x + normals[i - 1].x, kept[i].y + normals[i - 1].y);
    add(kept[i].x + normals[i].x, kept[i].y + normals[i].y);
  }
  FixPoint nl = normals[n - 2];
  FixPoint neg = {-nl.x, -nl.y};
  cap(kept[n - 1], neg, {nl.y, -nl.x});
  for (int i = n - 2; i >= 1; --i) {
    add(kept[i].x - normals[i].x, kept[i].y - normals[i].y);
    add(kept[i].x - normals[i - 1].x, kept[i].y - normals[i - 1].y);
  }
  int result = FillPolygon(bitmap, clip, outline, m, color, opacity);
  VFree(kept);
  VFree(normals);
  VFree(outline);
  return result;
}

int DrawThinLine(VBitmap* bitmap, const _VRect& clip, std::int64_t x1, std::int64_t y1, std::int64_t x2,
                 std::int64_t y2, std::uint32_t color, bool dotted) {
  if (!bitmap || bitmap->bitsPerPixel != 32) return 0;
  const std::int64_t xmax = bitmap->width - 1;
  const std::int64_t ymax = bitmap->height - 1;
  auto outcode = [&](std::int64_t x, std::int64_t y) {
    return (x < 0 ? 1 : 0) | (x > xmax ? 2 : 0) | (y < 0 ? 8 : 0) | (y > ymax ? 4 : 0);
  };
  for (int pass = 0;; ++pass) {
    int c1 = outcode(x1, y1);
    int c2 = outcode(x2, y2);
    if ((c1 | c2) == 0) break;
    if ((c1 & c2) != 0 || pass == 4) return 0;
    int c = c1 ? c1 : c2;
    std::int64_t x, y;
    // a + (b - a) x (boundary - c) / (d - c), the product in 128 bits so no end wraps.
    auto cross = [](std::int64_t a, std::int64_t b, std::int64_t boundary, std::int64_t c, std::int64_t d) {
      return a + static_cast<std::int64_t>(static_cast<__int128>(b - a) * (boundary - c) / (d - c));
    };
    if (c & 8) {
      x = cross(x1, x2, 0, y1, y2);
      y = 0;
    } else if (c & 4) {
      x = cross(x1, x2, ymax, y1, y2);
      y = ymax;
    } else if (c & 1) {
      y = cross(y1, y2, 0, x1, x2);
      x = 0;
    } else {
      y = cross(y1, y2, xmax, x1, x2);
      x = xmax;
    }
    if (c == c1) {
      x1 = x;
      y1 = y;
    } else {
      x2 = x;
      y2 = y;
    }
  }
  std::int64_t adx = x2 >= x1 ? x2 - x1 : x1 - x2;
  std::int64_t ady = y2 >= y1 ? y2 - y1 : y1 - y2;
  bool xMajor = adx >= ady;
  // Order the ends so the major coordinate increases.
  if ((xMajor && x2 < x1) || (!xMajor && y2 < y1)) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  std::int64_t major = xMajor ? x2 - x1 : y2 - y1;
  std::int64_t minorDelta = xMajor ? y2 - y1 : x2 - x1;
  std::int64_t slope = major == 0 ? 0 : minorDelta * 1024 / major;
  auto* px = reinterpret_cast<std::uint8_t*>(bitmap->pixels);
  auto plot = [&](std::int64_t x, std::int64_t y, unsigned w) {
    if (w == 0 || x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
    auto* p = reinterpret_cast<std::uint32_t*>(px + static_cast<std::size_t>(y) * bitmap->stride) + x;
    std::uint32_t d = *p;
    unsigned nw = 1024 - w;
    unsigned r = (((color >> 16) & 0xFF) * w + ((d >> 16) & 0xFF) * nw) >> 10;
    unsigned g = (((color >> 8) & 0xFF) * w + ((d >> 8) & 0xFF) * nw) >> 10;
    unsigned b = ((color & 0xFF) * w + (d & 0xFF) * nw) >> 10;
    *p = 0xFF000000u | r << 16 | g << 8 | b;
  };
  std::int64_t minor = xMajor ? y1 : x1;
  std::int64_t f = 512;
  for (std::int64_t i = 0; i <= major; ++i) {
    if (!dotted || i % 3 == 0) {
      unsigned up = f > 512 ? static_cast<unsigned>(f - 512) : 0;
      unsigned down = f < 512 ? static_cast<unsigned>(512 - f) : 0;
      unsigned centre = 1024 - up - down;
      std::int64_t m = (xMajor ? x1 : y1) + i;
      if (xMajor) {
        plot(m, minor, centre);
        plot(m, minor + 1, up);
        plot(m, minor - 1, down);
      } else {
        plot(minor, m, centre);
        plot(minor + 1, m, up);
        plot(minor - 1, m, down);
      }
    }
    f += slope;
    while (f >= 1024) {
      f -= 1024;
      ++minor;
    }
    while (f < 0) {
      f += 1024;
      --minor;
    }
  }
  return 1;
}

}  // namespace gmengine::raster
