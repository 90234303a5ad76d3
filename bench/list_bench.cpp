// A job result list of 1,000, 10,000 and 100,000 rows scrolled from top to bottom through the
// headless table view:
// every row that comes into view gets a cell from the reuse pool (or a new one), its layout and
// its record bound, as the list framework does it (row class from the record or the section,
// class height function, JobListSearchResultCell's build and bind). The peer is the same table
// view with a bare data source of plain TableViewCells, two labels set per row. The rows are the
// records of parsed answers of one page each, as the list holds them after a scroll through the
// results. Reports the list's rows per second as a share of the plain cells' through
// bench/Ratio.h, and how the cost of one row grows with the list's length (the same list at 1,000
// rows is the peer of the longer ones), also for the table view alone: plain cells of a few fixed
// texts, which cost the same at any length.
// What a long list costs on the main thread as it grows: a search answer of 40,000 rows taken into
// a result that refuses a second row of a job (against the same rows taken as 40 answers of 1,000),
// and a result list built page by page to 16,000 rows, each page shown as it comes (against 16
// lists of 1,000 rows built from the same pages); the job search result screen paged through by its
// own controller to 16,000 and 64,000 rows, pages of 10 (against lists of 1,000 from the same
// pages, paged the same way); per-row cost within 1.2x.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/jobquery/JobSearchParam.h"
#include "app/jobsearch/JobListSearchResultCell.h"
#include "app/jobsearch/JobSearchResultController.h"
#include "bench/Ratio.h"
#include "kit/core/DataItemResult.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewData.h"
#include "kit/ui/ListViewDelegate.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"

namespace {

using platform::IndexPath;

constexpr double RowHeight = 55;

// One page of the search's answer, parsed by the loader the list uses: rows first..first+count-1.
std::shared_ptr<kavro::DataItemResult> page(int first, int count) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>1</result><status>0</status>"
      "<resultbody>";
  for (int i = first; i < first + count; ++i) {
    const std::string n = std::to_string(i);
    xml += "<item><jobid>" + std::to_string(900000 + i) + "</jobid><jobname>软件工程师 " + n +
           "</jobname><coname>上海数据科技有限公司</coname><jobarea>上海-浦东新区</jobarea>"
           "<issuedate>2013-05-20</issuedate><isintern>" +
           (i % 5 == 0 ? "1" : "0") + "</isintern></item>";
  }
  return kavro::DataLoadAndParser::initWithData(xml + "</resultbody></responsemessage>")->getResult();
}

// The rows of the result list after pages of the list's page size came in one by one.
template <typename Take>
void pages(int rows, std::uint32_t pageSize, Take take) {
  for (int first = 0; first < rows; first += static_cast<int>(pageSize))
    take(*page(first, std::min(static_cast<int>(pageSize), rows - first)));
}

// Scrolls the table's whole content by one screen at a time, laying out each position.
void scrollThrough(platform::TableView& table) {
  table.setContentOffset({0, 0});
  table.layoutSubviews();
  double bottom = table.contentSize().height - table.bounds().size.height;
  for (double y = 0; y < bottom; y += RowHeight) {
    table.setContentOffset({0, y});
    table.layoutSubviews();
  }
}

// ---- The result list ----

struct ResultList {
  std::shared_ptr<kavro::ListViewDelegate> ctrl = std::make_shared<kavro::ListViewDelegate>();
  std::shared_ptr<kavro::ListView> list = kavro::ListView::plainListViewForDelegate(ctrl);
  explicit ResultList(int rows) {
    list->setFrame(platform::Rect(0, 0, 320, 416));
    auto section =
        kavro::ListViewData::newDataOnListView(*list, platform::classFor<kavro::JobListSearchResultCell>());
    pages(rows, section->pageSize(),
          [&](const kavro::DataItemResult& p) { section->listData()->appendItems(&p); });
    list->reloadData();
  }
};

