#include "platform/graphics/BitmapContext.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/ChannelByte.h"

namespace platform {

namespace {

using channelbyte::toByte;

// The colour premultiplied, in 0...255, with the context's alpha applied.
void premultipliedColor(const Color& color, double alpha, float out[4]) {
  double a = std::clamp(color.alpha() * alpha, 0.0, 1.0);
  out[0] = static_cast<float>(std::clamp(color.redComponent(), 0.0, 1.0) * a * 255);
  out[1] = static_cast<float>(std::clamp(color.greenComponent(), 0.0, 1.0) * a * 255);
  out[2] = static_cast<float>(std::clamp(color.blueComponent(), 0.0, 1.0) * a * 255);
  out[3] = static_cast<float>(a * 255);
}

// Far beyond any bitmap, and still an int.
constexpr double PixelRange = 1 << 30;

// The pixels whose centres lie in [lo, hi): first and one past the last (clamped far outside any
// bitmap, so no coordinate overflows an int).
int firstPixel(double lo) {
  if (std::isnan(lo)) return 0;
  return static_cast<int>(std::clamp(std::ceil(lo - 0.5), -PixelRange, PixelRange));
}

int clampToInt(double v) { return static_cast<int>(std::clamp(v, -PixelRange, PixelRange)); }

bool inRect(const Rect& r, Point p) { return r.containsPoint(p); }

bool inRoundedRect(const Rect& r, double radius, Point p) {
  if (!r.containsPoint(p)) return false;
  radius = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
  if (radius <= 0) return true;
  double cx =
      p.x < r.minX() + radius ? r.minX() + radius : (p.x >= r.maxX() - radius ? r.maxX() - radius : p.x);
  double cy =
      p.y < r.minY() + radius ? r.minY() + radius : (p.y >= r.maxY() - radius ? r.maxY() - radius : p.y);
  double dx = p.x - cx, dy = p.y - cy;
  return dx * dx + dy * dy <= radius * radius;
}

// Decodes UTF-8; a malformed byte reads as U+FFFD.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
  auto b = static_cast<unsigned char>(s[i++]);
  if (b < 0x80) return b;
  int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t cp = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

bool isBlank(char32_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200B);
}

}  // namespace

BitmapContext::BitmapContext(Size size, bool opaque, double scale)
    : size_(size), scale_(scale > 0 && std::isfinite(scale) ? scale : 1.0), opaque_(opaque) {
  double w = std::ceil(size.width * scale_ - 1e-9), h = std::ceil(size.height * scale_ - 1e-9);
  if (w >= 1 && h >= 1 && w <= Bitmap::MaxDimension && h <= Bitmap::MaxDimension) {
    if (auto b = Bitmap::create(static_cast<int>(w), static_cast<int>(h), !opaque)) bitmap_ = std::move(*b);
  }
  state_.ctm = AffineTransform::makeScale(scale_, scale_);
  state_.clipX1 = bitmap_.width();
  state_.clipY1 = bitmap_.height();
}

void BitmapContext::saveGState() { saved_.push_back(state_); }

void BitmapContext::restoreGState() {
  if (saved_.empty()) return;
  state_ = saved_.back();
  saved_.pop_back();
}

void BitmapContext::translateCTM(double tx, double ty) { state_.ctm = state_.ctm.translated(tx, ty); }
void BitmapContext::scaleCTM(double sx, double sy) { state_.ctm = state_.ctm.scaled(sx, sy); }
void BitmapContext::rotateCTM(double radians) { state_.ctm = state_.ctm.rotated(radians); }
void BitmapContext::concatCTM(const AffineTransform& t) { state_.ctm = t.concat(state_.ctm); }

void BitmapContext::clipToRect(const Rect& rect) {
  Rect d = state_.ctm.apply(rect.standardized());
  if (!std::isfinite(d.x()) || !std::isfinite(d.y()) || !std::isfinite(d.width()) ||
      !std::isfinite(d.height())) {
    state_.clipX1 = state_.clipX0;  // nothing sensible to draw into
    return;
  }
  state_.clipX0 = std::max(state_.clipX0, firstPixel(d.minX()));
  state_.clipY0 = std::max(state_.clipY0, firstPixel(d.minY()));
  state_.clipX1 = std::min(state_.clipX1, firstPixel(d.maxX()));
  state_.clipY1 = std::min(state_.clipY1, firstPixel(d.maxY()));
}

