// JSON decoding and encoding, ours beside RapidJSON, simdjson (DOM) and cJSON, at answer sizes from
// 1 KB to 32 MB, and on documents nobody here wrote (two public documents JSON libraries are
// commonly measured on, read from ../shared/bench-data/json/ when present), a number-heavy document
// and the bench's own records with their members in an order of their own. Each library parses the
// same text into its own in-memory tree (and frees it) per iteration; encoding writes a tree back as
// compact text, both sides into a buffer kept from one encoding to the next, handed out as a
// std::string, and its throughput counts the input document on both sides (ours writes doubles
// with 17 digits, so its text is longer). The encoded tree is the decoded one, or one built by hand
// from the platform's containers, whose text ours checks for UTF-8 as it writes (a decoded
// document's was checked when decoded): that row's peer writer checks too. Ours validates UTF-8 and keeps
// numbers at full precision; RapidJSON is reported both with its defaults and with those two checks. The
// repetitions of all rows run interleaved in a shuffled order; the documents' decoders, and the
// encoders of the tree built by hand, also take turns within each repetition. At the end the throughput
// ratios (ours / peer, best of the repetitions) are printed.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <malloc.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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
#include "platform/foundation/Array.h"
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

// A job record's members, each as `"key":value`, in the order the server writes them.
std::vector<std::string> jobFields(std::mt19937& rng, int id) {
  const int low = 3000 + static_cast<int>(rng() % 20) * 1000;
  std::vector<std::string> f;
  f.push_back("\"jobid\":\"" + std::to_string(1000000 + id) + "\"");
  f.push_back("\"jobname\":\"" + std::string(kTitles[rng() % std::size(kTitles)]) + "\"");
  f.push_back("\"coid\":" + std::to_string(50000 + rng() % 10000));
  f.push_back("\"coname\":\"" + words(rng, 3) + "有限公司\"");
  f.push_back("\"jobarea\":\"" + std::string(kCities[rng() % std::size(kCities)]) + "\"");
  f.push_back("\"salary\":\"" + std::to_string(low) + "-" + std::to_string(low + 5000) + "\"");
  f.push_back("\"salary_min\":" + std::to_string(low));
  f.push_back("\"salary_max\":" + std::to_string(low + 5000));
  f.push_back("\"lat\":" + std::to_string(30.0 + (rng() % 100000) / 10000.0));
  f.push_back("\"lng\":" + std::to_string(110.0 + (rng() % 100000) / 10000.0));
  std::string date = "\"issuedate\":\"2024-0" + std::to_string(1 + rng() % 9);
  f.push_back(date + "-1" + std::to_string(rng() % 10) + " 09:30:00\"");
  f.push_back("\"isapply\":" + std::string(rng() % 2 ? "true" : "false"));
  f.push_back("\"contact\":null");
  std::string welfare = "\"welfare\":[";
  for (int i = 0, n = 2 + static_cast<int>(rng() % 4); i < n; ++i)
    welfare += std::string(i ? "," : "") + "\"" + kTags[rng() % std::size(kTags)] + "\"";
  f.push_back(welfare + "]");
  std::string company =
      "\"company\":{\"size\":\"" + std::to_string(50 + rng() % 10) + "-500人\",\"industry\":\"";
  company += words(rng, 2) + "\",\"score\":";
  f.push_back(company + std::to_string(rng() % 50 / 10.0) + "}");
  f.push_back("\"jobinfo\":\"" + words(rng, 20 + static_cast<int>(rng() % 80)) + "\"");
  return f;
}

std::string joinRecord(const std::vector<std::string>& fields) {
  std::string r = "{";
  for (const std::string& f : fields) r += (r.size() > 1 ? "," : "") + f;
  return r + "}";
}

std::string jobRecord(std::mt19937& rng, int id) { return joinRecord(jobFields(rng, id)); }