void List_ScrollResultRows(benchmark::State& state) {
  ResultList fixture(static_cast<int>(state.range(0)));
  for (auto _ : state) scrollThrough(*fixture.list);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---- Plain cells ----

class PlainSource : public platform::TableViewDataSource, public platform::TableViewDelegate {
 public:
  std::vector<std::shared_ptr<kavro::DataItemDetail>> rows;
  int numberOfRowsInSection(platform::TableView&, int) override { return static_cast<int>(rows.size()); }
  std::shared_ptr<platform::TableViewCell> cellForRowAtIndexPath(platform::TableView& tv,
                                                                 const IndexPath& ip) override {
    auto cell = tv.dequeueReusableCellWithIdentifier("plain");
    if (!cell)
      cell = std::make_shared<platform::TableViewCell>(platform::TableViewCellStyle::Subtitle, "plain");
    const auto& r = rows[static_cast<std::size_t>(ip.row)];
    cell->textLabel()->setText(r->get_jobname());
    cell->detailTextLabel()->setText(r->get_coname());
    return cell;
  }
  std::optional<double> heightForRowAtIndexPath(platform::TableView&, const IndexPath&) override {
    return RowHeight;
  }
};

void Plain_ScrollTableViewCells(benchmark::State& state) {
  auto source = std::make_shared<PlainSource>();
  pages(static_cast<int>(state.range(0)), kavro::ListViewData::create()->pageSize(),
        [&](const kavro::DataItemResult& p) {
          for (std::size_t i = 0; i < p.count(); ++i) source->rows.push_back(p.getItem(i));
        });
  auto table =
      std::make_shared<platform::TableView>(platform::Rect(0, 0, 320, 416), platform::TableViewStyle::Plain);
  table->setDataSource(source);
  table->setDelegate(source);
  table->reloadData();
  for (auto _ : state) scrollThrough(*table);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---- The table view alone ----

// Plain cells whose two labels take one of a few texts by the row's number: the rows cost the same
// whatever the list's length, so what grows with it is the table view's own.
class FixedTextSource : public platform::TableViewDataSource, public platform::TableViewDelegate {
 public:
  explicit FixedTextSource(int rows) : rows_(rows) {}
  int numberOfRowsInSection(platform::TableView&, int) override { return rows_; }
  std::shared_ptr<platform::TableViewCell> cellForRowAtIndexPath(platform::TableView& tv,
                                                                 const IndexPath& ip) override {
    static const std::string names[] = {"软件工程师 1", "Java开发工程师", "Web前端工程师", "产品经理"};
    auto cell = tv.dequeueReusableCellWithIdentifier("plain");
    if (!cell)
      cell = std::make_shared<platform::TableViewCell>(platform::TableViewCellStyle::Subtitle, "plain");
    cell->textLabel()->setText(names[ip.row % 4]);
    cell->detailTextLabel()->setText(ip.row % 2 ? "上海数据科技有限公司" : "上海瑞丰通信技术有限公司");
    return cell;
  }
  std::optional<double> heightForRowAtIndexPath(platform::TableView&, const IndexPath&) override {
    return RowHeight;
  }

 private:
  int rows_;
};

struct FixedRowsTable {
  std::shared_ptr<FixedTextSource> source;
  std::shared_ptr<platform::TableView> table =
      std::make_shared<platform::TableView>(platform::Rect(0, 0, 320, 416), platform::TableViewStyle::Plain);
  explicit FixedRowsTable(int rows) : source(std::make_shared<FixedTextSource>(rows)) {
    table->setDataSource(source);
    table->setDelegate(source);
    table->reloadData();
  }
};

// The table view's per-row cost at a length against 1,000 rows: the two take turns, the short one
// scrolled as many times as make the long one's rows, and each keeps its fastest turn (rows per
// second in the counters "long" and "short"). Their goal is within 10 % of even: timed in
// repetitions of their own, the spells of a shared machine each fell in would decide it.
void Table_PerRowInTurns(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  FixedRowsTable shortTable(1000), longTable(rows);
  double fastest[2] = {1e300, 1e300};
  int round = 0;
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      const bool isLong = (round + k) % 2 == 0;
      const auto start = std::chrono::steady_clock::now();
      if (isLong)
        scrollThrough(*longTable.table);
      else
        for (int i = 0; i < rows / 1000; ++i) scrollThrough(*shortTable.table);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      fastest[isLong] = std::min(fastest[isLong], took.count());
    }
    ++round;
  }
  state.counters["long"] = rows / fastest[1];
  state.counters["short"] = rows / fastest[0];
}

// ---- Growing: an answer taken, a list built page by page ----