void BitmapContext::setFillColor(const Color& color) { state_.fill = color; }
void BitmapContext::setStrokeColor(const Color& color) { state_.stroke = color; }
void BitmapContext::setLineWidth(double width) { state_.lineWidth = width > 0 ? width : 0; }
void BitmapContext::setAlpha(double alpha) {
  state_.alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
}

template <class Visit>
void BitmapContext::forEachPixel(const Rect& userBounds, Visit visit) {
  if (!isValid() || !state_.ctm.isInvertible()) return;
  Rect d = state_.ctm.apply(userBounds.standardized());
  if (!std::isfinite(d.minX()) || !std::isfinite(d.minY()) || !std::isfinite(d.maxX()) ||
      !std::isfinite(d.maxY()))
    return;
  // One pixel of slack around the box: the inside test in user space decides.
  int x0 = std::max(state_.clipX0, clampToInt(std::floor(d.minX()) - 1));
  int y0 = std::max(state_.clipY0, clampToInt(std::floor(d.minY()) - 1));
  int x1 = std::min(state_.clipX1, clampToInt(std::ceil(d.maxX()) + 1));
  int y1 = std::min(state_.clipY1, clampToInt(std::ceil(d.maxY()) + 1));
  AffineTransform inverse = state_.ctm.inverted();
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) visit(x, y, inverse.apply(Point{x + 0.5, y + 0.5}));
}

void BitmapContext::blendPixel(int x, int y, const float src[4]) {
  std::uint8_t* d = bitmap_.row(y) + static_cast<std::size_t>(x) * 4;
  float keep = 1.0f - src[3] / 255.0f;
  float da = d[3] / 255.0f;
  float out[4];
  for (int c = 0; c < 3; ++c) out[c] = src[c] + d[c] * da * keep;
  out[3] = src[3] + d[3] * keep;
  if (out[3] <= 0.0f) {
    d[0] = d[1] = d[2] = d[3] = 0;
    return;
  }
  float f = 255.0f / out[3];
  for (int c = 0; c < 3; ++c) d[c] = toByte(out[c] * f);
  d[3] = opaque_ ? 255 : toByte(out[3]);
}

template <class Inside>
void BitmapContext::fillShape(const Rect& userBounds, Inside inside, const Color& color) {
  float src[4];
  premultipliedColor(color, state_.alpha, src);
  if (src[3] <= 0.0f) return;
  forEachPixel(userBounds, [&](int x, int y, Point p) {
    if (inside(p)) blendPixel(x, y, src);
  });
}

void BitmapContext::fillRect(const Rect& rect) {
  Rect r = rect.standardized();
  fillShape(
      r, [&](Point p) { return inRect(r, p); }, state_.fill);
}

void BitmapContext::clearRect(const Rect& rect) {
  Rect r = rect.standardized();
  forEachPixel(r, [&](int x, int y, Point p) {
    if (inRect(r, p)) bitmap_.setPixel(x, y, opaque_ ? Pixel{0, 0, 0, 255} : Pixel{});
  });
}

void BitmapContext::strokeRect(const Rect& rect) {
  double h = state_.lineWidth / 2;
  if (h <= 0) return;
  Rect outer = rect.standardized().insetBy(-h, -h), inner = rect.standardized().insetBy(h, h);
  bool hollow = inner.width() > 0 && inner.height() > 0;
  fillShape(
      outer, [&](Point p) { return inRect(outer, p) && !(hollow && inRect(inner, p)); }, state_.stroke);
}

void BitmapContext::fillRoundedRect(const Rect& rect, double radius) {
  Rect r = rect.standardized();
  fillShape(
      r, [&](Point p) { return inRoundedRect(r, radius, p); }, state_.fill);
}

void BitmapContext::strokeRoundedRect(const Rect& rect, double radius) {
  double h = state_.lineWidth / 2;
  if (h <= 0) return;
  radius = std::clamp(radius, 0.0, std::min(std::abs(rect.width()), std::abs(rect.height())) / 2);
  Rect outer = rect.standardized().insetBy(-h, -h), inner = rect.standardized().insetBy(h, h);
  double innerRadius = std::max(radius - h, 0.0);
  bool hollow = inner.width() > 0 && inner.height() > 0;
  fillShape(
      outer,
      [&](Point p) {
        return inRoundedRect(outer, radius + h, p) && !(hollow && inRoundedRect(inner, innerRadius, p));
      },
      state_.stroke);
}

