// JSON decoding and encoding, ours beside RapidJSON, simdjson (DOM) and cJSON, at answer sizes from
// 1 KB to 32 MB. Each library parses the same text into its own in-memory tree (and frees it) per
// iteration; encoding writes the decoded tree back as compact text into fresh memory handed out as
// a std::string on both sides, and its throughput counts the input document on both sides (ours
// writes doubles with 17 digits, so its text is longer). Ours validates UTF-8 and keeps numbers at
// full precision; RapidJSON is reported both with its defaults and with those two checks. The
// repetitions of all rows run interleaved in a shuffled order. At the end the throughput ratios
// (ours / peer, best of the repetitions) are printed.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench/Ratio.h"
#include "kit/codec/json/ArrayJSONBoxSerializing.h"
#include "kit/codec/json/DataJSONBoxDeserializing.h"
#include "kit/codec/json/DictionaryJSONBoxSerializing.h"
#include "kit/codec/json/JSONDecoder.h"
#include "kit/codec/json/StringJSONBoxDeserializing.h"
#include "platform/foundation/Dictionary.h"

namespace {

// ---- Test data: server answers listing job records ----

const char* const kCities[] = {"北京", "上海", "广州", "深圳", "杭州", "成都", "南京", "武汉"};
const char* const kTitles[] = {"高级软件工程师", "产品经理",    "UI设计师", "数据分析师",
                               "测试工程师",     "运维工程师",  "销售代表", "人力资源专员",
                               "Java Developer", "iOS Engineer"};
const char* const kWords[] = {"负责", "公司", "产品",  "的",  "设计", "与",   "开发", "工作", "，",   "团队",
                              "合作", "能力", "优先",  "。",  "熟悉", "经验", "以上", "本科", "学历", "良好",
                              "沟通", "C++",  "Linux", "3年", "and",  "the",  "team", "\\n",  "\\\"", "/"};
const char* const kTags[] = {"五险一金", "带薪年假", "弹性工作", "年终奖", "餐补", "交通补助", "定期体检"};

std::string words(std::mt19937& rng, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += kWords[rng() % std::size(kWords)];
  return s;
}

std::string jobRecord(std::mt19937& rng, int id) {
  const int low = 3000 + static_cast<int>(rng() % 20) * 1000;
  std::string r = "{\"jobid\":\"" + std::to_string(1000000 + id) + "\",";
  r += "\"jobname\":\"" + std::string(kTitles[rng() % std::size(kTitles)]) + "\",";
  r += "\"coid\":" + std::to_string(50000 + rng() % 10000) + ",";
  r += "\"coname\":\"" + words(rng, 3) + "有限公司\",";
  r += "\"jobarea\":\"" + std::string(kCities[rng() % std::size(kCities)]) + "\",";
  r += "\"salary\":\"" + std::to_string(low) + "-" + std::to_string(low + 5000) + "\",";
  r += "\"salary_min\":" + std::to_string(low) + ",\"salary_max\":" + std::to_string(low + 5000) + ",";
  r += "\"lat\":" + std::to_string(30.0 + (rng() % 100000) / 10000.0) + ",";
  r += "\"lng\":" + std::to_string(110.0 + (rng() % 100000) / 10000.0) + ",";
  r += "\"issuedate\":\"2024-0" + std::to_string(1 + rng() % 9) + "-1" + std::to_string(rng() % 10) +
       " 09:30:00\",";
  r += "\"isapply\":" + std::string(rng() % 2 ? "true" : "false") + ",\"contact\":null,";
  r += "\"welfare\":[";
  for (int i = 0, n = 2 + static_cast<int>(rng() % 4); i < n; ++i)
    r += std::string(i ? "," : "") + "\"" + kTags[rng() % std::size(kTags)] + "\"";
  r += "],\"company\":{\"size\":\"" + std::to_string(50 + rng() % 10) + "-500人\",\"industry\":\"" +
       words(rng, 2) + "\",\"score\":" + std::to_string(rng() % 50 / 10.0) + "},";
  r += "\"jobinfo\":\"" + words(rng, 20 + static_cast<int>(rng() % 80)) + "\"}";
  return r;
}

std::string answer(std::mt19937& rng, int records, int firstId) {
  std::string s =
      "{\"result\":1,\"status\":0,\"message\":\"成功\",\"totalcount\":" + std::to_string(records * 7) +
      ",\"items\":[";
  for (int i = 0; i < records; ++i) {
    if (i) s += ',';
    s += jobRecord(rng, firstId + i);
  }
  return s + "]}";
}

constexpr std::size_t Sizes[] = {1 << 10, 10 << 10, 100 << 10, 1 << 20, 10 << 20, 32 << 20};

// One answer listing records, grown to at least `bytes`.
std::string answerOfSize(std::size_t bytes) {
  std::mt19937 rng(static_cast<unsigned>(bytes));
  std::string s = answer(rng, 1, 0);
  for (int id = 1; s.size() < bytes; ++id) {
    s.resize(s.size() - 2);
    s += ',';
    s += jobRecord(rng, id);
    s += "]}";
  }
  return s;
}

struct Corpus {
  std::map<std::size_t, std::string> sized;
  std::vector<std::string> small;
  std::size_t smallBytes = 0;
  Corpus() {
    for (std::size_t n : Sizes) sized[n] = answerOfSize(n);
    std::mt19937 rng(2024);
    for (int i = 0; i < 10000; ++i) {
      small.push_back(answer(rng, 1 + static_cast<int>(rng() % 3), i * 3));
      smallBytes += small.back().size();
    }
  }
};

const Corpus& corpus() {
  static const Corpus c;
  return c;
}

std::string sizeName(std::size_t n) {
  return n >= (1 << 20) ? std::to_string(n >> 20) + " MB" : std::to_string(n >> 10) + " KB";
}

// ---- Decoding ----

template <class Parse>
void decodeSized(benchmark::State& state, Parse parse) {
  const std::string& text = corpus().sized.at(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) parse(text);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

template <class Parse>
void decodeSmall(benchmark::State& state, Parse parse) {
  const auto& texts = corpus().small;
  for (auto _ : state)
    for (const auto& t : texts) parse(t);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus().smallBytes));
}