// The same record with its members in an order of its own, as records merged from several
// sources come.
std::string shuffledJobRecord(std::mt19937& rng, int id) {
  std::vector<std::string> fields = jobFields(rng, id);
  std::shuffle(fields.begin(), fields.end(), rng);
  return joinRecord(fields);
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

// About `bytes` of the bench's own records, each with its members in an order of its own.
std::string shuffledAnswerOfSize(std::size_t bytes) {
  std::mt19937 rng(static_cast<unsigned>(bytes) + 1);
  std::string s = "{\"result\":1,\"status\":0,\"message\":\"成功\",\"items\":[";
  for (int id = 0; s.size() < bytes; ++id) s += (id ? "," : "") + shuffledJobRecord(rng, id);
  return s + "]}";
}

// About `bytes` of numbers: map features whose outlines are coordinate pairs written in full
// (17 significant digits, as a program that keeps every bit writes them), with integer ids and counts.
std::string numberHeavyDocument(std::size_t bytes) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> lng(-180, 180), lat(-90, 90), step(-0.01, 0.01);
  std::string s = "{\"type\":\"FeatureCollection\",\"features\":[";
  char buf[64];
  for (int id = 0; s.size() < bytes; ++id) {
    s += id ? "," : "";
    s += "{\"id\":" + std::to_string(id) + ",\"population\":" + std::to_string(rng() % 10000000) +
         ",\"coordinates\":[";
    double x = lng(rng), y = lat(rng);
    for (int i = 0; i < 200; ++i) {
      x += step(rng);
      y += step(rng);
      std::snprintf(buf, sizeof buf, "%s[%.17g,%.17g]", i ? "," : "", x, y);
      s += buf;
    }
    s += "]}";
  }
  return s + "]}";
}

// The seed of the documents' shuffled members: KAVRO_BENCH_SEED when set, else a new one each run,
// so that no decoder can be shaped to one order.
unsigned documentSeed() {
  static const unsigned seed = [] {
    if (const char* given = std::getenv("KAVRO_BENCH_SEED"))
      return static_cast<unsigned>(std::strtoul(given, nullptr, 10));
    return std::random_device()();
  }();
  return seed;
}

void skipSpace(std::string_view t, std::size_t& i) {
  while (i < t.size() && (t[i] == ' ' || t[i] == '\n' || t[i] == '\r' || t[i] == '\t')) ++i;
}

std::string_view stringAt(std::string_view t, std::size_t& i) {
  const std::size_t from = i++;
  while (t[i] != '"') i += t[i] == '\\' ? 2 : 1;
  return t.substr(from, ++i - from);
}

// The (valid) JSON value at i written without white space, each object's members shuffled by rng
// when there is one.
std::string rewritten(std::string_view t, std::size_t& i, std::mt19937* rng) {
  skipSpace(t, i);
  const char c = t[i];
  if (c == '"') return std::string(stringAt(t, i));
  if (c != '{' && c != '[') {
    const std::size_t from = i;
    while (i < t.size() && std::strchr(",]} \n\r\t", t[i]) == nullptr) ++i;
    return std::string(t.substr(from, i - from));
  }
  ++i;
  std::vector<std::string> items;
  skipSpace(t, i);
  while (t[i] != (c == '{' ? '}' : ']')) {
    std::string item;
    if (c == '{') {
      item = stringAt(t, i);
      skipSpace(t, i);
      ++i;  // ':'
      item += ':';
    }
    item += rewritten(t, i, rng);
    items.push_back(std::move(item));
    skipSpace(t, i);
    if (t[i] == ',') ++i;
    skipSpace(t, i);
  }
  ++i;
  if (c == '{' && rng) std::shuffle(items.begin(), items.end(), *rng);
  std::string out(1, c);
  for (std::size_t k = 0; k < items.size(); ++k) out += (k ? "," : "") + items[k];
  return out + (c == '{' ? '}' : ']');
}

std::string minified(std::string_view text) {
  std::size_t i = 0;
  return rewritten(text, i, nullptr);
}

std::string withMembersShuffled(std::string_view text, unsigned seed) {
  std::mt19937 rng(seed);
  std::size_t i = 0;
  return rewritten(text, i, &rng);
}

// The documents read from outside the project (absent ones are left out), each as given, minified
// and with its objects' members shuffled, then documents made here that stress what the records do
// not: numbers, and members in a different order per record. Encoding runs on the documents as given.
struct Document {
  std::string name;
  std::string text;
  bool encoded;
  // The goal against simdjson's DOM: documents whose layouts repeat keep to half its speed; where
  // every object's members come in an order of their own there is nothing to learn.
  double simdjsonGoal;
};