// The rows of one search answer of the given length, parsed once.
const std::vector<std::shared_ptr<kavro::DataItemDetail>>& answerRows(int rows) {
  static std::vector<std::shared_ptr<kavro::DataItemDetail>> all;
  while (static_cast<int>(all.size()) < rows) {
    auto p = page(static_cast<int>(all.size()), 1000);
    for (std::size_t i = 0; i < p->count(); ++i) all.push_back(p->getItem(i));
  }
  return all;
}

// rows of the answer split into results of `size` rows each.
std::vector<std::shared_ptr<kavro::DataItemResult>> answers(int rows, int size) {
  const auto& all = answerRows(rows);
  std::vector<std::shared_ptr<kavro::DataItemResult>> out;
  for (int first = 0; first < rows; first += size) {
    auto r = kavro::DataItemResult::create();
    for (int i = first; i < std::min(rows, first + size); ++i) r->dataList().push_back(all[std::size_t(i)]);
    r->setMaxCount(static_cast<std::uint32_t>(rows));
    out.push_back(std::move(r));
  }
  return out;
}

// The two sides take turns, each keeping its fastest turn (rows per second in "long" and "short"):
// timed in repetitions of their own, the spells of a shared machine each fell in would decide it.
template <typename Side>
void inTurns(benchmark::State& state, int rows, Side side) {
  double fastest[2] = {1e300, 1e300};
  int round = 0;
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      const bool isLong = (round + k) % 2 == 0;
      fastest[isLong] = std::min(fastest[isLong], side(isLong));
    }
    ++round;
  }
  state.counters["long"] = rows / fastest[1];
  state.counters["short"] = rows / fastest[0];
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A search answer of n rows taken by a result keyed by the job (as the result list's is), against
// the same rows as answers of 1,000 each taken by results of their own. Only the taking is timed.
void Answer_PerRowInTurns(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const auto whole = answers(rows, rows), parts = answers(rows, 1000);
  inTurns(state, rows, [&](bool isLong) {
    const auto& from = isLong ? whole : parts;
    std::vector<std::shared_ptr<kavro::DataItemResult>> into;
    for (std::size_t i = 0; i < from.size(); ++i) {
      into.push_back(kavro::DataItemResult::create());
      into.back()->setItemUniqueKeyName("jobid");
    }
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < from.size(); ++i) into[i]->appendItems(from[i].get());
    const double took = secondsSince(start);
    for (std::size_t i = 0; i < from.size(); ++i)
      if (into[i]->count() != from[i]->count()) state.SkipWithError("rows refused");
    return took;
  });
}

// A controller whose section takes its pages from a cache, as a list of saved answers does.
class PagedSource : public kavro::ListViewDelegate {
 public:
  std::vector<std::shared_ptr<kavro::DataItemResult>> pages;
  std::optional<std::shared_ptr<kavro::DataItemResult>> dataCacheForSection(kavro::ListViewData& s) override {
    return pages[std::min<std::size_t>(s.pageAt(), pages.size()) - 1];
  }
};

constexpr std::uint32_t ListPageSize = 20;

// A result list filled page by page, as a person scrolling it to its bottom meets it: each page
// shown as it comes, the list then scrolled to its new bottom.
struct PagedList {
  std::shared_ptr<PagedSource> ctrl = std::make_shared<PagedSource>();
  std::shared_ptr<kavro::ListView> list = kavro::ListView::plainListViewForDelegate(ctrl);
  std::shared_ptr<kavro::ListViewData> section;
  PagedList(const std::vector<std::shared_ptr<kavro::DataItemResult>>& all, std::size_t first,
            std::size_t n) {
    ctrl->pages.assign(all.begin() + static_cast<std::ptrdiff_t>(first),
                       all.begin() + static_cast<std::ptrdiff_t>(first + n));
    std::uint32_t total = 0;
    for (const auto& p : ctrl->pages) total += static_cast<std::uint32_t>(p->count());
    for (const auto& p : ctrl->pages) p->setMaxCount(total);
    list->setFrame(platform::Rect(0, 0, 320, 416));
    section =
        kavro::ListViewData::newDataOnListView(*list, platform::classFor<kavro::JobListSearchResultCell>());
    section->setPageSize(ListPageSize);
    section->listData()->setItemUniqueKeyName("jobid");
    list->layoutSubviews();
  }
  void fill() {
    section->loadData();
    do {
      list->setContentOffset({0, std::max(0.0, list->contentSize().height - list->bounds().size.height)});
      list->layoutSubviews();
      section->loadDataforNextPage();
    } while (section->hasNextPage());
  }
};