// The entry point the application uses: a fresh decoder per answer.
auto oursParse = [](const std::string& text) {
  platform::Value v = kavro::json::objectFromJSONString(text);
  if (v.isNull()) std::abort();
  benchmark::DoNotOptimize(v);
};

// A decoder kept across answers (its value cache stays warm).
auto oursDecoderParse = [](const std::string& text) {
  thread_local const auto decoder = kavro::JSONDecoder::decoder();
  platform::Value v = decoder->objectWithUTF8String(text.data(), text.size());
  if (v.isNull()) std::abort();
  benchmark::DoNotOptimize(v);
};

auto cjsonParse = [](const std::string& text) {
  cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
  if (!root) std::abort();
  benchmark::DoNotOptimize(root);
  cJSON_Delete(root);
};

auto rapidParse = [](const std::string& text) {
  rapidjson::Document d;
  d.Parse(text.data(), text.size());
  if (d.HasParseError()) std::abort();
  benchmark::DoNotOptimize(d);
};

// RapidJSON doing the checks ours does: UTF-8 validated, numbers parsed to full precision.
auto rapidCheckedParse = [](const std::string& text) {
  rapidjson::Document d;
  d.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag>(text.data(),
                                                                                      text.size());
  if (d.HasParseError()) std::abort();
  benchmark::DoNotOptimize(d);
};

auto simdParse = [](const std::string& text) {
  thread_local simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (parser.parse(text.data(), text.size()).get(root)) std::abort();
  benchmark::DoNotOptimize(root);
};

void BM_Decode_Ours(benchmark::State& s) { decodeSized(s, oursParse); }
void BM_Decode_OursDecoder(benchmark::State& s) { decodeSized(s, oursDecoderParse); }
void BM_Decode_cJSON(benchmark::State& s) { decodeSized(s, cjsonParse); }
void BM_Decode_RapidJSON(benchmark::State& s) { decodeSized(s, rapidParse); }
void BM_Decode_RapidJSONChecked(benchmark::State& s) { decodeSized(s, rapidCheckedParse); }
void BM_Decode_simdjson(benchmark::State& s) { decodeSized(s, simdParse); }
void BM_DecodeSmall_Ours(benchmark::State& s) { decodeSmall(s, oursParse); }
void BM_DecodeSmall_OursDecoder(benchmark::State& s) { decodeSmall(s, oursDecoderParse); }
void BM_DecodeSmall_cJSON(benchmark::State& s) { decodeSmall(s, cjsonParse); }
void BM_DecodeSmall_RapidJSON(benchmark::State& s) { decodeSmall(s, rapidParse); }
void BM_DecodeSmall_RapidJSONChecked(benchmark::State& s) { decodeSmall(s, rapidCheckedParse); }
void BM_DecodeSmall_simdjson(benchmark::State& s) { decodeSmall(s, simdParse); }

// ---- Encoding the decoded tree; throughput counts the input document ----

const std::string& sizedText(const benchmark::State& state) {
  return corpus().sized.at(static_cast<std::size_t>(state.range(0)));
}

