#pragma once
#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Mutex.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

namespace platform {

// One font file, read by FreeType: the advances that TextMetrics measures text with, and real
// glyphs for pictures (a CJK-capable font, so Chinese and Latin both show), antialiased, in the
// context's pixels. The advances are the font's own, unhinted, read from the font the first time
// a character of the basic plane is measured and kept (a start measures a few dozen of the tens
// of thousands a CJK font maps): so measuring costs a table look-up, a width scales exactly with
// the font size, and the same font file measures the same everywhere. It may measure on any
// thread; drawing is for the main thread.
class GlyphRenderer {
 public:
  // The font in the file (the first face of a collection); nullptr when it cannot be loaded.
  static std::shared_ptr<GlyphRenderer> fromFile(const std::string& path);
  // $KAVRO_FONT when it names a loadable font, else the first of the Debian CJK fonts that is
  // installed; nullptr when there is none. Loaded once per process and shared: a later call gives
  // the same font unless $KAVRO_FONT changed. A $KAVRO_FONT that cannot be loaded is said once on
  // standard error.
  static std::shared_ptr<GlyphRenderer> systemFont();

  ~GlyphRenderer();
  GlyphRenderer(const GlyphRenderer&) = delete;
  GlyphRenderer& operator=(const GlyphRenderer&) = delete;

  const std::string& path() const { return path_; }
  // The advance of the character in ems: 0 where TextMetrics gives none (controls, combining
  // marks, zero-width characters), a space's for a tab, the placeholder's where the font has no
  // glyph.
  double advance(char32_t c) const {
    if (c < 0x10000) {
      const std::uint32_t kept = std::atomic_ref<std::uint32_t>(basic_[c]).load(std::memory_order_relaxed);
      if (kept != Unread) return std::bit_cast<float>(~kept);
    }
    return readAdvance(c);
  }
  // The advance of the line at the font size, in points.
  double widthOfLine(std::string_view utf8, double fontSize) const;
  // One line whose box (one font size high) starts at origin, in the fill colour. Each glyph
  // stands where the advances before it put it, so the line takes exactly the width measured;
  // white space advances, a missing glyph draws the font's own placeholder.
  void drawLine(BitmapContext& context, std::string_view utf8, Point origin, double fontSize,
                const Color& color);

 private:
  struct Face;
  GlyphRenderer(std::unique_ptr<Face> face, std::string path);
  // A character's advance read from the font (and kept when it is in the basic plane).
  double readAdvance(char32_t c) const;
  double fontAdvance(char32_t c) const REQUIRES(faceMutex_);

  // FreeType's face is not for two threads at once: measuring may happen on any.
  mutable Mutex faceMutex_;
  std::unique_ptr<Face> face_ PT_GUARDED_BY(faceMutex_);
  std::string path_;

  // Ems of the basic plane by code point, each float's bits inverted, so that the zeroed memory
  // the table starts as means "not read yet" (inverted, a NaN no font gives) and only the pages of
  // the characters measured are ever touched.
  static constexpr std::uint32_t Unread = 0;
  struct FreeTable {
    void operator()(std::uint32_t* table) const;
  };
  std::unique_ptr<std::uint32_t[], FreeTable> basic_;
  float missing_ = 0.5f;
};

}  // namespace platform
