#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

namespace platform {

// Real glyphs for snapshots that people read: lines of text rasterised by FreeType from one font
// file (a CJK-capable one, so Chinese and Latin both show), antialiased, in the context's pixels.
// Layout stays with TextMetrics; this only draws and measures what it draws. Main thread only.
class GlyphRenderer {
 public:
  // The font in the file (the first face of a collection); nullptr when it cannot be loaded.
  static std::shared_ptr<GlyphRenderer> fromFile(const std::string& path);
  // $KAVRO_FONT when it names a loadable font, else the first of the Debian CJK fonts that is
  // installed; nullptr when there is none.
  static std::shared_ptr<GlyphRenderer> systemFont();

  ~GlyphRenderer();
  GlyphRenderer(const GlyphRenderer&) = delete;
  GlyphRenderer& operator=(const GlyphRenderer&) = delete;

  const std::string& path() const { return path_; }
  // The advance of the line at the font size, in points.
  double widthOfLine(std::string_view utf8, double fontSize);
  // One line whose box (one font size high) starts at origin, in the fill colour; white space
  // advances, a missing glyph draws the font's own placeholder.
  void drawLine(BitmapContext& context, std::string_view utf8, Point origin, double fontSize,
                const Color& color);

 private:
  struct Face;
  explicit GlyphRenderer(std::unique_ptr<Face> face, std::string path);
  std::unique_ptr<Face> face_;
  std::string path_;
};

}  // namespace platform