void List_PagesPerRowInTurns(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const auto all = answers(rows, ListPageSize);
  const std::size_t pagesOfShort = 1000 / ListPageSize;
  inTurns(state, rows, [&](bool isLong) {
    std::vector<std::unique_ptr<PagedList>> lists;
    if (isLong)
      lists.push_back(std::make_unique<PagedList>(all, 0, all.size()));
    else
      for (std::size_t first = 0; first < all.size(); first += pagesOfShort)
        lists.push_back(std::make_unique<PagedList>(all, first, pagesOfShort));
    const auto start = std::chrono::steady_clock::now();
    for (auto& l : lists) l->fill();
    const double took = secondsSince(start);
    for (auto& l : lists)
      if (l->section->count() != l->ctrl->pages.size() * ListPageSize) state.SkipWithError("rows missing");
    return took;
  });
}

// The job search result screen, its pages of 10 taken by its own controller as they arrive (title,
// search filed, the buttons set by the rows ticked), the list scrolled to its new bottom after
// each. The pages come from memory rather than the network: what grows with the list is the
// screen's, not the answer's. A query without terms files nothing, so no store is written.
class PagedResultScreen : public kavro::JobSearchResultController {
 public:
  std::vector<std::shared_ptr<kavro::DataItemResult>> pages;
  std::optional<std::shared_ptr<kavro::DataItemResult>> dataCacheForSection(kavro::ListViewData& s) override {
    return pages[std::min<std::size_t>(s.pageAt(), pages.size()) - 1];
  }

 protected:
  friend class kavro::UIBasicController;
  PagedResultScreen() = default;
};

struct PagedScreen {
  std::shared_ptr<PagedResultScreen> screen;
  PagedScreen(const std::vector<std::shared_ptr<kavro::DataItemResult>>& all, std::size_t first,
              std::size_t n) {
    screen =
        kavro::JobSearchResultController::initWithParam<PagedResultScreen>(kavro::JobSearchParam::create());
    screen->pages.assign(all.begin() + static_cast<std::ptrdiff_t>(first),
                         all.begin() + static_cast<std::ptrdiff_t>(first + n));
    std::uint32_t total = 0;
    for (const auto& p : screen->pages) total += static_cast<std::uint32_t>(p->count());
    for (const auto& p : screen->pages) p->setMaxCount(total);
  }
  kavro::ListView& list() const { return *screen->listViewResult(); }
  std::size_t rows() const { return screen->listDataSearchResult()->count(); }
  // The screen built (its first page taken as it builds), then paged to the end.
  void fill() {
    screen->view();
    auto& section = *screen->listDataSearchResult();
    do {
      list().setContentOffset({0, std::max(0.0, list().contentSize().height - list().bounds().size.height)});
      list().layoutSubviews();
      section.loadDataforNextPage();
    } while (section.hasNextPage());
  }
};

constexpr std::uint32_t ScreenPageSize = 10;

void Screen_PagesPerRowInTurns(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const auto all = answers(rows, ScreenPageSize);
  const std::size_t pagesOfShort = 1000 / ScreenPageSize;
  inTurns(state, rows, [&](bool isLong) {
    std::vector<std::unique_ptr<PagedScreen>> screens;
    if (isLong)
      screens.push_back(std::make_unique<PagedScreen>(all, 0, all.size()));
    else
      for (std::size_t first = 0; first < all.size(); first += pagesOfShort)
        screens.push_back(std::make_unique<PagedScreen>(all, first, pagesOfShort));
    const auto start = std::chrono::steady_clock::now();
    for (auto& s : screens) s->fill();
    const double took = secondsSince(start);
    for (auto& s : screens)
      if (s->rows() != s->screen->pages.size() * ScreenPageSize) state.SkipWithError("rows missing");
    return took;
  });
}

