#include "platform/ui/Snapshot.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/FileManager.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/DrawingView.h"
#include "platform/ui/GlyphRenderer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

Color faded(const Color& c, double alpha) { return c.withAlpha(c.alpha() * alpha); }

void fillShape(BitmapContext& ctx, const Rect& r, double radius) {
  if (radius > 0)
    ctx.fillRoundedRect(r, radius);
  else
    ctx.fillRect(r);
}

// The rectangle an image of size s takes in bounds b for the content mode.
Rect fitRect(ContentMode mode, Size s, const Rect& b) {
  double w = s.width, h = s.height;
  double x = b.origin.x, y = b.origin.y;
  switch (mode) {
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw:
      return b;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
      if (w <= 0 || h <= 0) return b;
      double k = mode == ContentMode::ScaleAspectFit ? std::min(b.size.width / w, b.size.height / h)
                                                     : std::max(b.size.width / w, b.size.height / h);
      return Rect(b.midX() - w * k / 2, b.midY() - h * k / 2, w * k, h * k);
    }
    case ContentMode::Center:
      return Rect(b.midX() - w / 2, b.midY() - h / 2, w, h);
    case ContentMode::Top:
      return Rect(b.midX() - w / 2, y, w, h);
    case ContentMode::Bottom:
      return Rect(b.midX() - w / 2, b.maxY() - h, w, h);
    case ContentMode::Left:
      return Rect(x, b.midY() - h / 2, w, h);
    case ContentMode::Right:
      return Rect(b.maxX() - w, b.midY() - h / 2, w, h);
    case ContentMode::TopLeft:
      return Rect(x, y, w, h);
    case ContentMode::TopRight:
      return Rect(b.maxX() - w, y, w, h);
    case ContentMode::BottomLeft:
      return Rect(x, b.maxY() - h, w, h);
    case ContentMode::BottomRight:
      return Rect(b.maxX() - w, b.maxY() - h, w, h);
  }
  return b;
}

void drawLines(BitmapContext& ctx, const std::vector<std::string>& lines, const Font& font, const Rect& box,
               TextAlignment align, const Color& color, double alpha, bool centreVertically) {
  double lh = TextMetrics::lineHeight(font);
  double total = lh * double(lines.size());
  double y = centreVertically ? box.origin.y + std::floor((box.size.height - total) / 2) : box.origin.y;
  ctx.setFillColor(faded(color, alpha));
  auto advance = [&](char32_t c) { return TextMetrics::advance(c, font.pointSize()); };
  const auto& glyphs = TextMetrics::font();
  for (const auto& line : lines) {
    double w = TextMetrics::widthOfText(line, font);
    double x = box.origin.x;
    if (align == TextAlignment::Center) x += std::floor((box.size.width - w) / 2);
    if (align == TextAlignment::Right) x += box.size.width - w;
    // The glyphs hang below origin.y by a fraction of the font size; centre them in the line.
    Point origin{x, y + (lh - font.pointSize()) / 2};
    if (glyphs)
      glyphs->drawLine(ctx, line, origin, font.pointSize(), faded(color, alpha));
    else
      ctx.drawText(line, origin, font.pointSize(), advance);
    y += lh;
  }
}