std::vector<Document> readDocuments() {
  std::vector<Document> docs;
  // Beside the project's folder, seen from the working folder or the sources (a worktree sits one
  // folder deeper).
  std::vector<std::string> folders;
  for (const char* root : {".", KAVRO_SOURCE_DIR})
    for (const char* up : {"/../", "/../../"})
      folders.push_back(std::string(root) + up + "shared/bench-data/json/");
  for (const char* name : {"twitter.json", "citm_catalog.json"}) {
    for (const std::string& folder : folders) {
      std::FILE* f = std::fopen((folder + name).c_str(), "rb");
      if (!f) continue;
      std::string text;
      char buf[1 << 16];
      for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
      std::fclose(f);
      std::string small = minified(text), shuffled = withMembersShuffled(text, documentSeed());
      docs.push_back({name, std::move(text), true, 0.5});
      docs.push_back({std::string(name) + " minified", std::move(small), false, 0.4});
      docs.push_back({std::string(name) + " shuffled", std::move(shuffled), false, 0.25});
      break;
    }
  }
  docs.push_back({"numbers 1 MB", numberHeavyDocument(1 << 20), true, 0.45});
  docs.push_back({"shuffled keys 1 MB", shuffledAnswerOfSize(1 << 20), true, 0.25});
  return docs;
}

struct Corpus {
  std::vector<Document> documents = readDocuments();
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

// Each decoder hands the tree it made to `use` and then lets it go: the benchmarks keep the tree
// from being optimised away, the check before them (checkOutputs()) compares it with the peers'.
constexpr auto keep = [](const auto& tree) { benchmark::DoNotOptimize(tree); };

template <class Parse>
void decodeSized(benchmark::State& state, Parse parse) {
  const std::string& text = corpus().sized.at(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) parse(text, keep);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

template <class Parse>
void decodeSmall(benchmark::State& state, Parse parse) {
  const auto& texts = corpus().small;
  for (auto _ : state)
    for (const auto& t : texts) parse(t, keep);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus().smallBytes));
}

// The entry point the application uses: a fresh decoder per answer.
auto oursParse = [](const std::string& text, auto&& use) {
  platform::Value v = kavro::json::objectFromJSONString(text);
  if (v.isNull()) std::abort();
  use(v);
};

// The same without learning the dictionaries' layouts: what the learning must never be slower than.
auto oursPlainParse = [](const std::string& text, auto&& use) {
  platform::Value v = kavro::JSONDecoder::parseOnce(text.data(), text.size(), kavro::JBParseOptionNone, false,
                                                    nullptr, kavro::JBLayoutLearning::Off);
  if (v.isNull()) std::abort();
  use(v);
};

// A decoder kept across answers (its value cache stays warm).
auto oursDecoderParse = [](const std::string& text, auto&& use) {
  thread_local const auto decoder = kavro::JSONDecoder::decoder();
  platform::Value v = decoder->objectWithUTF8String(text.data(), text.size());
  if (v.isNull()) std::abort();
  use(v);
};

auto cjsonParse = [](const std::string& text, auto&& use) {
  cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
  if (!root) std::abort();
  use(root);
  cJSON_Delete(root);
};

auto rapidParse = [](const std::string& text, auto&& use) {
  rapidjson::Document d;
  d.Parse(text.data(), text.size());
  if (d.HasParseError()) std::abort();
  use(static_cast<const rapidjson::Value&>(d));
};

// RapidJSON doing the checks ours does: UTF-8 validated, numbers parsed to full precision.
auto rapidCheckedParse = [](const std::string& text, auto&& use) {
  rapidjson::Document d;
  d.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag>(text.data(),
                                                                                      text.size());
  if (d.HasParseError()) std::abort();
  use(static_cast<const rapidjson::Value&>(d));
};

auto simdParse = [](const std::string& text, auto&& use) {
  thread_local simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (parser.parse(text.data(), text.size()).get(root)) std::abort();
  use(root);
};

// Sides of a row whose goal is within a few percent of even take turns, one run each, the order
// moving on by one each round, and each keeps its fastest run (bytes of the input per second, in a
// counter of its name): timed in repetitions of their own, each side would be judged by the spells
// of a shared machine its repetitions happened to fall in.
struct Side {
  const char* counter;
  std::function<void()> run;
};

void inTurns(benchmark::State& state, std::size_t bytes, const std::vector<Side>& sides) {
  std::vector<double> fastest(sides.size(), 1e300);
  std::size_t round = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < sides.size(); ++k) {
      const std::size_t side = (round + k) % sides.size();
      const auto start = std::chrono::steady_clock::now();
      sides[side].run();
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      fastest[side] = std::min(fastest[side], took.count());
    }
    ++round;
  }
  for (std::size_t side = 0; side < sides.size(); ++side)
    state.counters[sides[side].counter] = static_cast<double>(bytes) / fastest[side];
}

