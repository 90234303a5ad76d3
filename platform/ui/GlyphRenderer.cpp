#include "platform/ui/GlyphRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <new>

#include "platform/foundation/Mutex.h"
#include "platform/foundation/Text.h"
#include "platform/ui/TextMetrics.h"

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
  std::vector<char32_t> out;
  out.reserve(utf8.size());
  forEachCodePoint(utf8, [&](char32_t c) { out.push_back(c); });
  return out;
}

// Characters that take no room and show nothing (combining marks take no room but show).
bool isInvisible(char32_t c) {
  return c == U'\t' || (TextMetrics::advanceFactor(c) == 0 && !(c >= 0x300 && c <= 0x36F));
}

}  // namespace

void GlyphRenderer::FreeTable::operator()(std::uint32_t* table) const { std::free(table); }

GlyphRenderer::GlyphRenderer(std::unique_ptr<Face> face, std::string path)
    : face_(std::move(face)),
      path_(std::move(path)),
      basic_(static_cast<std::uint32_t*>(std::calloc(0x10000, sizeof(std::uint32_t)))) {
  if (!basic_) throw std::bad_alloc();
  // No lock: no other thread sees the face before the constructor returns (and the analysis
  // does not look into constructors).
  missing_ = static_cast<float>(fontAdvance(0));
}

GlyphRenderer::~GlyphRenderer() = default;

std::shared_ptr<GlyphRenderer> GlyphRenderer::fromFile(const std::string& path) {
  auto face = std::make_unique<Face>();
  if (FT_Init_FreeType(&face->library) != 0) return nullptr;
  if (FT_New_Face(face->library, path.c_str(), 0, &face->face) != 0) return nullptr;
  if (FT_Select_Charmap(face->face, FT_ENCODING_UNICODE) != 0) return nullptr;
  if (face->face->units_per_EM == 0) return nullptr;
  return std::shared_ptr<GlyphRenderer>(new GlyphRenderer(std::move(face), path));
}

double GlyphRenderer::fontAdvance(char32_t c) const {
  FT_Face face = face_->face;
  // Glyph 0, the placeholder, for a character the font does not map.
  const FT_UInt glyph = c ? FT_Get_Char_Index(face, c) : 0;
  if (c && !glyph) return missing_;
  FT_Fixed units = 0;
  if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &units) != 0) return 0;
  return static_cast<float>(double(units) / face->units_per_EM);
}

double GlyphRenderer::readAdvance(char32_t c) const {
  double ems = 0;
  // Characters TextMetrics gives no advance take none; a tab takes a space's.
  if (c > 0x10FFFF) {
    ems = missing_;
  } else if (c == U'\t') {
    ems = advance(U' ');
  } else if (TextMetrics::advanceFactor(c) != 0) {
    MutexLock lock(faceMutex_);
    ems = fontAdvance(c);
  }
  if (c < 0x10000)
    std::atomic_ref<std::uint32_t>(basic_[c]).store(~std::bit_cast<std::uint32_t>(static_cast<float>(ems)),
                                                    std::memory_order_relaxed);
  return ems;
}

std::shared_ptr<GlyphRenderer> GlyphRenderer::systemFont() {
  static platform::Mutex mutex;
  static bool looked GUARDED_BY(mutex) = false;
  static std::string lookedFor GUARDED_BY(mutex);
  static std::shared_ptr<GlyphRenderer> found GUARDED_BY(mutex);
  platform::MutexLock lock(mutex);
  const char* env = std::getenv("KAVRO_FONT");
  std::string own = env ? env : "";
  if (looked && own == lookedFor) return found;
  looked = true;
  lookedFor = own;
  found = nullptr;
  if (!own.empty()) {
    if ((found = fromFile(own))) return found;
    std::cerr << "kavro: $KAVRO_FONT (" << own
              << ") is not a font that can be loaded; looking for an installed one\n";
  }
  for (const char* path : KnownFonts) {
    if ((found = fromFile(path))) return found;
  }
  return nullptr;
}

double GlyphRenderer::widthOfLine(std::string_view utf8, double fontSize) const {
  double width = 0;
  forEachCodePoint(utf8, [&](char32_t c) { width += advance(c); });
  return width * fontSize;
}

void GlyphRenderer::drawLine(BitmapContext& context, std::string_view utf8, Point origin, double fontSize,
                             const Color& color) {
  if (utf8.empty() || fontSize <= 0 || !context.isValid()) return;
  const double scale = context.scale();
  const double em = fontSize * scale;  // pixels an em
  // The advances first: reading one takes the face's lock, which the drawing holds.
  const std::vector<char32_t> chars = codePoints(utf8);
  std::vector<double> steps;
  steps.reserve(chars.size());
  double advances = 0;
  for (char32_t c : chars) advances += steps.emplace_back(advance(c));
  MutexLock lock(faceMutex_);
  face_->setPixelSize(static_cast<unsigned>(std::lround(em)));
  FT_Face face = face_->face;
  const double ascender = face->size->metrics.ascender / 64.0;
  const double descender = -face->size->metrics.descender / 64.0;
  // The line's pixels: its advances, and room on both sides for glyphs that reach past them.
  const int pad = static_cast<int>(std::ceil(em / 4));
  const int w = static_cast<int>(std::ceil(advances * em)) + 2 * pad,
            h = static_cast<int>(std::ceil(ascender + descender)) + 1;
  auto bitmap = Bitmap::create(w, h, true);
  if (!bitmap) return;
  const Pixel ink{static_cast<std::uint8_t>(std::lround(color.redComponent() * 255)),
                  static_cast<std::uint8_t>(std::lround(color.greenComponent() * 255)),
                  static_cast<std::uint8_t>(std::lround(color.blueComponent() * 255)), 0};
  double penX = pad;
  const int baseline = static_cast<int>(std::lround(ascender));
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const char32_t c = chars[i];
    const double step = steps[i] * em;
    if (isInvisible(c) || FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) {
      penX += step;
      continue;
    }
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
    penX += step;
  }
  // The face's extent sits in the line box as the box's glyphs do: centred on the font size.
  const double boxTop = origin.y + (fontSize - (ascender + descender) / scale) / 2;
  context.drawBitmap(*bitmap, Rect(origin.x - pad / scale, boxTop, w / scale, h / scale));
}

}  // namespace platform