void drawContent(View& v, BitmapContext& ctx, double alpha) {
  Rect b = v.bounds();
  if (auto* dv = dynamic_cast<DrawingView*>(&v)) {
    ctx.saveGState();
    dv->drawRect(ctx, b);
    ctx.restoreGState();
    return;
  }
  if (auto* iv = dynamic_cast<ImageView*>(&v)) {
    if (auto img = iv->currentImage()) ctx.drawImage(*img, fitRect(iv->contentMode(), img->size(), b));
    return;
  }
  if (auto* label = dynamic_cast<Label*>(&v)) {
    Color c = label->isHighlighted() && label->highlightedTextColor() ? *label->highlightedTextColor()
                                                                      : label->textColor();
    if (!label->isEnabled()) c = Color::gray();
    drawLines(ctx, label->displayLines(), label->displayFont(), b, label->textAlignment(), c, alpha, true);
    return;
  }
  if (auto* button = dynamic_cast<Button*>(&v)) {
    if (auto img = button->currentBackgroundImage()) ctx.drawImage(*img, b);
    return;
  }
  if (auto* field = dynamic_cast<TextField*>(&v)) {
    if (auto img = field->background()) ctx.drawImage(*img, b);
    if (field->borderStyle() != TextBorderStyle::None) {
      ctx.setStrokeColor(faded(Color::gray(), alpha));
      ctx.setLineWidth(1);
      ctx.strokeRect(b.insetBy(0.5, 0.5));
    }
    bool placeholder = field->text().empty();
    std::string text = placeholder ? field->placeholder() : field->displayText();
    Rect tr = field->textRectForBounds(b);
    std::string line = TextMetrics::truncateLine(text, field->font(), tr.size.width, LineBreakMode::Clip);
    drawLines(ctx, {line}, field->font(), tr, field->textAlignment(),
              placeholder ? Color::grey(0.7) : field->textColor(), alpha, false);
    return;
  }
  if (auto* tv = dynamic_cast<TextView*>(&v)) {
    Rect box(b.origin.x + 8, 8, std::max(1.0, b.size.width - 16), tv->contentSize().height);
    auto lines = TextMetrics::linesForText(tv->text(), tv->font(), box.size.width, LineBreakMode::WordWrap);
    drawLines(ctx, lines, tv->font(), box, tv->textAlignment(), tv->textColor(), alpha, false);
    return;
  }
  if (auto* sw = dynamic_cast<Switch*>(&v)) {
    ctx.setFillColor(
        faded(sw->isOn() ? sw->onTintColor().value_or(Color::rgba(0.2, 0.5, 0.9)) : Color::grey(0.9), alpha));
    ctx.fillRoundedRect(b, b.size.height / 2);
    ctx.setFillColor(faded(Color::white(), alpha));
    double d = b.size.height - 2;
    ctx.fillRoundedRect(Rect(sw->isOn() ? b.maxX() - d - 1 : b.minX() + 1, b.minY() + 1, d, d), d / 2);
    return;
  }
  if (auto* pv = dynamic_cast<ProgressView*>(&v)) {
    ctx.setFillColor(faded(Color::grey(0.8), alpha));
    ctx.fillRoundedRect(b, b.size.height / 2);
    ctx.setFillColor(faded(pv->progressTintColor().value_or(Color::rgba(0.2, 0.5, 0.9)), alpha));
    ctx.fillRoundedRect(Rect(b.origin.x, b.origin.y, b.size.width * pv->progress(), b.size.height),
                        b.size.height / 2);
    return;
  }
  if (auto* ai = dynamic_cast<ActivityIndicatorView*>(&v)) {
    Color c = ai->color().value_or(ai->activityIndicatorViewStyle() == ActivityIndicatorViewStyle::Gray
                                       ? Color::gray()
                                       : Color::white());
    ctx.setStrokeColor(faded(c, alpha));
    ctx.setLineWidth(2);
    ctx.strokeRoundedRect(b.insetBy(2, 2), b.size.width / 2);
    return;
  }
}

void draw(View& v, BitmapContext& ctx, double parentAlpha, bool own) {
  if (v.isHidden()) return;
  double alpha = parentAlpha * v.alpha();
  // A disabled button is drawn dimmed, as the platform dims it (adjustsImageWhenDisabled).
  if (auto* b = dynamic_cast<Button*>(&v); b && !b->isEnabled() && b->adjustsImageWhenDisabled())
    alpha *= 0.4;
  if (alpha <= 0) return;
  ctx.saveGState();
  if (!own) {
    Rect b = v.bounds();
    ctx.translateCTM(v.center().x, v.center().y);
    ctx.concatCTM(v.transform());
    ctx.translateCTM(-(b.origin.x + b.size.width / 2), -(b.origin.y + b.size.height / 2));
  } else {
    ctx.translateCTM(-v.bounds().origin.x, -v.bounds().origin.y);
  }
  Rect b = v.bounds();
  if (v.clipsToBounds()) ctx.clipToRect(b);
  if (v.shadowColor() && v.shadowOpacity() > 0 && v.backgroundColor()) {
    ctx.setFillColor(faded(*v.shadowColor(), alpha * v.shadowOpacity()));
    fillShape(ctx, b.offsetBy(v.shadowOffset().width, v.shadowOffset().height), v.cornerRadius());
  }
  if (auto bg = v.backgroundColor()) {
    ctx.setFillColor(faded(*bg, alpha));
    fillShape(ctx, b, v.cornerRadius());
  } else if (auto pattern = v.backgroundPatternImage()) {
    Size s = pattern->size();
    if (s.width > 0 && s.height > 0) {
      ctx.saveGState();
      ctx.clipToRect(b);
      ctx.setAlpha(alpha);
      for (double y = b.minY(); y < b.maxY(); y += s.height)
        for (double x = b.minX(); x < b.maxX(); x += s.width)
          ctx.drawImage(*pattern, Rect(x, y, s.width, s.height));
      ctx.restoreGState();
    }
  }
  ctx.setAlpha(alpha);
  drawContent(v, ctx, 1.0);
  ctx.setAlpha(1);
  if (v.borderWidth() > 0) {
    ctx.setStrokeColor(faded(v.borderColor(), alpha));
    ctx.setLineWidth(v.borderWidth());
    Rect inner = b.insetBy(v.borderWidth() / 2, v.borderWidth() / 2);
    if (v.cornerRadius() > 0)
      ctx.strokeRoundedRect(inner, std::max(0.0, v.cornerRadius() - v.borderWidth() / 2));
    else
      ctx.strokeRect(inner);
  }
  for (const auto& sub : std::vector<std::shared_ptr<View>>(v.subviews())) draw(*sub, ctx, alpha, false);
  // A cell's separator lies over its content.
  if (auto* cell = dynamic_cast<TableViewCell*>(&v)) {
    auto table = cell->tableView();
    if (table && table->separatorStyle() != TableViewCellSeparatorStyle::None && table->separatorColor()) {
      ctx.setFillColor(faded(*table->separatorColor(), alpha));
      double inset = table->style() == TableViewStyle::Grouped ? 10 : 0;
      ctx.fillRect(Rect(b.minX() + inset, b.maxY() - 1, b.size.width - 2 * inset, 1));
    }
  }
  ctx.restoreGState();
}

}  // namespace