// The documents' decoders (learning against not, within 5 %).
void BM_DecodeDocumentInTurns(benchmark::State& state) {
  const std::string& text = corpus().documents.at(static_cast<std::size_t>(state.range(0))).text;
  inTurns(state, text.size(),
          {{"ours", [&] { oursParse(text, keep); }},
           {"ours_plain", [&] { oursPlainParse(text, keep); }},
           {"rapidjson_checked", [&] { rapidCheckedParse(text, keep); }},
           {"simdjson", [&] { simdParse(text, keep); }}});
}

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

std::string oursEncode(const platform::Dictionary& d) {
  std::optional<std::string> out = kavro::json::JSONString(d);
  if (!out) std::abort();
  return std::move(*out);
}

void BM_Encode_Ours(benchmark::State& state) {
  const std::string& text = sizedText(state);
  platform::Value root = kavro::json::objectFromJSONString(text);
  auto d = root.dictionaryValue();
  for (auto _ : state) benchmark::DoNotOptimize(oursEncode(*d));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The peer writes into a buffer kept from one encoding to the next, as ours does, and hands out
// a string of its text.
template <unsigned Flags = rapidjson::kWriteDefaultFlags>
std::string encodeRapid(const rapidjson::Document& d) {
  thread_local rapidjson::StringBuffer buffer;
  buffer.Clear();
  rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, rapidjson::CrtAllocator,
                    Flags>
      writer(buffer);
  d.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

void BM_Encode_RapidJSON(benchmark::State& state) {
  const std::string& text = sizedText(state);
  rapidjson::Document d;
  d.Parse(text.data(), text.size());
  for (auto _ : state) benchmark::DoNotOptimize(encodeRapid(d));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The same tree put together by hand from the platform's containers, as a request body is: the
// encoder has no decoded text's length to size its output by.
platform::Value builtByHand(const platform::Value& v) {
  if (auto d = v.dictionaryValue()) {
    auto built = platform::MutableDictionary::create();
    d->enumerate([&](const std::string& key, const platform::Value& value) {
      built->setObject(builtByHand(value), key);
      return true;
    });
    return built;
  }
  if (auto a = v.arrayValue()) {
    auto built = platform::MutableArray::create();
    for (std::size_t i = 0; i < a->count(); ++i) built->addObject(builtByHand(a->objectAtIndex(i)));
    return built;
  }
  if (v.isString()) return platform::Value(std::string(v.stringView()));
  return v;
}

// Ours encoding the tree built by hand, and the peer's writer with and without its UTF-8 check.
void BM_EncodeBuiltInTurns(benchmark::State& state) {
  const std::string& text = sizedText(state);
  platform::Value root = builtByHand(kavro::json::objectFromJSONString(text));
  auto d = root.dictionaryValue();
  rapidjson::Document peer;
  peer.Parse(text.data(), text.size());
  inTurns(state, text.size(),
          {{"ours", [&] { benchmark::DoNotOptimize(oursEncode(*d)); }},
           {"rapidjson_checked",
            [&] { benchmark::DoNotOptimize(encodeRapid<rapidjson::kWriteValidateEncodingFlag>(peer)); }},
           {"rapidjson", [&] { benchmark::DoNotOptimize(encodeRapid(peer)); }}});
}

// The documents as given, decoded, encoded again.
std::string encodeOurs(const platform::Value& root) {
  if (auto a = root.arrayValue()) {
    std::optional<std::string> out = kavro::json::JSONString(*a);
    if (!out) std::abort();
    return std::move(*out);
  }
  return oursEncode(*root.dictionaryValue());
}

void BM_EncodeDocument_Ours(benchmark::State& state) {
  const std::string& text = corpus().documents.at(static_cast<std::size_t>(state.range(0))).text;
  platform::Value root = kavro::json::objectFromJSONString(text);
  for (auto _ : state) benchmark::DoNotOptimize(encodeOurs(root));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_EncodeDocument_RapidJSON(benchmark::State& state) {
  const std::string& text = corpus().documents.at(static_cast<std::size_t>(state.range(0))).text;
  rapidjson::Document d;
  d.Parse(text.data(), text.size());
  for (auto _ : state) benchmark::DoNotOptimize(encodeRapid(d));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

template <class Use>
void cjsonEncode(const cJSON* root, Use use) {
  char* out = cJSON_PrintUnformatted(root);
  if (!out) std::abort();
  use(out);
  cJSON_free(out);
}

void BM_Encode_cJSON(benchmark::State& state) {
  const std::string& text = sizedText(state);
  cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
  for (auto _ : state) cjsonEncode(root, keep);
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
void documents(benchmark::internal::Benchmark* b) {
  for (std::size_t i = 0; i < corpus().documents.size(); ++i) b->Arg(static_cast<std::int64_t>(i));
  b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_DecodeDocumentInTurns)->Apply(documents);
void encodedDocuments(benchmark::internal::Benchmark* b) {
  for (std::size_t i = 0; i < corpus().documents.size(); ++i)
    if (corpus().documents[i].encoded) b->Arg(static_cast<std::int64_t>(i));
  b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_EncodeDocument_Ours)->Apply(encodedDocuments);
BENCHMARK(BM_EncodeDocument_RapidJSON)->Apply(encodedDocuments);
BENCHMARK(BM_DecodeSmall_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_OursDecoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_cJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_RapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_RapidJSONChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSmall_simdjson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Ours)->Apply(sizes);
BENCHMARK(BM_Encode_RapidJSON)->Apply(sizes);
BENCHMARK(BM_EncodeBuiltInTurns)->Apply(sizes);
BENCHMARK(BM_Encode_cJSON)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

// ---- The same output on both sides ----

// A tree written out so that trees are compared by their text: members sorted by key, each text
// led by its length, whole numbers exactly and other doubles to 17 digits; with `doubles`, every number as
// the double it comes to (for a peer that keeps numbers as doubles only).
class TreeText {
 public:
  explicit TreeText(bool doubles) : doubles_(doubles) {}
  const std::string& text() const { return out_; }

  void write(const platform::Value& v) {
    switch (v.kind()) {
      case platform::Value::Kind::Null:
        out_ += 'n';
        return;
      case platform::Value::Kind::Bool:
        out_ += v.boolValue() ? 't' : 'f';
        return;
      case platform::Value::Kind::Int:
        return integer(v.intValue());
      case platform::Value::Kind::UInt:
        return integer(v.uintValue());
      case platform::Value::Kind::Double:
        return real(v.doubleValue());
      case platform::Value::Kind::String:
        return string(v.stringView());
      default:
        break;
    }
    if (auto a = v.arrayValue()) {
      out_ += '[';
      for (std::size_t i = 0; i < a->count(); ++i) write(a->objectAtIndex(i));
      out_ += ']';
    } else if (auto d = v.dictionaryValue()) {
      Members members;
      d->enumerate([&](const std::string& key, const platform::Value& value) {
        members.emplace_back(key, written(value));
        return true;
      });
      object(members);
    } else {
      out_ += '?';
    }
  }
  void write(const rapidjson::Value& v) {
    if (v.IsNull()) {
      out_ += 'n';
    } else if (v.IsBool()) {
      out_ += v.GetBool() ? 't' : 'f';
    } else if (v.IsDouble()) {
      real(v.GetDouble());
    } else if (v.IsInt64()) {
      integer(v.GetInt64());
    } else if (v.IsUint64()) {
      integer(v.GetUint64());
    } else if (v.IsString()) {
      string({v.GetString(), v.GetStringLength()});
    } else if (v.IsArray()) {
      out_ += '[';
      for (const auto& item : v.GetArray()) write(item);
      out_ += ']';
    } else {
      Members members;
      for (const auto& m : v.GetObject())
        members.emplace_back(std::string(m.name.GetString(), m.name.GetStringLength()), written(m.value));
      object(members);
    }
  }
  void write(const simdjson::dom::element& v) {
    using simdjson::dom::element_type;
    switch (v.type()) {
      case element_type::NULL_VALUE:
        out_ += 'n';
        return;
      case element_type::BOOL:
        out_ += v.get_bool().value_unsafe() ? 't' : 'f';
        return;
      case element_type::INT64:
        return integer(v.get_int64().value_unsafe());
      case element_type::UINT64:
        return integer(v.get_uint64().value_unsafe());
      case element_type::DOUBLE:
        return real(v.get_double().value_unsafe());
      case element_type::STRING:
        return string(v.get_string().value_unsafe());
      case element_type::ARRAY: {
        // Held here: the results of the getters go at the end of their statement.
        const simdjson::dom::array items = v.get_array().value_unsafe();
        out_ += '[';
        for (simdjson::dom::element item : items) write(item);
        out_ += ']';
        return;
      }
      case element_type::OBJECT: {
        const simdjson::dom::object pairs = v.get_object().value_unsafe();
        Members members;
        for (simdjson::dom::key_value_pair m : pairs)
          members.emplace_back(std::string(m.key), written(m.value));
        return object(members);
      }
    }
  }
  void write(const cJSON* v) {
    if (cJSON_IsNull(v)) {
      out_ += 'n';
    } else if (cJSON_IsBool(v)) {
      out_ += cJSON_IsTrue(v) ? 't' : 'f';
    } else if (cJSON_IsNumber(v)) {
      real(v->valuedouble);
    } else if (cJSON_IsString(v)) {
      string(v->valuestring);
    } else if (cJSON_IsArray(v)) {
      out_ += '[';
      for (const cJSON* item = v->child; item; item = item->next) write(item);
      out_ += ']';
    } else {
      Members members;
      for (const cJSON* m = v->child; m; m = m->next) members.emplace_back(m->string, written(m));
      object(members);
    }
  }

 private:
  using Members = std::vector<std::pair<std::string, std::string>>;
  template <class V>
  std::string written(const V& v) const {
    TreeText t(doubles_);
    t.write(v);
    return std::move(t.out_);
  }
  template <class I>
  void integer(I i) {
    if (doubles_) return real(static_cast<double>(i));
    out_ += std::to_string(i);
    out_ += ';';
  }
  void real(double d) {
    // A whole number is written alike whichever kind holds it: an encoder may write 1.0 as 1.
    if (!doubles_ && d == std::trunc(d) && std::fabs(d) < 9e18 && !(d == 0 && std::signbit(d)))
      return integer(static_cast<long long>(d));
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g;", d);
    out_ += 'd';
    out_ += buf;
  }
  void string(std::string_view s) {
    out_ += std::to_string(s.size());
    out_ += '"';
    out_.append(s);
  }
  void object(Members& members) {
    std::sort(members.begin(), members.end());
    out_ += '{';
    for (const auto& [key, value] : members) {
      string(key);
      out_ += value;
    }
    out_ += '}';
  }

  bool doubles_;
  std::string out_;
};

template <class Parse>
std::string treeText(Parse parse, const std::string& text, bool doubles = false) {
  TreeText t(doubles);
  parse(text, [&t](const auto& tree) { t.write(tree); });
  return t.text();
}

// Ends the run when a side's tree (written by TreeText) is not the one it must be, showing where
// they part.
void requireSameTree(const std::string& side, const std::string& tree, const std::string& wanted,
                     const std::string& what) {
  if (tree == wanted) return;
  const std::size_t common = std::min(tree.size(), wanted.size());
  std::size_t at = 0;
  while (at < common && tree[at] == wanted[at]) ++at;
  const std::size_t from = at > 40 ? at - 40 : 0;
  kavro::bench::requireSameOutput(false, side + ", " + what + ": the tree differs from byte " +
                                             std::to_string(at) + " of its written form:\n  " +
                                             tree.substr(from, 100) + "\nwhere it must be\n  " +
                                             wanted.substr(from, 100));
}

// Every decoder's tree of every text the bench decodes is RapidJSON's (checked, as the reference),
// and every encoder's text decodes to the tree it was given: no row can win by doing less.
void checkOutputs() {
  const Corpus& c = corpus();
  auto decodedAlike = [](const std::string& text, const std::string& what, bool sized) {
    const std::string reference = treeText(rapidCheckedParse, text);
    requireSameTree("ours", treeText(oursParse, text), reference, what);
    requireSameTree("ours not learning", treeText(oursPlainParse, text), reference, what);
    requireSameTree("ours, a kept decoder", treeText(oursDecoderParse, text), reference, what);
    requireSameTree("simdjson", treeText(simdParse, text), reference, what);
    if (sized) {
      requireSameTree("RapidJSON", treeText(rapidParse, text), reference, what);
      requireSameTree("cJSON", treeText(cjsonParse, text, true), treeText(rapidCheckedParse, text, true),
                      what);
    }
  };
  // An encoder's text, decoded again, against the tree it was given.
  auto encodedAlike = [](const std::string& side, const std::string& encoded, const std::string& given,
                         const std::string& what, bool doubles = false) {
    requireSameTree(side + " encoding", treeText(rapidCheckedParse, encoded, doubles), given, what);
  };
  auto written = [](const auto& tree, bool doubles = false) {
    TreeText t(doubles);
    t.write(tree);
    return t.text();
  };
  for (const auto& [size, text] : c.sized) {
    const std::string what = sizeName(size) + " answer";
    decodedAlike(text, what, true);
    const platform::Value root = kavro::json::objectFromJSONString(text);
    encodedAlike("ours", oursEncode(*root.dictionaryValue()), written(root), what);
    const platform::Value built = builtByHand(root);
    encodedAlike("ours (built by hand)", oursEncode(*built.dictionaryValue()), written(built), what);
    rapidjson::Document peer;
    peer.Parse(text.data(), text.size());
    const rapidjson::Value& peerRoot = peer;
    encodedAlike("RapidJSON", encodeRapid(peer), written(peerRoot), what);
    encodedAlike("RapidJSON (checking)", encodeRapid<rapidjson::kWriteValidateEncodingFlag>(peer),
                 written(peerRoot), what);
    if (size != 1 << 20) continue;
    cJSON* croot = cJSON_ParseWithLength(text.data(), text.size());
    cjsonEncode(croot,
                [&](const char* out) { encodedAlike("cJSON", out, written(croot, true), what, true); });
    cJSON_Delete(croot);
  }
  for (std::size_t i = 0; i < c.small.size(); ++i)
    decodedAlike(c.small[i], "small answer " + std::to_string(i), true);
  for (const Document& d : c.documents) {
    decodedAlike(d.text, d.name, false);
    if (!d.encoded) continue;
    const platform::Value root = kavro::json::objectFromJSONString(d.text);
    encodedAlike("ours", encodeOurs(root), written(root), d.name);
    rapidjson::Document peer;
    peer.Parse(d.text.data(), d.text.size());
    encodedAlike("RapidJSON", encodeRapid(peer), written(static_cast<const rapidjson::Value&>(peer)), d.name);
  }
}

// The heap a decoded tree holds, in the allocator's bytes in use (its heap plus mapped blocks),
// measured around one decoding whose tree is kept.
std::size_t heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// The tree of a second decoding, the first one kept: what a first decoding sets up once is not the
// tree's. A large tree is held meanwhile, so that no memory kept for reuse (ours keeps up to 8 MB of
// freed blocks) is taken for nothing.
template <class Decode>
std::size_t treeBytes(Decode decode) {
  const platform::Value held = kavro::json::objectFromJSONString(corpus().sized.at(std::size_t{10} << 20));
  auto first = decode();
  const std::size_t before = heapInUse();
  auto tree = decode();
  const std::size_t after = heapInUse();
  benchmark::DoNotOptimize(held);
  benchmark::DoNotOptimize(first);
  benchmark::DoNotOptimize(tree);
  return after > before ? after - before : 0;
}

struct TreeSizes {
  double ours, oursPlain, rapid;  // bytes held per byte of text
};

TreeSizes treeSizes(const std::string& text) {
  const auto ours = treeBytes([&] { return kavro::json::objectFromJSONString(text); });
  const auto oursPlain = treeBytes([&] {
    return kavro::JSONDecoder::parseOnce(text.data(), text.size(), kavro::JBParseOptionNone, false, nullptr,
                                         kavro::JBLayoutLearning::Off);
  });
  const auto rapid = treeBytes([&] {
    auto d = std::make_unique<rapidjson::Document>();
    d->Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag>(text.data(),
                                                                                         text.size());
    return d;
  });
  const auto perByte = [&](std::size_t bytes) { return static_cast<double>(bytes) / text.size(); };
  return {perByte(ours), perByte(oursPlain), perByte(rapid)};
}

void printTreeSizes() {
  std::printf("\nDecoded tree in memory, in bytes held per byte of text (goal: at most 3):\n");
  std::printf("  %-32s %10s %14s %10s\n", "text", "ours", "not learning", "RapidJSON");
  auto row = [](const std::string& name, const std::string& text) {
    const TreeSizes t = treeSizes(text);
    std::printf("  %-32s %9.2fx %13.2fx %9.2fx\n", name.c_str(), t.ours, t.oursPlain, t.rapid);
    return t;
  };
  for (std::size_t n : {std::size_t{1} << 20, std::size_t{32} << 20}) {
    const TreeSizes t = row(sizeName(n), corpus().sized.at(n));
    char ours[32], peer[48];
    std::snprintf(ours, sizeof ours, "%.2fx text", t.ours);
    std::snprintf(peer, sizeof peer, "RapidJSON %.2fx text", t.rapid);
    // The ratio is the goal's bytes (three times the text) over ours.
    kavro::bench::reportRatio("JSON decoded tree " + sizeName(n) + ", bytes held", ours, peer, 3.0 / t.ours,
                              1.0);
  }
  for (const Document& d : corpus().documents) row(d.name, d.text);
}

void printRatios(const kavro::bench::BestOfReporter& r) {
  using kavro::bench::figure;
  auto mbps = [&](const std::string& name) { return r.counter(name, "bytes_per_second") / 1e6; };
  auto ratio = [](const std::string& path, double o, const std::string& peerName, double p,
                  std::optional<double> goal) {
    if (o > 0 && p > 0)
      kavro::bench::reportRatio(path, figure(o, "MB/s"), peerName + " " + figure(p, "MB/s"), o / p, goal);
  };
  auto line = [&](const std::string& path, const std::string& ours, const std::string& peerName,
                  const std::string& peer,
                  std::optional<double> goal) { ratio(path, mbps(ours), peerName, mbps(peer), goal); };
  // simdjson picks its kernel for the processor at run time (SIMDJSON_FORCE_IMPLEMENTATION chooses
  // another): its figures depend on which, so the rows name it.
  const std::string simdjsonName = "simdjson DOM (" + simdjson::get_active_implementation()->name() + ")";
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
    line("JSON decode " + sizeName(n), "BM_Decode_Ours" + arg, simdjsonName, "BM_Decode_simdjson" + arg, 0.6);
  }
  for (std::size_t n : Sizes) {
    const std::string arg = "/" + std::to_string(n);
    line("JSON encode " + sizeName(n), "BM_Encode_Ours" + arg, "RapidJSON", "BM_Encode_RapidJSON" + arg, 1.0);
  }
  for (std::size_t i = 0; i < corpus().documents.size(); ++i) {
    const std::string arg = "/" + std::to_string(i);
    const Document& d = corpus().documents[i];
    auto turns = [&](const char* counter) {
      return r.counter("BM_DecodeDocumentInTurns" + arg, counter) / 1e6;
    };
    const double ours = turns("ours");
    ratio("JSON decode " + d.name + ", checked", ours, "RapidJSON UTF-8+full prec.",
          turns("rapidjson_checked"), 1.5);
    ratio("JSON decode " + d.name, ours, simdjsonName, turns("simdjson"), d.simdjsonGoal);
    // Learning layouts must pay for itself on every document, or step aside.
    ratio("JSON decode " + d.name + ", learning layouts", ours, "ours not learning", turns("ours_plain"),
          0.95);
    if (d.encoded)
      line("JSON encode " + d.name, "BM_EncodeDocument_Ours" + arg, "RapidJSON",
           "BM_EncodeDocument_RapidJSON" + arg, 1.0);
  }
  for (std::size_t n : Sizes) {
    const std::string arg = "/" + std::to_string(n);
    // Text put in by hand may hold anything, so ours checks its UTF-8: the equal work is the peer's
    // writer checking too. The unchecked writer is shown beside it, without a goal.
    auto turns = [&](const char* counter) { return r.counter("BM_EncodeBuiltInTurns" + arg, counter) / 1e6; };
    ratio("JSON encode " + sizeName(n) + ", tree built by hand", turns("ours"), "RapidJSON checking UTF-8",
          turns("rapidjson_checked"), 1.0);
    ratio("JSON encode " + sizeName(n) + ", by hand, peer unchecked", turns("ours"), "RapidJSON",
          turns("rapidjson"), std::nullopt);
  }
  std::printf("  (the 10,000 small answers: %.2f MB in all; documents shuffled with KAVRO_BENCH_SEED=%u)\n",
              corpus().smallBytes / 1e6, documentSeed());
}

}  // namespace

int main(int argc, char** argv) {
  corpus();
  checkOutputs();
  std::printf("Documents' members shuffled with seed %u (KAVRO_BENCH_SEED=%u repeats this run's order)\n",
              documentSeed(), documentSeed());
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5, kavro::bench::Order::Shuffled);
  printRatios(reporter);
  printTreeSizes();
  return 0;
}