void BM_Encode_Ours(benchmark::State& state) {
  const std::string& text = sizedText(state);
  platform::Value root = kavro::json::objectFromJSONString(text);
  auto d = root.dictionaryValue();
  for (auto _ : state) {
    auto out = kavro::json::JSONString(*d);
    if (!out) std::abort();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Encode_RapidJSON(benchmark::State& state) {
  const std::string& text = sizedText(state);
  rapidjson::Document d;
  d.Parse(text.data(), text.size());
  for (auto _ : state) {
    // A fresh buffer, its text handed out as a string: what a caller of ours gets.
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    d.Accept(writer);
    std::string out(buffer.GetString(), buffer.GetSize());
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Encode_cJSON(benchmark::State& state) {
  const std::string& text = sizedText(state);
  cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
  for (auto _ : state) {
    char* out = cJSON_PrintUnformatted(root);
    if (!out) std::abort();
    benchmark::DoNotOptimize(out);
    cJSON_free(out);
  }
  cJSON_Delete(root);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void sizes(benchmark::internal::Benchmark* b) {
  for (std::size_t n : Sizes) b->Arg(static_cast<std::int64_t>(n));
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Decode_Ours)->Apply(sizes);
BENCHMARK(BM_Decode_OursDecoder)->Apply(sizes);
BENCHMARK(BM_Decode_RapidJSON)->Apply(sizes);
BENCHMARK(BM_Decode_RapidJSONChecked)->Apply(sizes);
BENCHMARK(BM_Decode_simdjson)->Apply(sizes);
BENCHMARK(BM_Decode_cJSON)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeSmall_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_OursDecoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_cJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_RapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_RapidJSONChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_simdjson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Ours)->Apply(sizes);
BENCHMARK(BM_Encode_RapidJSON)->Apply(sizes);
BENCHMARK(BM_Encode_cJSON)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

void printRatios(const kavro::bench::BestOfReporter& r) {
  using kavro::bench::figure;
  auto mbps = [&](const std::string& name) { return r.counter(name, "bytes_per_second") / 1e6; };
  auto line = [&](const std::string& path, const std::string& ours, const std::string& peerName,
                  const std::string& peer, double goal) {
    const double o = mbps(ours), p = mbps(peer);
    if (o > 0 && p > 0)
      kavro::bench::reportRatio(path, figure(o, "MB/s"), peerName + " " + figure(p, "MB/s"), o / p, goal);
  };
  std::printf("\nThroughput in MB/s of the input text (best of the repetitions):\n");
  std::printf("  %-8s %10s %10s %10s %10s %10s\n", "size", "decode", "RapidJSON", "simdjson", "encode",
              "RapidJSON");
  for (std::size_t n : Sizes) {
    const std::string arg = "/" + std::to_string(n);
    std::printf("  %-8s %10.1f %10.1f %10.1f %10.1f %10.1f\n", sizeName(n).c_str(),
                mbps("BM_Decode_Ours" + arg), mbps("BM_Decode_RapidJSON" + arg),
                mbps("BM_Decode_simdjson" + arg), mbps("BM_Encode_Ours" + arg),
                mbps("BM_Encode_RapidJSON" + arg));
  }
  for (std::size_t n : Sizes) {
    const std::string arg = "/" + std::to_string(n);
    line("JSON decode " + sizeName(n), "BM_Decode_Ours" + arg, "RapidJSON", "BM_Decode_RapidJSON" + arg, 1.0);
  }
  line("JSON decode 10,000 small answers", "BM_DecodeSmall_Ours", "RapidJSON", "BM_DecodeSmall_RapidJSON",
       1.0);
  for (std::size_t n : Sizes) {
    const std::string arg = "/" + std::to_string(n);
    line("JSON decode " + sizeName(n) + ", checked", "BM_Decode_Ours" + arg, "RapidJSON UTF-8+full prec.",
         "BM_Decode_RapidJSONChecked" + arg, 1.0);
  }
  line("JSON decode 10,000 small answers, checked", "BM_DecodeSmall_Ours", "RapidJSON UTF-8+full prec.",
       "BM_DecodeSmall_RapidJSONChecked", 1.0);
  for (std::size_t n : {std::size_t{1} << 20, std::size_t{10} << 20, std::size_t{32} << 20}) {
    const std::string arg = "/" + std::to_string(n);
    line("JSON decode " + sizeName(n), "BM_Decode_Ours" + arg, "simdjson DOM", "BM_Decode_simdjson" + arg,
         0.6);
  }
  for (std::size_t n : Sizes) {
    const std::string arg = "/" + std::to_string(n);
    line("JSON encode " + sizeName(n), "BM_Encode_Ours" + arg, "RapidJSON", "BM_Encode_RapidJSON" + arg, 1.0);
  }
  std::printf("  (the 10,000 small answers: %.2f MB in all)\n", corpus().smallBytes / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  corpus();
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 3, kavro::bench::Order::Shuffled);
  printRatios(reporter);
  return 0;
}
