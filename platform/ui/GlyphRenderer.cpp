#include "platform/ui/GlyphRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/foundation/Text.h"

namespace platform {

struct GlyphRenderer::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  unsigned pixelSize = 0;
  ~Face() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
  void setPixelSize(unsigned px) {
    px = std::clamp(px, 1u, 512u);
    if (px != pixelSize && FT_Set_Pixel_Sizes(face, 0, px) == 0) pixelSize = px;
  }
};

namespace {

// The Debian packages' CJK fonts, the one the scripts install first.
constexpr const char* KnownFonts[] = {
    "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
    "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
};

std::vector<char32_t> codePoints(std::string_view utf8) {
  std::u16string units = toUtf16(utf8);
  std::vector<char32_t> out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace

GlyphRenderer::GlyphRenderer(std::unique_ptr<Face> face, std::string path)
    : face_(std::move(face)), path_(std::move(path)) {}

GlyphRenderer::~GlyphRenderer() = default;

std::shared_ptr<GlyphRenderer> GlyphRenderer::fromFile(const std::string& path) {
  auto face = std::make_unique<Face>();
  if (FT_Init_FreeType(&face->library) != 0) return nullptr;
  if (FT_New_Face(face->library, path.c_str(), 0, &face->face) != 0) return nullptr;
  if (FT_Select_Charmap(face->face, FT_ENCODING_UNICODE) != 0) return nullptr;
  return std::shared_ptr<GlyphRenderer>(new GlyphRenderer(std::move(face), path));
}

std::shared_ptr<GlyphRenderer> GlyphRenderer::systemFont() {
  if (const char* own = std::getenv("KAVRO_FONT"); own && *own) {
    if (auto r = fromFile(own)) return r;
  }
  for (const char* path : KnownFonts) {
    if (auto r = fromFile(path)) return r;
  }
  return nullptr;
}

double GlyphRenderer::widthOfLine(std::string_view utf8, double fontSize) {
  // Measured at 64 pixels an em, so that the width does not depend on the context's scale.
  face_->setPixelSize(64);
  double width = 0;
  for (char32_t c : codePoints(utf8)) {
    if (FT_Load_Char(face_->face, c, FT_LOAD_DEFAULT) != 0) continue;
    width += face_->face->glyph->advance.x / 64.0;
  }
  return width * fontSize / 64.0;
}

void GlyphRenderer::drawLine(BitmapContext& context, std::string_view utf8, Point origin, double fontSize,
                             const Color& color) {
  if (utf8.empty() || fontSize <= 0 || !context.isValid()) return;
  const double scale = context.scale();
  face_->setPixelSize(static_cast<unsigned>(std::lround(fontSize * scale)));
  FT_Face face = face_->face;
  const double ascender = face->size->metrics.ascender / 64.0;
  const double descender = -face->size->metrics.descender / 64.0;
  // The line's pixels: as wide as its advances, as high as the face's extent.
  const double widthPx = widthOfLine(utf8, fontSize) * scale + 2;
  face_->setPixelSize(static_cast<unsigned>(std::lround(fontSize * scale)));
  const int w = static_cast<int>(std::ceil(widthPx)),
            h = static_cast<int>(std::ceil(ascender + descender)) + 1;
  auto bitmap = Bitmap::create(w, h, true);
  if (!bitmap) return;
  const Pixel ink{static_cast<std::uint8_t>(std::lround(color.redComponent() * 255)),
                  static_cast<std::uint8_t>(std::lround(color.greenComponent() * 255)),
                  static_cast<std::uint8_t>(std::lround(color.blueComponent() * 255)), 0};
  double penX = 0;
  const int baseline = static_cast<int>(std::lround(ascender));
  for (char32_t c : codePoints(utf8)) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& gb = g->bitmap;
    const int left = static_cast<int>(std::lround(penX)) + g->bitmap_left;
    const int top = baseline - g->bitmap_top;
    for (unsigned row = 0; row < gb.rows; ++row) {
      const unsigned char* src = gb.buffer + static_cast<std::ptrdiff_t>(row) * gb.pitch;
      for (unsigned col = 0; col < gb.width; ++col) {
        unsigned char coverage =
            gb.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[col / 8] >> (7 - col % 8)) & 1) * 255 : src[col];
        if (coverage == 0) continue;
        const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
        Pixel p = ink;
        p.a = std::max(bitmap->pixelAt(x, y).a,
                       static_cast<std::uint8_t>(std::lround(coverage * color.alpha())));
        bitmap->setPixel(x, y, p);
      }
    }
    penX += g->advance.x / 64.0;
  }
  // The face's extent sits in the line box as the box's glyphs do: centred on the font size.
  const double boxTop = origin.y + (fontSize - (ascender + descender) / scale) / 2;
  context.drawBitmap(*bitmap, Rect(origin.x, boxTop, w / scale, h / scale));
}

}  // namespace platform