void BitmapContext::setLineDash(double phase, std::vector<double> lengths) {
  state_.strokeStyle.dashPhase = phase;
  state_.strokeStyle.dashes = std::move(lengths);
}

void BitmapContext::fillPath(const Path& path, PathFillRule rule) {
  if (path.isEmpty()) return;
  fillShape(
      path.boundingBox(), [&](Point p) { return path.contains(p, rule); }, state_.fill);
}

void BitmapContext::strokePath(const Path& path) {
  StrokeStyle style = state_.strokeStyle;
  style.width = state_.lineWidth;
  StrokeOutline outline(path, style);
  fillShape(
      outline.bounds(), [&](Point p) { return outline.contains(p); }, state_.stroke);
}

void BitmapContext::strokeLine(Point from, Point to) {
  double h = state_.lineWidth / 2;
  if (h <= 0) return;
  // Level and upright lines are rectangles, so they meet fillRect's edges exactly.
  if (from.y == to.y) {
    Rect r(std::min(from.x, to.x), from.y - h, std::abs(to.x - from.x), 2 * h);
    fillShape(
        r, [&](Point p) { return inRect(r, p); }, state_.stroke);
    return;
  }
  if (from.x == to.x) {
    Rect r(from.x - h, std::min(from.y, to.y), 2 * h, std::abs(to.y - from.y));
    fillShape(
        r, [&](Point p) { return inRect(r, p); }, state_.stroke);
    return;
  }
  double dx = to.x - from.x, dy = to.y - from.y, len = std::hypot(dx, dy);
  double ux = dx / len, uy = dy / len;
  Rect bounds =
      Rect(std::min(from.x, to.x), std::min(from.y, to.y), std::abs(dx), std::abs(dy)).insetBy(-h, -h);
  fillShape(
      bounds,
      [&](Point p) {
        double px = p.x - from.x, py = p.y - from.y;
        double along = px * ux + py * uy, across = -px * uy + py * ux;
        return along >= 0 && along < len && std::abs(across) <= h;
      },
      state_.stroke);
}

void BitmapContext::drawBitmapPart(const Bitmap& bitmap, const Rect& source, const Rect& dest) {
  if (source.isEmpty() || dest.isEmpty() || bitmap.isEmpty() || state_.alpha <= 0) return;
  const float alpha = static_cast<float>(state_.alpha);
  const Rect d = dest.standardized();
  const double sxPerUser = source.width() / d.width(), syPerUser = source.height() / d.height();
  // How many source pixels one device pixel covers, along each axis.
  AffineTransform inverse = state_.ctm.inverted();
  const double userPerPixelX = std::hypot(inverse.a, inverse.b),
               userPerPixelY = std::hypot(inverse.c, inverse.d);
  const double footX = sxPerUser * userPerPixelX, footY = syPerUser * userPerPixelY;
  const int sx0 = static_cast<int>(std::floor(source.minX())),
            sy0 = static_cast<int>(std::floor(source.minY()));
  const int sx1 = static_cast<int>(std::ceil(source.maxX())) - 1,
            sy1 = static_cast<int>(std::ceil(source.maxY())) - 1;

  auto fetch = [&](int x, int y, float acc[4], float weight) {
    const std::uint8_t* p =
        bitmap.row(std::clamp(y, sy0, sy1)) + static_cast<std::size_t>(std::clamp(x, sx0, sx1)) * 4;
    float a = p[3] / 255.0f * weight;
    acc[0] += p[0] * a;
    acc[1] += p[1] * a;
    acc[2] += p[2] * a;
    acc[3] += p[3] * weight;
  };

  forEachPixel(d, [&](int x, int y, Point p) {
    if (!inRect(d, p)) return;
    double u = source.minX() + (p.x - d.x()) * sxPerUser;
    double v = source.minY() + (p.y - d.y()) * syPerUser;
    float acc[4] = {0, 0, 0, 0};
    if (footX > 1 || footY > 1) {
      // Shrinking: the average of the source pixels whose centres the device pixel covers.
      double hx = std::max(footX, 1.0) / 2, hy = std::max(footY, 1.0) / 2;
      int ax0 = firstPixel(u - hx), ax1 = firstPixel(u + hx), ay0 = firstPixel(v - hy),
          ay1 = firstPixel(v + hy);
      ax0 = std::max(ax0, sx0), ay0 = std::max(ay0, sy0), ax1 = std::min(ax1, sx1 + 1),
      ay1 = std::min(ay1, sy1 + 1);
      if (ax1 <= ax0 || ay1 <= ay0) {
        fetch(static_cast<int>(std::floor(u)), static_cast<int>(std::floor(v)), acc, 1.0f);
      } else {
        float w = 1.0f / static_cast<float>((ax1 - ax0) * (ay1 - ay0));
        for (int sy = ay0; sy < ay1; ++sy)
          for (int sx = ax0; sx < ax1; ++sx) fetch(sx, sy, acc, w);
      }
    } else {
      // Growing or 1:1: bilinear between the four nearest pixel centres.
      double fu = u - 0.5, fv = v - 0.5;
      int ix = static_cast<int>(std::floor(fu)), iy = static_cast<int>(std::floor(fv));
      float tx = static_cast<float>(fu - ix), ty = static_cast<float>(fv - iy);
      fetch(ix, iy, acc, (1 - tx) * (1 - ty));
      if (tx > 0) fetch(ix + 1, iy, acc, tx * (1 - ty));
      if (ty > 0) fetch(ix, iy + 1, acc, (1 - tx) * ty);
      if (tx > 0 && ty > 0) fetch(ix + 1, iy + 1, acc, tx * ty);
    }
    for (float& c : acc) c *= alpha;
    if (acc[3] > 0) blendPixel(x, y, acc);
  });
}

