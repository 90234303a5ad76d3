// The regular-expression component against bare ICU doing the same work (pattern compiled once,
// text set once). Prints, per case, how fast the component is relative to ICU (ICU time / ours).
#include <benchmark/benchmark.h>
#include <unicode/uregex.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/Ratio.h"
#include "kit/codec/regex/RGXCachedRegex.h"
#include "kit/codec/regex/StringRegexBoxAdditions.h"
#include "kit/core/StringDisplayLength.h"
#include "platform/foundation/Text.h"

namespace {

using namespace kavro;

std::string makeText(std::size_t bytes) {
  static const char* words[] = {"lorem",      "ipsum", "1234",   "dolor", "sit", "amet",   "56",    "tempor",
                                "incididunt", "ut",    "labore", "7890",  "et",  "dolore", "magna", "aliqua"};
  std::string s;
  for (std::size_t i = 0; s.size() < bytes; ++i) {
    s += words[(i * 7) % 16];
    s += ' ';
  }
  s.resize(bytes);
  return s;
}

// ICU with the text set once.
struct Icu {
  URegularExpression* re = nullptr;
  std::u16string text;
  Icu(const std::string& pattern, const std::string& subject) : text(platform::toUtf16(subject)) {
    std::u16string p = platform::toUtf16(pattern);
    UErrorCode status = U_ZERO_ERROR;
    re = uregex_open(p.data(), std::int32_t(p.size()), 0, nullptr, &status);
    uregex_setText(re, text.data(), std::int32_t(text.size()), &status);
  }
  ~Icu() { uregex_close(re); }
  std::vector<std::string> findAll() {
    std::vector<std::string> out;
    UErrorCode status = U_ZERO_ERROR;
    uregex_reset(re, 0, &status);
    while (uregex_findNext(re, &status)) {
      std::int32_t s = uregex_start(re, 0, &status), e = uregex_end(re, 0, &status);
      out.push_back(rgx_utf8(text.data() + s, e - s));
    }
    return out;
  }
  std::string replaceAll(const std::u16string& replacement) {
    UErrorCode status = U_ZERO_ERROR;
    std::u16string out(text.size() * 2 + 16, u'\0');
    std::int32_t n = uregex_replaceAll(re, replacement.data(), std::int32_t(replacement.size()), out.data(),
                                       std::int32_t(out.size()), &status);
    return rgx_utf8(out.data(), n);
  }
};

const std::string kDigits = "\\d+";
const std::string kNoMatch = "zq+$";

std::vector<std::string>& cases() {
  static std::vector<std::string> names;
  return names;
}

void registerPair(const std::string& name, std::function<void(benchmark::State&)> ours,
                  std::function<void(benchmark::State&)> icu) {
  cases().push_back(name);
  benchmark::RegisterBenchmark((name + "/kavro").c_str(), ours);
  benchmark::RegisterBenchmark((name + "/icu").c_str(), icu);
}

void registerSubject(const std::string& label, std::size_t bytes) {
  auto subject = std::make_shared<std::string>(makeText(bytes));

  registerPair(
      "FindAll_" + label,
      [subject](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(str::componentsMatchedByRegex(*subject, kDigits));
      },
      [subject](benchmark::State& state) {
        Icu icu(kDigits, *subject);
        for (auto _ : state) benchmark::DoNotOptimize(icu.findAll());
      });

  registerPair(
      "MatchTest_" + label,
      [subject](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(str::isMatchedByRegex(*subject, kNoMatch));
      },
      [subject](benchmark::State& state) {
        Icu icu(kNoMatch, *subject);
        UErrorCode status = U_ZERO_ERROR;
        for (auto _ : state) benchmark::DoNotOptimize(uregex_find(icu.re, 0, &status));
      });

  registerPair(
      "Replace_" + label,
      [subject](benchmark::State& state) {
        for (auto _ : state)
          benchmark::DoNotOptimize(str::stringByReplacingOccurrencesOfRegex(*subject, kDigits, "#"));
      },
      [subject](benchmark::State& state) {
        Icu icu(kDigits, *subject);
        std::u16string replacement = u"#";
        for (auto _ : state) benchmark::DoNotOptimize(icu.replaceAll(replacement));
      });
}

// Patterns to cycle through: `count` of them, all in one cache set when `oneSet`, else spread out.
std::vector<std::string> cyclePatterns(std::size_t count, bool oneSet) {
  std::vector<std::string> out;
  int set = RGXCache::cacheSetForPattern("(?:0)?\\d+", 0);
  for (int i = 0; out.size() < count; ++i) {
    std::string p = "(?:" + std::to_string(i) + ")?\\d+";
    if (RGXCache::cacheSetForPattern(p, 0) == set || !oneSet) out.push_back(p);
  }
  return out;
}

void registerCycling(const std::string& name, std::size_t count, bool oneSet) {
  auto subject = std::make_shared<std::string>(makeText(1024));
  auto patterns = std::make_shared<std::vector<std::string>>(cyclePatterns(count, oneSet));
  registerPair(
      name,
      [subject, patterns](benchmark::State& state) {
        std::size_t i = 0;
        for (auto _ : state) {
          benchmark::DoNotOptimize(str::componentsMatchedByRegex(*subject, (*patterns)[i]));
          i = (i + 1) % patterns->size();
        }
      },
      [subject, patterns](benchmark::State& state) {
        std::vector<std::unique_ptr<Icu>> icus;
        for (const auto& p : *patterns) icus.push_back(std::make_unique<Icu>(p, *subject));
        std::size_t i = 0;
        for (auto _ : state) {
          benchmark::DoNotOptimize(icus[i]->findAll());
          i = (i + 1) % icus.size();
        }
      });
}

void registerDisplayLength() {
  auto text = std::make_shared<std::string>();
  while (platform::utf16Length(*text) < 10000) *text += "招聘Java工程师，月薪１５Ｋ-20K。";
  registerPair(
      "CnWordsLength_10000",
      [text](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(str::cnWordsLength(*text));
      },
      // Ours runs no expression here: the peer is the plain ICU loop over the same UTF-16 text,
      // counting the code points in U+0391..U+FFE5 twice.
      [text](benchmark::State& state) {
        const std::u16string utf16 = platform::toUtf16(*text);
        const UChar* s = reinterpret_cast<const UChar*>(utf16.data());
        const std::int32_t length = static_cast<std::int32_t>(utf16.size());
        for (auto _ : state) {
          std::int64_t n = length;
          for (std::int32_t i = 0; i < length;) {
            UChar32 c;
            U16_NEXT(s, i, length, c);
            if (c >= 0x391 && c <= 0xFFE5) ++n;
          }
          benchmark::DoNotOptimize(std::int64_t(std::ceil(float(n) * 0.5f)));
        }
      });
}

// Prints a ratio line per case (ICU time / ours), designed worst cases included.
void printRatios(const kavro::bench::BestOfReporter& reporter, const std::vector<std::string>& cases) {
  std::printf("\n%-28s %14s %14s %10s\n", "case", "kavro (ns)", "icu (ns)", "icu/kavro");
  for (const std::string& base : cases) {
    const std::string ours = base + "/kavro", icu = base + "/icu";
    if (!reporter.has(ours) || !reporter.has(icu)) continue;
    std::printf("%-28s %14.0f %14.0f %10.2f\n", base.c_str(), reporter.timeNs(ours), reporter.timeNs(icu),
                reporter.timeRatio(ours, icu));
    // The display length runs no expression: its own row, against a plain ICU loop.
    const bool displayLength = base.rfind("CnWordsLength", 0) == 0;
    // Six patterns of one set of the cache: every call compiles, by design (see README.md).
    const bool worstCase = base.rfind("Cycle6OneSet", 0) == 0;
    kavro::bench::reportRatio(
        displayLength ? "display length, 10,000 chars" : "regex " + base,
        kavro::bench::figure(reporter.timeNs(ours) / 1e3, "us"),
        (displayLength ? "ICU plain loop " : "ICU ") + kavro::bench::figure(reporter.timeNs(icu) / 1e3, "us"),
        reporter.timeRatio(ours, icu), worstCase ? std::nullopt : std::optional<double>(0.8));
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerSubject("1KB", 1024);
  registerSubject("64KB", 64 * 1024);
  registerCycling("Cycle8Spread_1KB", 8, false);
  registerCycling("Cycle6OneSet_1KB", 6, true);
  registerDisplayLength();
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5, kavro::bench::Order::Shuffled);
  printRatios(reporter, cases());
  return 0;
}
