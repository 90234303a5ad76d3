#pragma once
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"

namespace platform {

// An image context: draws into a bitmap the way the UI draws, in points with the origin at the top
// left and y downwards; the scale maps points to pixels (a 320 × 480 context at scale 2 has
// 640 × 960 pixels). The current transform (CTM) maps user space to pixels and starts as the scale.
//
// Exact rather than smooth: there is no antialiasing. A pixel is painted when its centre lies inside
// the shape, left and top edges included, right and bottom edges excluded, so drawn results can be
// checked pixel by pixel. Colours blend source over destination (straight alpha in the bitmap,
// premultiplied in the arithmetic), multiplied by the context's alpha. A clip is the pixel-aligned
// bounding box of the clipped rectangle under the CTM (exact for translations and scales).
//
// An invalid context (empty or oversized) draws nothing and makes no image. One thread at a time.
class BitmapContext {
 public:
  // Pixel size: size × scale per side, rounded up. An opaque context starts opaque black and keeps
  // alpha 255; another starts transparent. A scale of 0 or less counts as 1.
  BitmapContext(Size size, bool opaque, double scale);

  bool isValid() const { return !bitmap_.isEmpty(); }
  Size size() const { return size_; }
  double scale() const { return scale_; }
  bool isOpaque() const { return opaque_; }
  const Bitmap& bitmap() const { return bitmap_; }

  // The drawing state (CTM, clip, colours, line width, alpha) is saved and restored as a stack;
  // a restore without a save does nothing.
  void saveGState();
  void restoreGState();
  void translateCTM(double tx, double ty);
  void scaleCTM(double sx, double sy);
  void rotateCTM(double radians);
  void concatCTM(const AffineTransform& transform);
  const AffineTransform& ctm() const { return state_.ctm; }
  // Narrows the clip to the rectangle (user space).
  void clipToRect(const Rect& rect);

  void setFillColor(const Color& color);
  void setStrokeColor(const Color& color);
  // In user-space units; 1 to start with.
  void setLineWidth(double width);
  // 0...1, multiplies everything drawn; 1 to start with.
  void setAlpha(double alpha);
  // How strokePath ends and joins lines and dashes them (butt, miter 10, solid to start with).
  void setLineCap(LineCap cap) { state_.strokeStyle.cap = cap; }
  void setLineJoin(LineJoin join) { state_.strokeStyle.join = join; }
  void setMiterLimit(double limit) { state_.strokeStyle.miterLimit = limit; }
  void setLineDash(double phase, std::vector<double> lengths);
  const Color& fillColor() const { return state_.fill; }
  const Color& strokeColor() const { return state_.stroke; }
  double lineWidth() const { return state_.lineWidth; }
  double alpha() const { return state_.alpha; }

  void fillRect(const Rect& rect);
  // Makes the pixels transparent (black in an opaque context), whatever the colour and alpha.
  void clearRect(const Rect& rect);
  // A frame of the line width centred on the rectangle's edges.
  void strokeRect(const Rect& rect);
  // Corners rounded with the radius (at most half the shorter side).
  void fillRoundedRect(const Rect& rect, double radius);
  void strokeRoundedRect(const Rect& rect, double radius);
  // A line of the line width with square-cut ends at the two points.
  void strokeLine(Point from, Point to);

  // The picture scaled into the rectangle, seen upright (its orientation applied), clipped. A
  // stretchable picture keeps its caps at their size in points and stretches the middle; where the
  // rectangle is smaller than the caps, the caps shrink in proportion.
  void drawImage(const Image& image, const Rect& rect);
  // The area the path encloses, by the rule, in the fill colour.
  void fillPath(const Path& path, PathFillRule rule = PathFillRule::NonZero);
  // The path's outline of the line width, with the cap, join and dash, in the stroke colour.
  void strokePath(const Path& path);

  // Raw pixels scaled into the rectangle.
  void drawBitmap(const Bitmap& bitmap, const Rect& rect);

  // Text as glyph boxes in the fill colour, for when no font is at hand: every character is drawn
  // as a box within its advance (the middle 80 %) from 20 % to 90 % of the font
  // size below origin.y; white space is skipped and a line feed starts a new line one font size
  // lower. advance gives each character's width in points. Answers the widest line's width.
  double drawText(std::string_view utf8, Point origin, double fontSize,
                  const std::function<double(char32_t)>& advance);

  // A picture of the pixels drawn so far, at the context's scale; nullptr when invalid.
  std::shared_ptr<Image> makeImage() const;

 private:
  struct State {
    AffineTransform ctm;
    // Pixel bounds of the clip: x0 <= x < x1, y0 <= y < y1.
    int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;
    Color fill = Color::black();
    Color stroke = Color::black();
    double lineWidth = 1;
    double alpha = 1;
    StrokeStyle strokeStyle;  // its width unused: lineWidth rules
  };

  // Calls visit(x, y, user-space point of the pixel's centre) for every pixel of the clip near
  // the rectangle's image under the CTM.
  template <class Visit>
  void forEachPixel(const Rect& userBounds, Visit visit);
  // Blends the colour into every pixel whose centre the predicate (in user space) accepts.
  template <class Inside>
  void fillShape(const Rect& userBounds, Inside inside, const Color& color);
  void blendPixel(int x, int y, const float premultiplied[4]);
  // The source part (in pixels of the bitmap) scaled into dest (user space).
  void drawBitmapPart(const Bitmap& bitmap, const Rect& source, const Rect& dest);

  Size size_;
  double scale_ = 1;
  bool opaque_ = false;
  Bitmap bitmap_;
  State state_;
  std::vector<State> saved_;
};

}  // namespace platform
