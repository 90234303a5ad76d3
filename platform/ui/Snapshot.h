#pragma once
#include <memory>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"

namespace platform {

class GlyphRenderer;
class View;

// Draws view trees into bitmaps, so that screens can be looked at and cut (the crop editor).
// What is drawn, back to front, for every view that is not hidden and not fully transparent:
// its background colour (or pattern image, tiled), with rounded corners when it has a corner
// radius; what its class shows (an image view's picture fitted by its content mode; a label's
// lines, broken and placed by TextMetrics, aligned and vertically centred, as real glyphs of the
// font TextMetrics measures with (each where its advance puts it) or, under the fixed metric, as
// glyph boxes (each character a box within its advance); a button's background image; a text field's text or
// grey placeholder and line border; a text view's wrapped text; a switch, a progress bar, a spinner as simple
// shapes; a table cell's separator line); its border, inside its bounds; then its subviews. Transforms, alpha
// (multiplied down the tree) and clipping are honoured. Main thread only.
class Snapshot {
 public:
  // The view drawn in its own coordinates (its bounds at the context's origin), as a layer
  // renders into a context. Lays the tree out first.
  static void renderInContext(View& view, BitmapContext& context);
  // A picture of the view's bounds at the scale (the main screen's when 0 or less); transparent
  // where nothing is drawn. nullptr for an empty view.
  static std::shared_ptr<Image> imageOfView(View& view, double scale = 0);
  // The whole screen: every shown window, bottom to top, over black.
  static std::shared_ptr<Image> imageOfScreen(double scale = 0);
  // The picture as a PNG file (replaced atomically); false with error set when it cannot be
  // made or written.
  static bool writePNG(const Image& image, std::string_view path, Error* error = nullptr);

  // The font of every later picture and measurement (TextMetrics::setFont), so that pictures and
  // layout never disagree; nullptr: back to the installed font (GlyphRenderer::systemFont), or the
  // fixed metric and glyph boxes without one. TextMetrics::setFont(nullptr) chooses the fixed
  // metric outright (tests that count pixels).
  static void setGlyphRenderer(std::shared_ptr<GlyphRenderer> renderer);
  static const std::shared_ptr<GlyphRenderer>& glyphRenderer();
};

}  // namespace platform
