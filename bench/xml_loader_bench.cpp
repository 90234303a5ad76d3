// The XML loader turning a 1 MB answer of 5,000 item records into a result, side by side with bare
// expat doing only the parse of the same bytes (no handlers, and with empty handlers). Prints the
// loader's speed as a share of bare expat's.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bench/Ratio.h"
#include "kit/core/DataLoadAndParser.h"

namespace {

constexpr int Items = 5000;
constexpr std::size_t TargetSize = 1 << 20;

// A job search answer: the header, a few detail leaves, then the items, each with attributes, CJK
// text and one leaf padded so the whole answer comes to 1 MB.
std::string makeAnswer() {
  auto itemText = [](int i, std::size_t pad) {
    std::string n = std::to_string(45000000 + i);
    return "<item id=\"" + n + "\"><jobid>" + n + "</jobid><jobname lang=\"c\">软件工程师" +
           std::to_string(i % 100) +
           "</jobname><coname>上海浦江数据科技有限公司</coname><jobarea>上海-浦东</jobarea>" + "<salary>" +
           std::string(pad, '8') + "</salary></item>\n";
  };
  std::string head =
      "<?xml version=\"1.0\" "
      "encoding=\"utf-8\"?>\n<responsemessage>\n<result>1</result>\n<status>0</status>\n"
      "<message></message>\n<resultbody>\n<totalcount>5000</totalcount>\n<pageno>1</pageno>\n";
  std::string tail = "</resultbody>\n</responsemessage>\n";
  std::size_t bare = head.size() + tail.size();
  for (int i = 0; i < Items; ++i) bare += itemText(i, 0).size();
  std::size_t padEach = bare < TargetSize ? (TargetSize - bare) / Items : 0;
  std::string answer = head;
  for (int i = 0; i < Items; ++i) answer += itemText(i, padEach);
  answer += tail;
  return answer;
}

const std::string& answer() {
  static const std::string text = makeAnswer();
  return text;
}

// The answer turned into a result, which is then thrown away outside the timing (Kept) or inside
// it (AndFree).
void xmlLoader(benchmark::State& state, bool timeTheFree) {
  const std::string& doc = answer();
  for (auto _ : state) {
    auto loader = kavro::DataLoadAndParser::initWithData(doc);
    auto result = loader->getResult();
    if (result->hasError() || result->count() != Items) state.SkipWithError("wrong result");
    benchmark::DoNotOptimize(result);
    if (timeTheFree) continue;
    state.PauseTiming();
    result.reset();
    loader.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}
void BM_XmlLoader(benchmark::State& state) { xmlLoader(state, false); }
void BM_XmlLoaderAndFree(benchmark::State& state) { xmlLoader(state, true); }

void BM_Expat(benchmark::State& state) {
  const std::string& doc = answer();
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), XML_TRUE) != XML_STATUS_OK)
      state.SkipWithError("expat failed");
    XML_ParserFree(parser);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}

void BM_ExpatEmptyHandlers(benchmark::State& state) {
  const std::string& doc = answer();
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(
        parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
    if (XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), XML_TRUE) != XML_STATUS_OK)
      state.SkipWithError("expat failed");
    XML_ParserFree(parser);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(doc.size()));
}

BENCHMARK(BM_XmlLoader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlLoaderAndFree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Expat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpatEmptyHandlers)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  answer();  // made before any side runs, so that an instruction count of either side leaves it out
  kavro::bench::BestOfReporter reporter;
  // The sides' repetitions take turns, so that a spell of other load on the machine falls on both
  // rather than on whichever side happens to run then.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  if (std::none_of(args.begin(), args.end(), [](const char* a) {
        return std::string_view(a).rfind("--benchmark_enable_random_interleaving", 0) == 0;
      }))
    args.push_back(interleave.data());
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  kavro::bench::runBestOf(count, args.data(), reporter, 5);
  const double loader = reporter.timeNs("BM_XmlLoader"), withFree = reporter.timeNs("BM_XmlLoaderAndFree");
  const double expat = reporter.timeNs("BM_Expat"), empty = reporter.timeNs("BM_ExpatEmptyHandlers");
  if (loader > 0 && withFree > 0 && expat > 0 && empty > 0) {
    std::printf(
        "\n%zu-byte answer, %d items: XML loader speed as a share of bare expat %.2f, of expat with empty "
        "handlers %.2f; with freeing the result timed too: %.2f and %.2f\n",
        answer().size(), Items, expat / loader, empty / loader, expat / withFree, empty / withFree);
    kavro::bench::reportRatio("XML answer 1 MB, 5,000 items, freeing included",
                              kavro::bench::figure(withFree / 1e6, "ms"),
                              "expat " + kavro::bench::figure(expat / 1e6, "ms"), expat / withFree, 0.8);
  }
  return 0;
}
