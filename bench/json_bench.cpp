// JSON decoding and encoding, ours beside cJSON, RapidJSON and simdjson. Each library parses the
// same text into its own in-memory tree (and frees it) per iteration; encoding writes the decoded
// tree back as compact text. At the end the throughput ratios (ours / peer) are printed.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

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

struct Corpus {
  std::string big;
  std::vector<std::string> small;
  std::size_t smallBytes = 0;
  Corpus() {
    std::mt19937 rng(2024);
    big = answer(rng, 50, 0);
    for (int id = 50; big.size() < 2 * 1024 * 1024; id += 50) {
      // Splice more records into the one list.
      std::string part = answer(rng, 50, id);
      big.resize(big.size() - 2);
      big += ',';
      big.append(part, part.find('[') + 1);
    }
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

// ---- Decoding ----

template <class Parse>
void decodeBig(benchmark::State& state, Parse parse) {
  const std::string& text = corpus().big;
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
  thread_local kavro::JSONDecoder decoder;
  platform::Value v = decoder.objectWithUTF8String(text.data(), text.size());
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

auto simdParse = [](const std::string& text) {
  thread_local simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (parser.parse(text.data(), text.size()).get(root)) std::abort();
  benchmark::DoNotOptimize(root);
};

void BM_DecodeBig_Ours(benchmark::State& s) { decodeBig(s, oursParse); }
void BM_DecodeBig_OursDecoder(benchmark::State& s) { decodeBig(s, oursDecoderParse); }
void BM_DecodeBig_cJSON(benchmark::State& s) { decodeBig(s, cjsonParse); }
void BM_DecodeBig_RapidJSON(benchmark::State& s) { decodeBig(s, rapidParse); }
void BM_DecodeBig_simdjson(benchmark::State& s) { decodeBig(s, simdParse); }
void BM_DecodeSmall_Ours(benchmark::State& s) { decodeSmall(s, oursParse); }
void BM_DecodeSmall_OursDecoder(benchmark::State& s) { decodeSmall(s, oursDecoderParse); }
void BM_DecodeSmall_cJSON(benchmark::State& s) { decodeSmall(s, cjsonParse); }
void BM_DecodeSmall_RapidJSON(benchmark::State& s) { decodeSmall(s, rapidParse); }
void BM_DecodeSmall_simdjson(benchmark::State& s) { decodeSmall(s, simdParse); }

// ---- Encoding the decoded tree ----

void BM_Encode_Ours(benchmark::State& state) {
  platform::Value root = kavro::json::objectFromJSONString(corpus().big);
  auto d = root.dictionaryValue();
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto out = kavro::json::JSONString(*d);
    if (!out) std::abort();
    bytes = out->size();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Encode_cJSON(benchmark::State& state) {
  cJSON* root = cJSON_ParseWithLength(corpus().big.data(), corpus().big.size());
  std::size_t bytes = 0;
  for (auto _ : state) {
    char* out = cJSON_PrintUnformatted(root);
    if (!out) std::abort();
    bytes = std::strlen(out);
    benchmark::DoNotOptimize(out);
    cJSON_free(out);
  }
  cJSON_Delete(root);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Encode_RapidJSON(benchmark::State& state) {
  rapidjson::Document d;
  d.Parse(corpus().big.data(), corpus().big.size());
  std::size_t bytes = 0;
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    d.Accept(writer);
    bytes = buffer.GetSize();
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Encode_simdjson(benchmark::State& state) {
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (parser.parse(corpus().big.data(), corpus().big.size()).get(root)) std::abort();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string out = simdjson::to_string(root);
    bytes = out.size();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_DecodeBig_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBig_OursDecoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBig_cJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBig_RapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBig_simdjson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_OursDecoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_cJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_RapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_simdjson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_cJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_RapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_simdjson)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps each benchmark's throughput for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      // With --benchmark_repetitions the median stands for the benchmark.
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) mbPerSecond_[r.run_name.str()] = it->second.value / 1e6;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nThroughput in MB/s, and ratio ours / peer:\n");
    for (const char* task : {"DecodeBig", "DecodeSmall", "Encode"}) {
      const std::string base = std::string("BM_") + task + "_";
      const double ours = mbPerSecond_[base + "Ours"];
      std::printf("  %-12s ours %7.1f", task, ours);
      for (const char* peer : {"cJSON", "RapidJSON", "simdjson"}) {
        const double p = mbPerSecond_[base + peer];
        std::printf(" | %s %7.1f ratio %5.2f", peer, p, p > 0 ? ours / p : 0.0);
      }
      std::printf("\n");
    }
    std::printf("  (the large answer: %.2f MB; the 10,000 small answers: %.2f MB in all)\n",
                corpus().big.size() / 1e6, corpus().smallBytes / 1e6);
  }

 private:
  std::map<std::string, double> mbPerSecond_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
