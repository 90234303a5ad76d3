// Measuring text, the hot path of every layout: our metric (the font's advances read once into a
// table) against FreeType in two ways: asking the face for each character's advance, as a renderer
// without a table would, and the equal work, FreeType's advances read once into a table looked up
// per character of the UTF-8 text. Prints how fast ours is relative to each (their time / ours).
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <unicode/utf8.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/Ratio.h"
#include "platform/foundation/Text.h"
#include "platform/ui/GlyphRenderer.h"
#include "platform/ui/TextMetrics.h"

namespace {

using platform::Font;
using platform::TextMetrics;

// One screenful of list rows: job names, companies, areas and dates.
const std::vector<std::string>& rows() {
  static const std::vector<std::string> r = [] {
    std::vector<std::string> out;
    const char* parts[] = {
        "高级软件工程师（C++）", "上海浦江数据科技有限公司",   "上海-浦东新区",      "2013-05-20",
        "Marketing Assistant",   "广州 \"星河\" 贸易有限公司", "客户经理 & 渠道专员"};
    for (int i = 0; i < 70; ++i) out.emplace_back(parts[i % 7]);
    return out;
  }();
  return r;
}

void BM_Width_Ours(benchmark::State& state) {
  TextMetrics::setFont(platform::GlyphRenderer::systemFont());
  const Font font = Font::systemFontOfSize(14);
  for (auto _ : state) {
    double total = 0;
    for (const auto& row : rows()) total += TextMetrics::widthOfText(row, font);
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(rows().size()));
}

// The system font's face, sized once (hinted at 28 pixels, as a picture at scale 2 draws 14 points).
struct FreeTypeFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FreeTypeFace() {
    auto font = platform::GlyphRenderer::systemFont();
    if (!font || FT_Init_FreeType(&library) != 0) return;
    if (FT_New_Face(library, font->path().c_str(), 0, &face) != 0) {
      face = nullptr;
      return;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    FT_Set_Pixel_Sizes(face, 0, 28);
  }
  ~FreeTypeFace() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
  FreeTypeFace(const FreeTypeFace&) = delete;
  FreeTypeFace& operator=(const FreeTypeFace&) = delete;
};

// Each character's advance asked of FreeType.
void BM_Width_FreeType(benchmark::State& state) {
  FreeTypeFace ft;
  if (!ft.face) {
    state.SkipWithError("no font");
    return;
  }
  FT_Face face = ft.face;
  std::vector<std::u16string> text;
  for (const auto& row : rows()) text.push_back(platform::toUtf16(row));
  for (auto _ : state) {
    double total = 0;
    for (const auto& row : text)
      for (char16_t c : row) {
        FT_Fixed advance = 0;
        FT_Get_Advance(face, FT_Get_Char_Index(face, c), FT_LOAD_DEFAULT, &advance);
        total += advance / 65536.0 / 2;
      }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(rows().size()));
}

// The same work as ours: each advance asked of FreeType once, kept in a table by code point, and
// the UTF-8 rows decoded and summed through the table on every pass.
void BM_Width_FreeTypeTable(benchmark::State& state) {
  FreeTypeFace ft;
  if (!ft.face) {
    state.SkipWithError("no font");
    return;
  }
  FT_Face face = ft.face;
  std::unordered_map<UChar32, double> table;
  auto advance = [&](UChar32 c) {
    auto it = table.find(c);
    if (it != table.end()) return it->second;
    FT_Fixed a = 0;
    FT_Get_Advance(face, FT_Get_Char_Index(face, static_cast<FT_ULong>(c)), FT_LOAD_DEFAULT, &a);
    return table.emplace(c, a / 65536.0 / 2).first->second;
  };
  for (auto _ : state) {
    double total = 0;
    for (const auto& row : rows()) {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.data());
      const auto length = static_cast<std::int32_t>(row.size());
      for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        total += advance(c < 0 ? 0xFFFD : c);
      }
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(rows().size()));
}

BENCHMARK(BM_Width_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Width_FreeType)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Width_FreeTypeTable)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5, kavro::bench::Order::Shuffled);
  std::printf("\nText measuring as a share of bare FreeType's, best of the repetitions\n");
  using kavro::bench::figure;
  kavro::bench::reportRatio("text width of 70 list labels (font advances)",
                            figure(reporter.timeNs("BM_Width_Ours") / 1e3, "us"),
                            "FreeType " + figure(reporter.timeNs("BM_Width_FreeType") / 1e3, "us"),
                            reporter.timeRatio("BM_Width_Ours", "BM_Width_FreeType"), 1.0);
  kavro::bench::reportRatio("text width of 70 list labels (advances in a table)",
                            figure(reporter.timeNs("BM_Width_Ours") / 1e3, "us"),
                            "FreeType table " + figure(reporter.timeNs("BM_Width_FreeTypeTable") / 1e3, "us"),
                            reporter.timeRatio("BM_Width_Ours", "BM_Width_FreeTypeTable"), 1.0);
  return 0;
}