void BitmapContext::drawBitmap(const Bitmap& bitmap, const Rect& rect) {
  drawBitmapPart(bitmap, Rect(0, 0, bitmap.width(), bitmap.height()), rect);
}

void BitmapContext::drawImage(const Image& image, const Rect& rect) {
  if (!isValid() || rect.isEmpty()) return;
  Bitmap upright;
  const Bitmap* pixels = image.bitmap().get();
  if (image.imageOrientation() != ImageOrientation::Up) {
    upright = image.uprightBitmap();
    pixels = &upright;
  }
  if (!image.isResizable()) {
    drawBitmap(*pixels, rect);
    return;
  }
  // Nine parts: the caps keep their size in points (shrinking in proportion when the rectangle is
  // too small for them), the middle stretches.
  const EdgeInsets& caps = image.capInsets();
  const double s = image.scale();
  Rect r = rect.standardized();
  double fx = caps.left + caps.right > r.width() ? r.width() / (caps.left + caps.right) : 1.0;
  double fy = caps.top + caps.bottom > r.height() ? r.height() / (caps.top + caps.bottom) : 1.0;
  const double pw = pixels->width(), ph = pixels->height();
  const double srcX[4] = {0, std::min(caps.left * s, pw),
                          std::max(pw - caps.right * s, std::min(caps.left * s, pw)), pw};
  const double srcY[4] = {0, std::min(caps.top * s, ph),
                          std::max(ph - caps.bottom * s, std::min(caps.top * s, ph)), ph};
  const double dstX[4] = {r.minX(), r.minX() + caps.left * fx, r.maxX() - caps.right * fx, r.maxX()};
  const double dstY[4] = {r.minY(), r.minY() + caps.top * fy, r.maxY() - caps.bottom * fy, r.maxY()};
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) {
      Rect src(srcX[i], srcY[j], srcX[i + 1] - srcX[i], srcY[j + 1] - srcY[j]);
      Rect dst(dstX[i], dstY[j], dstX[i + 1] - dstX[i], dstY[j + 1] - dstY[j]);
      if (src.width() > 0 && src.height() > 0 && dst.width() > 0 && dst.height() > 0)
        drawBitmapPart(*pixels, src, dst);
    }
  }
}

double BitmapContext::drawText(std::string_view utf8, Point origin, double fontSize,
                               const std::function<double(char32_t)>& advance) {
  double x = origin.x, y = origin.y, widest = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t c = nextCodePoint(utf8, i);
    if (c == '\n') {
      widest = std::max(widest, x - origin.x);
      x = origin.x;
      y += fontSize;
      continue;
    }
    double a = advance ? advance(c) : 0;
    if (!(a > 0)) continue;
    if (!isBlank(c)) fillRect(Rect(x + a * 0.1, y + fontSize * 0.2, a * 0.8, fontSize * 0.7));
    x += a;
  }
  return std::max(widest, x - origin.x);
}

std::shared_ptr<Image> BitmapContext::makeImage() const {
  if (!isValid()) return nullptr;
  return Image::imageWithBitmap(bitmap_, scale_);
}

}  // namespace platform
