#include "demo/DemoApi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kavro::test {

namespace {

constexpr std::uintmax_t MaxSampleFileSize = 16u << 20;
constexpr double KmPerDegree = 111.0;
constexpr double Pi = 3.14159265358979323846;
constexpr const char* SampleFiles[] = {"dictionary.tsv", "areas.tsv",  "companies.tsv",
                                       "jobs.tsv",       "groups.tsv", "topics.tsv"};

// ---- Reading the sample ------------------------------------------------------------------------

std::string unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    char next = field[++i];
    out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
  }
  return out;
}

// The rows of a tab-separated file after its header line; nullopt when it cannot be read.
std::optional<std::vector<std::vector<std::string>>> readTable(const std::filesystem::path& file,
                                                               std::size_t columns) {
  std::error_code ec;
  auto size = std::filesystem::file_size(file, ec);
  if (ec || size > MaxSampleFileSize) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (header) {
      header = false;
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> row;
    std::size_t start = 0;
    while (true) {
      std::size_t tab = line.find('\t', start);
      row.push_back(unescape(std::string_view(line).substr(start, tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (row.size() != columns) return std::nullopt;
    rows.push_back(std::move(row));
  }
  return rows;
}

// Days since 1970-01-01 of "YYYY-MM-DD".
std::int64_t dayNumber(std::string_view date) {
  int y = 0, m = 0, d = 0;
  if (std::sscanf(std::string(date).c_str(), "%d-%d-%d", &y, &m, &d) != 3) return 0;
  y -= m <= 2;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// ---- Parameters ----------------------------------------------------------------------------------

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string decode(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string_view param(const DemoApi::Params& params, std::string_view name) {
  auto it = params.find(name);
  return it == params.end() ? std::string_view() : std::string_view(it->second);
}

std::string trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

long number(std::string_view s, long fallback) {
  std::string text(s);
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  return end == text.c_str() ? fallback : value;
}

bool onlyZeros(std::string_view code) {
  return !code.empty() && code.find_first_not_of('0') == std::string_view::npos;
}

// The codes of a condition ("010000,020000"); none when it is empty or a no-limit code.
std::vector<std::string> codesOf(std::string_view value) {
  std::vector<std::string> codes;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t comma = value.find(',', start);
    std::string code = trimmed(value.substr(start, comma - start));
    if (!code.empty() && !onlyZeros(code)) codes.push_back(code);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return codes;
}

// A code without its trailing "00" pairs heads the codes below it.
std::string_view headOf(std::string_view code) {
  while (code.size() >= 2 && code.substr(code.size() - 2) == "00") code.remove_suffix(2);
  return code;
}

bool underAny(std::string_view code, const std::vector<std::string>& heads) {
  if (heads.empty()) return true;
  return std::any_of(heads.begin(), heads.end(),
                     [code](const std::string& h) { return code.starts_with(headOf(h)); });
}

bool equalsAny(std::string_view code, const std::vector<std::string>& codes) {
  return codes.empty() || std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::string> wordsOf(std::string_view keyword) {
  std::vector<std::string> words;
  std::istringstream in{lowered(keyword)};
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

// ---- Answers -------------------------------------------------------------------------------------

// The length of the well-formed UTF-8 sequence at the start of s, 0 when there is none.
std::size_t utf8Length(std::string_view s) {
  auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = byte(0);
  std::size_t n = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 0;
  if (n == 0 || n > s.size()) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  std::uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) cp = (cp << 6) | (byte(i) & 0x3F);
  static constexpr std::uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < Least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
    return 0;
  return n;
}

// Text for an XML element or attribute. Queries are echoed in answers (a keyword, a dictionary
// name), so what XML cannot hold is replaced: a broken UTF-8 byte by U+FFFD, a control by nothing.
std::string escaped(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = utf8Length(s.substr(i));
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    char c = s[i++];
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// One answer in the service's XML.
class Answer {
 public:
  explicit Answer(int status = 0, std::string_view message = {}) {
    text_ =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<responsemessage>\n  <result>1</result>\n  <status>" +
        std::to_string(status) + "</status>\n  <message>" + escaped(message) + "</message>\n  <resultbody>\n";
  }
  Answer& field(std::string_view name, std::string_view value) {
    text_.append(indent()).append("<").append(name).append(">").append(escaped(value));
    text_.append("</").append(name).append(">\n");
    return *this;
  }
  Answer& field(std::string_view name, long value) { return field(name, std::to_string(value)); }
  Answer& attributed(std::string_view name, std::string_view attribute, std::string_view attributeValue,
                     std::string_view value) {
    text_.append(indent()).append("<").append(name).append(" ").append(attribute).append("=\"");
    text_.append(escaped(attributeValue)).append("\">").append(escaped(value));
    text_.append("</").append(name).append(">\n");
    return *this;
  }
  Answer& item() {
    text_.append(indent()).append("<item>\n");
    inItem_ = true;
    return *this;
  }
  Answer& end() {
    inItem_ = false;
    text_.append(indent()).append("</item>\n");
    return *this;
  }
  std::string done() { return text_ + "  </resultbody>\n</responsemessage>\n"; }

 private:
  std::string_view indent() const { return inItem_ ? "      " : "    "; }
  std::string text_;
  bool inItem_ = false;
};

}  // namespace

std::string DemoApi::errorAnswer(int status, std::string_view message) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<responsemessage>\n  <result>0</result>\n  <status>" +
         std::to_string(status) + "</status>\n  <message>" + escaped(message) +
         "</message>\n  <resultbody></resultbody>\n</responsemessage>\n";
}

namespace {

struct Page {
  std::size_t first = 0, size = 10;
  long number = 1;
};

Page pageOf(const DemoApi::Params& params, long defaultSize) {
  Page page;
  page.number = std::max(1L, number(param(params, "pageno"), 1));
  page.size = static_cast<std::size_t>(std::clamp(number(param(params, "pagesize"), defaultSize), 1L, 100L));
  page.first = static_cast<std::size_t>(page.number - 1) * page.size;
  return page;
}

template <typename T, typename Write>
void writePage(Answer& answer, const std::vector<T>& rows, const Page& page, Write write) {
  answer.field("totalcount", static_cast<long>(rows.size()));
  answer.field("pageno", page.number);
  answer.field("pagesize", static_cast<long>(page.size));
  for (std::size_t i = page.first; i < rows.size() && i < page.first + page.size; ++i) {
    answer.item();
    write(answer, rows[i]);
    answer.end();
  }
}

}  // namespace

// ---- Loading -----------------------------------------------------------------------------------

std::string DemoApi::defaultSampleRoot() {
  return (std::filesystem::path(KAVRO_SOURCE_DIR) / "demo" / "data" / "sample").string();
}

bool DemoApi::holdsSample(const std::string& dir) {
  std::error_code ec;
  return !dir.empty() && std::filesystem::is_regular_file(std::filesystem::path(dir) / "jobs.tsv", ec);
}

std::shared_ptr<const DemoApi> DemoApi::load(const std::string& dir) {
  if (!holdsSample(dir)) return nullptr;
  std::filesystem::path root(dir);
  auto dictionary = readTable(root / SampleFiles[0], 6);
  auto areas = readTable(root / SampleFiles[1], 5);
  auto companies = readTable(root / SampleFiles[2], 11);
  auto jobs = readTable(root / SampleFiles[3], 17);
  auto groups = readTable(root / SampleFiles[4], 4);
  auto topics = readTable(root / SampleFiles[5], 5);
  if (!dictionary || !areas || !companies || !jobs || !groups || !topics) return nullptr;

  std::shared_ptr<DemoApi> api(new DemoApi());
  for (auto& r : *dictionary) api->dicts_[r[0]][r[1]].push_back(Entry{r[2], r[3], r[4] == "1", r[5] == "1"});
  for (auto& r : *areas)
    api->areas_[r[0]] =
        Area{r[0], r[1], r[2], std::strtod(r[3].c_str(), nullptr), std::strtod(r[4].c_str(), nullptr)};
  for (auto& r : *companies) {
    api->companyIndex_.emplace(r[0], api->companies_.size());
    api->companies_.push_back(Company{r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9], r[10]});
  }
  for (auto& r : *jobs) {
    Job job{r[0], r[1],  r[2],  r[3],  r[4],  r[5],  r[6],  r[7], r[8],
            r[9], r[10], r[11], r[12], r[13], r[14], r[15], r[16]};
    // Every answer about a job names its company: a job of an unknown company makes no sample.
    if (!api->company(job.coid)) return nullptr;
    job.day = dayNumber(job.issuedate);
    api->newestDay_ = std::max(api->newestDay_, job.day);
    api->jobs_.push_back(std::move(job));
  }
  // Newest first, as the service lists them.
  std::stable_sort(api->jobs_.begin(), api->jobs_.end(), [](const Job& a, const Job& b) {
    return a.day != b.day ? a.day > b.day : a.jobid > b.jobid;
  });
  for (auto& r : *groups) api->groups_.push_back(Group{r[0], r[1], r[2], r[3]});
  for (auto& r : *topics) api->topics_.push_back(Topic{r[0], r[1], r[2], r[3], r[4]});
  return api;
}

DemoApi::Params DemoApi::parseParams(std::string_view encoded) {
  Params params;
  std::size_t start = 0;
  while (start < encoded.size()) {
    std::size_t amp = encoded.find('&', start);
    std::string_view pair = encoded.substr(start, amp - start);
    if (!pair.empty()) {
      std::size_t eq = pair.find('=');
      std::string name = decode(pair.substr(0, eq));
      std::string value = eq == std::string_view::npos ? std::string() : decode(pair.substr(eq + 1));
      params.emplace(std::move(name), std::move(value));
    }
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
  return params;
}

// ---- Lookups -----------------------------------------------------------------------------------

const DemoApi::Company* DemoApi::company(std::string_view coid) const {
  auto it = companyIndex_.find(coid);
  return it == companyIndex_.end() ? nullptr : &companies_[it->second];
}

const DemoApi::Job* DemoApi::job(std::string_view jobid) const {
  for (const auto& j : jobs_)
    if (j.jobid == jobid) return &j;
  return nullptr;
}

std::string DemoApi::dictValue(std::string_view ddtype, std::string_view code) const {
  auto dict = dicts_.find(ddtype);
  if (dict == dicts_.end()) return {};
  for (const auto& [parent, level] : dict->second)
    for (const auto& e : level)
      if (e.code == code) return e.value;
  return {};
}

std::string DemoApi::areaText(std::string_view code) const {
  auto it = areas_.find(code);
  if (it == areas_.end()) return {};
  return it->second.district.empty() ? it->second.city : it->second.city + "-" + it->second.district;
}

// ---- Dictionaries ------------------------------------------------------------------------------

std::string DemoApi::dictionary(const Params& params, bool areaTree) const {
  std::string ddtype(param(params, "ddtype"));
  // Every area picker reads the one area tree.
  if (areaTree && !dicts_.contains(ddtype)) ddtype = "jobarea";
  auto dict = dicts_.find(ddtype);
  if (dict == dicts_.end()) return errorAnswer(404, "演示数据中没有这个字典：" + ddtype);
  std::string code = trimmed(param(params, "code"));
  std::vector<const Entry*> rows;
  if (ddtype == "landmark") {
    // Landmarks hang under districts; a city holds those of all its districts.
    std::string_view head = headOf(code);
    for (const auto& [parent, level] : dict->second)
      if (!head.empty() && parent.starts_with(head))
        for (const auto& e : level) rows.push_back(&e);
  } else if (auto level = dict->second.find(code); level != dict->second.end()) {
    for (const auto& e : level->second) rows.push_back(&e);
  }
  Answer answer;
  answer.field("totalcount", static_cast<long>(rows.size()));
  for (const Entry* e : rows) {
    answer.item().field("code", e->code).field("value", e->value);
    answer.field("hassub", e->hasSub ? "1" : "0").field("ishot", e->isHot ? "1" : "0").end();
  }
  return answer.done();
}

// ---- Job search --------------------------------------------------------------------------------

std::vector<const DemoApi::Job*> DemoApi::matching(const Params& params, bool byArea) const {
  auto words = wordsOf(param(params, "keyword"));
  long keywordType = number(param(params, "keywordtype"), 1);
  auto areas = byArea ? codesOf(param(params, "jobarea")) : std::vector<std::string>();
  auto functions = codesOf(param(params, "funtype"));
  auto industries = codesOf(param(params, "indtype"));
  auto landmarks = codesOf(param(params, "landmark"));
  auto workyears = codesOf(param(params, "workyear"));
  auto degrees = codesOf(param(params, "degree"));
  auto salaries = codesOf(param(params, "saltype"));
  auto sizes = codesOf(param(params, "cosize"));
  auto types = codesOf(param(params, "cotype"));
  auto terms = codesOf(param(params, "jobterm"));
  auto dates = codesOf(param(params, "issuedate"));
  // The campus channel lists the jobs open to students and new graduates.
  bool campus = param(params, "postchannel") == "0100";
  // Publication date codes: the days back from the sample's newest day.
  long withinDays = -1;
  if (!dates.empty()) {
    static constexpr long Days[] = {0, 1, 3, 7, 14, 30};
    long code = number(dates.front(), 0);
    if (code >= 1 && code <= 5) withinDays = Days[code];
  }

  std::vector<const Job*> found;
  for (const auto& j : jobs_) {
    const Company* c = company(j.coid);
    if (!c) continue;
    if (!underAny(j.area, areas) || !underAny(j.funtype, functions) || !underAny(c->indtype, industries))
      continue;
    if (!equalsAny(j.landmark, landmarks) || !equalsAny(j.workyear, workyears) ||
        !equalsAny(j.degree, degrees) || !equalsAny(j.saltype, salaries) || !equalsAny(c->cosize, sizes) ||
        !equalsAny(c->cotype, types) || !equalsAny(j.jobterm, terms))
      continue;
    if (withinDays >= 0 && newestDay_ - j.day >= withinDays) continue;
    if (campus && j.workyear != "01" && j.workyear != "02") continue;
    if (!words.empty()) {
      std::string text = keywordType == 0   ? lowered(c->coname)
                         : keywordType == 2 ? lowered(j.jobname + "\n" + c->coname + "\n" + j.jobinfo)
                                            : lowered(j.jobname);
      bool all = std::all_of(words.begin(), words.end(),
                             [&text](const std::string& w) { return text.find(w) != std::string::npos; });
      if (!all) continue;
    }
    found.push_back(&j);
  }
  return found;
}

std::string DemoApi::searchJobs(const Params& params) const {
  auto found = matching(params, true);
  Page page = pageOf(params, 10);
  Answer answer;
  auto areas = codesOf(param(params, "jobarea"));
  // Landmarks are offered for one area that has some.
  bool landmarks = false;
  if (areas.size() == 1) {
    auto dict = dicts_.find("landmark");
    std::string_view head = headOf(areas.front());
    if (dict != dicts_.end())
      for (const auto& [parent, level] : dict->second) landmarks = landmarks || parent.starts_with(head);
  }
  answer.field("enablelandmarks", landmarks ? "1" : "0");
  std::string keyword = trimmed(param(params, "keyword"));
  if (found.empty() && !keyword.empty())
    answer.field("searchsuggestions", "没有找到与“" + keyword + "”相关的职位，换个关键字或条件试试");
  writePage(answer, found, page, [this](Answer& a, const Job* j) {
    const Company* c = company(j->coid);
    a.field("jobid", j->jobid).field("jobname", j->jobname).field("coid", j->coid).field("coname", c->coname);
    a.attributed("jobarea", "code", j->area, areaText(j->area));
    a.field("issuedate", j->issuedate).field("providesalary", j->providesalary).field("isapply", "0");
    a.field("isintern", j->jobterm == "03" ? "1" : "0").field("degree", dictValue("degree", j->degree));
    a.field("workyear", dictValue("workyear", j->workyear)).field("cotype", dictValue("cotype", c->cotype));
    a.field("cosize", dictValue("cosize", c->cosize)).field("caddr", c->caddr);
    a.field("latitude", j->lat).field("longitude", j->lon);
  });
  return answer.done();
}

std::string DemoApi::mapSearch(const Params& params) const {
  // The centre: "lonlat=lon,lat", or "lat" and "lon".
  double lat = 0, lon = 0;
  std::string_view lonlat = param(params, "lonlat");
  if (std::size_t comma = lonlat.find(','); comma != std::string_view::npos) {
    lon = std::strtod(std::string(lonlat.substr(0, comma)).c_str(), nullptr);
    lat = std::strtod(std::string(lonlat.substr(comma + 1)).c_str(), nullptr);
  } else {
    lat = std::strtod(std::string(param(params, "lat")).c_str(), nullptr);
    lon = std::strtod(std::string(param(params, "lon")).c_str(), nullptr);
  }
  double radius = std::strtod(std::string(param(params, "radius")).c_str(), nullptr);
  if (!(radius > 0)) radius = 5;
  radius = std::min(radius, 50.0);
  Page page = pageOf(params, 10);
  Answer answer(1);
  if ((lat == 0 && lon == 0) || std::fabs(lat) > 85 || std::fabs(lon) > 180) {
    writePage(answer, std::vector<int>(), page, [](Answer&, int) {});
    return answer.done();
  }

  // Every job keeps its place relative to its city's centre, moved to the searched point: any
  // point shows the sample's jobs around it, denser near it as in a city. Newest first, as the
  // search lists them, so each page's pins spread over the circle.
  std::map<std::string, const Area*, std::less<>> centres;
  for (const auto& [code, area] : areas_)
    if (area.district.empty()) centres.emplace(area.city, &area);
  struct Placed {
    const Job* job;
    double lat, lon, distance;
  };
  std::vector<Placed> placed;
  double cosHere = std::cos(lat * Pi / 180);
  for (const Job* j : matching(params, false)) {
    auto area = areas_.find(j->area);
    if (area == areas_.end()) continue;
    auto centre = centres.find(area->second.city);
    if (centre == centres.end()) continue;
    const Area& c = *centre->second;
    double north = (std::strtod(j->lat.c_str(), nullptr) - c.lat) * KmPerDegree;
    double east = (std::strtod(j->lon.c_str(), nullptr) - c.lon) * KmPerDegree * std::cos(c.lat * Pi / 180);
    double distance = std::hypot(north, east);
    if (distance > radius) continue;
    placed.push_back({j, lat + north / KmPerDegree, lon + east / (KmPerDegree * cosHere), distance});
  }
  writePage(answer, placed, page, [this](Answer& a, const Placed& p) {
    const Job* j = p.job;
    const Company* c = company(j->coid);
    a.field("jobid", j->jobid).field("jobname", j->jobname).field("coid", j->coid).field("coname", c->coname);
    a.field("caddr", c->caddr).field("jobarea", areaText(j->area)).field("issuedate", j->issuedate);
    a.field("degree", dictValue("degree", j->degree)).field("workyear", dictValue("workyear", j->workyear));
    a.field("cotype", dictValue("cotype", c->cotype)).field("providesalary", j->providesalary);
    a.field("jobinfo", j->jobinfo).field("latitude", fixed(p.lat)).field("longitude", fixed(p.lon));
  });
  return answer.done();
}

std::string DemoApi::suggestKeywords(const Params& params) const {
  std::string keyword = trimmed(param(params, "keyword"));
  long type = number(param(params, "keywordtype"), 1);
  Params query{{"keyword", keyword}, {"keywordtype", std::to_string(type)}};
  std::map<std::string, long> counts;
  auto found = matching(query, false);
  if (!found.empty()) counts[keyword] = static_cast<long>(found.size());
  for (const Job* j : found) {
    std::string name = type == 0 ? company(j->coid)->coname : j->jobname;
    if (counts.contains(name)) continue;
    Params named{{"keyword", name}, {"keywordtype", std::to_string(type == 0 ? 0 : 1)}};
    counts[name] = static_cast<long>(matching(named, false).size());
  }
  std::vector<std::pair<std::string, long>> rows(counts.begin(), counts.end());
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  if (rows.size() > 10) rows.resize(10);
  Answer answer;
  answer.field("totalcount", static_cast<long>(rows.size()));
  for (const auto& [text, count] : rows) answer.item().field("keyword", text).field("count", count).end();
  return answer.done();
}

// ---- Details -----------------------------------------------------------------------------------

std::string DemoApi::jobDetail(const Params& params) const {
  const Job* j = job(trimmed(param(params, "jobid")));
  if (!j) return errorAnswer(404, "该职位已过期或不存在");
  const Company* c = company(j->coid);
  Answer a;
  a.field("jobid", j->jobid).field("jobname", j->jobname).field("coid", j->coid).field("coname", c->coname);
  a.field("cotype", dictValue("cotype", c->cotype)).field("cosize", dictValue("cosize", c->cosize));
  a.field("indtype", dictValue("indtype", c->indtype)).field("jobarea", areaText(j->area));
  a.field("address", c->caddr).field("caddr", c->caddr).field("language", j->language);
  a.field("issuedate", j->issuedate).field("workyear", dictValue("workyear", j->workyear));
  a.field("degree", dictValue("degree", j->degree)).field("jobterm", dictValue("workterm", j->jobterm));
  a.field("jobnum", j->jobnum).field("providesalary", j->providesalary).field("jobinfo", j->jobinfo);
  a.field("isapply", "0").field("isfavorite", "0").field("isintern", j->jobterm == "03" ? "1" : "0");
  a.field("lon", j->lon).field("lat", j->lat);
  return a.done();
}

std::string DemoApi::companyDetail(const Params& params) const {
  const Company* c = company(trimmed(param(params, "coid")));
  if (!c) return errorAnswer(404, "该公司不存在");
  Answer a;
  a.field("coid", c->coid).field("coname", c->coname).field("cotype", dictValue("cotype", c->cotype));
  a.field("cosize", dictValue("cosize", c->cosize)).field("indtype", dictValue("indtype", c->indtype));
  a.field("caddr", c->caddr).field("coinfo", c->coinfo);
  return a.done();
}

std::string DemoApi::jobsOf(const std::vector<std::string>& coids, const Params& params, bool campus) const {
  auto areas = codesOf(param(params, "jobarea"));
  std::vector<const Job*> jobs;
  for (const auto& j : jobs_)
    if (std::find(coids.begin(), coids.end(), j.coid) != coids.end() && underAny(j.area, areas))
      jobs.push_back(&j);
  Answer answer;
  writePage(answer, jobs, pageOf(params, 10), [this, campus](Answer& a, const Job* j) {
    a.field("jobid", j->jobid).field("jobname", j->jobname).field("coid", j->coid);
    a.field("coname", company(j->coid)->coname).field("jobarea", areaText(j->area));
    a.field("jobnum", j->jobnum).field("issuedate", j->issuedate);
    a.field("isintern", j->jobterm == "03" ? "1" : "0");
    if (campus) a.field("iscampus", "1");
  });
  return answer.done();
}

std::string DemoApi::companyJobs(const Params& params) const {
  std::string coid = trimmed(param(params, "coid"));
  if (!company(coid)) return errorAnswer(404, "该公司不存在");
  return jobsOf({coid}, params, false);
}

std::string DemoApi::citiesOf(const std::vector<std::string>& coids) const {
  std::vector<std::string> cities;
  for (const auto& j : jobs_) {
    auto area = areas_.find(j.area);
    if (area == areas_.end() || std::find(coids.begin(), coids.end(), j.coid) == coids.end()) continue;
    if (std::find(cities.begin(), cities.end(), area->second.city) == cities.end())
      cities.push_back(area->second.city);
  }
  Answer answer;
  answer.field("totalcount", static_cast<long>(cities.size()));
  for (const auto& city : cities)
    for (const auto& [code, area] : areas_)
      if (area.district.empty() && area.city == city)
        answer.item().field("code", code).field("value", city).end();
  return answer.done();
}

std::string DemoApi::companyAreas(const Params& params) const {
  return citiesOf({trimmed(param(params, "coid"))});
}

std::string DemoApi::companyCoordinate(const Params& params) const {
  const Company* c = company(trimmed(param(params, "coid")));
  if (!c) return errorAnswer(404, "该公司不存在");
  return Answer(1).field("latitude", c->lat).field("longitude", c->lon).done();
}

std::string DemoApi::communityCompany(const Params& params) const {
  const Company* c = company(trimmed(param(params, "coid")));
  if (!c) return errorAnswer(404, "该公司不存在");
  long topics = static_cast<long>(
      std::count_if(topics_.begin(), topics_.end(), [c](const Topic& t) { return t.coid == c->coid; }));
  return Answer()
      .field("coid", c->coid)
      .field("coname", c->coname)
      .field("fansnum", c->fansnum)
      .field("topicnum", topics)
      .done();
}

std::string DemoApi::companyTopics(const Params& params) const {
  std::string coid = trimmed(param(params, "coid"));
  std::vector<const Topic*> rows;
  for (const auto& t : topics_)
    if (t.coid == coid) rows.push_back(&t);
  Answer answer;
  writePage(answer, rows, pageOf(params, 10), [](Answer& a, const Topic* t) {
    a.field("noticeid", t->noticeid).field("username", t->username).field("createtime", t->createtime);
    a.field("content", t->content);
  });
  return answer.done();
}

// ---- Company groups ------------------------------------------------------------------------------

std::string DemoApi::groupDetail(const Params& params) const {
  std::string id = trimmed(param(params, "groupid"));
  for (const auto& g : groups_) {
    if (g.groupid != id) continue;
    const Company* first = company(codesOf(g.coids).front());
    long jobs = 0;
    for (const auto& coid : codesOf(g.coids))
      jobs += std::count_if(jobs_.begin(), jobs_.end(), [&coid](const Job& j) { return j.coid == coid; });
    Answer a;
    a.field("groupid", g.groupid).field("groupname", g.groupname);
    if (first)
      a.field("cotype", dictValue("cotype", first->cotype))
          .field("cosize", dictValue("cosize", first->cosize))
          .field("indtype", dictValue("indtype", first->indtype));
    return a.field("jobnum", jobs).field("groupinfo", g.groupinfo).done();
  }
  return errorAnswer(404, "该集团不存在");
}

std::string DemoApi::groupJobs(const Params& params) const {
  std::string id = trimmed(param(params, "groupid"));
  for (const auto& g : groups_)
    if (g.groupid == id) return jobsOf(codesOf(g.coids), params, true);
  return errorAnswer(404, "该集团不存在");
}

std::string DemoApi::groupAreas(const Params& params) const {
  std::string id = trimmed(param(params, "groupid"));
  for (const auto& g : groups_)
    if (g.groupid == id) return citiesOf(codesOf(g.coids));
  return errorAnswer(404, "该集团不存在");
}

// ---- Location ------------------------------------------------------------------------------------

std::string DemoApi::location(const Params& params) const {
  double lat = std::strtod(std::string(param(params, "latitude")).c_str(), nullptr);
  double lon = std::strtod(std::string(param(params, "longitude")).c_str(), nullptr);
  // The city of the nearest district.
  const Area* nearest = nullptr;
  double best = 0;
  for (const auto& [code, area] : areas_) {
    if (area.district.empty()) continue;
    double d = std::hypot(area.lat - lat, (area.lon - lon) * std::cos(lat * Pi / 180));
    if (!nearest || d < best) nearest = &area, best = d;
  }
  if (!nearest) return errorAnswer(404, "无法确定所在城市");
  std::string cityCode;
  for (const auto& [code, area] : areas_)
    if (area.district.empty() && area.city == nearest->city) cityCode = code;
  Answer answer;
  for (const char* type : {"job", "campus"}) {
    answer.item().field("type", type).field("code", cityCode).field("value", nearest->city);
    answer.field("locationtype", std::string_view(type) == "job" ? "2" : "1").end();
  }
  return answer.done();
}

std::string DemoApi::resumeMatch(const Params& params) const {
  const Job* j = job(trimmed(param(params, "jobid")));
  if (!j) return errorAnswer(404, "该职位已过期或不存在");
  long match = 55 + number(j->jobid, 0) % 41;
  return Answer(4, "您的简历与该职位的匹配度为 " + std::to_string(match) + "%").field("match", match).done();
}

// ---- Calls ---------------------------------------------------------------------------------------

std::optional<std::string> DemoApi::answer(std::string_view call, const Params& params) const {
  if (call == "datadict/get_jobarea.php") return dictionary(params, true);
  if (call == "datadict/get_datadict.php" || call == "datadict/get_special_datadict.php")
    return dictionary(params, false);
  if (call == "job/search_job_list.php") return searchJobs(params);
  if (call == "job/map_search.php") return mapSearch(params);
  if (call == "job/associate_keyword.php") return suggestKeywords(params);
  if (call == "job/get_job_info.php") return jobDetail(params);
  if (call == "job/get_co_info.php") return companyDetail(params);
  if (call == "job/get_co_alljob.php") return companyJobs(params);
  if (call == "job/get_co_jobarea.php") return companyAreas(params);
  if (call == "job/get_co_lonlat.php") return companyCoordinate(params);
  if (call == "fans/get_company_info.php") return communityCompany(params);
  if (call == "fans/get_co_topics.php") return companyTopics(params);
  if (call == "campus/get_group_info.php") return groupDetail(params);
  if (call == "campus/get_group_alljob.php") return groupJobs(params);
  if (call == "campus/get_group_jobarea.php") return groupAreas(params);
  if (call == "util/get_location.php") return location(params);
  if (call == "user/get_resume_match.php") return resumeMatch(params);
  return std::nullopt;
}

}  // namespace kavro::test