void Snapshot::renderInContext(View& view, BitmapContext& context) {
  view.layoutIfNeeded();
  draw(view, context, 1.0, true);
}

std::shared_ptr<Image> Snapshot::imageOfView(View& view, double scale) {
  if (scale <= 0) scale = Screen::mainScreen().scale();
  Size s = view.bounds().size;
  if (s.width <= 0 || s.height <= 0) return nullptr;
  BitmapContext ctx(s, false, scale);
  if (!ctx.isValid()) return nullptr;
  renderInContext(view, ctx);
  return ctx.makeImage();
}

namespace {

// The keyboard covers the application's windows where a phone shows it (alerts stand above it):
// a picture without it shows the form behind it as if it were in sight.
void drawKeyboard(BitmapContext& ctx) {
  const Keyboard& keyboard = Keyboard::shared();
  if (!keyboard.isVisible()) return;
  const Rect k = keyboard.frame();
  ctx.setFillColor(Color::rgba(0.82, 0.84, 0.87, 1));
  ctx.fillRect(k);
  // Four rows of keys: ten, nine, seven between two wide ones, then the space bar row.
  const double gap = 6, rowHeight = (k.size.height - 5 * 10) / 4;
  const double key = (k.size.width - 11 * gap) / 10;
  ctx.setFillColor(Color::white());
  auto row = [&](int index, double left, int keys, double width) {
    const double y = k.origin.y + 10 + index * (rowHeight + 10);
    for (int i = 0; i < keys; ++i)
      ctx.fillRoundedRect(Rect(left + i * (width + gap), y, width, rowHeight), 5);
  };
  row(0, k.origin.x + gap, 10, key);
  row(1, k.origin.x + gap + (key + gap) / 2, 9, key);
  row(2, k.origin.x + gap + (key + gap) * 1.5, 7, key);
  row(3, k.origin.x + gap + (key + gap) * 2.5, 1, key * 5 + gap * 4);
}

}  // namespace

std::shared_ptr<Image> Snapshot::imageOfScreen(double scale) {
  if (scale <= 0) scale = Screen::mainScreen().scale();
  Application::layoutWindows();
  BitmapContext ctx(Screen::mainScreen().bounds().size, true, scale);
  if (!ctx.isValid()) return nullptr;
  bool keyboardDrawn = false;
  for (auto& w : Application::sharedApplication().windows()) {
    if (!keyboardDrawn && w->windowLevel() >= Window::LevelAlert) {
      drawKeyboard(ctx);
      keyboardDrawn = true;
    }
    w->layoutIfNeeded();
    draw(*w, ctx, 1.0, false);
  }
  if (!keyboardDrawn) drawKeyboard(ctx);
  return ctx.makeImage();
}

bool Snapshot::writePNG(const Image& image, std::string_view path, Error* error) {
  Data png = image.PNGRepresentation();
  if (png.empty()) {
    if (error)
      *error = Error{"KavroSnapshot", 1, "The picture could not be encoded as PNG", nullptr, nullptr};
    return false;
  }
  return FileManager::createFileAtPath(path, png, error);
}

void Snapshot::setGlyphRenderer(std::shared_ptr<GlyphRenderer> r) {
  TextMetrics::setFont(r ? std::move(r) : GlyphRenderer::systemFont());
}

const std::shared_ptr<GlyphRenderer>& Snapshot::glyphRenderer() { return TextMetrics::font(); }

}  // namespace platform