BENCHMARK(List_ScrollResultRows)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Plain_ScrollTableViewCells)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
// Not to 1,000,000 rows here: freeing that table's layout (16 MB) raises the allocator's threshold
// for blocks of their own mapping, and the lists built after it would lie in memory differently
// from those built before, so the other rows' figures would depend on the order the runs took.
BENCHMARK(Table_PerRowInTurns)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Answer_PerRowInTurns)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(List_PagesPerRowInTurns)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(Screen_PagesPerRowInTurns)->Arg(16000)->Arg(64000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  kavro::bench::BestOfReporter reporter;
  // Nine: a scroll of 1,000 rows takes a millisecond, and spells of a shared machine as long decide
  // a best of five.
  kavro::bench::runBestOf(argc, argv, reporter, 9, kavro::bench::Order::Shuffled);
  // Also ends the console reporter's last coloured line, which a summary line must not share.
  std::printf("\nThe result list's scrolling speed as a share of plain cells', best of the repetitions\n");
  using kavro::bench::figure;
  for (const char* rows : {"1000", "10000", "100000"}) {
    const std::string ours = std::string("List_ScrollResultRows/") + rows;
    const std::string plain = std::string("Plain_ScrollTableViewCells/") + rows;
    if (!reporter.has(ours) || !reporter.has(plain)) continue;
    kavro::bench::reportRatio(
        "result list scroll, " + std::string(rows) + " rows",
        figure(reporter.counter(ours, "items_per_second") / 1e3, "k rows/s"),
        "plain cells " + figure(reporter.counter(plain, "items_per_second") / 1e3, "k rows/s"),
        reporter.timeRatio(ours, plain), 0.5);
  }
  // Per-row cost of a long list against the same list of 1,000 rows: a full scroll must stay
  // linear in the rows. The table view alone (goal: flat within 10 %, a ratio of 1 / 1.1, the two
  // timed in turns); plain cells bound
  // to the records and the whole result list, whose records no longer sit in the processor's caches at 10,000
  // rows (goal: at most 1.2x, a ratio of 1 / 1.2).
  struct PerRow {
    const char* benchmark;
    const char* what;
    std::vector<const char*> rows;
    double goal;
  };
  for (const char* rows : {"10000", "100000"}) {
    const std::string turns = std::string("Table_PerRowInTurns/") + rows;
    const double perRow = reporter.counter(turns, "long"), basePerRow = reporter.counter(turns, "short");
    if (perRow <= 0 || basePerRow <= 0) continue;
    kavro::bench::reportRatio(
        std::string("table view per-row cost, ") + rows + " rows", figure(1e6 / perRow, "us/row"),
        "same at 1,000 rows " + figure(1e6 / basePerRow, "us/row"), perRow / basePerRow, 1 / 1.1);
  }
  // What grows on the main thread with the list: an answer taken, pages shown (goal: at most 1.2x,
  // a ratio of 1 / 1.2).
  struct Growing {
    const char* benchmark;
    const char* what;
    const char* rows;
  };
  for (const Growing& g :
       {Growing{"Answer_PerRowInTurns/40000", "search answer taken", "40000"},
        Growing{"List_PagesPerRowInTurns/16000", "result list by pages", "16000"},
        Growing{"Screen_PagesPerRowInTurns/16000", "job result screen by pages", "16000"},
        Growing{"Screen_PagesPerRowInTurns/64000", "job result screen by pages", "64000"}}) {
    const double perRow = reporter.counter(g.benchmark, "long"),
                 basePerRow = reporter.counter(g.benchmark, "short");
    if (perRow <= 0 || basePerRow <= 0) continue;
    kavro::bench::reportRatio(
        std::string(g.what) + " per-row cost, " + g.rows + " rows", figure(1e6 / perRow, "us/row"),
        "same at 1,000 rows " + figure(1e6 / basePerRow, "us/row"), perRow / basePerRow, 1 / 1.2);
  }
  for (const PerRow& p : {PerRow{"Plain_ScrollTableViewCells", "plain cells", {"10000", "100000"}, 1 / 1.2},
                          PerRow{"List_ScrollResultRows", "result list", {"10000", "100000"}, 1 / 1.2}}) {
    const std::string base = std::string(p.benchmark) + "/1000";
    for (const char* rows : p.rows) {
      const std::string ours = std::string(p.benchmark) + "/" + rows;
      if (!reporter.has(ours) || !reporter.has(base)) continue;
      const double perRow = reporter.counter(ours, "items_per_second");
      const double basePerRow = reporter.counter(base, "items_per_second");
      kavro::bench::reportRatio(
          std::string(p.what) + " per-row cost, " + rows + " rows", figure(1e6 / perRow, "us/row"),
          "same at 1,000 rows " + figure(1e6 / basePerRow, "us/row"), perRow / basePerRow, p.goal);
    }
  }
  return 0;
}
